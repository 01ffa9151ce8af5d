#include "talvo_import_c4d_options.h"

namespace talvo {
namespace {

using O = ImportOptions;
using T = OptionType;

// 30° and 0.1° in radians, as the stored defaults are written.
constexpr double kPhongAngleDefault = 0.5235987755982988;
constexpr double kUntriangulateAngleDefault = 0.0017453292519943296;

const OptionInfo kOptions[] = {
    {"scale", 12405, 30507, 0, T::real, &O::scale, 1.0, nullptr},
    {"useUnits", 12407, 30509, 0, T::boolean, &O::useUnits, 0, nullptr},
    {"unitLength", 12408, 30510, 0, T::real, &O::unitLength, 1.0, nullptr},
    {"unitIndex", 12409, 30511, 30580, T::integer, &O::unitIndex, 2, nullptr},
    {"splitByMaterial", 12104, 30206, 0, T::boolean, &O::splitByMaterial, 1, nullptr},
    {"splitByStory", 12101, 30202, 0, T::boolean, &O::splitByStory, 0, nullptr},
    {"splitByClass", 12102, 30203, 0, T::boolean, &O::splitByClass, 0, nullptr},
    {"splitByLayer", 12103, 30204, 0, T::boolean, &O::splitByLayer, 1, nullptr},
    {"splitByElement", 12110, 30209, 0, T::boolean, &O::splitByElement, 0, nullptr},
    {"nameSeparator", 12112, 30211, 0, T::string, &O::nameSeparator, 0, "::"},
    {"separatorSpaces", 12113, 30212, 0, T::boolean, &O::separatorSpaces, 1, nullptr},
    {"createInstances", 12105, 30207, 0, T::boolean, &O::createInstances, 1, nullptr},
    {"reservedFlag12106", 12106, 0, 0, T::boolean, &O::reservedFlag12106, 0, nullptr},
    {"importLights", 12301, 30402, 0, T::boolean, &O::importLights, 1, nullptr},
    {"importCameras", 12302, 30403, 0, T::boolean, &O::importCameras, 1, nullptr},
    {"createMaterials", 12210, 0, 0, T::boolean, &O::createMaterials, 1, nullptr},
    {"assignMaterials", 12201, 30301, 0, T::boolean, &O::assignMaterials, 1, nullptr},
    {"noMaterialsFlag", 12203, 0, 0, T::boolean, &O::noMaterialsFlag, 0, nullptr},
    {"materialSplitMode", 12107, 30208, 30290, T::integer, &O::materialSplitMode, 0, nullptr},
    {"textureProjection", 12206, 30302, 30390, T::integer, &O::textureProjection, 6, nullptr},
    {"useTextures", 12204, 30303, 0, T::boolean, &O::useTextures, 1, nullptr},
    {"textureFolder", 12205, 30304, 0, T::filename, &O::textureFolder, 0, "tex"},
    {"createUVW", 12380, 30411, 0, T::boolean, &O::createUVW, 1, nullptr},
    {"uvwScale", 12381, 30412, 0, T::real, &O::uvwScale, 1.0, nullptr},
    {"phong", 12370, 30407, 0, T::boolean, &O::phong, 1, nullptr},
    {"phongAngle", 12371, 30408, 0, T::real, &O::phongAngle, kPhongAngleDefault, nullptr},
    {"phongCommand", 12372, 0, 0, T::boolean, &O::phongCommand, 1, nullptr},
    {"useFileNormals", 12303, 0, 0, T::boolean, &O::useFileNormals, 1, nullptr},
    {"normalsCommand", 12304, 30405, 0, T::boolean, &O::normalsCommand, 1, nullptr},
    {"optimize", 12501, 30602, 0, T::boolean, &O::optimize, 1, nullptr},
    {"optimizePoints", 12504, 30605, 0, T::boolean, &O::optimizePoints, 1, nullptr},
    {"optimizeUnusedPoints", 12503, 30604, 0, T::boolean, &O::optimizeUnusedPoints, 1, nullptr},
    {"optimizeTolerance", 12505, 30606, 0, T::real, &O::optimizeTolerance, 0.01, nullptr},
    {"optimizePolygons", 12502, 30603, 0, T::boolean, &O::optimizePolygons, 1, nullptr},
    {"untriangulate", 12510, 30608, 0, T::boolean, &O::untriangulate, 1, nullptr},
    {"untriangulateUseAngle", 12511, 30609, 0, T::boolean, &O::untriangulateUseAngle, 1, nullptr},
    {"untriangulateNgons", 12512, 30610, 0, T::boolean, &O::untriangulateNgons, 0, nullptr},
    {"untriangulateAngle", 12513, 30611, 0, T::real, &O::untriangulateAngle, kUntriangulateAngleDefault,
     nullptr},
    {"reservedFlag12602", 12602, 0, 0, T::boolean, &O::reservedFlag12602, 1, nullptr},
    {"undo", 12601, 30701, 0, T::boolean, &O::undo, 1, nullptr},
    {"removeEmptyObjects", 12606, 30708, 0, T::boolean, &O::removeEmptyObjects, 0, nullptr},
    {"sortObjects", 12603, 30702, 0, T::boolean, &O::sortObjects, 1, nullptr},
    {"sortOption", 12604, 30703, 0, T::boolean, &O::sortOption, 1, nullptr},
    {"centerAtOrigin", 12605, 30704, 0, T::boolean, &O::centerAtOrigin, 0, nullptr},
};

}  // namespace

ImportOptions::ImportOptions() {
  pluginVersion = kPluginVersion;
  importMode = kImportMerge;
  furtherFlag1 = 1;
  furtherFlag2 = 0;
  furtherFlag3 = 0;
  furtherFlag4 = 1;
  resetToDefaults(*this);
}

void resetToDefaults(ImportOptions& options) {
  for (const OptionInfo& info : kOptions) {
    std::visit(
        [&](auto member) {
          using Field = std::remove_reference_t<decltype(options.*member)>;
          if constexpr (std::is_same_v<Field, int32_t>) {
            options.*member = int32_t(info.defaultNumber);
          } else if constexpr (std::is_same_v<Field, double>) {
            options.*member = info.defaultNumber;
          } else {
            options.*member = Field(info.defaultText);
          }
        },
        info.field);
  }
  options.effectiveScale = 1.0;
  options.unitScale = 1.0;
}

std::span<const OptionInfo> optionTable() {
  return kOptions;
}

const OptionInfo* findOption(std::string_view name) {
  for (const OptionInfo& info : kOptions)
    if (name == info.name) return &info;
  return nullptr;
}

double unitFactor(int32_t unitIndex) {
  static constexpr double kFactors[kUnitCount] = {1000.0,      1.0,      0.01,   0.001,  0.000001,
                                                  0.000000001, 1609.344, 0.9144, 0.3048, 0.0254};
  return unitIndex >= 0 && unitIndex < kUnitCount ? kFactors[unitIndex] : 1.0;
}

}  // namespace talvo
