// The mesh clean-up of an import, run through the host's modelling commands: the exact
// point merge, phong and normals of each new polygon object, and the optimizing phase
// over the whole imported tree.
#pragma once

#include <cstdint>

#include "talvo_import_c4d_options.h"

namespace host {
class BaseObject;
}

namespace talvo {

// Joins the points of a polygon object that have equal coordinates and removes the points
// no polygon uses (command 227 with tolerance 0, polygons left alone). True on success;
// the object is then notified of the change. False for anything but a polygon object.
[[nodiscard]] bool optimizeObjectExact(host::BaseObject* object);

// Aligns the orientation of the object's polygons (command 217). True on success.
[[nodiscard]] bool runNormalsCommand(host::BaseObject* object);

// Gives the object a phong tag (or sets the one it has) with the angle limit on and the
// angle options.phongAngle; then, when options.phongCommand is on, writes the phong
// normals (command 255). False when the tag cannot be made or the command fails.
[[nodiscard]] bool applyPhong(host::BaseObject* object, const ImportOptions& options);

// The optimizing phase: every polygon object below root, children before their parent,
// untriangulated (options.untriangulate) and optimized (options.optimize) with the
// options' settings, each reported on the console with its counts before and after.
// Progress (out of objectCount) and the cancel check come before every tenth object.
// Returns 0, kStatusOptimize when a command fails or kStatusCancelled; objects already
// treated stay treated.
[[nodiscard]] int32_t optimizeTree(host::BaseObject* root, int32_t objectCount, const ImportOptions& options);

}  // namespace talvo
