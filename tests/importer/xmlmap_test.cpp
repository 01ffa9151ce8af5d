// The light-parameter mapping tables: the built-in contents as stored, the lookups and
// their messages, and the building rules.
#include "talvo_import_xmlmap.h"

#include <gtest/gtest.h>

#include <numbers>
#include <string>
#include <vector>

#include "host/app.h"

namespace {

class XmlMap : public ::testing::Test {
 protected:
  void SetUp() override {
    host::app::setConsoleSink([this](const host::String& line) { console_.push_back(line); });
  }
  void TearDown() override { host::app::setConsoleSink(nullptr); }

  // The console lines printed since the last call.
  std::vector<std::string> printed() {
    std::vector<std::string> lines = std::move(console_);
    console_.clear();
    return lines;
  }

  std::vector<std::string> console_;
};

TEST_F(XmlMap, BuildingPrintsTheBannerAndNothingElse) {
  talvo::XmlMapper mapper(1.0);
  const std::string dashes(43, '-');
  EXPECT_EQ(printed(), (std::vector<std::string>{dashes, "       Xml Mapper", dashes, ""}));
}

TEST_F(XmlMap, StoredDefaultsAreNormalised) {
  talvo::XmlMapper mapper(100.0);
  printed();
  struct Case {
    const char* channel;
    const char* param;
    host::HostValue stored;
  };
  const Case cases[] = {
      {"DET", "AREAX", host::HostValue::real(200.0)},
      {"DET", "RADIUS", host::HostValue::real(500.0)},
      {"DET", "NEARTO", host::HostValue::real(10.0)},
      {"NOI", "VISIBILITYSCALE", host::HostValue::vector({100.0, 100.0, 100.0})},
      {"VIS", "RELATIVESCALE", host::HostValue::vector({1.0, 1.0, 1.0})},
      {"GEN", "TYPE", host::HostValue::string("OMNI")},
      {"DET", "OUTERANGLE", host::HostValue::real(0.5235987755982988)},
      {"PHO", "FILE", host::HostValue::filename(host::Filename())},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.channel) + " " + c.param);
    const talvo::XmlParam* p = mapper.findLightParam("ALL", c.channel, c.param);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->defaultValue, c.stored);
  }
  const talvo::XmlParam* size = mapper.findLightParam("", "SHA", "SHADOWMAPSIZE");
  ASSERT_NE(size, nullptr);
  EXPECT_EQ(size->c4dId, 1002);
  EXPECT_EQ(size->typeCode, 210);
  EXPECT_EQ(mapper.findEnumValue("ALL", 210, size->defaultValue), 0);
  EXPECT_EQ(mapper.findEnumValue("ALL", 201, mapper.findLightParam("ALL", "GEN", "TYPE")->defaultValue), 0);
  EXPECT_TRUE(printed().empty());
}

TEST_F(XmlMap, AnotherLengthScaleRebuildsTheContentsSilently) {
  talvo::XmlMapper mapper(1.0);
  printed();
  mapper.setLengthScale(0.01);
  EXPECT_TRUE(printed().empty());
  EXPECT_EQ(mapper.lengthScale(), 0.01);
  EXPECT_EQ(mapper.findLightParam("ALL", "DET", "AREAX")->defaultValue, host::HostValue::real(2.0 * 0.01));
  EXPECT_EQ(mapper.findLightParam("ALL", "NOI", "VISIBILITYSCALE")->defaultValue,
            host::HostValue::vector({0.01, 0.01, 0.01}));
  // Everything else is as built.
  EXPECT_EQ(mapper.findDefaultValues("ALL", "LightGRRGB")->params.size(), 2);
  EXPECT_EQ(mapper.findEnumValue("ALL", 201, host::HostValue::string("Spot")), 1);
  EXPECT_TRUE(printed().empty());
}

TEST_F(XmlMap, EnumerationWordsAndTheirMessages) {
  talvo::XmlMapper mapper(1.0);
  printed();
  struct Case {
    int32_t code;
    const char* word;
    int32_t value;
  };
  const Case found[] = {{201, "Spot", 1},       {201, "spot", 1},     {201, "SPOT", 1},  {201, "sPoT", 1},
                        {202, "InverseVolumetric", 3}, {202, "Inverse Volumetric", 3}, {101, "LinearKnot", 3},
                        {210, "Custom", 8},    {211, "Custom", 1},   {212, "custom", 1}, {206, "CD", 1}};
  for (const Case& c : found) EXPECT_EQ(mapper.findEnumValue("ALL", c.code, host::HostValue::string(c.word)), c.value) << c.word;
  EXPECT_TRUE(printed().empty());

  EXPECT_EQ(mapper.findEnumValue("ALL", 201, host::HostValue::string("Torch")), -1);
  EXPECT_EQ(mapper.findEnumValue("ALL", 300, host::HostValue::string("Spot")), -1);
  EXPECT_EQ(mapper.findEnumValue("ALL", 201, host::HostValue::integer(1)), -1);
  EXPECT_EQ(mapper.findEnumValue("ALL", 201, host::HostValue::string("")), -1);
  EXPECT_EQ(mapper.findEnumValue("OTHER", 201, host::HostValue::string("Spot")), -1);
  EXPECT_EQ(printed(), (std::vector<std::string>{"Error: Cannot find Channel Enum: 201 Torch",
                                                 "Error: Cannot find Channel Enum: 300 Spot",
                                                 "Warning: Enum value is not string:", "Warning: Enum value is empty:",
                                                 "Fatal: Missing EnumMap: OTHER"}));
}

