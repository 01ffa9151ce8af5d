// talvo dump, run as a user runs it on a saved document.
#include <gtest/gtest.h>

#include "../importer/loader_fixture.h"
#include "host/document_file.h"
#include "host/scene.h"
#include "run_talvo.h"

namespace {

using namespace talvo_test;
using host::Json;

// Root (null, layer Props) > Quad (polygon: 4 points, 1 polygon, a UVW tag, a link to Root)
class Dump : public ::testing::Test {
 protected:
  void SetUp() override {
    doc_ = host::BaseDocument::alloc();
    host::LayerObject* layer = host::LayerObject::alloc();
    layer->setName("Props");
    layer->insertUnderLast(doc_);
    host::BaseObject* root = host::BaseObject::alloc(host::kObjectNull);
    root->setName("Root");
    root->setLayerObject(layer);
    doc_->insertObject(root, nullptr, nullptr);
    host::BaseObject* quad = host::BaseObject::alloc(host::kObjectPolygon);
    quad->setName("Quad");
    quad->setRelPos({1.0, 2.0, 3.0});
    quad->getDataInstance().setValue(1000, host::linkValue(root));
    doc_->insertObject(quad, root, nullptr);
    host::PolygonObject* mesh = host::toPolygonObject(quad);
    ASSERT_TRUE(mesh->resizeObject(4, 1));
    for (int32_t i = 0; i < 4; ++i) mesh->getPointW()[i] = {double(i & 1), double(i >> 1), 0.0};
    mesh->getPolygonW()[0] = {0, 1, 3, 2};
    quad->makeTag(host::kTagUvw)->uvws() = {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}};
    file_ = temp_.file("Quad.doc");
    ASSERT_TRUE(host::saveDocument(*doc_, file_));
  }
  void TearDown() override { host::BaseDocument::free(doc_); }

  TempFolder temp_;
  host::BaseDocument* doc_ = nullptr;
  std::string file_;
};

TEST_F(Dump, PrintsTheDocumentWithoutGeometry) {
  const ProcessResult r = runTalvo({"dump", file_}, temp_.path().string());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;
  const Json j = Json::parse(r.out);
  EXPECT_EQ(j, host::documentToJson(*doc_, false));
  EXPECT_EQ(j["format"], "talvo document");
  const Json& quad = j["objects"][0]["children"][0];
  for (const char* key : {"type", "name", "position", "rotation", "scale", "layer", "params", "tags", "pointCount",
                          "polygonCount", "children"})
    EXPECT_TRUE(quad.contains(key)) << key;
  EXPECT_EQ(quad["type"], host::kObjectPolygon);
  EXPECT_EQ(quad["position"], Json::parse("[1.0, 2.0, 3.0]"));
  EXPECT_TRUE(quad["position"][0].is_number_float());
  EXPECT_EQ(quad["params"]["1000"], (Json{{"link", 0}}));
  EXPECT_EQ(quad["pointCount"], 4);
  EXPECT_EQ(quad["polygonCount"], 1);
  EXPECT_EQ(j["objects"][0]["layer"], 0);
  ASSERT_EQ(quad["tags"].size(), 3u);
  for (const Json& tag : quad["tags"]) {
    EXPECT_TRUE(tag.contains("type") && tag.contains("params")) << tag;
    for (const char* array : {"points", "polygons", "uvws", "normals"}) EXPECT_FALSE(tag.contains(array)) << tag;
  }
}

TEST_F(Dump, GeometryAddsTheArrays) {
  const ProcessResult r = runTalvo({"dump", file_, "--geometry"}, temp_.path().string());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Json j = Json::parse(r.out);
  EXPECT_EQ(j, host::documentToJson(*doc_, true));
  const Json& tags = j["objects"][0]["children"][0]["tags"];
  EXPECT_EQ(tags[0]["points"], Json::parse("[[0.0, 0.0, 0.0], [1.0, 0.0, 0.0], [0.0, 1.0, 0.0], [1.0, 1.0, 0.0]]"));
  EXPECT_EQ(tags[1]["polygons"], Json::parse("[[0, 1, 3, 2]]"));
  ASSERT_EQ(tags[2]["uvws"].size(), 1u);
  EXPECT_EQ(tags[2]["uvws"][0][2], Json::parse("[1.0, 1.0, 0.0]"));
}

TEST_F(Dump, FilesThatCannotBeLoadedExitNonZero) {
  const std::string damaged = writeBytes(temp_.file("Damaged.doc"), {'{', '"', 'f'});
  const std::pair<std::string, const char*> cases[] = {
      {temp_.file("none.doc"), "cannot open"},
      {damaged, "malformed JSON"},
  };
  for (const auto& [file, reason] : cases) {
    const ProcessResult r = runTalvo({"dump", file}, temp_.path().string());
    EXPECT_EQ(r.exitCode, 1) << file;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_EQ(r.err.rfind("talvo: cannot load " + file + ": ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
  }
}

}  // namespace
