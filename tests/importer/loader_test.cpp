#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "loader_fixture.h"
#include "talvo_import_c4d_diagnostics.h"

namespace {

using namespace talvo_test;
using talvo::SceneLoader;

constexpr double kPi = std::numbers::pi;

// A small scene using every section: two shaders (one textured), a lamp class, a placed
// element, a quad, a triangle, a hexagon and a degenerate polygon, two lights, a camera
// set and two cameras. Valid for every version that is read.
ts::SceneDescription sampleScene(int32_t version, bool doublePrecision = false) {
  ts::SceneDescription s;
  s.header.version = version;
  s.header.doublePrecision = doublePrecision;
  s.header.headerString2 = "Exported model";
  s.header.fileUnitCode = 2;
  s.header.fileUnit = 0.01;
  s.header.infoNumber = 77;
  s.info.sceneBox = {0, 0, 0, 400, 300, 200};
  s.info.shaderDataLevel = 3;

  s.shaders = {{"Brick", 0, 1, {0.5, 0.25, 0.125}}, {"Glass", -1, 2, {0, 0, 1}}};
  s.textures = {{"brick", "C:\\Textures\\brick.png", {0x89, 'P', 'N', 'G', 1, 2, 3}, {}}};
  ts::ShaderInternalRecord textured;
  textured.present = true;
  textured.textureName = "brick";
  textured.angle = 90;
  textured.textureWidth = 120;
  textured.textureHeight = 60;
  textured.flagA = true;
  textured.flagC = true;
  textured.flagD = true;
  ts::ShaderInternalRecord plain;
  plain.hasExtras = true;
  for (int i = 0; i < 13; ++i) plain.extras[size_t(i)] = i + 0.5;
  s.shaderInternals = {textured, plain};
  if (version >= ts::kVersion220) {
    ts::ParameterSet set;
    set.entries = {{"C4D_chSize_HorSize", 1, 250.0, "", 1, 1, {}, {}},
                   {"C4D_CHCOLOR_COLOR_2", 3, 0, "", 1, 3, {0.1, 0.2, 0.3}, {}},
                   {"Other_name", 2, 0, "text", 1, 1, {}, {}}};
    s.shaderC4D = {set, ts::ParameterSet{}};
  }
  s.classes = {{12, "Wall"}, {7, "Lamp"}};
  s.stories = {{0, "Ground Floor", {0, 0}}, {1, "First Floor", {300, 0}}};
  s.layers = {{"Walls"}, {"Lighting"}};

  ts::ElementRecord wall;
  wall.name = "Wall 1";
  ts::ElementRecord window;
  window.layerIndex = 0;
  window.classIndex = 0;
  window.storyIndex = 1;
  window.name = "Window 1";
  window.placed = true;
  window.libraryName = "Window 90";
  window.position = {100, 200, 300};
  window.angle = 180;
  window.size = {90, 10, 120};
  window.baseSize = {45, 10, 60};
  window.mirrored = true;
  ts::ElementRecord lamp;
  lamp.layerIndex = 1;
  lamp.classIndex = 1;
  lamp.storyIndex = 0;
  lamp.name = "Lamp 1";
  s.elements = {wall, window, lamp};

  for (int i = 0; i < 8; ++i) s.points.push_back({double(i), double(10 * i), double(100 * i)});
  s.points.push_back({0.5, 0.5, 1.0});  // point 8: colour of an old-style light

  s.polygons = {
      {0, 0, {0, 1, 2, 3}, {}}, {1, 1, {4, 5, 6}, {}}, {0, 0, {0, 1, 2, 3, 4, 5}, {}}, {1, 2, {6, 7}, {}}};
  s.uvws = {{{{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {}},
            {{{0.25, 0.5}, {1, 0}, {0, 1}}, {}},
            {{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}}, {}},
            {{{0, 0}, {1, 1}}, {}}};
  s.normals = {{0, 1, 0}};

  ts::LightRecord free;
  free.kind = 0;
  free.name = "Sun";
  free.color = {1, 0.5, 0.25};
  free.position = {10, 20, 30};
  free.target = {0, 0, 0};
  free.positionPoint = 1;
  free.colorPoint = 8;
  free.targetPoint = 2;
  free.shadowType = 2;
  free.brightness = 0.75;
  free.spotRadius = 50;
  free.innerAngle = 30;
  free.outerAngle = 60;
  free.falloffDistance = 500;
  free.falloffRadius = 20;
  free.innerDistance = 3;
  ts::LightRecord lampLight = free;
  lampLight.name = "Bulb";
  lampLight.kind = 5;
  lampLight.elementIndex = 2;
  lampLight.lightNumber = 3;
  lampLight.parameters.entries = {{"C4D_LIGHT_TYPE", 1, 2.0, "", 1, 1, {}, {}}};
  s.lights = {free, lampLight};

  s.cameraSets = {{"Views"}};
  ts::CameraRecord active;
  active.name = "ACCamera_0";
  active.positionPoint = 3;
  active.targetPoint = 4;
  active.cameraNumber = 0;
  active.idText = "id";
  active.position = {1, 2, 3};
  active.target = {4, 5, 6};
  active.fieldAngle = 90;
  active.roll = 45;
  active.cameraSetIndex = 0;
  ts::CameraRecord other = active;
  other.name = "Garden";
  other.cameraNumber = 2;
  other.cameraSetIndex = -1;
  s.cameras = {active, other};
  return s;
}

class Loader : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host::initResource(TALVO_SOURCE_RES_DIR)); }
  void TearDown() override {
    host::app::reset();
    host::BaseFile::setReadBufferSize(0);
  }
  std::string write(const ts::SceneDescription& scene, const std::string& name = "scene.TALVO") {
    return writeBytes(temp_.file(name), ts::writeScene(scene));
  }
  TempFolder temp_;
};

