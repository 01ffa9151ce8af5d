// The import controller run directly, with a scripted user for the dialogs.
#include <gtest/gtest.h>

#include "host/app.h"
#include "host/dialog.h"
#include "host/document_file.h"
#include "host/scene.h"
#include "loader_fixture.h"
#include "scenegen/scenegen.h"
#include "talvo_import_c4d_controller.h"
#include "talvo_import_c4d_dialog.h"
#include "talvo_import_c4d_diagnostics.h"
#include "talvo_import_c4d_tag_nosort.h"
#include "talvo_import_c4d_tag_noupdate.h"
#include "talvo_import_c4d_tag_null.h"
#include "talvo_import_c4d_tag_talvo.h"

namespace {

using namespace talvo_test;

class Controller : public ::testing::Test {
 protected:
  void SetUp() override {
    host::app::setPluginFolder(TALVO_BINARY_DIR "/plugins/TALVO_import_r16");
    ASSERT_TRUE(host::initResource(TALVO_SOURCE_RES_DIR));
    ASSERT_TRUE(talvo::registerTalvoTag() && talvo::registerNewNullTag() && talvo::registerNoSortTag() &&
                talvo::registerNoUpdateTag());
    host::app::setConsoleSink([this](const host::String& line) { console_.push_back(line); });
    document_ = host::BaseDocument::alloc();
    host::insertBaseDocument(document_);
    example_ = temp_.file("House.TALVO");
    ASSERT_TRUE(ts::writeSceneFile(talvo::scenegen::makeExampleScene(), example_));
  }
  void TearDown() override {
    host::app::setDialogUser(nullptr);
    host::app::setFileSelection(nullptr);
    host::app::resetDocuments();
    host::app::resetPlugins();
    host::app::reset();
  }

  // A user who sets the given gadgets in the options dialog, then confirms (or cancels);
  // the instance dialog is confirmed with `instances`.
  void answer(std::vector<std::pair<int32_t, host::HostValue>> sets, bool confirm = true,
              std::string instances = "none") {
    host::app::setDialogUser([=, this](host::GeModalDialog& dialog) {
      ++dialogsOpened_;
      if (dialog.resourceId() == talvo::kInstanceDialogResource) {
        host::userSet(dialog, talvo::kGadgetInstanceChoice, host::HostValue::string(instances));
        host::userPress(dialog, host::kDialogOk);
        return;
      }
      for (const auto& [id, value] : sets) EXPECT_TRUE(host::userSet(dialog, id, value)) << id;
      host::userPress(dialog, confirm ? host::kDialogOk : host::kDialogCancel);
    });
  }

  int32_t run(const std::string& file, bool fromFileMenu = true) {
    controller_ = std::make_unique<talvo::ImportController>();
    return controller_->runImport(document_, fromFileMenu, host::Filename(file));
  }

  size_t count(const std::string& line) const { return size_t(std::count(console_.begin(), console_.end(), line)); }

  TempFolder temp_;
  std::string example_;
  host::BaseDocument* document_ = nullptr;
  std::vector<std::string> console_;
  int dialogsOpened_ = 0;
  std::unique_ptr<talvo::ImportController> controller_;
};

TEST_F(Controller, MergeRunMakesTheRootAndPrintsTheTimingReport) {
  answer({});
  ASSERT_EQ(run(example_), talvo::kStatusOk);
  host::BaseObject* root = document_->getFirstObject();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->getName(), "House");
  const host::BaseTag* marker = root->getTag(talvo::kTagTalvo);
  ASSERT_NE(marker, nullptr);
  EXPECT_EQ(marker->getData().getString(talvo::kTagKeyFileName), "House.TALVO");
  EXPECT_EQ(marker->getData().getString(talvo::kTagKeyVersionName), "2.50");
  EXPECT_EQ(document_->getDocumentName(), "House");  // an empty document takes the file's name
  EXPECT_EQ(controller_->options().separatorText, " :: ");

  // The twelve report lines follow the last block line but one.
  const char* labels[] = {"File Load Time:         ", "Prepare File Time:      ", "Matrix Create Time:     ",
                          "Polygons Create Time:   ", "Objects Create Time:    ", "Lights Create Time:     ",
                          "Cameras Create Time:    ", "Hierarchy Clean Time:   ", "Optimizing Time:        ",
                          "Sort Time:              ", "Refresh Time:           ", "Total Run Time:         "};
  ASSERT_GE(console_.size(), 14u);
  const size_t first = console_.size() - 13;
  EXPECT_EQ(console_[first - 1], talvo::kBlockLine);
  EXPECT_EQ(console_.back(), talvo::kBlockLine);
  for (size_t i = 0; i < 12; ++i) {
    const std::string& line = console_[first + i];
    EXPECT_EQ(line.rfind(labels[i], 0), 0u) << line;
    EXPECT_EQ(line.substr(line.size() - 8), " seconds") << line;
  }
  EXPECT_EQ(count("Sorting...."), 1u);
  EXPECT_EQ(document_->undoGroupCount(), 1);

