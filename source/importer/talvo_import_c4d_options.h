// The options of one import run: every option with its preset key, marker-tag key and
// factory default, and the run-time fields the controller fills in.
#pragma once

#include <cstdint>
#include <span>
#include <variant>

#include "host/filename.h"
#include "host/text.h"

namespace host {
class BaseDocument;
class BaseObject;
}  // namespace host

namespace talvo {

constexpr int32_t kPluginVersion = 261;  // 2.61

// importMode values.
constexpr int32_t kImportNewDocument = 0;
constexpr int32_t kImportMerge = 1;
constexpr int32_t kImportUpdate = 2;

struct ImportOptions {
  ImportOptions();

  host::BaseDocument* targetDocument = nullptr;
  host::Filename sceneFilePath;
  int32_t pluginVersion = 0;
  int32_t importMode = 0;
  host::BaseObject* updateTarget = nullptr;
  int32_t instancePass = 0;
  int32_t shaderSplitDone = 0;
  // Flags read by the hierarchy builder; not shown, stored in presets or tags.
  int32_t furtherFlag1 = 0;
  int32_t furtherFlag2 = 0;
  int32_t furtherFlag3 = 0;
  int32_t furtherFlag4 = 0;
  int32_t presetCount = 0;
  int32_t firstPresetId = 0;
  int32_t lastPresetId = 0;
  double scale = 0.0;
  double effectiveScale = 0.0;  // scale × the file's unit factor
  double unitScale = 0.0;
  int32_t useUnits = 0;
  double unitLength = 0.0;
  int32_t unitIndex = 0;
  int32_t splitByMaterial = 0;
  int32_t splitByStory = 0;
  int32_t splitByClass = 0;
  int32_t splitByLayer = 0;
  int32_t splitByElement = 0;
  host::String separatorText;
  host::String nameSeparator;
  int32_t separatorSpaces = 0;
  int32_t createInstances = 0;
  int32_t reservedFlag12106 = 0;
  int32_t importLights = 0;
  int32_t importCameras = 0;
  int32_t createMaterials = 0;
  int32_t assignMaterials = 0;
  int32_t noMaterialsFlag = 0;
  int32_t materialSplitMode = 0;
  int32_t textureProjection = 0;
  int32_t useTextures = 0;
  host::Filename textureFolder;
  int32_t createUVW = 0;
  double uvwScale = 0.0;
  int32_t phong = 0;
  double phongAngle = 0.0;  // radians
  int32_t phongCommand = 0;
  int32_t useFileNormals = 0;
  int32_t normalsCommand = 0;
  int32_t optimize = 0;
  int32_t optimizePoints = 0;
  int32_t optimizeUnusedPoints = 0;
  double optimizeTolerance = 0.0;
  int32_t optimizePolygons = 0;
  int32_t untriangulate = 0;
  int32_t untriangulateUseAngle = 0;
  int32_t untriangulateNgons = 0;
  double untriangulateAngle = 0.0;  // radians
  int32_t reservedFlag12602 = 0;
  int32_t undo = 0;
  int32_t removeEmptyObjects = 0;
  int32_t sortObjects = 0;
  int32_t sortOption = 0;
  int32_t centerAtOrigin = 0;
  double originNew[3] = {0.0, 0.0, 0.0};
  double originOld[3] = {0.0, 0.0, 0.0};
  double originOffset[3] = {0.0, 0.0, 0.0};
  int32_t needsShift = 0;
  int32_t previousCenterAtOrigin = 0;
};

// Writes every factory default into the options and sets effectiveScale and unitScale to
// 1; the run-time fields stay as they are.
void resetToDefaults(ImportOptions& options);

// One option of the dialog, presets and marker tag.
enum class OptionType { boolean, integer, real, string, filename };

struct OptionInfo {
  const char* name;      // the field name
  int32_t key;           // dialog gadget id and preset key
  int32_t tagKey;        // key in the marker tag; 0 when the tag does not keep it
  int32_t tagValueBase;  // stored in the tag as base + value when not 0
  OptionType type;
  std::variant<int32_t ImportOptions::*, double ImportOptions::*, host::String ImportOptions::*,
               host::Filename ImportOptions::*>
      field;
  double defaultNumber;     // booleans, integers and reals
  const char* defaultText;  // strings and file names
};

// Every option in table order.
std::span<const OptionInfo> optionTable();
// nullptr when no option has that name.
const OptionInfo* findOption(std::string_view name);

// The ten length units of unitIndex: metres per unit; any other index counts as 1.
constexpr int32_t kUnitCount = 10;
double unitFactor(int32_t unitIndex);

}  // namespace talvo
