// talvo inspect, run as a user runs it.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "../importer/loader_fixture.h"
#include "run_talvo.h"
#include "scenegen/scenegen.h"

namespace {

using namespace talvo_test;
using Json = nlohmann::ordered_json;

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

class Inspect : public ::testing::Test {
 protected:
  void SetUp() override {
    example_ = temp_.file("House.TALVO");
    ASSERT_TRUE(ts::writeSceneFile(talvo::scenegen::makeExampleScene(), example_));
  }
  TempFolder temp_;
  std::string example_;
};

TEST_F(Inspect, ReportsTheExampleAndEndsWithStatusZero) {
  const ProcessResult r = runTalvo({"inspect", example_}, temp_.path().string());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const std::vector<std::string> out = lines(r.out);
  ASSERT_EQ(out.size(), 21u) << r.out;
  EXPECT_EQ(out[0], "Binary file version: 2.50");
  EXPECT_EQ(out[2], "Filename:  House.TALVO");
  EXPECT_EQ(out[4].rfind("Loader: Shader cnt:               ", 0), 0u);
  EXPECT_EQ(out.back(), "status: 0");
  EXPECT_TRUE(r.err.empty()) << r.err;
}

TEST_F(Inspect, JsonHoldsTheTablesWithTheirFieldNames) {
  const ProcessResult r = runTalvo({"inspect", example_, "--json", "--scale", "0.01"}, temp_.path().string());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Json j = Json::parse(r.out);
  EXPECT_EQ(j["status"], 0);
  EXPECT_EQ(j["header"]["versionName"], "2.50");
  ASSERT_EQ(j["counts"].size(), 15u);
  EXPECT_EQ(j["counts"].begin().key(), "shaderCount");
  EXPECT_EQ(j["read"]["polygonsStored"], j["polygons"].size());
  EXPECT_EQ(j["read"]["uvwStored"], j["uvws"].size());
  for (const char* table :
       {"shaders", "textures", "shaderInternals", "shaderC4Ds", "classes", "stories", "layers", "elements",
        "points", "uvws", "normals", "polygons", "lights", "cameraSets", "cameras"})
    EXPECT_TRUE(j[table].is_array()) << table;
  EXPECT_TRUE(j["textures"][0]["data"].is_number());
  EXPECT_EQ(j["textures"][0]["data"], j["textures"][0]["dataSize"]);
  EXPECT_TRUE(j["polygons"][0].contains("pointIndex"));
  EXPECT_TRUE(j["elements"][0].contains("libraryName"));
  bool activeCamera = false;
  for (const Json& c : j["cameras"]) activeCamera |= c["name"] == "ACCamera_0";
  EXPECT_TRUE(activeCamera);

  // The scale reaches the points.
  const ProcessResult unscaled = runTalvo({"inspect", example_, "--json"}, temp_.path().string());
  const Json k = Json::parse(unscaled.out);
  EXPECT_NEAR(double(j["points"][5][0]) * 100.0, double(k["points"][5][0]), 1e-6);
}

TEST_F(Inspect, FailuresShowTheirMessageAndExitNonZero) {
  struct Case {
    const char* what;
    std::string file;
    int32_t status;
  };
  ts::SceneDescription old;
  old.header.version = 20006;
  const std::string oldFile = temp_.file("Old.TALVO");
  ASSERT_TRUE(ts::writeSceneFile(old, oldFile));
  const std::string wrongName = temp_.file("House.bin");
  std::filesystem::copy_file(example_, wrongName);
  const std::string wrongMagic = writeBytes(temp_.file("Magic.TALVO"), std::vector<uint8_t>(400, 'X'));
  const Case cases[] = {
      {"missing file", temp_.file("none.TALVO"), -1},
      {"wrong magic", wrongMagic, 10008},
      {"old version", oldFile, 10006},
      {"wrong extension", wrongName, 10008},
  };
  ASSERT_TRUE(host::initResource(TALVO_SOURCE_RES_DIR));
  for (const Case& c : cases) {
    const ProcessResult r = runTalvo({"inspect", c.file}, temp_.path().string());
    EXPECT_EQ(r.exitCode, 1) << c.what;
    EXPECT_EQ(lines(r.out).back(), "status: " + std::to_string(c.status)) << c.what;
    EXPECT_EQ(r.err, "warning: " + host::loadString(talvo::statusMessageId(c.status)) + "\n") << c.what;
  }
}

}  // namespace
