// The import's status codes: one int32 table for the whole system. 0 is success;
// negative values are host file errors (message resources 10800 to 10812); values from
// 10002 up are import statuses whose message is the string resource of the same id.
#pragma once

#include <cstdint>

namespace talvo {

constexpr int32_t kStatusOk = 0;

// Host file errors and the reader's own negative codes.
constexpr int32_t kStatusFileOpen = -1;          // the file could not be opened
constexpr int32_t kStatusTextureTruncated = -3;  // fewer texture bytes than announced
constexpr int32_t kStatusOutOfMemory = -7;       // record or data memory could not be had
constexpr int32_t kStatusReadCancelled = -8;     // Escape, answered Yes, while reading
constexpr int32_t kStatusReadFailed = -100;      // a value could not be read
constexpr int32_t kStatusReadPastEnd = -104;     // the read passed the start of the trailer

// Import statuses.
constexpr int32_t kStatusImportDialog = 10002;
constexpr int32_t kStatusInstanceDialog = 10003;
constexpr int32_t kStatusMarkerTag = 10004;
constexpr int32_t kStatusIndexMemory = 10005;
constexpr int32_t kStatusVersionTooOld = 10006;
constexpr int32_t kStatusVersionUnknown = 10007;
constexpr int32_t kStatusNotSceneFile = 10008;
constexpr int32_t kStatusTrailerUnreadable = 10009;
constexpr int32_t kStatusDamaged = 10010;  // a count or an index the file cannot hold
constexpr int32_t kStatusEmptyFile = 10011;
constexpr int32_t kStatusHeaderUnreadable = 10012;
constexpr int32_t kStatusNewDocument = 10013;
constexpr int32_t kStatusUvwMismatch = 10014;
constexpr int32_t kStatusRootNull = 10015;
constexpr int32_t kStatusPolygonObject = 10018;  // a polygon object could not be had
constexpr int32_t kStatusGroupNull = 10019;      // a null could not be found or created
constexpr int32_t kStatusResourceMissing = 10022;  // a string resource the import needs is empty
constexpr int32_t kStatusInstanceGroups = 10025;  // the chosen instance groups disagree
constexpr int32_t kStatusOptimizeObject = 10026;  // the exact point merge of an object failed
constexpr int32_t kStatusUvwTag = 10027;          // a UVW tag could not be had
constexpr int32_t kStatusTextureTag = 10028;      // a texture tag could not be had
constexpr int32_t kStatusPhong = 10030;           // phong could not be applied
constexpr int32_t kStatusNewNullTag = 10031;      // the new-null tag could not be added
constexpr int32_t kStatusGrassTag = 10032;        // a grass tag could not be had
constexpr int32_t kStatusLayerRoot = 10033;       // the document has no layer root
constexpr int32_t kStatusLayer = 10034;           // a host layer could not be had
constexpr int32_t kStatusMaterial = 10035;        // no material, or its texture, for a shader
constexpr int32_t kStatusNormals = 10036;         // the normals command failed
constexpr int32_t kStatusPointArray = 10039;      // no writable point array
constexpr int32_t kStatusOptimize = 10040;        // a command of the optimizing phase failed
constexpr int32_t kStatusBaseNullMissing = 10041;  // an instance group's base null is missing
constexpr int32_t kStatusInstanceObject = 10042;   // an instance object could not be had
constexpr int32_t kStatusInstanceTables = 10043;  // the instance tables could not be built
constexpr int32_t kStatusCancelled = 14001;

// The string resource that explains a status to the user.
int32_t statusMessageId(int32_t status);
// A short name for logs and test failures ("read failed", "damaged", ...).
const char* statusName(int32_t status);

}  // namespace talvo
