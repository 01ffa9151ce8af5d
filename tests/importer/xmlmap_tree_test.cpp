// The channel tree of one light and the gradients built from its shader nodes: value
// conversion, defaults, shader references with their knots, and the guards against
// references that never end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "host/app.h"
#include "host/scene.h"
#include "talvo_import_c4d_loader.h"
#include "talvo_import_c4d_status.h"
#include "talvo_import_xmlmap_shader.h"
#include "talvo_import_xmlmap_tree.h"

namespace {

using host::HostValue;
using talvo::ParameterEntry;

ParameterEntry named(const std::string& name, int32_t valueType) {
  ParameterEntry e;
  e.name = name;
  EXPECT_EQ(talvo::decodeParameterKey(name, e.key), talvo::kStatusOk);
  e.valueType = valueType;
  return e;
}
ParameterEntry real(const std::string& name, double v) {
  ParameterEntry e = named(name, 1);
  e.realValue = v;
  return e;
}
ParameterEntry text(const std::string& name, const std::string& v) {
  ParameterEntry e = named(name, 2);
  e.stringValue = v;
  return e;
}
// A real grid of one column unless told otherwise.
ParameterEntry grid(const std::string& name, const std::vector<double>& cells, int32_t rows = -1,
                    int32_t columns = 0) {
  ParameterEntry e = named(name, 3);
  e.rows = rows < 0 ? int32_t(cells.size()) : rows;
  e.columns = columns;
  for (double c : cells) e.cells.append()->realValue = c;
  return e;
}

template <class... E>
std::vector<ParameterEntry> list(E&&... entries) {
  std::vector<ParameterEntry> v;
  (v.push_back(std::move(entries)), ...);
  return v;
}

const HostValue* find(const common::StringMap<talvo::XmlParam>& params, const char* name) {
  const talvo::XmlParam* p = params.find(name);
  return p ? &p->value : nullptr;
}

// A mapper, one light's tables and its tree; fill() runs the three steps over entries.
class Tree : public ::testing::Test {
 protected:
  void SetUp() override {
    host::app::setConsoleSink([this](const host::String& line) { console_.push_back(line); });
    mapper_ = std::make_unique<talvo::XmlMapper>(100.0);
    console_.clear();
    tree_ = std::make_unique<talvo::ChannelTree>(*mapper_, 100.0, folder_, channels_, shaders_);
  }
  void TearDown() override { host::app::setConsoleSink(nullptr); }

  // Fresh tables and tree for the entries.
  void fill(std::vector<ParameterEntry> entries) {
    channels_.clear();
    shaders_.clear();
    tree_ = std::make_unique<talvo::ChannelTree>(*mapper_, 100.0, folder_, channels_, shaders_);
    entries_ = std::move(entries);
    for (const ParameterEntry& e : entries_) tree_->addEntry(e);
    tree_->forEachGroup([this](const host::String& group) { tree_->AddToDefaultTree(group); });
    channels_.forEach([this](const host::String& key, talvo::TalChannel& c) { tree_->fillChannel(key, c); });
  }

  std::vector<std::string> printed() {
    std::vector<std::string> lines = std::move(console_);
    console_.clear();
    return lines;
  }

  const talvo::TalChannel& channel(const char* key) {
    const talvo::TalChannel* c = channels_.find(key);
    EXPECT_NE(c, nullptr) << key;
    static const talvo::TalChannel none;
    return c ? *c : none;
  }