  // The active view, which has no camera, is framed on the new scene.
  const host::BaseDraw* view = document_->getActiveBaseDraw();
  EXPECT_EQ(view->viewCalls(), std::vector<int32_t>{host::kViewCallNewExtent});
  EXPECT_EQ(view->framings(), 1);
  EXPECT_EQ(view->messages(), std::vector<int32_t>{host::kMessageDocumentUpdate});
}

TEST_F(Controller, AViewLookingThroughACameraKeepsItsFrame) {
  host::BaseObject* camera = host::BaseObject::alloc(host::kObjectCamera);
  document_->insertObject(camera, nullptr, nullptr);
  document_->getActiveBaseDraw()->setSceneCamera(camera);
  answer({});
  ASSERT_EQ(run(example_), talvo::kStatusOk);
  EXPECT_TRUE(document_->getActiveBaseDraw()->viewCalls().empty());
  EXPECT_EQ(document_->getActiveBaseDraw()->framings(), 0);
}

TEST_F(Controller, StopsWithTheStatusOfEachRefusal) {
  ts::SceneDescription old;
  old.header.version = 20006;
  const std::string oldFile = temp_.file("Old.TALVO");
  ASSERT_TRUE(ts::writeSceneFile(old, oldFile));
  const std::string wrongName = temp_.file("House.txt");
  std::filesystem::copy_file(example_, wrongName);

  struct Case {
    const char* what;
    std::string file;
    bool fromFileMenu;
    bool confirm;
    int32_t status;
    int dialogs;
  };
  const Case cases[] = {
      {"old version", oldFile, true, true, talvo::kStatusVersionTooOld, 0},
      {"no TALVO extension", wrongName, true, true, talvo::kStatusNotSceneFile, 0},
      {"missing file", temp_.file("none.TALVO"), true, true, host::kFileErrorOpen, 0},
      {"dialog cancelled", example_, true, false, talvo::kStatusCancelled, 1},
      {"file selection cancelled", example_, false, true, talvo::kStatusCancelled, 0},
  };
  for (const Case& c : cases) {
    dialogsOpened_ = 0;
    answer({}, c.confirm);
    EXPECT_EQ(run(c.file, c.fromFileMenu), c.status) << c.what;
    EXPECT_EQ(dialogsOpened_, c.dialogs) << c.what;
    EXPECT_EQ(document_->getFirstObject(), nullptr) << c.what << ": nothing is built";
  }
}

TEST_F(Controller, MenuPathTakesTheFileFromTheFileSelection) {
  std::string asked;
  host::app::setFileSelection([&](host::Filename& name, const host::String& title) {
    asked = title;
    name = host::Filename(example_);
    return true;
  });
  answer({{talvo::kGadgetNewDocument, host::HostValue::integer(1)}});
  ASSERT_EQ(run("", false), talvo::kStatusOk);
  EXPECT_EQ(asked, host::loadString(16002));
  // A new document, made active, named after the file without its extension.
  host::BaseDocument* fresh = host::getActiveDocument();
  ASSERT_NE(fresh, document_);
  EXPECT_EQ(fresh->getDocumentName(), "House");
  EXPECT_NE(fresh->getFirstObject(), nullptr);
  EXPECT_EQ(document_->getFirstObject(), nullptr);
}