// ---------------------------------------------------------------------------------------
// Layouts of every version read

struct VersionCase {
  int32_t version;
  bool doublePrecision;
};

void PrintTo(const VersionCase& c, std::ostream* out) {
  *out << c.version << (c.doublePrecision ? " double" : " float");
}

class LoaderVersions : public Loader, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(LoaderVersions, ReadsEveryRecordOfTheLayout) {
  const auto [version, doublePrecision] = GetParam();
  LoaderRun run(write(sampleScene(version, doublePrecision)));
  ASSERT_EQ(run.run(), talvo::kStatusOk);
  const SceneLoader& l = *run.loader;
  const bool isNew = version >= ts::kVersion220;

  EXPECT_EQ(l.header.version, version);
  EXPECT_EQ(l.header.versionName, ts::versionName(version));
  EXPECT_EQ(l.header.headerString2, "Exported model");
  EXPECT_EQ(l.header.doublePrecision, doublePrecision);
  EXPECT_EQ(l.header.fileUnitCode, 2);
  EXPECT_NEAR(l.header.fileUnit, 0.01, 1e-7);
  EXPECT_EQ(l.header.infoNumber, version >= ts::kVersion211 ? 77 : 0);
  EXPECT_EQ(l.header.shaderDataLevel, isNew ? 3 : 0);
  EXPECT_EQ(l.center[0], 200);
  EXPECT_EQ(l.center[1], 150);
  EXPECT_EQ(l.center[2], 100);

  ASSERT_EQ(l.shadersRead(), 2);
  EXPECT_EQ(l.shaders[0].name, "Brick");
  EXPECT_EQ(l.shaders[0].color[1], 0.25);
  ASSERT_EQ(l.texturesRead(), 1);
  EXPECT_EQ(l.textures[0].name, "brick");
  EXPECT_EQ(l.textures[0].fileName.string(), "brick.png");
  EXPECT_EQ(l.textures[0].fileTitle, "brick");
  ASSERT_EQ(l.textureData[0].size(), 7u);
  EXPECT_EQ(l.textureData[0][6], 3);

  ASSERT_EQ(l.shaderInternalsRead(), 2);
  const auto& textured = l.shaderInternals[0];
  EXPECT_TRUE(textured.present);
  EXPECT_EQ(textured.textureName, "brick");
  EXPECT_DOUBLE_EQ(textured.angle, -kPi / 2);
  EXPECT_EQ(textured.textureWidth, 120);  // not scaled
  EXPECT_TRUE(textured.flagA);
  EXPECT_FALSE(textured.flagB);
  EXPECT_EQ(textured.flagC, version >= ts::kVersion211);
  EXPECT_EQ(textured.flagD, version >= ts::kVersion211);
  EXPECT_FALSE(l.shaderInternals[1].present);
  EXPECT_TRUE(l.shaderInternals[1].hasExtras);
  EXPECT_EQ(l.shaderInternals[1].extras[12], 12.5);

  if (isNew) {
    ASSERT_EQ(l.shaderC4DsRead(), 2);
    const talvo::ParameterSet& set = l.shaderC4Ds[0];
    EXPECT_EQ(set.shaderName, "Brick");
    EXPECT_EQ(set.infoNumber, 77);
    EXPECT_EQ(set.recognisedCount, 2);
    ASSERT_EQ(set.entries.size(), 3u);
    EXPECT_EQ(set.entries[0].key.fullName, "C4D_CHSIZE_HORSIZE");
    EXPECT_EQ(set.entries[0].realValue, 250.0);
    EXPECT_EQ(set.entries[1].key.index, 2);
    ASSERT_EQ(set.entries[1].cells.size(), 3u);
    EXPECT_FLOAT_EQ(float(set.entries[1].cells[2].realValue), 0.3f);
    EXPECT_FALSE(set.entries[2].key.recognised);
    EXPECT_EQ(set.entries[2].stringValue, "text");
  } else {
    EXPECT_EQ(l.shaderC4DsRead(), 0);
    EXPECT_EQ(l.count(talvo::Section::shaderC4D), 0);
    EXPECT_EQ(l.count(talvo::Section::cameraSet), 0);
  }