  std::vector<std::string> console_;
  host::Filename folder_{"/lib/maps"};
  std::unique_ptr<talvo::XmlMapper> mapper_;
  talvo::ChannelTable channels_;
  talvo::ShaderTable shaders_;
  std::unique_ptr<talvo::ChannelTree> tree_;
  std::vector<ParameterEntry> entries_;
};

TEST_F(Tree, ValuesAreConvertedByTypeCode) {
  constexpr double kPi = std::numbers::pi;
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max(), kMin = std::numeric_limits<int32_t>::min();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    int32_t code;
    ParameterEntry entry;
    HostValue value;  // none when the conversion fails
    bool ok;
  };
  std::vector<Case> cases;
  auto add = [&](int32_t code, ParameterEntry e, HostValue v, bool ok = true) {
    cases.push_back({code, std::move(e), std::move(v), ok});
  };
  add(1, real("C4D_GEN_A", 2.9), HostValue::integer(2));
  add(2, real("C4D_GEN_A", -2.9), HostValue::integer(-2));
  // Outside the int32 range, infinite or not a number: held at the range, NaN as 0.
  add(1, real("C4D_GEN_A", 3e9), HostValue::integer(kMax));
  add(2, real("C4D_GEN_A", -3e9), HostValue::integer(kMin));
  add(1, real("C4D_GEN_A", inf), HostValue::integer(kMax));
  add(2, real("C4D_GEN_A", -inf), HostValue::integer(kMin));
  add(1, real("C4D_GEN_A", std::nan("")), HostValue::integer(0));
  add(2, real("C4D_GEN_A", 2147483647.7), HostValue::integer(kMax));
  add(3, real("C4D_GEN_A", 1.5), HostValue::real(1.5));
  add(5, real("C4D_GEN_A", 1.5), HostValue::real(1.5));
  add(6, real("C4D_GEN_A", 1.5), HostValue::real(1.5));
  add(4, real("C4D_GEN_A", 2.0), HostValue::real(200.0));
  add(7, real("C4D_GEN_A", 90.0), HostValue::real(90.0 * kPi / 180.0));
  add(8, grid("C4D_GEN_A", {1, 2, 3}), HostValue::vector({1, 2, 3}));
  add(10, grid("C4D_GEN_A", {1, 2, 3, 4}), HostValue::vector({1, 2, 3}));
  add(12, grid("C4D_GEN_A", {1, 2, 3, 4, 5, 6, 7, 8, 9}, 3, 3), HostValue::vector({1, 2, 3}));
  add(9, grid("C4D_GEN_A", {90, 0, 180}), HostValue::vector({90 * kPi / 180, 0, 180 * kPi / 180}));
  add(11, grid("C4D_GEN_A", {1, 2, 3}), HostValue::vector({100, 200, 300}));
  add(13, text("C4D_PHO_FILE", "Lamp.ies"), HostValue::filename(host::Filename("/lib/maps/Lamp.ies")));
  add(201, text("C4D_GEN_A", "Spot"), HostValue::string("Spot"));
  add(1001, text("C4D_GEN_A", "LightGRRGB"), HostValue::string("LightGRRGB"));
  // An empty shader reference is kept, but counts as a failure.
  add(1001, text("C4D_GEN_A", ""), HostValue::string(""), false);
  // Values that do not fit their code.
  add(10, grid("C4D_GEN_A", {1, 2}), HostValue(), false);
  add(10, grid("C4D_GEN_A", {1, 2, 3}, 1, 3), HostValue(), false);
  add(5, text("C4D_GEN_A", "1.5"), HostValue(), false);
  add(1, text("C4D_GEN_A", "1"), HostValue(), false);
  add(201, real("C4D_GEN_A", 1.0), HostValue(), false);
  add(13, real("C4D_GEN_A", 1.0), HostValue(), false);
  add(0, real("C4D_GEN_A", 1.0), HostValue(), false);
  add(1000, text("C4D_GEN_A", "x"), HostValue(), false);
  add(14, real("C4D_GEN_A", 1.0), HostValue(), false);

  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "code " << c.code << " " << c.entry.realValue);
    const talvo::XmlValue v = tree_->GetXmlValue(c.code, c.entry);
    EXPECT_EQ(v.ok, c.ok);
    EXPECT_EQ(v.value, c.value);
    const std::vector<std::string> warning = {"Warning: Not found GetXmlValue: '" + c.entry.key.fullName +
                                              "'"};
    EXPECT_EQ(printed(), c.ok ? std::vector<std::string>{} : warning);
  }
}

TEST_F(Tree, AChannelNamedOnceGetsEveryParameterWithItsDefault) {
  fill(list(grid("C4D_GEN_COLOR", {0.5, 0.5, 0.5})));
  EXPECT_EQ(printed(), std::vector<std::string>{});
  EXPECT_EQ(channels_.size(), 1);
  const talvo::TalChannel& gen = channel("GEN");
  EXPECT_EQ(gen.name, "GEN");
  EXPECT_EQ(gen.params.size(), 10);
  gen.params.forEach([](const host::String& name, const talvo::XmlParam& p) {
    EXPECT_NE(p.value.type(), host::kValueNone) << name;
  });
  EXPECT_EQ(*find(gen.params, "COLOR"), HostValue::vector({0.5, 0.5, 0.5}));
  EXPECT_EQ(*find(gen.params, "TYPE"), HostValue::string("OMNI"));
  EXPECT_EQ(*find(gen.params, "INTENSITY"), HostValue::real(1.0));
}

