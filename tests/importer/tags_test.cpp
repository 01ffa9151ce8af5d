#include <gtest/gtest.h>

#include "host/app.h"
#include "host/resource.h"
#include "host/scene.h"
#include "loader_fixture.h"
#include "talvo_import_c4d_tag_nosort.h"
#include "talvo_import_c4d_tag_noupdate.h"
#include "talvo_import_c4d_tag_null.h"
#include "talvo_import_c4d_tag_talvo.h"

namespace {

using namespace talvo_test;

class MarkerTags : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host::initResource(TALVO_SOURCE_RES_DIR));
    ASSERT_TRUE(talvo::registerTalvoTag());
    ASSERT_TRUE(talvo::registerNoSortTag());
    ASSERT_TRUE(talvo::registerNoUpdateTag());
    ASSERT_TRUE(talvo::registerNewNullTag());
  }
  void TearDown() override {
    host::app::resetPlugins();
    host::app::reset();
    ASSERT_TRUE(host::initResource(TALVO_SOURCE_RES_DIR));
  }
};

TEST_F(MarkerTags, RegisteredWithTheirIdsAndFlags) {
  const std::pair<int32_t, int32_t> cases[] = {
      {talvo::kTagTalvo, 1}, {talvo::kTagNoSort, 1}, {talvo::kTagNoUpdate, 1}, {talvo::kTagNewNull, 0x30000000}};
  for (const auto& [id, flags] : cases) {
    const host::BasePlugin* plugin = host::findPlugin(id, host::kPluginTag);
    ASSERT_NE(plugin, nullptr) << id;
    EXPECT_EQ(plugin->info, flags) << id;
    EXPECT_FALSE(plugin->name.empty()) << id;
  }
  EXPECT_EQ(host::findPlugin(talvo::kTagTalvo, host::kPluginTag)->description, "ttalvotag");
}

TEST_F(MarkerTags, AMissingNameStringSkipsOnlyThatTag) {
  host::app::resetPlugins();
  const std::filesystem::path res = std::filesystem::temp_directory_path() / ("talvo_res_" + std::to_string(::getpid()));
  std::filesystem::create_directories(res / "strings");
  {
    std::ofstream out(res / "strings" / "strings.str");
    out << "15000 IDS_TAG_TALVO \"Talvo Import\"\n15003 IDS_TAG_NOUPDATE \"No Update\"\n";
  }
  ASSERT_TRUE(host::initResource(res.string()));
  std::vector<std::string> console;
  host::app::setConsoleSink([&](const host::String& line) { console.push_back(line); });
  EXPECT_TRUE(talvo::registerTalvoTag());
  EXPECT_FALSE(talvo::registerNoSortTag());
  EXPECT_TRUE(talvo::registerNoUpdateTag());
  EXPECT_EQ(console, (std::vector<std::string>{"Talvo failed to load str: IDS_TAG_NOSORT"}));
  EXPECT_EQ(host::findPlugin(talvo::kTagNoSort, host::kPluginTag), nullptr);
  EXPECT_NE(host::findPlugin(talvo::kTagNoUpdate, host::kPluginTag), nullptr);
  std::filesystem::remove_all(res);
}

TEST_F(MarkerTags, NewMarkerTagHoldsTheDefaultsButNoTexts) {
  host::BaseTag* tag = host::BaseTag::alloc(talvo::kTagTalvo);
  ASSERT_NE(tag, nullptr);
  const host::Container& data = tag->getData();
  EXPECT_EQ(data.getValue(30511)->getInt32(), 30582);  // centimetre
  EXPECT_EQ(data.getValue(30208)->getInt32(), 30290);
  EXPECT_EQ(data.getValue(30302)->getInt32(), 30396);
  EXPECT_EQ(data.getValue(30304)->type(), host::kValueFilename);
  EXPECT_EQ(data.getFilename(30304).string(), "tex");
  EXPECT_EQ(data.getReal(30408), 0.5235987755982988);
  EXPECT_EQ(data.getReal(30611), 0.0017453292519943296);
  EXPECT_EQ(data.getValue(30206)->type(), host::kValueInteger);  // booleans are integers
  EXPECT_EQ(data.getInt32(30206), 1);
  EXPECT_EQ(data.getReal(30705), 0.0);
  for (int32_t skipped : {30209, 30211, 30212, 30102, 30104, 30106, 30108})
    EXPECT_EQ(data.getValue(skipped), nullptr) << skipped;
  for (const auto& [id, value] : data.entries()) EXPECT_NE(value.type(), host::kValueString) << id;

  // The user cannot change what the tag records.
  EXPECT_FALSE(tag->getNodeData()->getDEnabling(data, 30507));
  host::Description description;
  ASSERT_TRUE(tag->getNodeData()->getDDescription(data, description, 0));
  ASSERT_EQ(description.entries.size(), 2u);
  EXPECT_EQ(description.entries[0].id, 30002);
  EXPECT_EQ(description.entries[0].name, "Talvo importer for Cinema4D v2.61");
  EXPECT_EQ(description.entries[1].id, 30003);
  host::BaseTag::free(tag);

  host::BaseTag* noSort = host::BaseTag::alloc(talvo::kTagNoSort);
  EXPECT_EQ(noSort->getData().getInt32(talvo::kNoSortKeepOrder), 1);
  host::BaseTag::free(noSort);
}