  EXPECT_EQ(l.classes[0].typeId, version >= ts::kVersion212 ? 12 : -1);
  EXPECT_EQ(l.classes[1].name, "Lamp");
  EXPECT_EQ(l.stories[1].name, "First Floor");
  EXPECT_EQ(l.layers[1].name, "Lighting");

  ASSERT_EQ(l.elementsRead(), 3);
  const talvo::ElementRecord& wall = l.elements[0];
  const talvo::ElementRecord& window = l.elements[1];
  const talvo::ElementRecord& lamp = l.elements[2];
  // Names: from 2.50 on every element; 2.11 to 2.20 placed ones only; 2.10 none.
  EXPECT_EQ(wall.name, version >= ts::kVersion250 ? "Wall 1" : "");
  EXPECT_EQ(window.name, version >= ts::kVersion211 ? "Window 1" : "");
  EXPECT_TRUE(window.placed);
  EXPECT_EQ(window.libraryName, "Window 90");
  EXPECT_EQ(window.position[0], 100);
  EXPECT_EQ(window.position[1], 200);
  EXPECT_EQ(window.position[2], 300);
  EXPECT_DOUBLE_EQ(window.angle, kPi);
  EXPECT_EQ(window.size[2], 120);
  EXPECT_EQ(window.baseSize[0], 45);
  EXPECT_TRUE(window.mirrored);
  EXPECT_EQ(window.instanceGroup, -1);
  EXPECT_FALSE(wall.hasLight);
  // An unplaced element of the lamp class carries a light by itself; class types exist
  // from 2.12 on.
  EXPECT_EQ(lamp.hasLight, version >= ts::kVersion212);

  EXPECT_EQ(l.pointsRead(), 9);
  EXPECT_EQ(l.normalsRead(), 1);
  EXPECT_EQ(l.polygonsStored(), 6);  // quad, triangle, 4 fan triangles, nothing
  EXPECT_EQ(l.uvwStored(), 6);

  ASSERT_EQ(l.lightsRead(), 2);
  const talvo::LightRecord& sun = l.lights[0];
  const talvo::LightRecord& bulb = l.lights[1];
  EXPECT_EQ(sun.name, "Sun");
  EXPECT_EQ(sun.elementIndex, -1);
  EXPECT_EQ(sun.hostLightType, 4);
  EXPECT_EQ(bulb.hostLightType, 0);  // kind 5 is not known
  EXPECT_EQ(sun.shadowType, 2);
  EXPECT_EQ(sun.brightness, 0.75);
  EXPECT_DOUBLE_EQ(sun.innerAngle, kPi / 6);
  EXPECT_DOUBLE_EQ(sun.outerAngle, kPi / 3);
  EXPECT_EQ(sun.falloffRadius, 20);
  EXPECT_EQ(sun.innerDistance, 3);
  if (isNew) {
    EXPECT_EQ(sun.position[2], 30);
    EXPECT_EQ(sun.color[1], 0.5);
    EXPECT_EQ(bulb.elementIndex, 2);
    EXPECT_EQ(bulb.lightNumber, 3);
    EXPECT_EQ(bulb.parameters.recognisedCount, 1);
    EXPECT_TRUE(lamp.hasLight);
  } else {
    // Position, colour and target come from the point table.
    EXPECT_EQ(sun.position[1], 10);
    EXPECT_EQ(sun.target[2], 200);
    EXPECT_EQ(sun.color[2], 1.0);
    EXPECT_EQ(sun.lightNumber, -1);
    EXPECT_EQ(bulb.elementIndex, -1);
    EXPECT_TRUE(bulb.parameters.entries.empty());
  }

  ASSERT_EQ(l.camerasRead(), 2);
  const talvo::CameraRecord& active = l.cameras[0];
  EXPECT_EQ(active.name, "ACCamera_0");
  EXPECT_DOUBLE_EQ(active.fieldAngle, kPi / 2);
  if (isNew) {
    EXPECT_EQ(l.cameraSetsRead(), 1);
    EXPECT_EQ(active.position[0], 1);
    EXPECT_EQ(active.target[2], 6);
    EXPECT_DOUBLE_EQ(active.roll, kPi / 4);
    EXPECT_EQ(active.cameraSetIndex, 0);
    EXPECT_EQ(l.cameras[1].cameraNumber, 2);
  } else {
    EXPECT_EQ(active.position[2], 300);
    EXPECT_EQ(active.target[1], 40);
    EXPECT_EQ(active.roll, 0);
    EXPECT_EQ(active.cameraSetIndex, -1);
    EXPECT_EQ(active.cameraNumber, -1);
  }
}

INSTANTIATE_TEST_SUITE_P(AllVersions, LoaderVersions,
                         ::testing::Values(VersionCase{20010, false}, VersionCase{20011, false},
                                           VersionCase{20012, false}, VersionCase{20013, false},
                                           VersionCase{20200, false}, VersionCase{20500, false},
                                           VersionCase{20010, true}, VersionCase{20500, true}),
                         [](const auto& info) {
                           return std::to_string(info.param.version) +
                                  (info.param.doublePrecision ? "_double" : "_float");
                         });