TEST_F(Tree, EntriesThatDoNotFitFallBackToTheDefault) {
  struct Case {
    std::vector<ParameterEntry> entries;
    const char* param;
    HostValue value;
    std::vector<std::string> lines;
  };
  Case cases[] = {
      {list(real("C4D_GEN_TYPE", 1.0)),
       "TYPE",
       HostValue::string("OMNI"),
       {"Warning: Not found GetXmlValue: 'C4D_GEN_TYPE'"}},
      {list(text("C4D_GEN_INTENSITY", "2")),
       "INTENSITY",
       HostValue::real(1.0),
       {"Warning: Not found GetXmlValue: 'C4D_GEN_INTENSITY'"}},
      {list(grid("C4D_GEN_COLOR", {0.5, 0.5})),
       "COLOR",
       HostValue::vector({1, 1, 1}),
       {"Warning: Not found GetXmlValue: 'C4D_GEN_COLOR'"}},
      // The later of two entries decides, even when only the earlier one was valid.
      {list(real("C4D_GEN_INTENSITY", 2.0), real("C4D_GEN_INTENSITY", 3.0)),
       "INTENSITY",
       HostValue::real(3.0),
       {}},
      {list(real("C4D_GEN_INTENSITY", 2.0), text("C4D_GEN_INTENSITY", "3")),
       "INTENSITY",
       HostValue::real(1.0),
       {"Warning: Not found GetXmlValue: 'C4D_GEN_INTENSITY'"}},
      // A parameter that the channel lacks is reported and ignored.
      {list(real("C4D_GEN_WATTS", 60.0)),
       "INTENSITY",
       HostValue::real(1.0),
       {"Error: Cannot find LightParam: WATTS"}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.param);
    fill(std::move(c.entries));
    EXPECT_EQ(printed(), c.lines);
    EXPECT_EQ(*find(channel("GEN").params, c.param), c.value);
  }
}

TEST_F(Tree, GroupsAndIndexesThatNameNothingHaveNoEffect) {
  fill(list(real("C4D_XYZ_A", 1.0), real("C4D_XYZ_B", 1.0), real("C4D_GKRGB_POSITION_9", 0.5)));
  // One line for the group, none for the index that no value refers to.
  EXPECT_EQ(printed(), std::vector<std::string>{"Error: Cannot find LightChannel: XYZ"});
  EXPECT_EQ(channels_.size(), 0);
  EXPECT_EQ(shaders_.size(), 0);
}

TEST_F(Tree, TheDefaultGradientBuildsItsKnotsFirst) {
  fill(list(text("C4D_DET_COLOR", "LightGRRGB")));
  EXPECT_EQ(printed(), std::vector<std::string>{});
  EXPECT_EQ(channel("DET").params.size(), 31);
  EXPECT_EQ(tree_->storedNodes(), (std::vector<std::string>{"LCOLOR1GKRGB", "LCOLOR2GKRGB", "LightGRRGB"}));
  const talvo::ShaderNode* root = shaders_.find("LightGRRGB");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->kindName, "GRADIENTRGB");
  EXPECT_EQ(root->shaderId, 1001);
  EXPECT_EQ(root->parentId, 1002);
  EXPECT_EQ(root->parentParams.size(), 0);  // its parent kind has no parameters
  EXPECT_EQ(*find(root->params, "KNOTS"), HostValue::string("LCOLOR1GKRGB,LCOLOR2GKRGB"));
  EXPECT_EQ(*find(shaders_.find("LCOLOR2GKRGB")->params, "POSITION"), HostValue::real(1.0));

  // Without a COLOR entry the stored default names the same nodes, upper-cased.
  fill(list(real("C4D_DET_SAMPLES", 8.0)));
  EXPECT_EQ(tree_->storedNodes(), (std::vector<std::string>{"LCOLOR1GKRGB", "LCOLOR2GKRGB", "LIGHTGRRGB"}));
}

