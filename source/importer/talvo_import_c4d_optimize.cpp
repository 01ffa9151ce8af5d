#include "talvo_import_c4d_optimize.h"

#include "host/modeling.h"
#include "host/scene.h"
#include "host/text.h"
#include "talvo_import_c4d_diagnostics.h"
#include "talvo_import_c4d_status.h"

namespace talvo {
namespace {

constexpr int32_t kStatusTextOptimizing = 10907;
constexpr const char* kObjectLine = "----------------------------------------";  // 40 "-"
// Progress and the cancel check come before every tenth object.
constexpr int32_t kCheckpointObjects = 10;

// Runs one modelling command and notifies the object after it succeeded.
bool runCommand(int32_t command, host::BaseObject* object, const host::Container& parameters) {
  if (!host::sendModelingCommand(command, object, parameters)) return false;
  object->message(host::kMessageUpdate);
  return true;
}

struct Walk {
  const ImportOptions& options;
  int32_t objectCount;
  int32_t treated = 0;  // polygon objects treated so far
};

[[nodiscard]] int32_t treatObject(host::PolygonObject* object, Walk& walk) {
  const ImportOptions& options = walk.options;
  printLine("%s", kObjectLine);
  printLine("%s", host::stringTo8Bit(object->getName()).c_str());
  printLine("Original:  Point / Polygon Number:   %d / %d", object->getPointCount(), object->getPolygonCount());
  if (options.untriangulate) {
    host::Container parameters;
    parameters.setBool(host::kUntriangulateNgons, options.untriangulateNgons != 0);
    parameters.setBool(host::kUntriangulateUseAngle, options.untriangulateUseAngle != 0);
    parameters.setReal(host::kUntriangulateAngle, options.untriangulateAngle);
    if (!runCommand(host::kCommandUntriangulate, object, parameters)) return kStatusOptimize;
  }
  if (options.optimize) {
    host::Container parameters;
    parameters.setBool(host::kOptimizePoints, options.optimizePoints != 0);
    parameters.setBool(host::kOptimizeUnusedPoints, options.optimizeUnusedPoints != 0);
    parameters.setBool(host::kOptimizePolygons, options.optimizePolygons != 0);
    parameters.setReal(host::kOptimizeTolerance, options.optimizeTolerance);
    if (!runCommand(host::kCommandOptimize, object, parameters)) return kStatusOptimize;
  }
  printLine("Optimized: Point / Polygon Number:   %d / %d", object->getPointCount(), object->getPolygonCount());
  const int32_t before = walk.treated++;
  if (before % kCheckpointObjects == 0) {
    reportProgress(before, walk.objectCount);
    if (cancelRequested()) return kStatusCancelled;
  }
  return kStatusOk;
}

// Children first, then the object; the next sibling is taken before the object's subtree
// is treated, so that changes there do not disturb the walk.
[[nodiscard]] int32_t walkSiblings(host::BaseObject* first, Walk& walk) {
  for (host::BaseObject* object = first; object;) {
    host::BaseObject* next = object->getNext();
    if (const int32_t rc = walkSiblings(object->getDown(), walk); rc != kStatusOk) return rc;
    if (host::PolygonObject* polygonObject = host::toPolygonObject(object)) {
      if (const int32_t rc = treatObject(polygonObject, walk); rc != kStatusOk) return rc;
    }
    object = next;
  }
  return kStatusOk;
}

}  // namespace

bool optimizeObjectExact(host::BaseObject* object) {
  host::Container parameters;
  parameters.setBool(host::kOptimizePoints, true);
  parameters.setBool(host::kOptimizeUnusedPoints, true);
  parameters.setBool(host::kOptimizePolygons, false);
  parameters.setReal(host::kOptimizeTolerance, 0.0);
  return runCommand(host::kCommandOptimize, object, parameters);
}

bool runNormalsCommand(host::BaseObject* object) {
  return runCommand(host::kCommandNormals, object, host::Container());
}

bool applyPhong(host::BaseObject* object, const ImportOptions& options) {
  if (!object) return false;
  host::BaseTag* phong = object->getTag(host::kTagPhong);
  if (!phong) phong = object->makeTag(host::kTagPhong);
  if (!phong) return false;
  host::Container& data = phong->getDataInstance();
  data.setBool(host::kPhongAngleLimit, true);
  data.setReal(host::kPhongAngle, options.phongAngle);
  if (!options.phongCommand) return true;
  return runCommand(host::kCommandPhong, object, host::Container());
}

int32_t optimizeTree(host::BaseObject* root, int32_t objectCount, const ImportOptions& options) {
  printLine("%s", kBlockLine);
  printLine("Optimizing");
  printLine("%s", kBlockLine);
  statusText(kStatusTextOptimizing);
  Walk walk{options, objectCount};
  const int32_t rc = root ? walkSiblings(root->getDown(), walk) : kStatusOk;
  statusClear();
  return rc;
}

}  // namespace talvo