TEST_F(Controller, UpdateRunKeepsTheOriginBookkeeping) {
  // An earlier import of the same file whose tag stored the centre (10, 0, 5) with the
  // scene centred at the origin; the example's centre, scaled, is (12, 0, 5).
  ts::SceneDescription scene = talvo::scenegen::makeExampleScene();
  scene.info.sceneBox = {11, -1, 4, 13, 1, 6};
  ASSERT_TRUE(ts::writeSceneFile(scene, example_));
  host::BaseObject* earlier = host::BaseObject::alloc(host::kObjectNull);
  earlier->setName("House");
  host::BaseTag* tag = earlier->makeTag(talvo::kTagTalvo);
  tag->getDataInstance().setReal(talvo::kTagKeyCenterX, 10.0);
  tag->getDataInstance().setReal(talvo::kTagKeyCenterZ, 5.0);
  tag->getDataInstance().setInt32(30704, 1);
  document_->insertObject(earlier, nullptr, nullptr);

  answer({});  // the dialog finds the earlier import and chooses the update
  ASSERT_EQ(run(example_), talvo::kStatusOk);
  const talvo::ImportOptions& o = controller_->options();
  EXPECT_EQ(o.importMode, talvo::kImportUpdate);
  EXPECT_EQ(o.updateTarget, earlier);
  EXPECT_EQ(o.originOld[0], 10.0);
  EXPECT_EQ(o.originOld[2], 5.0);
  EXPECT_EQ(o.originOffset[0], 2.0);
  EXPECT_EQ(o.originOffset[2], 0.0);
  EXPECT_EQ(o.originNew[0], 12.0);
  EXPECT_EQ(o.needsShift, 1);
  EXPECT_EQ(tag->getData().getReal(talvo::kTagKeyCenterX), 12.0);
  EXPECT_EQ(document_->getFirstObject()->getNext(), nullptr) << "no second root";
  EXPECT_EQ(count("0 Object Deleted"), 1u);
}

TEST_F(Controller, WithoutCentringTheStoredCentreIsZero) {
  answer({});
  ASSERT_EQ(run(example_), talvo::kStatusOk);
  EXPECT_EQ(controller_->options().originNew[0], 0.0);
  const host::BaseTag* tag = document_->getFirstObject()->getTag(talvo::kTagTalvo);
  EXPECT_EQ(tag->getData().getReal(talvo::kTagKeyCenterX), 0.0);
  EXPECT_EQ(controller_->options().needsShift, 0);
}

TEST_F(Controller, OptionAdjustmentsFollowTheFile) {
  // A 2.10 file whose hexagon has a uvw quadrangle: element split off, then 10014.
  ts::SceneDescription s;
  s.header.version = 20010;
  s.shaders = {{"S", -1, 0, {0, 0, 0}}};
  s.classes = {{0, "C"}};
  s.stories = {{0, "S", {0, 0}}};
  s.layers = {{"L"}};
  s.elements.resize(1);
  for (int i = 0; i < 6; ++i) s.points.push_back({double(i), 0, 0});
  s.polygons = {{0, 0, {0, 1, 2, 3, 4, 5}, {}}};
  s.uvws = {{{{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {}}};
  const std::string file = temp_.file("Hex.TALVO");
  ASSERT_TRUE(ts::writeSceneFile(s, file));
  answer({});
  EXPECT_EQ(run(file), talvo::kStatusUvwMismatch);

  s.uvws = {{{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}}, {}}};
  ASSERT_TRUE(ts::writeSceneFile(s, file));
  answer({{12110, host::HostValue::integer(1)}, {12210, host::HostValue::integer(0)}});
  ASSERT_EQ(run(file), talvo::kStatusOk);
  const talvo::ImportOptions& o = controller_->options();
  EXPECT_EQ(o.splitByElement, 0);
  EXPECT_EQ(o.assignMaterials, 0);
  EXPECT_EQ(o.noMaterialsFlag, 1);
  EXPECT_EQ(o.useFileNormals, 0);
  EXPECT_EQ(o.removeEmptyObjects, 1);  // split by material with split mode 0
}

TEST_F(Controller, UndoingTheRunGivesBackTheDocument) {
  host::BaseObject* own = host::BaseObject::alloc(host::kObjectCamera);
  document_->insertObject(own, nullptr, nullptr);
  const host::Json before = host::documentToJson(*document_, true);
  answer({}, true, "instances");
  ASSERT_EQ(run(example_), talvo::kStatusOk);
  EXPECT_EQ(controller_->options().createInstances, 1);
  EXPECT_NE(host::documentToJson(*document_, true), before);
  ASSERT_TRUE(document_->doUndo());
  EXPECT_EQ(host::documentToJson(*document_, true), before);
}

TEST_F(Controller, UnknownVersionReportsItsMessage) {
  ts::SceneDescription s;
  s.header.version = 20300;
  const std::string file = temp_.file("New.TALVO");
  ASSERT_TRUE(ts::writeSceneFile(s, file));
  answer({});
  const int32_t status = run(file);
  EXPECT_EQ(status, talvo::kStatusVersionUnknown);
  controller_->reportStatus(status);
  ASSERT_EQ(host::app::shownBoxes().size(), 1u);
  EXPECT_EQ(host::app::shownBoxes()[0].style, 48);
  EXPECT_EQ(host::app::shownBoxes()[0].text, host::loadString(10007));
}

}  // namespace