TEST_F(Tree, TheSceneDescribesShadersByIndex) {
  fill(list(text("C4D_DET_COLOR", "5"), text("C4D_GRADIENTRGB_KNOTS_5", "6,7"),
            real("C4D_GKRGB_POSITION_6", 0.25), real("C4D_GKRGB_POSITION_7", 0.75)));
  EXPECT_EQ(printed(), std::vector<std::string>{});
  EXPECT_EQ(tree_->storedNodes(), (std::vector<std::string>{"6", "7", "5"}));
  const talvo::ShaderNode& knot = *shaders_.find("7");
  EXPECT_EQ(knot.kindName, "GKRGB");
  EXPECT_EQ(*find(knot.params, "POSITION"), HostValue::real(0.75));
  EXPECT_EQ(*find(knot.params, "COLOR"), HostValue::vector({0, 0, 0}));
  EXPECT_EQ(*find(knot.params, "INTENSITY"), HostValue::real(1.0));
  EXPECT_EQ(*find(knot.params, "BIAS"), HostValue::real(0.5));
  EXPECT_EQ(*find(shaders_.find("5")->params, "INTERPOL"), HostValue::string("SMOOTHKNOT"));
}

TEST_F(Tree, BrokenShaderReferencesAreReported) {
  struct Case {
    const char* what;
    std::vector<ParameterEntry> entries;
    std::vector<std::string> lines;
    std::vector<std::string> nodes;
  };
  Case cases[] = {
      {"trailing comma",
       list(text("C4D_DET_COLOR", "5"), text("C4D_GRADIENTRGB_KNOTS_5", "LColor1GKRGB,")),
       {"Fatal: DefaultShaderName is empty:"},
       {"LColor1GKRGB", "5"}},
      {"unknown default", list(text("C4D_DET_COLOR", "Marble")), {"Error: Cannot find Default: Marble"}, {}},
      {"unknown kind",
       list(text("C4D_DET_COLOR", "5"), real("C4D_MARBLE_VEIN_5", 1.0)),
       {"Error: Cannot find Shader ID: MARBLE"},
       {}},
      {"unknown shader parameter",
       list(text("C4D_DET_COLOR", "5"), real("C4D_GRADIENTRGB_SPEED_5", 1.0)),
       {"Error: not found ShaderParam: 'GRADIENTRGB'-'SPEED'"},
       {"5"}},
      // A reference naming itself, directly or through another node, is built once.
      {"direct loop",
       list(text("C4D_DET_COLOR", "5"), text("C4D_GRADIENTRGB_KNOTS_5", "5")),
       {"Error: Shader reference loop: 5"},
       {"5"}},
      {"indirect loop",
       list(text("C4D_DET_COLOR", "5"), text("C4D_GRADIENTRGB_KNOTS_5", "6"),
            text("C4D_GRADIENTRGB_KNOTS_6", "5")),
       {"Error: Shader reference loop: 5"},
       {"6", "5"}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    fill(std::move(c.entries));
    const std::vector<std::string> lines = printed();
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(tree_->storedNodes(), c.nodes);
  }
}

TEST_F(Tree, DeepAndEndlessReferenceTreesStop) {
  // A chain 1 -> 2 -> ... -> 40 stops at the nesting limit.
  std::vector<ParameterEntry> chain = list(text("C4D_DET_COLOR", "1"));
  for (int i = 1; i <= 40; ++i)
    chain.push_back(text("C4D_GRADIENTRGB_KNOTS_" + std::to_string(i), std::to_string(i + 1)));
  fill(std::move(chain));
  EXPECT_EQ(printed(), std::vector<std::string>{"Error: Shader references nested too deeply: 33"});
  EXPECT_EQ(tree_->storedNodes().size(), 32u);
  EXPECT_EQ(tree_->storedNodes().back(), "1");

  // Every node naming the next one ten times would take 10^6 builds; the light stops at
  // its limit and says so once.
  std::vector<ParameterEntry> fan = list(text("C4D_DET_COLOR", "1"));
  for (int i = 1; i <= 6; ++i) {
    const std::string next = i < 6 ? std::to_string(i + 1) : "LColor1GKRGB";
    std::string knots = next;
    for (int k = 1; k < 10; ++k) knots += "," + next;
    fan.push_back(text("C4D_GRADIENTRGB_KNOTS_" + std::to_string(i), knots));
  }
  fill(std::move(fan));
  const std::vector<std::string> lines = printed();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("Error: Too many shader references: ", 0), 0u) << lines[0];
  EXPECT_EQ(tree_->storedNodes().size(), size_t(talvo::kShaderBuildLimit));
}

