// The marker tag: sits on the root null of every import and records the import's options
// and the identity of the scene file. Its parameters are read-only for the user.
#pragma once

#include <cstdint>

#include "host/plugins.h"
#include "talvo_import_c4d_options.h"

namespace host {
class BaseTag;
}

namespace talvo {

class SceneLoader;

constexpr int32_t kTagTalvo = 1027290;
// Marker tags of earlier importer versions, recognised as marking an import.
constexpr int32_t kTagTalvoOld1 = 1024180;
constexpr int32_t kTagTalvoOld2 = 465000404;

// Parameters of the marker tag besides the option keys.
constexpr int32_t kTagKeyTitle = 30002;
constexpr int32_t kTagKeyNotice = 30003;
constexpr int32_t kTagKeyVersionName = 30102;
constexpr int32_t kTagKeyFileDirectory = 30104;
constexpr int32_t kTagKeyFileName = 30106;
constexpr int32_t kTagKeyHeaderText = 30108;
constexpr int32_t kTagKeyCenterX = 30705;
constexpr int32_t kTagKeyCenterY = 30706;
constexpr int32_t kTagKeyCenterZ = 30707;

class cTagTalvoPlugin : public host::TagData {
 public:
  // Writes the factory defaults of the kept options and a zero centre; no texts.
  bool init(host::Container& data) override;
  bool getDDescription(const host::Container& data, host::Description& description,
                       int32_t singleId) override;
  // Every parameter is read-only.
  bool getDEnabling(const host::Container& data, int32_t id) override { return false; }
};

// Registers the tag; false (with a console line) when its name string is missing.
bool registerTalvoTag();

// Writes the options, the scene file's identity and the stored centre (originNew) into
// the tag; false only when there is no tag.
bool writeOptionsToTag(host::BaseTag* tag, const ImportOptions& options, const SceneLoader& loader);
// Reads every kept option back, with the factory default for a missing key, and the
// stored centre into originNew; options the tag does not keep stay as they are.
bool readOptionsFromTag(const host::BaseTag* tag, ImportOptions& options);

}  // namespace talvo
