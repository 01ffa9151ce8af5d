// Materials and shaders: the shader tree, copies and their links, the document's material
// list and its undo, texture tag projection, and the host's grass tag.
#include "host/material.h"

#include <gtest/gtest.h>

#include <functional>

#include "host/app.h"
#include "host/plugins.h"
#include "host/scene.h"

namespace {

using namespace host;

constexpr int32_t kMaterialShaderLink = 8006;  // a material parameter linking a shader

class HostMaterial : public ::testing::Test {
 protected:
  void TearDown() override {
    app::failAllocationAt(0);
    app::resetPlugins();
    app::resetDocuments();
    app::reset();
  }
};

uint64_t linkTarget(const HostValue* value) {
  const auto* link = value ? dynamic_cast<const ObjectLink*>(value->getCustom()) : nullptr;
  return link ? link->target : ~uint64_t(0);
}

// Wood: a filter shader wrapping a bitmap shader; the material links the filter from a
// parameter and from its colour channel, the filter links the bitmap.
BaseMaterial* makeWood() {
  BaseMaterial* m = BaseMaterial::alloc(kMaterialStandard);
  m->setName("Wood");
  BaseShader* filter = BaseShader::alloc(kShaderFilter);
  BaseShader* bitmap = BaseShader::alloc(kShaderBitmap);
  m->insertShader(filter);
  filter->insertShader(bitmap);
  bitmap->getDataInstance().setFilename(kBitmapShaderFile, Filename("tex/wood.png"));
  filter->getDataInstance().setValue(kFilterShaderLink, linkValue(bitmap));
  filter->getDataInstance().setInt32(kFilterShaderMode, 2);
  m->getDataInstance().setValue(kMaterialShaderLink, linkValue(filter));
  Container color = m->getChannel(kChannelColor)->getData();
  color.setVector(kChannelDataColor, {0.5, 0.25, 0.0});
  color.setValue(kChannelDataTexture, linkValue(filter));
  m->getChannel(kChannelColor)->setData(color);
  return m;
}

TEST_F(HostMaterial, NewMaterialsAndShadersHaveTheHostDefaults) {
  BaseMaterial* m = BaseMaterial::alloc(kMaterialStandard);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->getName(), "Mat");
  EXPECT_EQ(m->getDocument(), nullptr);
  for (int32_t id = 0; id < kChannelCount; ++id) {
    ASSERT_NE(m->getChannel(id), nullptr) << id;
    EXPECT_EQ(m->getChannel(id)->getId(), id);
    EXPECT_EQ(m->getChannel(id)->getData().size(), 0u) << id;
  }
  for (int32_t id : {-1, kChannelCount}) EXPECT_EQ(m->getChannel(id), nullptr) << id;
  BaseMaterial::free(m);
  EXPECT_EQ(m, nullptr);
  EXPECT_EQ(BaseMaterial::alloc(5702), nullptr);

  const std::pair<int32_t, const char*> shaders[] = {{kShaderBitmap, "Bitmap"}, {kShaderFilter, "Filter"}};
  for (const auto& [type, name] : shaders) {
    BaseShader* s = BaseShader::alloc(type);
    ASSERT_NE(s, nullptr) << type;
    EXPECT_EQ(s->getType(), type);
    EXPECT_EQ(s->getName(), name);
    BaseShader::free(s);
  }
  EXPECT_EQ(BaseShader::alloc(5832), nullptr);
  EXPECT_EQ(BaseShader::alloc(kMaterialStandard), nullptr);
}