TEST_F(Loader, VersionTextNamesTheVersionFrom213) {
  ts::SceneDescription s = sampleScene(20013);
  s.header.versionText = "2.13b";
  LoaderRun run(write(s));
  ASSERT_EQ(run.run(), talvo::kStatusOk);
  EXPECT_EQ(run.loader->header.versionName, "2.13b");
  EXPECT_EQ(run.console[0], "Binary file version: 2.13b");
}

TEST_F(Loader, EightBitStringsAreDecodedButHeaderStringsStayUtf8) {
  ts::SceneDescription s = sampleScene(20500);
  s.header.utf8Strings = false;
  s.header.headerString2 = "Caf\xC3\xA9";  // UTF-8 whatever the flag says
  s.shaders[0].name =
      "Fa\xE7"
      "ade";  // Windows-1252
  s.textures[0].name =
      "\xFC"
      "ber";
  LoaderRun run(write(s));
  ASSERT_EQ(run.run(), talvo::kStatusOk);
  EXPECT_EQ(run.loader->header.headerString2, "Caf\xC3\xA9");
  EXPECT_EQ(run.loader->shaders[0].name,
            "Fa\xC3\xA7"
            "ade");
  EXPECT_EQ(run.loader->textures[0].name,
            "\xC3\xBC"
            "ber");
  EXPECT_EQ(run.loader->shaderC4Ds[0].shaderName,
            "Fa\xC3\xA7"
            "ade");
}

// ---------------------------------------------------------------------------------------
// Report

TEST_F(Loader, CountReportOfAnOldFileListsAllFifteenCounts) {
  LoaderRun run(write(sampleScene(20010), "House.TALVO"));
  ASSERT_EQ(run.loader->checkFile(), talvo::kStatusOk);
  const std::vector<std::string> expected = {
      "Binary file version: 2.10",
      talvo::kSectionLine,
      "Filename:  House.TALVO",
      talvo::kSectionLine,
      "Loader: Shader cnt:               2",
      "Loader: Texture cnt:              1",
      "Loader: Shader Internal cnt:      2",
      "Loader: Shader C4D cnt:           0",
      "Loader: Class cnt:                2",
      "Loader: Story cnt:                2",
      "Loader: Layer cnt:                2",
      "Loader: Element cnt:              3",
      "Loader: Point cnt:                9",
      "Loader: Uvw cnt:                  4",
      "Loader: Normal cnt:               1",
      "Loader: Polygon cnt:              4",
      "Loader: Light cnt:                2",
      "Loader: CameraSet cnt:            0",
      "Loader: Camera cnt:               2",
      talvo::kSectionLine,
  };
  EXPECT_EQ(run.console, expected);
  // readAll prints nothing more.
  ASSERT_EQ(run.loader->readAll(), talvo::kStatusOk);
  EXPECT_EQ(run.console.size(), expected.size());
}

TEST_F(Loader, EmptyNewFileReadsToEmptyTables) {
  ts::SceneDescription s;
  s.header.version = 20200;
  LoaderRun run(write(s));
  ASSERT_EQ(run.run(), talvo::kStatusOk);
  ASSERT_EQ(run.console.size(), 20u);
  for (size_t i = 4; i < 19; ++i) EXPECT_EQ(run.console[i].back(), '0') << run.console[i];
  EXPECT_EQ(run.loader->polygonsStored(), 0);
  EXPECT_EQ(run.loader->shadersRead(), 0);
}

// ---------------------------------------------------------------------------------------
// Fanning, counting and scaling

TEST_F(Loader, LargePolygonsFanAndEveryStoredPolygonIsCounted) {
  LoaderRun run(write(sampleScene(20500)));
  ASSERT_EQ(run.run(), talvo::kStatusOk);
  const SceneLoader& l = *run.loader;
  struct Expect {
    int32_t vertexCount;
    std::array<int32_t, 4> points;
    double firstU, secondU, thirdU;
  };
  const Expect expected[] = {
      {4, {0, 1, 2, 3}, 0, 1, 1}, {3, {4, 5, 6, 0}, 0.25, 1, 0}, {3, {0, 1, 2, 0}, 0, 1, 2},
      {3, {0, 2, 3, 0}, 0, 2, 3}, {3, {0, 3, 4, 0}, 0, 3, 4},    {3, {0, 4, 5, 0}, 0, 4, 5},
  };
  ASSERT_EQ(l.polygonsStored(), 6);
  for (size_t i = 0; i < 6; ++i) {
    const talvo::PolygonRecord& p = l.polygons[i];
    EXPECT_EQ(p.vertexCount, expected[i].vertexCount) << i;
    EXPECT_EQ((std::array<int32_t, 4>{p.pointIndex[0], p.pointIndex[1], p.pointIndex[2], p.pointIndex[3]}),
              expected[i].points)
        << i;
    const talvo::UvwRecord& u = l.uvws[i];
    EXPECT_EQ(u.vertexCount, expected[i].vertexCount) << i;
    EXPECT_EQ(u.uvw[0].x, expected[i].firstU) << i;
    EXPECT_EQ(u.uvw[1].x, expected[i].secondU) << i;
    EXPECT_EQ(u.uvw[2].x, expected[i].thirdU) << i;
    if (u.vertexCount == 3) {
      EXPECT_EQ(u.uvw[3], host::Vector{}) << i;
    }
  }
  // Element 0 holds the quad and the hexagon's four triangles; the degenerate polygon of
  // element 2 counts nowhere.
  EXPECT_EQ(l.elements[0].polygonCount, 5);
  EXPECT_EQ(l.elements[0].polygonIndexSum, 16);
  EXPECT_EQ(l.elements[1].polygonCount, 1);
  EXPECT_EQ(l.elements[2].polygonCount, 0);
  EXPECT_EQ(l.shaders[0].polygonCount, 5);
  EXPECT_EQ(l.shaders[0].polygonIndexSum, 16);
  EXPECT_EQ(l.shaders[1].polygonIndexSum, 3);
  EXPECT_EQ(l.classes[0].polygonCount, 6);
  EXPECT_EQ(l.stories[0].polygonCount, 5);
  EXPECT_EQ(l.stories[1].polygonCount, 1);
  EXPECT_EQ(l.layers[0].polygonIndexSum, 19);
}

