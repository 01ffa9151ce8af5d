#include "talvo_import_c4d_tag_talvo.h"

#include "host/resource.h"
#include "host/scene.h"
#include "talvo_import_c4d_bitmap.h"
#include "talvo_import_c4d_diagnostics.h"
#include "talvo_import_c4d_loader.h"

namespace talvo {
namespace {

constexpr int32_t kNameString = 15000;
constexpr const char* kTitle = "Talvo importer for Cinema4D v2.61";
constexpr const char* kNotice =
    "These settings record the import and are read by later updates; they cannot be edited.";

// Keys the tag's initialisation leaves unwritten: element split and the separator.
bool initSkips(int32_t tagKey) {
  return tagKey == 30209 || tagKey == 30211 || tagKey == 30212;
}

// Writes one option's value under its tag key.
void writeOption(host::Container& data, const OptionInfo& info, const ImportOptions& options) {
  std::visit(
      [&](auto member) {
        const auto& value = options.*member;
        using Field = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<Field, int32_t>) {
          data.setInt32(info.tagKey, info.tagValueBase + value);
        } else if constexpr (std::is_same_v<Field, double>) {
          data.setReal(info.tagKey, value);
        } else if constexpr (std::is_same_v<Field, host::String>) {
          data.setString(info.tagKey, value);
        } else {
          data.setFilename(info.tagKey, value);
        }
      },
      info.field);
}

void readOption(const host::Container& data, const OptionInfo& info, ImportOptions& options) {
  std::visit(
      [&](auto member) {
        auto& value = options.*member;
        using Field = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<Field, int32_t>) {
          const int32_t preset = int32_t(info.defaultNumber);
          value = data.getInt32(info.tagKey, info.tagValueBase + preset) - info.tagValueBase;
        } else if constexpr (std::is_same_v<Field, double>) {
          value = data.getReal(info.tagKey, info.defaultNumber);
        } else if constexpr (std::is_same_v<Field, host::String>) {
          value = data.getString(info.tagKey, info.defaultText);
        } else {
          value = data.getFilename(info.tagKey, host::Filename(info.defaultText));
        }
      },
      info.field);
}

}  // namespace

bool cTagTalvoPlugin::init(host::Container& data) {
  ImportOptions defaults;
  for (const OptionInfo& info : optionTable()) {
    if (info.tagKey == 0 || initSkips(info.tagKey)) continue;
    writeOption(data, info, defaults);
  }
  data.setReal(kTagKeyCenterX, 0.0);
  data.setReal(kTagKeyCenterY, 0.0);
  data.setReal(kTagKeyCenterZ, 0.0);
  return true;
}

bool cTagTalvoPlugin::getDDescription(const host::Container& data, host::Description& description,
                                      int32_t singleId) {
  description.resource = "ttalvotag";
  if (singleId == 0 || singleId == kTagKeyTitle)
    description.entries.push_back({kTagKeyTitle, host::kDescriptionStaticText, kTitle});
  if (singleId == 0 || singleId == kTagKeyNotice)
    description.entries.push_back({kTagKeyNotice, host::kDescriptionStaticText, kNotice});
  description.loaded = true;
  return true;
}

bool registerTalvoTag() {
  const host::String name = loadRegistrationString(kNameString, "IDS_TAG_TALVO");
  if (name.empty()) return false;
  return host::registerTagPlugin(
      kTagTalvo, name, host::kTagVisible, [] { return new cTagTalvoPlugin; }, "ttalvotag",
      loadResourceBitmap("Talvo_tag.tif").get());
}

bool writeOptionsToTag(host::BaseTag* tag, const ImportOptions& options, const SceneLoader& loader) {
  if (!tag) return false;
  host::Container& data = tag->getDataInstance();
  data.setString(kTagKeyVersionName, loader.header.versionName);
  data.setString(kTagKeyFileDirectory, options.sceneFilePath.directory().string());
  data.setString(kTagKeyFileName, options.sceneFilePath.file().string());
  data.setString(kTagKeyHeaderText, loader.header.headerString2);
  for (const OptionInfo& info : optionTable())
    if (info.tagKey != 0) writeOption(data, info, options);
  data.setReal(kTagKeyCenterX, options.originNew[0]);
  data.setReal(kTagKeyCenterY, options.originNew[1]);
  data.setReal(kTagKeyCenterZ, options.originNew[2]);
  return true;
}

bool readOptionsFromTag(const host::BaseTag* tag, ImportOptions& options) {
  if (!tag) return false;
  const host::Container& data = tag->getData();
  for (const OptionInfo& info : optionTable())
    if (info.tagKey != 0) readOption(data, info, options);
  options.originNew[0] = data.getReal(kTagKeyCenterX, 0.0);
  options.originNew[1] = data.getReal(kTagKeyCenterY, 0.0);
  options.originNew[2] = data.getReal(kTagKeyCenterZ, 0.0);
  return true;
}

}  // namespace talvo
