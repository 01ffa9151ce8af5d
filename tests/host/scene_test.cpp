#include <gtest/gtest.h>

#include <filesystem>

#include "host/app.h"
#include "host/plugins.h"
#include "host/prefs.h"
#include "host/scene.h"

namespace {

using namespace host;

class HostScene : public ::testing::Test {
 protected:
  void TearDown() override {
    app::resetPlugins();
    app::resetDocuments();
    app::reset();
  }
};

std::vector<std::string> childNames(const BaseObject* parent) {
  std::vector<std::string> names;
  for (BaseObject* c = parent->getDown(); c; c = c->getNext()) names.push_back(c->getName());
  return names;
}

TEST_F(HostScene, NewObjectsHaveTheDefaultNameOfTheirType) {
  const std::pair<int32_t, const char*> cases[] = {{kObjectPolygon, "Polygon"}, {kObjectLight, "Light"},
                                                   {kObjectCamera, "Camera"},   {kObjectInstance, "Instance"},
                                                   {kObjectNull, "Null"}};
  for (const auto& [type, name] : cases) {
    BaseObject* o = BaseObject::alloc(type);
    ASSERT_NE(o, nullptr) << type;
    EXPECT_EQ(o->getType(), type);
    EXPECT_EQ(o->getName(), name);
    BaseObject::free(o);
    EXPECT_EQ(o, nullptr);
  }
  EXPECT_EQ(BaseObject::alloc(1234), nullptr);
}

TEST_F(HostScene, HierarchyInsertionsKeepSiblingListsConsistent) {
  BaseDocument* doc = BaseDocument::alloc();
  insertBaseDocument(doc);
  BaseObject* root = BaseObject::alloc(kObjectNull);
  root->setName("root");
  doc->insertObject(root, nullptr, nullptr);
  auto make = [&](const char* name) {
    BaseObject* o = BaseObject::alloc(kObjectNull);
    o->setName(name);
    return o;
  };
  BaseObject* b = make("b");
  b->insertUnder(root);
  BaseObject* a = make("a");
  a->insertUnder(root);  // first child
  BaseObject* d = make("d");
  d->insertUnderLast(root);
  BaseObject* c = make("c");
  c->insertAfter(b);
  EXPECT_EQ(childNames(root), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(root->getDownLast(), d);
  EXPECT_EQ(c->getPred(), b);
  EXPECT_EQ(c->getDocument(), doc);

  d->insertBefore(a);  // moves within the list
  EXPECT_EQ(childNames(root), (std::vector<std::string>{"d", "a", "b", "c"}));
  EXPECT_EQ(root->getDownLast(), c);
  b->insertUnder(c);  // re-parenting takes it out first
  EXPECT_EQ(childNames(root), (std::vector<std::string>{"d", "a", "c"}));
  EXPECT_EQ(b->getUp(), c);
  c->remove();  // the caller owns the subtree now
  EXPECT_EQ(childNames(root), (std::vector<std::string>{"d", "a"}));
  EXPECT_EQ(c->getDocument(), nullptr);
  EXPECT_EQ(b->getDocument(), nullptr);
  BaseObject::free(c);

  // Top level, with the name check.
  BaseObject* second = make("root");
  doc->insertObject(second, nullptr, nullptr, true);
  EXPECT_EQ(second->getName(), "root.1");
  EXPECT_EQ(doc->getFirstObject(), second);
  EXPECT_EQ(second->getNext(), root);
  EXPECT_EQ(doc->allObjects().size(), 4u);
  EXPECT_EQ(doc->findObject(a->getId()), a);
}

TEST_F(HostScene, PolygonObjectsHoldTheirGeometryInTags) {
  BaseObject* o = BaseObject::alloc(kObjectPolygon);
  PolygonObject* p = toPolygonObject(o);
  ASSERT_NE(p, nullptr);
  ASSERT_NE(p->getTag(kTagPoint), nullptr);
  ASSERT_NE(p->getTag(kTagPolygon), nullptr);
  ASSERT_TRUE(p->resizeObject(4, 2));
  p->getPointW()[3] = {1, 2, 3};
  p->getPolygonW()[1] = {0, 2, 3, 3};
  EXPECT_EQ(p->getPointCount(), 4);
  EXPECT_TRUE(p->getPolygonR()[1].isTriangle());
  BaseTag* uvw = p->makeTag(kTagUvw);
  ASSERT_NE(uvw, nullptr);
  EXPECT_EQ(p->getLastTag(), uvw);  // appended after the last tag
  EXPECT_EQ(uvw->getObject(), o);
  p->killTag(kTagUvw);
  EXPECT_EQ(p->getTag(kTagUvw), nullptr);
  BaseObject* copy = o->clone();
  EXPECT_NE(copy->getId(), o->getId());
  EXPECT_EQ(toPolygonObject(copy)->getPointR()[3], (Vector{1, 2, 3}));
  BaseObject::free(copy);
  BaseObject::free(o);
  EXPECT_EQ(BaseTag::alloc(999999), nullptr);  // neither built in nor registered
}

TEST_F(HostScene, AllocationFailuresGiveNothing) {
  for (int64_t n = 1; n <= 3; ++n) {
    app::failAllocationAt(n);
    BaseObject* o = BaseObject::alloc(kObjectPolygon);  // object, point tag, polygon tag
    EXPECT_EQ(o, nullptr) << n;
  }
  app::failAllocationAt(0);
  BaseObject* o = BaseObject::alloc(kObjectPolygon);
  app::failAllocationAt(1);
  EXPECT_FALSE(toPolygonObject(o)->resizeObject(10, 10));
  BaseObject::free(o);
}

TEST_F(HostScene, DocumentListAndSettings) {
  BaseDocument* first = BaseDocument::alloc();
  BaseDocument* second = BaseDocument::alloc();
  insertBaseDocument(first);
  insertBaseDocument(second);
  EXPECT_EQ(getActiveDocument(), first);
  setActiveDocument(second);
  EXPECT_EQ(getActiveDocument(), second);
  killDocument(second);
  EXPECT_EQ(getActiveDocument(), first);
  EXPECT_EQ(documents().size(), 1u);
  const auto* scale =
      dynamic_cast<const UnitScaleData*>(first->getSettings().getValue(kDocumentProjectScale)->getCustom());
  ASSERT_NE(scale, nullptr);
  EXPECT_EQ(scale->unit, 3);
  first->message(kMessageDocumentUpdate);
  first->message(kMessageDocumentUpdate);
  EXPECT_EQ(first->messageCount(kMessageDocumentUpdate), 2);
}

TEST_F(HostScene, LinksAndLayers) {
  BaseDocument* doc = BaseDocument::alloc();
  insertBaseDocument(doc);
  BaseObject* camera = BaseObject::alloc(kObjectCamera);
  BaseObject* target = BaseObject::alloc(kObjectNull);
  doc->insertObject(camera, nullptr, nullptr);
  doc->insertObject(target, nullptr, camera);
  BaseTag* tag = camera->makeTag(kTagTarget);
  tag->getDataInstance().setValue(1001, linkValue(target));
  EXPECT_EQ(linkedObject(*tag->getData().getValue(1001), doc), target);
  LayerObject* layer = LayerObject::alloc();
  layer->setName("Walls");
  layer->insertUnderLast(doc);
  camera->setLayerObject(layer);
  ASSERT_EQ(doc->layers().size(), 1u);
  EXPECT_EQ(doc->findLayer(layer->getId()), layer);
  BaseObject::free(target);
  EXPECT_EQ(linkedObject(*tag->getData().getValue(1001), doc), nullptr);
}

struct Counting : MessageData {
  std::vector<int32_t>* seen;
  explicit Counting(std::vector<int32_t>* s) : seen(s) {}
  bool coreMessage(int32_t id, const Container&) override {
    seen->push_back(id);
    return true;
  }
};

struct Command : CommandData {
  int* runs;
  explicit Command(int* r) : runs(r) {}
  bool execute(BaseDocument*) override { return ++*runs, true; }
};

TEST_F(HostScene, PluginsRegisterOnceAndEventsReachMessagePlugins) {
  std::vector<int32_t> seen;
  int runs = 0;
  ASSERT_TRUE(registerMessagePlugin(1000001, "", kPluginHide, new Counting(&seen)));
  EXPECT_FALSE(registerMessagePlugin(1000001, "", 0, new Counting(&seen)));  // id taken
  ASSERT_TRUE(registerCommandPlugin(1000002, "Run", 0, 0, "help", new Command(&runs)));
  ASSERT_TRUE(registerTagPlugin(1000003, "Mark", kTagVisible, [] { return new TagData; }, "tmark", 0));
  EXPECT_NE(findPlugin(1000002, kPluginCommand), nullptr);
  EXPECT_EQ(findPlugin(1000002, kPluginTag), nullptr);
  EXPECT_TRUE(callCommand(1000002));
  EXPECT_EQ(runs, 1);

  BaseTag* tag = BaseTag::alloc(1000003);
  ASSERT_NE(tag, nullptr);
  EXPECT_EQ(tag->getName(), "Mark");
  EXPECT_NE(tag->getNodeData(), nullptr);
  BaseTag::free(tag);

  specialEventAdd(42);
  specialEventAdd(43);
  EXPECT_TRUE(seen.empty());  // delivered by the main loop, not at once
  EXPECT_EQ(app::processEvents(), 2);
  EXPECT_EQ(seen, (std::vector<int32_t>{42, 43}));

  int messages = 0;
  app::addPluginModule([&](int32_t id, void*) { return id == 7 && ++messages; });
  EXPECT_TRUE(sendPluginMessage(7, nullptr));
  EXPECT_FALSE(sendPluginMessage(8, nullptr));
  EXPECT_EQ(messages, 1);
}

TEST_F(HostScene, WorldPreferencesPersistInTheirFolder) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("talvo_prefs_test_" + std::to_string(::getpid()));
  std::filesystem::remove_all(folder);
  app::setPreferencesFolder(folder.string());
  EXPECT_EQ(getWorldPluginData(1027288), nullptr);
  Container c;
  c.setInt32(1006, 2);
  c.setString(12112, "::");
  c.setReal(12405, 0.01);
  c.setFilename(12205, Filename("tex"));
  ASSERT_TRUE(setWorldPluginData(1027288, c));

  // Another folder has its own preferences; coming back reads the file again.
  app::setPreferencesFolder((folder / "other").string());
  EXPECT_EQ(getWorldPluginData(1027288), nullptr);
  app::setPreferencesFolder(folder.string());
  const Container* back = getWorldPluginData(1027288);
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->entries() == c.entries());
  EXPECT_EQ(back->id(), 1027288);
  std::filesystem::remove_all(folder);
}

}  // namespace