TEST_F(Loader, LengthsAndUvsAreScaledWhileReading) {
  ts::SceneDescription s = sampleScene(20010);
  s.points[0] = {100, 200, 300};
  LoaderRun run(write(s), 0.01, 2.0);
  ASSERT_EQ(run.run(), talvo::kStatusOk);
  const SceneLoader& l = *run.loader;
  EXPECT_DOUBLE_EQ(l.points[0].x, 1.0);
  EXPECT_DOUBLE_EQ(l.points[0].y, 2.0);
  EXPECT_DOUBLE_EQ(l.points[0].z, 3.0);
  EXPECT_DOUBLE_EQ(l.center[0], 2.0);
  // The colour of an old light is the colour point's file values, not its scaled ones.
  EXPECT_DOUBLE_EQ(l.lights[0].color[0], 0.5);
  EXPECT_DOUBLE_EQ(l.lights[0].color[2], 1.0);
  EXPECT_DOUBLE_EQ(l.lights[0].spotRadius, 0.5);
  EXPECT_DOUBLE_EQ(l.lights[0].falloffDistance, 5.0);
  EXPECT_EQ(l.lights[0].innerDistance, 3);  // kept as read
  EXPECT_DOUBLE_EQ(l.elements[1].position[0], 1.0);
  EXPECT_DOUBLE_EQ(l.elements[1].baseSize[2], 0.6);
  EXPECT_EQ(l.shaderInternals[0].textureWidth, 120);
  // (0.25, 0.5) with uvwScale 2 becomes (0.5, -1, 0).
  EXPECT_EQ(l.uvws[1].uvw[0], (host::Vector{0.5, -1.0, 0.0}));
}

TEST(ParameterKey, DecodesNamesOfThreeOrFourParts) {
  struct Case {
    const char* name;
    bool recognised;
    const char* fullName;
    int32_t index;
  };
  const Case cases[] = {
      {"C4D_CHSIZE_HORSIZE", true, "C4D_CHSIZE_HORSIZE", 0},
      {"C4D_chsize_horsize", true, "C4D_CHSIZE_HORSIZE", 0},
      {"C4D_CHSIZE_HORSIZE_2", true, "C4D_CHSIZE_HORSIZE", 2},
      {"C4D_CHSIZE_HORSIZE_x", true, "C4D_CHSIZE_HORSIZE", 0},
      {"C4D__", true, "C4D__", 0},
      {"c4d_CHSIZE_HORSIZE", false, "", 0},
      {"C4D_CHSIZE", false, "", 0},
      {"C4D_A_B_1_2", false, "", 0},
      {"", false, "", 0},
  };
  for (const Case& c : cases) {
    talvo::ParameterKey key;
    ASSERT_EQ(talvo::decodeParameterKey(c.name, key), talvo::kStatusOk) << c.name;
    EXPECT_EQ(key.recognised, c.recognised) << c.name;
    EXPECT_EQ(key.fullName, c.fullName) << c.name;
    EXPECT_EQ(key.index, c.index) << c.name;
  }
  talvo::ParameterKey key;
  EXPECT_EQ(talvo::decodeParameterKey("C4D_" + std::string(64, 'G') + "_P", key), talvo::kStatusReadFailed);
  ASSERT_EQ(talvo::decodeParameterKey("C4D_" + std::string(63, 'G') + "_" + std::string(63, 'P'), key),
            talvo::kStatusOk);
  EXPECT_EQ(key.fullName.size(), 3u + 1 + 63 + 1 + 63);  // never cut
}

// ---------------------------------------------------------------------------------------
// Recognition and refusals