TEST_F(HostMaterial, ShadersHangInOneTreeUnderTheirMaterial) {
  const int64_t live = app::liveAllocations();
  BaseMaterial* m = makeWood();
  BaseShader* filter = m->shaders()[0];
  BaseShader* bitmap = filter->children()[0];
  EXPECT_EQ(bitmap->getUp(), filter);
  EXPECT_EQ(bitmap->getMaterial(), m);
  EXPECT_EQ(m->findShader(bitmap->getId()), bitmap);  // below the first level too
  EXPECT_EQ(linkedShader(*filter->getData().getValue(kFilterShaderLink), m), bitmap);
  EXPECT_EQ(m->findShader(0), nullptr);

  // A shader cannot go under its own subtree.
  bitmap->insertShader(filter);
  EXPECT_EQ(filter->getUp(), nullptr);
  EXPECT_EQ(m->shaders().size(), 1u);

  // Taken out, the subtree leaves the material with it and belongs to the caller.
  filter->remove();
  EXPECT_TRUE(m->shaders().empty());
  EXPECT_EQ(bitmap->getMaterial(), nullptr);
  EXPECT_EQ(m->findShader(bitmap->getId()), nullptr);
  m->insertShader(bitmap);  // moves it out of the filter
  EXPECT_TRUE(filter->children().empty());
  EXPECT_EQ(bitmap->getUp(), nullptr);
  EXPECT_EQ(bitmap->getMaterial(), m);
  BaseShader::free(filter);
  BaseMaterial::free(m);  // with the bitmap
  EXPECT_EQ(app::liveAllocations(), live);
}

TEST_F(HostMaterial, CopiesLinkTheirOwnShaders) {
  BaseMaterial* wood = makeWood();
  BaseMaterial* other = makeWood();
  // A link to a shader of another material is no link to the copy's own shaders.
  wood->getDataInstance().setValue(1, linkValue(other->shaders()[0]));
  wood->update(true, true);

  BaseMaterial* copy = wood->clone();
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy->getId(), wood->getId());
  EXPECT_EQ(copy->getName(), "Wood");
  EXPECT_EQ(copy->getDocument(), nullptr);
  EXPECT_EQ(copy->updateCount(), 0);
  ASSERT_EQ(copy->shaders().size(), 1u);
  BaseShader* filter = copy->shaders()[0];
  ASSERT_EQ(filter->children().size(), 1u);
  BaseShader* bitmap = filter->children()[0];
  EXPECT_NE(filter->getId(), wood->shaders()[0]->getId());
  EXPECT_NE(bitmap->getId(), wood->shaders()[0]->children()[0]->getId());
  EXPECT_EQ(filter->getMaterial(), copy);
  EXPECT_EQ(bitmap->getMaterial(), copy);
  EXPECT_EQ(bitmap->getData().getFilename(kBitmapShaderFile).string(), "tex/wood.png");
  EXPECT_EQ(filter->getData().getInt32(kFilterShaderMode), 2);

  // Material parameters, channel data and shader parameters all name the copies.
  const Container color = copy->getChannel(kChannelColor)->getData();
  EXPECT_EQ(linkedShader(*copy->getData().getValue(kMaterialShaderLink), copy), filter);
  EXPECT_EQ(linkedShader(*color.getValue(kChannelDataTexture), copy), filter);
  EXPECT_EQ(linkedShader(*filter->getData().getValue(kFilterShaderLink), copy), bitmap);
  EXPECT_EQ(color.getVector(kChannelDataColor), (Vector{0.5, 0.25, 0.0}));
  EXPECT_EQ(linkTarget(copy->getData().getValue(1)), other->shaders()[0]->getId());
  // The original is untouched.
  EXPECT_EQ(linkedShader(*wood->getData().getValue(kMaterialShaderLink), wood), wood->shaders()[0]);

  BaseMaterial::free(copy);
  BaseMaterial::free(other);
  BaseMaterial::free(wood);
}

