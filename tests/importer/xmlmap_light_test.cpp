// Mapped lights over a scene written in code: the lights' parameter entries as the reader
// gives them in, the host light parameters out, at the run's length factor and with the
// texture folder the materials builder settled.
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <numbers>

#include "host/app.h"
#include "host/gradient.h"
#include "host/resource.h"
#include "host/scene.h"
#include "loader_fixture.h"
#include "talvo_import_c4d_lights.h"
#include "talvo_import_c4d_materials.h"

namespace {

using namespace talvo_test;
using host::HostValue;
namespace fs = std::filesystem;

constexpr double kScale = 0.01;
constexpr double kDegree = std::numbers::pi / 180.0;

ts::ParameterEntry vector(const std::string& name, double x, double y, double z) {
  ts::ParameterEntry e;
  e.name = name;
  e.valueType = 3;
  e.rows = 3;
  e.columns = 0;
  e.realCells = {x, y, z};
  return e;
}
ts::ParameterEntry empty(const std::string& name) {
  ts::ParameterEntry e;
  e.name = name;
  return e;
}

HostValue gradient(std::vector<host::GradientKnot> knots) {
  std::unique_ptr<host::Gradient> g = host::Gradient::alloc();
  g->getDataInstance().setInt32(host::kGradientInterpolation, 2);
  for (const host::GradientKnot& k : knots) g->insertKnot(k);
  return HostValue::custom(std::move(g));
}
host::GradientKnot knot(host::Vector colour, double position) {
  host::GradientKnot k;
  k.colour = colour;
  k.position = position;
  return k;
}
HostValue whiteGradient() {
  return gradient({knot({1, 1, 1}, 0.0), knot({1, 1, 1}, 1.0)});
}

// Reals are written in single precision: the values are exact in it.
// One light of the table: its entries, how many host parameters it gets, some of them
// (none for a parameter that must stay unset), and the lines after "Process light: n".
struct LightCase {
  const char* what;
  std::vector<ts::ParameterEntry> entries;
  size_t count;
  std::map<int32_t, HostValue> values;
  std::vector<std::string> lines = {};
};

std::vector<LightCase> lightTable(const host::Filename& folder) {
  const HostValue unset;
  return {
      {"GEN: the type alone gives the channel's ten parameters",
       {textEntry("C4D_GEN_TYPE", "Spot")},
       10,
       {{90002, HostValue::integer(1)},
        {90000, HostValue::vector({1, 1, 1})},
        {90001, HostValue::real(1.0)},
        {90003, HostValue::integer(0)},
        {90004, HostValue::integer(0)},
        {90009, HostValue::integer(0)},
        {90015, HostValue::integer(0)},
        {100018, HostValue::integer(1)},
        {100019, HostValue::integer(1)},
        {90034, HostValue::integer(1)}}},
      {"GEN: words in any case, joined or not",
       {textEntry("C4D_GEN_TYPE", "sPOT"), textEntry("C4D_GEN_VISIBILITY", "InverseVolumetric"),
        textEntry("C4D_GEN_SHADOWTYPE", "area")},
       10,
       {{90002, HostValue::integer(1)}, {90004, HostValue::integer(3)}, {90003, HostValue::integer(3)}}},
      {"GEN: values of every kind",
       {vector("C4D_GEN_COLOR", 0.5, 0.25, 1.0), realEntry("C4D_GEN_INTENSITY", 2.5),
        realEntry("C4D_GEN_NOIILUMINATION", 1.9), textEntry("C4D_GEN_VISIBILITY", "Inverse Volumetric")},
       10,
       {{90000, HostValue::vector({0.5, 0.25, 1.0})},
        {90001, HostValue::real(2.5)},
        {90009, HostValue::integer(1)},
        {90004, HostValue::integer(3)},
        {90002, HostValue::integer(0)}}},
      {"DET: every parameter, lengths at the run's factor, the white gradient",
       {realEntry("C4D_DET_AREAX", 3.0), realEntry("C4D_DET_INNERANGLE", 30.0),
        realEntry("C4D_DET_SAMPLES", 12.7), textEntry("C4D_DET_AREASHAPE", "Sphere"),
        textEntry("C4D_DET_FALLOFF", "InverseSquareClamped")},
       31,
       {{100010, HostValue::real(3.0 * kScale)},
        {100011, HostValue::real(2.0 * kScale)},
        {100012, HostValue::real(2.0 * kScale)},
        {90025, HostValue::real(5.0 * kScale)},
        {90030, HostValue::real(0.1 * kScale)},
        {90010, HostValue::real(30.0 * kDegree)},
        {90011, HostValue::real(0.5235987755982988)},
        {100016, HostValue::integer(12)},
        {100015, HostValue::integer(2)},
        {90014, HostValue::integer(7)},
        {100025, whiteGradient()}}},
      {"DET: a gradient described by index",
       {textEntry("C4D_DET_COLOR", "5"), textEntry("C4D_GRADIENTRGB_KNOTS_5", "6,7"),
        realEntry("C4D_GKRGB_POSITION_6", 0.25), realEntry("C4D_GKRGB_POSITION_7", 0.75),
        vector("C4D_GKRGB_COLOR_7", 1.0, 0.5, 0.0)},
       31,
       {{100025, gradient({knot({0, 0, 0}, 0.25), knot({1.0, 0.5, 0.0}, 0.75)})}}},
      {"DET: a gradient naming itself is built once",
       {textEntry("C4D_DET_COLOR", "5"), textEntry("C4D_GRADIENTRGB_KNOTS_5", "5")},
       31,
       {{100025, gradient({host::GradientKnot{}})}},
       {"Error: Shader reference loop: 5", "Error: ShaderRoot is not GradientKnot: GRADIENTRGB"}},
      {"DET: two root shaders",
       {textEntry("C4D_DET_COLOR", "LightGRRGB,LightGRRGB")},
       30,
       {{100025, unset}},
       {"Error: Wrong root shader count: DET_COLOR 2"}},
      {"VIS",
       {vector("C4D_VIS_RELATIVESCALE", 2, 3, 4), realEntry("C4D_VIS_OUTERDISTANCE", 10.0),
        realEntry("C4D_VIS_DUST", 0.375)},
       16,
       {{70028, HostValue::vector({2, 3, 4})},
        {70027, HostValue::real(10.0 * kScale)},
        {70020, HostValue::real(0.25 * kScale)},
        {70021, HostValue::real(0.375)},
        {100026, whiteGradient()}}},
      {"PHO: the file in the texture folder",
       {textEntry("C4D_PHO_FILE", "Lamp.ies"), textEntry("C4D_PHO_UNIT", "lx"),
        realEntry("C4D_PHO_INTENSITY", 500.0)},
       6,
       {{90036, HostValue::filename(folder + host::Filename("Lamp.ies"))},
        {90037, HostValue::integer(2)},
        {90043, HostValue::real(500.0)}}},
      {"PHO: no file",
       {realEntry("C4D_PHO_USEIES", 1.0)},
       6,
       {{90042, HostValue::integer(1)}, {90036, HostValue::filename(host::Filename())}}},
      {"CAU",
       {realEntry("C4D_CAU_VOLUMEPHOTONS", 5e9), textEntry("C4D_CAU_FALLOFF", "InverseCubic"),
        realEntry("C4D_CAU_OUTERDISTANCE", 20.0)},
       9,
       {{91005, HostValue::integer(std::numeric_limits<int32_t>::max())},
        {91006, HostValue::integer(4)},
        {91008, HostValue::real(20.0 * kScale)},
        {91002, HostValue::integer(10000)}}},
      {"NOI",
       {vector("C4D_NOI_VISIBILITYSCALE", 1, 2, 3), textEntry("C4D_NOI_TYPE", "WavyTurbulence"),
        textEntry("C4D_NOI_KIND", "Both")},
       7,
       {{60009, HostValue::vector({1 * kScale, 2 * kScale, 3 * kScale})},
        {60000, HostValue::integer(3)},
        {90005, HostValue::integer(3)},
        {60003, HostValue::real(4.0)}}},
      {"SHA",
       {textEntry("C4D_SHA_SHADOWMAPSIZE", "1000"), realEntry("C4D_SHA_ANGLE", 45.0),
        realEntry("C4D_SHA_ABSBIAS", 2.0), vector("C4D_SHA_COLOR", 0.25, 0.5, 0.75)},
       19,
       {{1002, HostValue::integer(3)},
        {50003, HostValue::real(45.0 * kDegree)},
        {50016, HostValue::real(2.0 * kScale)},
        {50013, HostValue::vector({0.25, 0.5, 0.75})},
        {50002, HostValue::real(5.0 * kScale)}}},
      {"LEN",
       {textEntry("C4D_LEN_GLOW", "Sun2"), textEntry("C4D_LEN_REFLEXES", "custom"),
        realEntry("C4D_LEN_ROTATION", 90.0)},
       14,
       {{80014, HostValue::integer(16)},
        {80015, HostValue::integer(1)},
        {80005, HostValue::real(90.0 * kDegree)}}},
      {"two channels", {realEntry("C4D_GEN_INTENSITY", 2.0), realEntry("C4D_SHA_DENSITY", 0.5)}, 29, {}},
      {"an unknown word",
       {textEntry("C4D_GEN_TYPE", "Spott")},
       9,
       {{90002, unset}},
       {"Error: Cannot find Channel Enum: 201 Spott", "Error: Cannot find Channel Enum: 201 Spott",
        "Error: Not found enum value: GEN_TYPE"}},
      {"entries without value or name",
       {empty("C4D_GEN_COLOR"), realEntry("Lamp_Colour", 1.0), realEntry("C4D_GEN_INTENSITY", 2.0)},
       10,
       {{90000, HostValue::vector({1, 1, 1})}, {90001, HostValue::real(2.0)}},
       {"Warning: Parameter not valid: C4D_GEN_COLOR", "Warning: Parameter not valid: "}},
      {"only the version entries", {realEntry("C4D_VER_MAIN", 22.0), realEntry("C4D_VER_SUB", 1.0)}, 0, {}},
  };
}

// One read scene with lights, the materials builder prepared and the light builder's
// mapper given the run's factor and folder.
class MappedLights : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host::initResource(TALVO_SOURCE_RES_DIR));
    host::app::setPluginFolder(temp_.file("plugin"));
    host::app::setDocumentsFolder(temp_.file("documents"));
  }
  void TearDown() override {
    lights_.reset();
    materials_.reset();
    run_.reset();
    host::app::resetPlugins();
    host::app::reset();
  }

  void load(const std::vector<std::vector<ts::ParameterEntry>>& lights, const host::Filename& folder) {
    ts::SceneDescription scene;
    ts::TextureRecord lamp;
    lamp.name = "Lamp";
    lamp.path = "Lamp.ies";
    lamp.data = {'I', 'E', 'S', 'N', 'A'};
    scene.textures = {lamp};
    for (const auto& entries : lights) {
      ts::LightRecord light;
      light.name = "Lamp";
      light.parameters.entries = entries;
      scene.lights.push_back(light);
    }
    fs::create_directories(temp_.path() / "scene");
    const std::string path = (temp_.path() / "scene" / "House.TALVO").string();
    ASSERT_TRUE(ts::writeSceneFile(scene, path));
    run_ = std::make_unique<LoaderRun>(path);
    talvo::resetToDefaults(run_->options);
    run_->options.sceneFilePath = host::Filename(path);
    ASSERT_EQ(run_->run(), talvo::kStatusOk);
    // As the options dialog leaves them.
    run_->options.effectiveScale = kScale;
    run_->options.textureFolder = folder;
    materials_ = std::make_unique<talvo::MaterialBuilder>(*run_->loader, run_->options);
    lights_ = std::make_unique<talvo::LightBuilder>(*run_->loader, run_->options, *materials_);
    ASSERT_EQ(materials_->prepareMaterials(), talvo::kStatusOk);
    lights_->prepareMapper();
    run_->console.clear();
  }

  std::vector<std::string> printed() {
    std::vector<std::string> lines = std::move(run_->console);
    run_->console.clear();
    return lines;
  }

  TempFolder temp_;
  std::unique_ptr<LoaderRun> run_;
  std::unique_ptr<talvo::MaterialBuilder> materials_;
  std::unique_ptr<talvo::LightBuilder> lights_;
};