TEST(SceneFile, IsRecognisedByExtensionAndMagic) {
  const uint8_t good[] = {'T', 'L', 'V', 'O', 'B', 'I', 'N', 'X'};
  const uint8_t bad[] = {'T', 'L', 'V', 'O', 'B', 'I', 'X', 0};
  EXPECT_TRUE(SceneLoader::isSceneFile(host::Filename("a/House.TALVO"), good, 8));
  EXPECT_TRUE(SceneLoader::isSceneFile(host::Filename("House.talvo"), good, 8));
  EXPECT_FALSE(SceneLoader::isSceneFile(host::Filename("House.bin"), good, 8));
  EXPECT_FALSE(SceneLoader::isSceneFile(host::Filename("House.TALVO"), bad, 8));
  EXPECT_FALSE(SceneLoader::isSceneFile(host::Filename("House.TALVO"), good, 6));
}

TEST_F(Loader, RefusedAndDamagedHeadersEndWithTheirStatus) {
  struct Case {
    const char* what;
    std::function<std::vector<uint8_t>()> bytes;
    const char* fileName;
    int32_t status;
    const char* versionName;
  };
  auto withVersion = [](int32_t version) {
    return [version] {
      ts::SceneDescription s;
      s.header.version = version;
      return ts::writeScene(s);
    };
  };
  const Case cases[] = {
      {"version 2.06", withVersion(20006), "a.TALVO", talvo::kStatusVersionTooOld, "2.06"},
      {"version 2.00", withVersion(20000), "a.TALVO", talvo::kStatusVersionTooOld, "2.00"},
      {"unknown version", withVersion(20300), "a.TALVO", talvo::kStatusVersionUnknown, "Unknown"},
      {"wrong extension", withVersion(20500), "a.TALV", talvo::kStatusNotSceneFile, ""},
      {"empty file", [] { return std::vector<uint8_t>(); }, "a.TALVO", talvo::kStatusEmptyFile, ""},
      {"cut in the magic", [] { return std::vector<uint8_t>(100, 'T'); }, "a.TALVO",
       talvo::kStatusHeaderUnreadable, ""},
      {"cut after the version",
       [] {
         auto b = ts::writeScene(sampleScene(20500));
         b.resize(8 + 256 + 4 + 2);
         return b;
       },
       "a.TALVO", talvo::kStatusHeaderUnreadable, "2.50"},
  };
  for (const Case& c : cases) {
    LoaderRun run(writeBytes(temp_.file(c.fileName), c.bytes()));
    EXPECT_EQ(run.loader->checkFile(), c.status) << c.what;
    EXPECT_EQ(run.loader->header.versionName, c.versionName) << c.what;
    EXPECT_TRUE(run.console.empty()) << c.what << ": nothing is reported before the trailer";
  }
}

// ---------------------------------------------------------------------------------------
// Damaged files

// Every prefix of a valid file fails with a status and no crash; the whole file reads.
TEST_F(Loader, EveryTruncationFails) {
  for (const int32_t version : {20010, 20500}) {
    const std::vector<uint8_t> bytes = ts::writeScene(sampleScene(version));
    host::BaseFile::setReadBufferSize(7);
    for (size_t size = 0; size < bytes.size(); ++size) {
      const std::string path =
          writeBytes(temp_.file("cut.TALVO"), {bytes.begin(), bytes.begin() + long(size)});
      LoaderRun run(path);
      EXPECT_NE(run.run(), talvo::kStatusOk) << "version " << version << " cut at " << size;
    }
    LoaderRun whole(writeBytes(temp_.file("whole.TALVO"), bytes));
    EXPECT_EQ(whole.run(), talvo::kStatusOk);
  }
}

struct Mutation {
  const char* what;
  int32_t version;
  std::function<void(ts::SceneDescription&)> edit;
  int32_t status;
};

void overrideCount(ts::SceneDescription& s, ts::Section section, int32_t value) {
  s.countOverride[size_t(section)] = value;
}