TEST_F(XmlMap, LookupMessages) {
  talvo::XmlMapper mapper(1.0);
  printed();
  EXPECT_EQ(mapper.findLightChannel("ALL", "XYZ"), nullptr);
  EXPECT_EQ(mapper.findLightParam("ALL", "GEN", "NOPE"), nullptr);
  EXPECT_EQ(mapper.findLightParam("OTHER", "GEN", "TYPE"), nullptr);
  EXPECT_EQ(mapper.findShaderMapByName("ALL", "Plasma"), nullptr);
  EXPECT_EQ(mapper.findShaderMapById("ALL", 7), nullptr);
  EXPECT_EQ(mapper.findDefaultValues("ALL", "Nothing"), nullptr);
  EXPECT_EQ(mapper.findShaderParam(mapper.findShaderMapByName("ALL", "gkrgb"), "Nope"), nullptr);
  EXPECT_EQ(printed(), (std::vector<std::string>{"Error: Cannot find LightChannel: XYZ",
                                                 "Error: Cannot find LightParam: NOPE",
                                                 "Fatal: Missing LightChannelMap:", "Error: Cannot find Shader ID: Plasma",
                                                 "Error: Cannot find Shader ID: 7", "Error: Cannot find Default: Nothing"}));

  // The shader kinds and the default white gradient.
  const talvo::ShaderMap* rgb = mapper.findShaderMapById("ALL", 1001);
  ASSERT_NE(rgb, nullptr);
  EXPECT_EQ(rgb->name, "GRADIENTRGB");
  EXPECT_EQ(rgb->parentId, 1002);
  const talvo::DefaultValues* white = mapper.findDefaultValues("ALL", "lightgrrgb");
  ASSERT_NE(white, nullptr);
  EXPECT_EQ(white->root, rgb);
  ASSERT_EQ(white->params.size(), 2);
  EXPECT_EQ(white->params[0]->name, "INTERPOL");
  EXPECT_EQ(white->params[0]->c4dId, 1000);
  EXPECT_EQ(white->params[1]->defaultValue, host::HostValue::string("LCOLOR1GKRGB,LCOLOR2GKRGB"));
}

TEST_F(XmlMap, BuildingRules) {
  talvo::XmlMapper mapper(2.0);
  printed();
  // Sets without a name are "ALL", which the built-in contents made already.
  EXPECT_EQ(mapper.createEnumMap(), nullptr);
  EXPECT_EQ(mapper.createDefaultMap(""), nullptr);
  talvo::LightChannelMap* all = mapper.createLightChannelMap();
  EXPECT_EQ(all, mapper.createLightChannelMap("all"));
  EXPECT_EQ(printed(), (std::vector<std::string>{"Error: Duplicated EnumMap: ALL", "Error: Duplicated DefaultMap: ALL",
                                                 "Error: Duplicated LightChannelMap: ALL",
                                                 "Error: Duplicated LightChannelMap: ALL"}));

  talvo::LightChannelMap* mine = mapper.createLightChannelMap("Mine");
  talvo::LightChannel* first = mapper.addLightChannel(mine, "Extra");
  EXPECT_EQ(mapper.addLightChannel(mine, "Extra"), first);
  EXPECT_EQ(printed(), std::vector<std::string>{"Error: Duplicated LightChannel: Extra"});
  EXPECT_TRUE(mapper.addLightParam(first, "Size", 1, talvo::kTypeLength, host::HostValue::string("big")));
  EXPECT_TRUE(mapper.addLightParam(first, "Box", 2, talvo::kTypeLengthVector, host::HostValue::vector({1, 1, 1})));
  EXPECT_TRUE(mapper.addLightParam(first, "Plain", 3, 10, host::HostValue::vector({1, 1, 1})));
  EXPECT_FALSE(mapper.addLightParam(first, "plain", 4, 10, host::HostValue()));
  EXPECT_EQ(printed(), (std::vector<std::string>{"Warning: wrong default type: Size", "Error: Duplicated LightParam: plain"}));
  EXPECT_EQ(mapper.findLightParam("MINE", "EXTRA", "SIZE")->defaultValue, host::HostValue::string("BIG"));
  EXPECT_EQ(mapper.findLightParam("MINE", "EXTRA", "BOX")->defaultValue, host::HostValue::vector({2, 2, 2}));
  EXPECT_EQ(mapper.findLightParam("MINE", "EXTRA", "PLAIN")->defaultValue, host::HostValue::vector({1, 1, 1}));

  // A default setting needs a root shader with the named parameter.
  talvo::DefaultMap* defaults = mapper.createDefaultMap("Mine");
  talvo::DefaultValues* orphan = mapper.addDefaultValues(defaults, "Orphan", 5);
  EXPECT_FALSE(mapper.addDefaultParam(orphan, "Color", host::HostValue()));
  EXPECT_EQ(printed(), (std::vector<std::string>{"Fatal: Missing ShaderMapInt: MINE", "Error: Cannot found ShaderRoot: Color"}));
}

}  // namespace