TEST_F(MappedLights, EveryChannelFromTheScenesEntries) {
  const host::Filename folder((temp_.path() / "maps").string());
  std::vector<LightCase> table = lightTable(folder);
  std::vector<std::vector<ts::ParameterEntry>> lights;
  for (const LightCase& c : table) lights.push_back(c.entries);
  load(lights, folder);

  for (size_t i = 0; i < table.size(); ++i) {
    const LightCase& c = table[i];
    SCOPED_TRACE(c.what);
    host::BaseObject* light = lights_->buildMappedLight(int32_t(i));
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->getType(), host::kObjectLight);
    EXPECT_EQ(light->getUp(), nullptr);
    EXPECT_EQ(light->getDocument(), nullptr);
    std::vector<std::string> lines = {"Process light: " + std::to_string(i)};
    lines.insert(lines.end(), c.lines.begin(), c.lines.end());
    EXPECT_EQ(printed(), lines);
    EXPECT_EQ(light->getData().size(), c.count);
    for (const auto& [id, value] : c.values) {
      SCOPED_TRACE(id);
      const HostValue* set = light->getData().getValue(id);
      if (value.type() == host::kValueNone) {
        EXPECT_EQ(set, nullptr);
      } else {
        ASSERT_NE(set, nullptr);
        EXPECT_EQ(*set, value);
      }
    }
    host::BaseObject::free(light);
  }
  // The photometric file was extracted where its parameter points.
  EXPECT_TRUE(fs::exists(temp_.path() / "maps" / "Lamp.ies"));
}