TEST_F(Loader, DamagedRecordsEndWithTheirStatus) {
  using S = ts::Section;
  const Mutation mutations[] = {
      {"untouched", 20500, [](auto&) {}, talvo::kStatusOk},
      {"untouched old", 20010, [](auto&) {}, talvo::kStatusOk},
      {"negative polygon count", 20500, [](auto& s) { overrideCount(s, S::polygon, -1); },
       talvo::kStatusTrailerUnreadable},
      {"polygon count beyond the body", 20500, [](auto& s) { overrideCount(s, S::polygon, 1 << 30); },
       talvo::kStatusDamaged},
      {"point count beyond the body", 20010, [](auto& s) { overrideCount(s, S::point, 100000); },
       talvo::kStatusDamaged},
      {"texture larger than the file", 20500, [](auto& s) { s.textures[0].dataSize = 1u << 31; },
       talvo::kStatusTextureTruncated},
      {"texture of no bytes", 20500, [](auto& s) { s.textures[0].data.clear(); }, talvo::kStatusReadFailed},
      {"string longer than the limit", 20500, [](auto& s) { s.shaders[0].name = std::string(1100, 'a'); },
       talvo::kStatusReadFailed},
      {"8-bit string longer than its limit", 20500,
       [](auto& s) {
         s.header.utf8Strings = false;
         s.layers[0].name = std::string(300, 'a');
       },
       talvo::kStatusReadFailed},
      {"string of the longest length", 20500, [](auto& s) { s.shaders[0].name = std::string(1023, 'a'); },
       talvo::kStatusOk},
      {"parameter name part of 64 bytes", 20500,
       [](auto& s) { s.shaderC4D[0].entries[0].name = "C4D_" + std::string(64, 'X') + "_Y"; },
       talvo::kStatusReadFailed},
      {"grid without rows", 20500, [](auto& s) { s.shaderC4D[0].entries[1].rows = 0; },
       talvo::kStatusReadFailed},
      {"grid of too many cells", 20500,
       [](auto& s) {
         s.shaderC4D[0].entries[1].rows = 100000;
         s.shaderC4D[0].entries[1].columns = 100000;
       },
       talvo::kStatusReadFailed},
      {"grid of no columns counts one", 20500,
       [](auto& s) {
         auto& e = s.shaderC4D[0].entries[1];
         e.rows = 2;
         e.columns = 0;
         e.realCells = {1, 2};
       },
       talvo::kStatusOk},
      {"entry count beyond the body", 20500, [](auto& s) { s.shaderC4D[0].entryCount = 1 << 28; },
       talvo::kStatusReadFailed},
      {"negative entry count", 20500, [](auto& s) { s.lights[1].parameters.entryCount = -2; },
       talvo::kStatusReadFailed},
      {"polygon shader past the end", 20500, [](auto& s) { s.polygons[1].shaderIndex = 2; },
       talvo::kStatusDamaged},
      {"polygon shader negative", 20500, [](auto& s) { s.polygons[1].shaderIndex = -1; },
       talvo::kStatusDamaged},
      {"polygon element past the end", 20500, [](auto& s) { s.polygons[0].elementIndex = 3; },
       talvo::kStatusDamaged},
      {"polygon point past the end", 20500, [](auto& s) { s.polygons[2].pointIndices[5] = 9; },
       talvo::kStatusDamaged},
      {"degenerate polygon point past the end", 20500, [](auto& s) { s.polygons[3].pointIndices[1] = 99; },
       talvo::kStatusDamaged},
      {"vertex count beyond the body", 20500, [](auto& s) { s.polygons[0].vertexCount = 1 << 29; },
       talvo::kStatusReadFailed},
      {"negative vertex count", 20500, [](auto& s) { s.uvws[0].vertexCount = -4; }, talvo::kStatusReadFailed},
      {"element layer past the end", 20500, [](auto& s) { s.elements[1].layerIndex = 2; },
       talvo::kStatusDamaged},
      {"element class negative", 20500, [](auto& s) { s.elements[0].classIndex = -1; },
       talvo::kStatusDamaged},
      {"element story past the end", 20010, [](auto& s) { s.elements[2].storyIndex = 5; },
       talvo::kStatusDamaged},
      {"light element past the end", 20500, [](auto& s) { s.lights[1].elementIndex = 3; },
       talvo::kStatusDamaged},
      {"light element -2", 20500, [](auto& s) { s.lights[1].elementIndex = -2; }, talvo::kStatusDamaged},
      {"old light position point past the end", 20010, [](auto& s) { s.lights[0].positionPoint = 9; },
       talvo::kStatusDamaged},
      {"old light colour point negative", 20013, [](auto& s) { s.lights[0].colorPoint = -1; },
       talvo::kStatusDamaged},
      {"old light target point past the end", 20012, [](auto& s) { s.lights[1].targetPoint = 100; },
       talvo::kStatusDamaged},
      {"old camera point past the end", 20010, [](auto& s) { s.cameras[1].targetPoint = 9; },
       talvo::kStatusDamaged},
      {"camera set past the end", 20500, [](auto& s) { s.cameras[1].cameraSetIndex = 1; },
       talvo::kStatusDamaged},
      {"camera set -2", 20200, [](auto& s) { s.cameras[1].cameraSetIndex = -2; }, talvo::kStatusDamaged},
      {"more uvw records than polygons", 20500,
       [](auto& s) {
         s.uvws[3].uv.push_back({0, 0});
       },
       talvo::kStatusOk},
  };
  for (const Mutation& m : mutations) {
    ts::SceneDescription s = sampleScene(m.version);
    m.edit(s);
    LoaderRun run(write(s));
    EXPECT_EQ(run.run(), m.status) << m.what << " (" << talvo::statusName(m.status) << ")";
  }
}

TEST_F(Loader, ReadingIntoTheTrailerEndsAtTheNextCheckpoint) {
  // The shader's name claims 30 bytes of the trailer: the record still reads, but the
  // position passes fileSize - 52.
  ts::SceneDescription s;
  s.header.version = 20010;
  s.shaders = {{"A", -1, 0, {0, 0, 0}}};
  ts::SceneMarks marks;
  std::vector<uint8_t> bytes = ts::writeScene(s, &marks);
  const uint64_t at = marks.start(ts::Section::shader);
  const int32_t n = 2 + 30;
  std::memcpy(&bytes[at], &n, 4);
  LoaderRun run(writeBytes(temp_.file("x.TALVO"), bytes));
  EXPECT_EQ(run.run(), talvo::kStatusReadPastEnd);
}

