// The host's materials and shaders.
//
// A document keeps its materials in a list of its own. A standard material has channels
// (colour, bump, alpha, ...) whose data is read as a container, changed and written
// back, and parameters by id; shaders hang in a tree under their material, and the
// material's parameters (or a shader's) link to them. Ownership is that of the scene:
// what is inserted belongs to the material or the document, what is not belongs to the
// caller. Allocations report failure as nullptr.
#pragma once

#include <cstdint>
#include <vector>

#include "host/scene.h"

namespace host {

// Material and shader types.
constexpr int32_t kMaterialStandard = 5703;
constexpr int32_t kShaderBitmap = 5833;
constexpr int32_t kShaderFilter = 1011128;

// Channels of the standard material.
constexpr int32_t kChannelColor = 0;
constexpr int32_t kChannelLuminance = 1;
constexpr int32_t kChannelTransparency = 2;
constexpr int32_t kChannelReflection = 3;
constexpr int32_t kChannelEnvironment = 4;
constexpr int32_t kChannelFog = 5;
constexpr int32_t kChannelBump = 6;
constexpr int32_t kChannelAlpha = 7;
constexpr int32_t kChannelCount = 8;

// Channel data.
constexpr int32_t kChannelDataColor = 1000;            // vector
constexpr int32_t kChannelDataBrightness = 1001;       // real, 1 for 100 %
constexpr int32_t kChannelDataTexture = 1002;          // the texture file's name
constexpr int32_t kChannelDataSuggestedFolder = 1017;  // where to look for it

// Shader parameters.
constexpr int32_t kBitmapShaderFile = 1000;  // file name
constexpr int32_t kFilterShaderLink = 1001;  // the filtered shader
constexpr int32_t kFilterShaderMode = 1005;

// Texture tag parameters.
constexpr int32_t kTextureTagMaterial = 1010;  // link to the material
constexpr int32_t kTextureTagLengthX = 1002;
constexpr int32_t kTextureTagLengthY = 1003;
constexpr int32_t kTextureTagProjection = 1004;

// The host's grass tag: a tag plug-in of the host's own, which links a material.
constexpr int32_t kTagGrass = 1028463;
constexpr int32_t kGrassTagMaterial = 2000;

class BaseMaterial;

class BaseShader {
 public:
  // A bitmap or filter shader; nullptr when the type is unknown or memory is short.
  static BaseShader* alloc(int32_t type);
  // Frees a shader that is in no material, with the shaders under it.
  static void free(BaseShader*& shader);
  ~BaseShader();

  int32_t getType() const { return type_; }
  uint64_t getId() const { return id_; }
  const String& getName() const { return name_; }
  void setName(const String& name) { name_ = name; }
  Container& getDataInstance() { return data_; }
  const Container& getData() const { return data_; }

  // The shaders under this one, in order.
  const std::vector<BaseShader*>& children() const { return children_; }
  // Inserts a shader as the last one under this; this owns it then.
  void insertShader(BaseShader* shader);
  BaseShader* getUp() const { return parent_; }
  BaseMaterial* getMaterial() const { return material_; }
  // Takes the shader out of where it hangs; the caller owns it afterwards.
  void remove();

 private:
  friend class BaseMaterial;
  friend class MaterialAccess;
  template <class T, class... Args>
  friend T* newObject(Args&&... args);
  explicit BaseShader(int32_t type);
  void setMaterialRecursive(BaseMaterial* material);

  int32_t type_;
  uint64_t id_;
  String name_;
  Container data_;
  BaseShader* parent_ = nullptr;
  BaseMaterial* material_ = nullptr;
  std::vector<BaseShader*> children_;
};

// A material channel: a view of one channel of its material.
class BaseChannel {
 public:
  int32_t getId() const { return id_; }
  // The channel's data, to change and write back.
  Container getData() const { return data_; }
  void setData(const Container& data) { data_ = data; }

 private:
  friend class BaseMaterial;
  friend class MaterialAccess;
  explicit BaseChannel(int32_t id) : id_(id) {}
  int32_t id_;
  Container data_;
};

class BaseMaterial {
 public:
  // A standard material named "Mat"; nullptr when the type is unknown or memory is short.
  static BaseMaterial* alloc(int32_t type);
  // Frees a material that is in no document, with its shaders.
  static void free(BaseMaterial*& material);
  ~BaseMaterial();

  int32_t getType() const { return type_; }
  uint64_t getId() const { return id_; }
  const String& getName() const { return name_; }
  void setName(const String& name) { name_ = name; }
  Container& getDataInstance() { return data_; }
  const Container& getData() const { return data_; }

  // A channel by id (kChannel…); nullptr when the material has no such channel.
  BaseChannel* getChannel(int32_t id);
  const BaseChannel* getChannel(int32_t id) const;

  // The shaders directly under the material, in order.
  const std::vector<BaseShader*>& shaders() const { return shaders_; }
  // Inserts a shader as the last one under the material; the material owns it then.
  void insertShader(BaseShader* shader);
  // The shader of the material's tree with an identity; nullptr when there is none.
  BaseShader* findShader(uint64_t id) const;

  // Recomputes the preview and the data the renderer reads.
  void update(bool preview, bool renderData);
  int32_t updateCount() const { return updates_; }
  void message(int32_t id);
  int32_t messageCount() const { return messages_; }

  BaseDocument* getDocument() const { return document_; }
  // Takes the material out of its document; the caller owns it afterwards.
  void remove();

  // A copy with its channels and shaders; the copy is new (identities differ), in no
  // document, and its links to its own shaders name the copied shaders.
  BaseMaterial* clone() const;

 private:
  friend class BaseDocument;
  friend class MaterialAccess;
  template <class T, class... Args>
  friend T* newObject(Args&&... args);
  explicit BaseMaterial(int32_t type);

  int32_t type_;
  uint64_t id_;
  String name_;
  Container data_;
  std::vector<BaseChannel> channels_;
  std::vector<BaseShader*> shaders_;
  BaseDocument* document_ = nullptr;
  int32_t updates_ = 0;
  int32_t messages_ = 0;
};

// Links to materials and shaders, as parameter values; like object links they name the
// target by its identity.
HostValue linkValue(const BaseMaterial* target);
HostValue linkValue(const BaseShader* target);
// The material of a document a link names; nullptr when it names none there.
BaseMaterial* linkedMaterial(const HostValue& value, const BaseDocument* document);
// The shader of a material's tree a link names; nullptr when it names none there.
BaseShader* linkedShader(const HostValue& value, const BaseMaterial* material);

}  // namespace host