// Every kept option goes into the tag and comes back; options the tag does not keep stay.
TEST_F(MarkerTags, OptionsRoundTripThroughTheTag) {
  TempFolder temp;
  LoaderRun run(writeBytes(temp.file("Villa.TALVO"), ts::writeScene(ts::SceneDescription{})));
  ASSERT_EQ(run.run(), talvo::kStatusOk);

  talvo::ImportOptions written;
  written.sceneFilePath = host::Filename("/projects/Villa.TALVO");
  int n = 0;
  for (const talvo::OptionInfo& info : talvo::optionTable()) {
    ++n;
    std::visit(
        [&](auto member) {
          auto& v = written.*member;
          using F = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<F, int32_t>) {
            v = info.type == talvo::OptionType::boolean ? 1 - v : v + 3;
          } else if constexpr (std::is_same_v<F, double>) {
            v = v * 2 + n;
          } else if constexpr (std::is_same_v<F, host::String>) {
            v = "//";
          } else {
            v = host::Filename("maps");
          }
        },
        info.field);
  }
  written.originNew[0] = 10, written.originNew[2] = 5;
  host::BaseTag* tag = host::BaseTag::alloc(talvo::kTagTalvo);
  ASSERT_TRUE(talvo::writeOptionsToTag(tag, written, *run.loader));
  EXPECT_EQ(tag->getData().getString(30102), "2.50");
  EXPECT_EQ(tag->getData().getString(30104), "/projects");
  EXPECT_EQ(tag->getData().getString(30106), "Villa.TALVO");
  EXPECT_EQ(tag->getData().getInt32(30511), 30580 + written.unitIndex);

  talvo::ImportOptions read;
  ASSERT_TRUE(talvo::readOptionsFromTag(tag, read));
  for (const talvo::OptionInfo& info : talvo::optionTable()) {
    const bool kept = info.tagKey != 0;
    std::visit(
        [&](auto member) {
          if (kept) {
            EXPECT_EQ(read.*member, written.*member) << info.name;
          } else {
            EXPECT_NE(read.*member, written.*member) << info.name;
          }
        },
        info.field);
  }
  EXPECT_EQ(read.createMaterials, 1);  // not kept in the tag: stays as it was
  EXPECT_EQ(read.originNew[0], 10);
  EXPECT_EQ(read.originNew[2], 5);
  host::BaseTag::free(tag);
  EXPECT_FALSE(talvo::writeOptionsToTag(nullptr, written, *run.loader));
}

TEST_F(MarkerTags, MissingKeysReadAsTheirDefaults) {
  host::BaseTag* tag = host::BaseTag::alloc(talvo::kTagTalvo);
  tag->getDataInstance().clear();  // a tag from a run that predates every key
  tag->getDataInstance().setInt32(30511, 30588);
  talvo::ImportOptions o;
  o.scale = 7;
  o.nameSeparator = "/";
  ASSERT_TRUE(talvo::readOptionsFromTag(tag, o));
  EXPECT_EQ(o.scale, 1.0);
  EXPECT_EQ(o.nameSeparator, "::");
  EXPECT_EQ(o.unitIndex, 8);
  EXPECT_EQ(o.textureProjection, 6);
  EXPECT_EQ(o.textureFolder.string(), "tex");
  host::BaseTag::free(tag);
}

}  // namespace