// ---------------------------------------------------------------------------------------
// Checkpoints: progress, cancel, and the failure of each allocation

ts::SceneDescription pointScene(int32_t pointCount) {
  ts::SceneDescription s;
  s.header.version = 20500;
  for (int32_t i = 0; i < pointCount; ++i) s.points.push_back({double(i), 0, 0});
  return s;
}

TEST_F(Loader, CheckpointsRunPerSectionAndEveryThousandRecords) {
  LoaderRun run(write(pointScene(2500)));
  int polls = 0;
  std::vector<int32_t> percents;
  host::app::setKeySource([&](int32_t) { return ++polls, false; });
  host::app::setStatusObserver([&](const host::app::StatusBar& bar) {
    if (bar.percent >= 0) percents.push_back(bar.percent);
  });
  ASSERT_EQ(run.run(), talvo::kStatusOk);
  // Scene box, 8 sections, points 0, 1000 and 2000, then lights, camera sets, cameras.
  EXPECT_EQ(polls, 1 + 8 + 3 + 3);
  ASSERT_FALSE(percents.empty());
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_GE(percents.back(), 99);
}

TEST_F(Loader, EscapeAnsweredYesCancelsAndNoCarriesOn) {
  for (const int32_t answer : {host::kAnswerYes, host::kAnswerNo}) {
    LoaderRun run(write(pointScene(1500)));
    ASSERT_EQ(run.loader->checkFile(), talvo::kStatusOk);
    const size_t reportLines = run.console.size();
    host::app::holdKey(host::kKeyEscape);
    host::app::queueAnswers({answer});
    const int32_t rc = run.loader->readAll();
    const std::vector<std::string> cancelLines(run.console.begin() + long(reportLines), run.console.end());
    EXPECT_EQ(cancelLines, (std::vector<std::string>{talvo::kBlockLine, "CANCELED", talvo::kBlockLine}));
    if (answer == host::kAnswerYes) {
      EXPECT_EQ(rc, talvo::kStatusReadCancelled);
    } else {
      EXPECT_EQ(rc, talvo::kStatusOk);
      EXPECT_EQ(run.loader->pointsRead(), 1500);
    }
  }
}

// Each allocation of the reader fails in turn: every run ends with the memory status, and
// nothing is left allocated after release.
TEST_F(Loader, EveryAllocationFailureEndsWithTheMemoryStatus) {
  const std::string path = write(sampleScene(20500));
  const int64_t liveBefore = host::app::liveAllocations();
  for (int64_t n = 1;; ++n) {
    ASSERT_LT(n, 1000) << "the reader never succeeded";
    int32_t rc;
    {
      LoaderRun run(path);
      ASSERT_EQ(run.loader->checkFile(), talvo::kStatusOk);
      host::app::failAllocationAt(n);
      rc = run.loader->readAll();
      host::app::failAllocationAt(0);
    }
    EXPECT_EQ(host::app::liveAllocations(), liveBefore) << "allocation " << n;
    if (rc == talvo::kStatusOk) {
      EXPECT_GT(n, 15) << "fewer allocations than tables";
      break;
    }
    ASSERT_EQ(rc, talvo::kStatusOutOfMemory) << "allocation " << n;
  }
}

TEST_F(Loader, UvwAndPolygonArraysGrowBeyondTheirCountWhenFanning) {
  ts::SceneDescription s;
  s.header.version = 20500;
  s.shaders = {{"S", -1, 0, {0, 0, 0}}};
  s.classes = {{0, "C"}};
  s.stories = {{0, "S", {0, 0}}};
  s.layers = {{"L"}};
  s.elements.resize(1);
  for (int i = 0; i < 40; ++i) s.points.push_back({double(i), 0, 0});
  std::vector<int32_t> ring;
  std::vector<ts::Vec2> uvRing;
  for (int i = 0; i < 40; ++i) ring.push_back(i), uvRing.push_back({double(i), 0});
  for (int k = 0; k < 3000; ++k) {
    s.polygons.push_back({0, 0, ring, {}});
    s.uvws.push_back({uvRing, {}});
  }
  LoaderRun run(write(s));
  ASSERT_EQ(run.run(), talvo::kStatusOk);
  EXPECT_EQ(run.loader->polygonsStored(), 3000 * 38);
  EXPECT_EQ(run.loader->uvwStored(), 3000 * 38);
  const talvo::PolygonRecord& last = run.loader->polygons[size_t(3000 * 38 - 1)];
  EXPECT_EQ(last.pointIndex[0], 0);
  EXPECT_EQ(last.pointIndex[1], 38);
  EXPECT_EQ(last.pointIndex[2], 39);
  EXPECT_EQ(run.loader->uvws[size_t(3000 * 38 - 1)].uvw[2].x, 39);
  EXPECT_EQ(run.loader->shaders[0].polygonIndexSum, 3000 * 38 * 3);
}

}  // namespace