TEST_F(HostMaterial, DocumentsKeepTheirMaterialsInOrder) {
  const int64_t live = app::liveAllocations();
  BaseDocument* doc = BaseDocument::alloc();
  BaseDocument* other = BaseDocument::alloc();
  auto make = [](const char* name) {
    BaseMaterial* m = BaseMaterial::alloc(kMaterialStandard);
    m->setName(name);
    return m;
  };
  auto names = [](const BaseDocument* d) {
    std::vector<std::string> out;
    for (const BaseMaterial* m : d->materials()) out.push_back(m->getName());
    return out;
  };
  BaseMaterial* a = make("A");
  BaseMaterial* b = make("B");
  BaseMaterial* c = make("A");
  BaseMaterial* moved = make("D");
  doc->insertMaterial(a);
  doc->insertMaterial(b);  // no predecessor: first
  doc->insertMaterial(c, a);
  other->insertMaterial(moved);
  doc->insertMaterial(moved, b);  // taken out of the other document first
  EXPECT_EQ(names(doc), (std::vector<std::string>{"B", "D", "A", "A"}));
  EXPECT_TRUE(other->materials().empty());
  EXPECT_EQ(moved->getDocument(), doc);
  EXPECT_EQ(doc->getFirstMaterial(), b);

  EXPECT_EQ(doc->searchMaterial("A"), a);  // the first of that name
  EXPECT_EQ(doc->searchMaterial("a"), nullptr);
  EXPECT_EQ(doc->findMaterial(c->getId()), c);
  EXPECT_EQ(linkedMaterial(linkValue(c), doc), c);
  EXPECT_EQ(linkedMaterial(linkValue(c), other), nullptr);
  EXPECT_EQ(linkedMaterial(linkValue(static_cast<const BaseMaterial*>(nullptr)), doc), nullptr);

  b->remove();
  EXPECT_EQ(b->getDocument(), nullptr);
  EXPECT_EQ(linkedMaterial(linkValue(b), doc), nullptr);
  EXPECT_EQ(names(doc), (std::vector<std::string>{"D", "A", "A"}));
  BaseMaterial::free(b);
  BaseDocument::free(doc);  // frees the materials it holds
  BaseDocument::free(other);
  EXPECT_EQ(app::liveAllocations(), live);
}

TEST_F(HostMaterial, UndoOfANewMaterialFreesIt) {
  const int64_t live = app::liveAllocations();
  BaseDocument* doc = BaseDocument::alloc();
  BaseMaterial* kept = BaseMaterial::alloc(kMaterialStandard);
  doc->insertMaterial(kept);
  EXPECT_FALSE(doc->addUndo(kUndoNew, kept));  // no undo group open

  ASSERT_TRUE(doc->startUndo());
  BaseMaterial* added = makeWood();
  doc->insertMaterial(added, kept);
  EXPECT_TRUE(doc->addUndo(kUndoNew, added));
  EXPECT_FALSE(doc->addUndo(kUndoChange, kept));  // only new materials are recorded
  EXPECT_FALSE(doc->addUndo(kUndoDelete, kept));
  // A material recorded as new and taken out again before the undo is the caller's.
  BaseMaterial* gone = BaseMaterial::alloc(kMaterialStandard);
  doc->insertMaterial(gone);
  EXPECT_TRUE(doc->addUndo(kUndoNew, gone));
  gone->remove();
  ASSERT_TRUE(doc->endUndo());

  ASSERT_TRUE(doc->doUndo());
  ASSERT_EQ(doc->materials().size(), 1u);
  EXPECT_EQ(doc->getFirstMaterial(), kept);
  EXPECT_EQ(gone->getDocument(), nullptr);
  BaseMaterial::free(gone);
  BaseDocument::free(doc);
  EXPECT_EQ(app::liveAllocations(), live);
}

TEST_F(HostMaterial, TextureTagsCarryTheirProjection) {
  BaseTag* tag = BaseTag::alloc(kTagTexture);
  ASSERT_NE(tag, nullptr);
  EXPECT_EQ(tag->getData().getValue(kTextureTagLengthX)->type(), kValueReal);
  EXPECT_EQ(tag->getData().getReal(kTextureTagLengthX), 1.0);
  EXPECT_EQ(tag->getData().getReal(kTextureTagLengthY), 1.0);
  EXPECT_EQ(tag->getData().getInt32(kTextureTagProjection), 6);
  EXPECT_EQ(tag->getProjectionScale(), (Vector{1.0, 1.0, 1.0}));
  EXPECT_EQ(tag->getProjectionRotation(), (Vector{0.0, 0.0, 0.0}));
  BaseTag* uvw = BaseTag::alloc(kTagUvw);
  EXPECT_EQ(uvw->getData().size(), 0u);  // the defaults are the texture tag's only
  BaseTag::free(uvw);

  tag->setProjectionScale({2.0, 3.0, 1.0});
  tag->setProjectionRotation({0.5, 0.0, -0.25});
  tag->message(kMessageUpdate);
  tag->message(kMessageUpdate + 1);
  EXPECT_EQ(tag->updateCount(), 1);
  BaseTag* copy = tag->clone();
  EXPECT_EQ(copy->getProjectionScale(), (Vector{2.0, 3.0, 1.0}));
  EXPECT_EQ(copy->getProjectionRotation(), (Vector{0.5, 0.0, -0.25}));
  BaseTag::free(copy);
  BaseTag::free(tag);
}