TEST_F(MappedLights, LightsWithoutRecognisedEntriesAreNotMapped) {
  load({{realEntry("Lamp_Colour", 1.0)}}, host::Filename((temp_.path() / "maps").string()));
  EXPECT_EQ(lights_->buildMappedLight(0), nullptr);
  EXPECT_EQ(lights_->buildMappedLight(1), nullptr);
  EXPECT_EQ(lights_->buildMappedLight(-1), nullptr);
  EXPECT_EQ(printed(), std::vector<std::string>{});
}

TEST_F(MappedLights, ThePhotometricFileFollowsTheFolderTheMaterialsFellBackTo) {
  // A folder that cannot be made: below a plain file.
  std::ofstream(temp_.path() / "plain").put('x');
  load({{textEntry("C4D_PHO_FILE", "Lamp.ies")},
        {realEntry("C4D_PHO_USEIES", 1.0), textEntry("C4D_PHO_FILE", "lamp.IES")}},
       host::Filename((temp_.path() / "plain" / "maps").string()));
  const host::Filename fallback = host::Filename((temp_.path() / "scene").string()) + host::Filename("tex");

  host::BaseObject* first = lights_->buildMappedLight(0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(printed(),
            (std::vector<std::string>{"Process light: 0", "Texture Location Changed:" + fallback.string()}));
  EXPECT_EQ(first->getData().getFilename(90036), fallback + host::Filename("Lamp.ies"));
  EXPECT_TRUE(fs::exists(fs::path(fallback.string()) / "Lamp.ies"));

  // The next light finds the file there.
  host::BaseObject* second = lights_->buildMappedLight(1);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(printed(), std::vector<std::string>{"Process light: 1"});
  EXPECT_EQ(second->getData().getFilename(90036), fallback + host::Filename("lamp.IES"));
  host::BaseObject::free(first);
  host::BaseObject::free(second);
}

}  // namespace