// ---------------------------------------------------------------------------------------
// Gradients

host::GradientKnot knot(host::Vector colour, double position) {
  host::GradientKnot k;
  k.colour = colour;
  k.position = position;
  return k;
}

TEST_F(Tree, TheDefaultGradientIsWhiteAndGoesOnTheLight) {
  fill(list(real("C4D_DET_SAMPLES", 8.0)));
  const talvo::ShaderBuilder builder(*mapper_, shaders_);
  talvo::ShaderValue v = builder.buildShaderValue("LIGHTGRRGB");
  EXPECT_EQ(printed(), std::vector<std::string>{});
  EXPECT_EQ(v.name, "LIGHTGRRGB");
  ASSERT_EQ(v.kind, talvo::kShaderValueGradient);
  ASSERT_NE(v.gradient, nullptr);
  EXPECT_EQ(v.gradient->getData().getInt32(host::kGradientInterpolation, -1), 2);
  EXPECT_EQ(v.gradient->knots(),
            (std::vector<host::GradientKnot>{knot({1, 1, 1}, 0.0), knot({1, 1, 1}, 1.0)}));

  const std::unique_ptr<host::Gradient> expected(static_cast<host::Gradient*>(v.gradient->clone().release()));
  host::BaseObject* light = host::BaseObject::alloc(host::kObjectLight);
  talvo::XmlParam param;
  param.c4dId = 100025;
  EXPECT_TRUE(talvo::setShaderParameter(light, param, v));
  const host::HostValue* set = light->getData().getValue(100025);
  ASSERT_NE(set, nullptr);
  ASSERT_NE(host::getGradient(*set), nullptr);
  EXPECT_TRUE(host::getGradient(*set)->equals(*expected));
  host::BaseObject::free(light);
}

