#include "talvo_import_c4d_status.h"

namespace talvo {

int32_t statusMessageId(int32_t status) {
  switch (status) {
    case -1:
      return 10800;
    case -2:
      return 10801;
    case -3:
      return 10802;
    case -4:
      return 10803;
    case -5:
      return 10804;
    case -6:
      return 10805;
    case -7:
      return 10806;
    case -8:
      return 10807;
    case -100:
      return 10808;
    case -102:
      return 10809;
    case -103:
      return 10810;
    case -104:
      return 10811;
    case -105:
      return 10812;
    default:
      return status;
  }
}

const char* statusName(int32_t status) {
  switch (status) {
    case kStatusOk:
      return "ok";
    case kStatusFileOpen:
      return "file could not be opened";
    case -2:
      return "file error -2";
    case kStatusTextureTruncated:
      return "texture data truncated";
    case -4:
      return "file error -4";
    case -5:
      return "file error -5";
    case -6:
      return "file error -6";
    case kStatusOutOfMemory:
      return "out of memory";
    case kStatusReadCancelled:
      return "reading cancelled";
    case kStatusReadFailed:
      return "read failed";
    case -102:
      return "file error -102";
    case -103:
      return "file error -103";
    case kStatusReadPastEnd:
      return "read past the trailer";
    case -105:
      return "file error -105";
    case kStatusImportDialog:
      return "import dialog not created";
    case kStatusInstanceDialog:
      return "instance dialog not created";
    case kStatusMarkerTag:
      return "marker tag not created";
    case kStatusIndexMemory:
      return "index table memory";
    case kStatusVersionTooOld:
      return "version too old";
    case kStatusVersionUnknown:
      return "version unknown";
    case kStatusNotSceneFile:
      return "not a scene file";
    case kStatusTrailerUnreadable:
      return "trailer unreadable";
    case kStatusDamaged:
      return "damaged";
    case kStatusEmptyFile:
      return "empty file";
    case kStatusHeaderUnreadable:
      return "header unreadable";
    case kStatusNewDocument:
      return "new document not created";
    case kStatusUvwMismatch:
      return "polygon and uvw counts differ";
    case kStatusRootNull:
      return "import root not created";
    case kStatusResourceMissing:
      return "resource string missing";
    case kStatusInstanceGroups:
      return "instance groups inconsistent";
    case kStatusTextureTag:
      return "texture tag not created";
    case kStatusGrassTag:
      return "grass tag not created";
    case kStatusMaterial:
      return "material not created";
    case kStatusNormals:
      return "normals command failed";
    case kStatusOptimize:
      return "optimize command failed";
    case kStatusInstanceTables:
      return "instance tables not built";
    case kStatusCancelled:
      return "cancelled";
    default:
      return "import status";
  }
}

}  // namespace talvo
