// The ways into an import: the scene loader's parked request, the core event the message
// plug-in turns into a plug-in message, the choice of the target document, and the two
// plug-in messages that run or close a parked request.
#include <gtest/gtest.h>

#include "host/app.h"
#include "host/dialog.h"
#include "host/plugins.h"
#include "host/prefs.h"
#include "host/scene.h"
#include "loader_fixture.h"
#include "scenegen/scenegen.h"
#include "talvo_import_c4d_direct.h"
#include "talvo_import_c4d_message.h"
#include "talvo_import_c4d_register.h"

namespace {

using namespace talvo_test;

class EntryPaths : public ::testing::Test {
 protected:
  void SetUp() override {
    host::app::setPreferencesFolder(temp_.file("prefs"));
    host::app::setConsoleSink([this](const host::String& line) { console_.push_back(line); });
    host::app::addPluginModule([this](int32_t id, void* data) {
      messages_.push_back(id);
      return talvo::handlePluginMessage(id, data);
    });
  }
  void TearDown() override {
    host::app::setDialogUser(nullptr);
    host::app::resetDocuments();
    host::app::resetPlugins();
    host::app::reset();
  }

  static host::BaseDocument* newDocument() {
    host::BaseDocument* d = host::BaseDocument::alloc();
    host::insertBaseDocument(d);
    return d;
  }

  // Parks a request as the scene loader does when the host loads into `loading`.
  static void park(host::BaseDocument* loading, int32_t flags = 0) {
    talvo::cDirectMethod loader;
    EXPECT_EQ(loader.load(host::Filename("scenes/House.TALVO"), loading, flags, nullptr), 0);
  }

  // By identity: a freed document's memory may hold a new one.
  static bool listed(uint64_t id) {
    for (const host::BaseDocument* x : host::documents())
      if (x->getId() == id) return true;
    return false;
  }
  static bool listed(const host::BaseDocument* d) { return listed(d->getId()); }