TEST_F(HostMaterial, GrassTagIsAPluginOfTheHostsOwn) {
  ASSERT_TRUE(registerTagPlugin(1000003, "Mark", kTagVisible, [] { return new TagData; }, "tmark", 0));
  app::resetPlugins();
  EXPECT_EQ(findPlugin(1000003, kPluginTag), nullptr);
  const BasePlugin* grass = findPlugin(kTagGrass, kPluginTag);
  ASSERT_NE(grass, nullptr);
  EXPECT_EQ(grass->name, "Grass");
  EXPECT_EQ(pluginsOfType(kPluginTag).size(), 1u);

  BaseTag* tag = BaseTag::alloc(kTagGrass);
  ASSERT_NE(tag, nullptr);
  EXPECT_EQ(tag->getName(), "Grass");
  EXPECT_NE(tag->getNodeData(), nullptr);
  const HostValue* link = tag->getData().getValue(kGrassTagMaterial);
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->type(), kCustomObjectLink);
  EXPECT_EQ(linkTarget(link), 0u);
  BaseTag::free(tag);

  EXPECT_FALSE(app::removePlugin(kTagGrass, kPluginCommand));  // the type must match too
  EXPECT_TRUE(app::removePlugin(kTagGrass, kPluginTag));
  EXPECT_EQ(findPlugin(kTagGrass, kPluginTag), nullptr);
  EXPECT_EQ(BaseTag::alloc(kTagGrass), nullptr);
  EXPECT_FALSE(app::removePlugin(kTagGrass, kPluginTag));
  app::resetPlugins();
  EXPECT_NE(findPlugin(kTagGrass, kPluginTag), nullptr);
}

// Every allocation of a material, a shader or a copy may fail: the call then gives
// nullptr and leaves nothing behind.
TEST_F(HostMaterial, AllocationFailuresGiveNothingAndLeakNothing) {
  BaseMaterial* wood = makeWood();
  auto material = [](BaseMaterial* m) {
    const bool made = m != nullptr;
    BaseMaterial::free(m);
    return made;
  };
  auto shader = [](BaseShader* s) {
    const bool made = s != nullptr;
    BaseShader::free(s);
    return made;
  };
  struct Call {
    const char* what;
    int64_t allocations;
    std::function<bool()> make;  // makes, frees, and tells whether it made it
  };
  const Call calls[] = {
      {"material", 1, [&] { return material(BaseMaterial::alloc(kMaterialStandard)); }},
      {"bitmap shader", 1, [&] { return shader(BaseShader::alloc(kShaderBitmap)); }},
      {"filter shader", 1, [&] { return shader(BaseShader::alloc(kShaderFilter)); }},
      {"copy with two shaders", 3, [&] { return material(wood->clone()); }},
  };
  const int64_t live = app::liveAllocations();
  for (const Call& c : calls) {
    int64_t failures = 0;
    for (bool made = false; !made && failures < 100;) {
      app::failAllocationAt(failures + 1);
      made = c.make();
      app::failAllocationAt(0);
      if (!made) ++failures;
      EXPECT_EQ(app::liveAllocations(), live) << c.what << " " << failures;
    }
    EXPECT_EQ(failures, c.allocations) << c.what;
  }
  BaseMaterial::free(wood);
}

}  // namespace