TEST_F(Tree, GradientsFromTheScenesEntries) {
  struct Case {
    const char* what;
    std::vector<ParameterEntry> entries;
    int32_t interpolation;  // -1 when not set
    std::vector<host::GradientKnot> knots;
    std::vector<std::string> fillLines, buildLines;
  };
  Case cases[] = {
      {"knots giving only their positions",
       list(text("C4D_DET_COLOR", "5"), text("C4D_GRADIENTRGB_KNOTS_5", "6,7"),
            real("C4D_GKRGB_POSITION_6", 0.25), real("C4D_GKRGB_POSITION_7", 0.75)),
       2,
       {knot({0, 0, 0}, 0.25), knot({0, 0, 0}, 0.75)},
       {},
       {}},
      {"a knot without node",
       list(text("C4D_DET_COLOR", "5"), text("C4D_GRADIENTRGB_KNOTS_5", "6,9"),
            real("C4D_GKRGB_POSITION_6", 0.25)),
       2,
       {knot({0, 0, 0}, 0.25)},
       {"Error: Cannot find Default: 9"},
       {}},
      {"a word of two parts",
       list(text("C4D_DET_COLOR", "5"), text("C4D_GRADIENTRGB_INTERPOL_5", "linearknot")),
       3,
       {},
       {},
       {}},
      {"an unknown word",
       list(text("C4D_DET_COLOR", "5"), text("C4D_GRADIENTRGB_INTERPOL_5", "Wiggly")),
       -1,
       {},
       {"Error: Cannot find Channel Enum: 101 Wiggly"},
       {"Error: Cannot find Channel Enum: 101 Wiggly", "Error: Not found enum value: GRADIENTRGB_INTERPOL"}},
      // The node that names itself is no knot: one starting knot stands in for it.
      {"a loop",
       list(text("C4D_DET_COLOR", "5"), text("C4D_GRADIENTRGB_KNOTS_5", "5")),
       2,
       {host::GradientKnot{}},
       {"Error: Shader reference loop: 5"},
       {"Error: ShaderRoot is not GradientKnot: GRADIENTRGB"}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    fill(std::move(c.entries));
    EXPECT_EQ(printed(), c.fillLines);
    const talvo::ShaderValue v = talvo::ShaderBuilder(*mapper_, shaders_).buildShaderValue("5");
    EXPECT_EQ(printed(), c.buildLines);
    ASSERT_NE(v.gradient, nullptr);
    EXPECT_EQ(v.gradient->getData().getInt32(host::kGradientInterpolation, -1), c.interpolation);
    EXPECT_EQ(v.gradient->knots(), c.knots);
  }
}

TEST_F(Tree, ReferencesThatGiveNoGradientAreNotSet) {
  fill(list(text("C4D_DET_COLOR", "LightGRRGB")));
  const talvo::ShaderBuilder builder(*mapper_, shaders_);
  host::BaseObject* light = host::BaseObject::alloc(host::kObjectLight);
  talvo::XmlParam param;
  param.c4dId = 100025;

  talvo::ShaderValue knotRoot = builder.buildShaderValue("LCOLOR1GKRGB");
  EXPECT_EQ(knotRoot.kind, talvo::kShaderValueNone);
  EXPECT_FALSE(talvo::setShaderParameter(light, param, knotRoot));
  talvo::ShaderValue missing = builder.buildShaderValue("lightgrrgb");  // references match exactly
  EXPECT_EQ(missing.name, "lightgrrgb");
  EXPECT_FALSE(talvo::setShaderParameter(light, param, missing));
  EXPECT_EQ(printed(), (std::vector<std::string>{"Error: Shader without allocation: GKRGB 'LCOLOR1GKRGB'",
                                                 "Error: Cannot set shader: 'LCOLOR1GKRGB'",
                                                 "Error: Not found shader in tree: lightgrrgb",
                                                 "Error: Cannot set shader: 'lightgrrgb'"}));
  EXPECT_EQ(light->getData().size(), 0u);
  host::BaseObject::free(light);
}

TEST_F(Tree, KnotsTakeOnlyValuesOfTheirType) {
  talvo::ShaderNode node;
  node.kindName = "GKRGB";
  node.shaderId = 1003;
  auto set = [&](const char* name, HostValue v) {
    talvo::XmlParam* p = node.params.findOrInsert(name);
    p->value = std::move(v);
  };
  set("COLOR", HostValue::real(1.0));
  set("INTENSITY", HostValue::string("bright"));
  set("POSITION", HostValue::vector({0, 0, 0}));
  set("BIAS", HostValue::integer(1));
  set("SPREAD", HostValue::real(1.0));  // not a knot's word: ignored
  EXPECT_EQ(talvo::ShaderBuilder::buildKnot(node), host::GradientKnot{});
  std::vector<std::string> lines = printed();
  EXPECT_EQ(lines.back(), "Error: Cannot found all Gradient Knot parameter: GKRGB");
  lines.pop_back();
  std::sort(lines.begin(), lines.end());  // the map's order
  EXPECT_EQ(lines, (std::vector<std::string>{"Error: Wrong Gradient Knot 'BIAS' data: GKRGB_BIAS",
                                             "Error: Wrong Gradient Knot 'COLOR' data: GKRGB_COLOR",
                                             "Error: Wrong Gradient Knot 'INTESITY' data: GKRGB_INTENSITY",
                                             "Error: Wrong Gradient Knot 'POSITION' data: GKRGB_POSITION"}));

  // The same node with values of their type.
  set("COLOR", HostValue::vector({0.1, 0.2, 0.3}));
  set("INTENSITY", HostValue::real(2.0));
  set("POSITION", HostValue::real(0.4));
  set("BIAS", HostValue::real(0.6));
  host::GradientKnot expected{{0.1, 0.2, 0.3}, 2.0, 0.4, 0.6, 0};
  EXPECT_EQ(talvo::ShaderBuilder::buildKnot(node), expected);
  EXPECT_EQ(printed(), std::vector<std::string>{});

  node.shaderId = 1001;
  node.kindName = "GRADIENTRGB";
  EXPECT_EQ(talvo::ShaderBuilder::buildKnot(node), host::GradientKnot{});
  EXPECT_EQ(printed(), std::vector<std::string>{"Error: ShaderRoot is not GradientKnot: GRADIENTRGB"});
}

}  // namespace