  TempFolder temp_;
  std::vector<std::string> console_;
  std::vector<int32_t> messages_;
};

TEST_F(EntryPaths, OnlyTheParkedImportEventBecomesThePlugInMessage) {
  ASSERT_TRUE(talvo::registerReceiveMessage());
  const std::pair<int32_t, std::vector<int32_t>> cases[] = {
      {1027291, {1027289}}, {1027290, {}}, {1027289, {}}, {0, {}}};
  for (const auto& [event, sent] : cases) {
    SCOPED_TRACE(event);
    messages_.clear();
    host::specialEventAdd(event);
    EXPECT_EQ(host::app::processEvents(), 1);
    EXPECT_EQ(messages_, sent);
  }
  // Any core message is answered true; one with another id changes nothing.
  host::BaseDocument* active = newDocument();
  talvo::cMessage plugin;
  messages_.clear();
  EXPECT_TRUE(plugin.coreMessage(1027290, host::Container()));
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(host::getWorldPluginData(1027287), nullptr);
  EXPECT_EQ(host::getActiveDocument(), active);
  EXPECT_EQ(host::documents().size(), 1u);
}

TEST_F(EntryPaths, TheLoaderIdentifiesByTheExtensionAlone) {
  const uint8_t magic[] = {'T', 'L', 'V', 'O', 'B', 'I', 'N'};
  const std::pair<const char*, bool> cases[] = {
      {"House.TALVO", true},      {"a/b/House.TALVO", true}, {"House.talvo", true},   {"House.txt", false},
      {"House.TALVO.bak", false}, {"TALVO", false},          {"House.TALVOX", false},
  };
  talvo::cDirectMethod loader;
  for (const auto& [name, identified] : cases) {
    EXPECT_EQ(loader.identify(host::Filename(name), magic, int32_t(sizeof magic)), identified) << name;
    EXPECT_EQ(loader.identify(host::Filename(name), nullptr, 0), identified) << name;
  }
}

TEST_F(EntryPaths, LoadParksTheRequestAndPostsTheEvent) {
  ASSERT_TRUE(talvo::registerReceiveMessage());
  host::BaseDocument* active = newDocument();
  host::BaseDocument* loading = host::BaseDocument::alloc();
  host::insertBaseDocument(loading);
  park(loading, 1 | 2 | 4);
  const std::vector<std::string> first = {
      "=====================================", "File Opened from File Menu: scenes/House.TALVO",
      "=====================================", "Not Found BaseContainer: Direct Loader",
      "====================================="};
  EXPECT_EQ(console_, first);
  EXPECT_EQ(loading->getFirstObject(), nullptr);  // the host's loading stays empty

  const host::Container* request = host::getWorldPluginData(1027287);
  ASSERT_NE(request, nullptr);
  EXPECT_EQ(request->getFilename(1000), host::Filename("scenes/House.TALVO"));
  EXPECT_EQ(host::linkedDocument(*request->getValue(1001)), active);
  EXPECT_EQ(host::linkedDocument(*request->getValue(1002)), loading);
  EXPECT_EQ(request->getInt32(1003, -1), 0);

  // The event is posted, not delivered: the import runs from the main loop.
  EXPECT_TRUE(messages_.empty());
  messages_.clear();
  host::app::processEvents();
  EXPECT_EQ(messages_, std::vector<int32_t>{1027289});

  // A request is already stored the second time; bit 5 of the flags is kept.
  console_.clear();
  park(active, 32);
  EXPECT_EQ(console_.size(), 3u);
  EXPECT_EQ(host::getWorldPluginData(1027287)->getInt32(1003), 1);
  park(active, 16);
  EXPECT_EQ(host::getWorldPluginData(1027287)->getInt32(1003), 0);
}

TEST_F(EntryPaths, ChoosesTheTargetDocument) {
  struct Case {
    const char* what;
    bool intoActive;  // the host loaded into the document that was active
    int32_t flags;
    bool activeClosed;   // the document active at load time is gone by now
    bool loadingClosed;  // expected: the host's document for the file is closed
    const char* result;  // "before" or "new"
  };
  const Case cases[] = {
      {"open: back to the document active before", false, 0, false, true, "before"},
      {"open, the document before is gone: a new one", false, 0, true, true, "new"},
      {"loading into the active document", true, 0, false, false, "before"},
      {"merge flag: nothing is closed", false, 32, false, false, "before"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host::app::resetDocuments();
    host::BaseDocument* before = newDocument();
    host::BaseDocument* loading = before;
    if (!c.intoActive) loading = newDocument();
    park(loading, c.flags);
    const uint64_t beforeId = before->getId();
    const uint64_t loadingId = loading->getId();
    if (c.activeClosed) host::killDocument(before);
    // With the merge flag the active document stays the one the host loads into.
    if (!c.intoActive && c.flags == 0 && !c.activeClosed) host::setActiveDocument(loading);
    const size_t count = host::documents().size();

    host::BaseDocument* chosen = talvo::chooseTargetDocument();
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen, host::getActiveDocument());
    EXPECT_EQ(listed(loadingId), !c.loadingClosed);
    const std::string result = c.result;
    if (result == "before") {
      EXPECT_EQ(chosen->getId(), beforeId);
      EXPECT_EQ(host::documents().size(), count - (c.loadingClosed ? 1 : 0));
    } else {
      EXPECT_NE(chosen->getId(), beforeId);
      EXPECT_NE(chosen->getId(), loadingId);
      EXPECT_TRUE(listed(chosen));
      EXPECT_EQ(host::documents().size(), count);  // one closed, one made
    }
  }
}

TEST_F(EntryPaths, NothingParkedNothingChosen) {
  host::BaseDocument* active = newDocument();
  EXPECT_EQ(talvo::chooseTargetDocument(), nullptr);
  EXPECT_FALSE(talvo::handlePluginMessage(1027289, nullptr));
  EXPECT_FALSE(talvo::handlePluginMessage(1054062, nullptr));
  EXPECT_EQ(host::getActiveDocument(), active);
}

// Stands in for the hidden command: records the document it runs on.
struct HiddenCommand : host::CommandData {
  host::BaseDocument** ranOn;
  bool result;
  HiddenCommand(host::BaseDocument** r, bool ok) : ranOn(r), result(ok) {}
  bool execute(host::BaseDocument* document) override {
    *ranOn = document;
    return result;
  }
};

TEST_F(EntryPaths, TheRunMessageExecutesTheHiddenCommandWithTheChosenDocument) {
  for (const bool commandResult : {true, false}) {
    SCOPED_TRACE(commandResult);
    host::app::resetPlugins();
    host::app::resetDocuments();
    host::BaseDocument* ranOn = nullptr;
    ASSERT_TRUE(host::registerCommandPlugin(1027289, "hidden", 0, nullptr, "",
                                            new HiddenCommand(&ranOn, commandResult)));
    host::BaseDocument* before = newDocument();
    host::BaseDocument* loading = newDocument();
    park(loading);
    const uint64_t loadingId = loading->getId();
    EXPECT_EQ(talvo::handlePluginMessage(1027289, nullptr), commandResult);
    EXPECT_EQ(ranOn, before);
    EXPECT_FALSE(listed(loadingId));
    ASSERT_EQ(host::app::commandRuns().size(), 1u);
    EXPECT_EQ(host::app::commandRuns()[0].id, 1027289);
  }
}

TEST_F(EntryPaths, TheCloseMessageClosesTheParkedDocumentWhileItIsListed) {
  newDocument();
  host::BaseDocument* loading = newDocument();
  park(loading);
  const uint64_t loadingId = loading->getId();
  EXPECT_TRUE(talvo::handlePluginMessage(1054062, nullptr));
  EXPECT_FALSE(listed(loadingId));
  EXPECT_EQ(host::documents().size(), 1u);
  EXPECT_FALSE(talvo::handlePluginMessage(1054062, nullptr));  // already closed
  EXPECT_EQ(host::documents().size(), 1u);
}

TEST_F(EntryPaths, TheFileMenuOpenRunsTheImportIntoTheDocumentActiveBefore) {
  host::app::setPluginFolder(TALVO_BINARY_DIR "/plugins/TALVO_import_r16");
  ASSERT_TRUE(talvo::handlePluginMessage(1, nullptr));
  ASSERT_TRUE(talvo::registerAll());
  const std::string example = temp_.file("House.TALVO");
  ASSERT_TRUE(ts::writeSceneFile(talvo::scenegen::makeExampleScene(), example));
  host::app::setDialogUser([](host::GeModalDialog& dialog) { host::userPress(dialog, host::kDialogOk); });
  host::BaseDocument* active = newDocument();

  ASSERT_EQ(host::app::openSceneFile(host::Filename(example)), host::app::OpenResult::loaded);
  EXPECT_EQ(host::documents().size(), 2u);  // the host's document for the file, until the event
  EXPECT_EQ(host::app::processEvents(), 1);
  ASSERT_EQ(host::app::commandRuns().size(), 1u);
  EXPECT_EQ(host::app::commandRuns()[0].id, 1027289);
  EXPECT_TRUE(host::app::commandRuns()[0].result);
  ASSERT_EQ(host::documents().size(), 1u);
  EXPECT_EQ(host::getActiveDocument(), active);
  ASSERT_NE(active->getFirstObject(), nullptr);
  EXPECT_EQ(active->getFirstObject()->getName(), "House");  // merged, the dialog's default
}

}  // namespace
