// Scene generators: the bundled example house and a large benchmark building.

#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/scene_writer.h"

namespace talvo::scenegen {

// 8-bit RGB pixels as a PNG file; empty when encoding fails.
std::vector<uint8_t> encodePng(int width, int height, const std::vector<uint8_t>& rgb);

// 16 x 16 texture patterns used by the example.
std::vector<uint8_t> brickTexturePng();
std::vector<uint8_t> woodTexturePng();

// The example: a small two-storey house, version 2.50, lengths in centimetres.
testsupport::SceneDescription makeExampleScene();

struct BigSceneOptions {
  int64_t polygons = 100000;  // exact number of polygon records
  uint32_t seed = 20500;
};

struct BigSceneSummary {
  int64_t polygons = 0;
  int64_t points = 0;
  int64_t elements = 0;
  int64_t placedElements = 0;
  int64_t libraryParts = 0;
  int64_t corners = 0;  // vertex entries over all polygons
};

inline constexpr int64_t kMaxBigScenePolygons = 200'000'000;

// A building of stories filled with rooms (walls and slabs as subdivided grids) and placed
// library parts (windows, doors, furniture, columns) repeated across the rooms. The whole
// geometry is planned up front in a few bytes per element and generated again for each
// section, so memory stays small whatever the polygon count.
class BigScene {
 public:
  // Plans the scene. Throws std::invalid_argument when options.polygons is outside
  // 1..kMaxBigScenePolygons.
  explicit BigScene(const BigSceneOptions& options);
  ~BigScene();
  BigScene(const BigScene&) = delete;
  BigScene& operator=(const BigScene&) = delete;

  // Streams the scene into a fresh writer (header to trailer). Returns writer.ok().
  bool write(testsupport::SceneWriter& writer) const;

  // Writes the same geometry as Wavefront OBJ (points in file units, one vt per corner,
  // faces with their own vertex counts). Returns false when the file cannot be written.
  bool writeObj(const std::string& path) const;

  const BigSceneSummary& summary() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Command-line entry point: `scenegen example OUT` and `scenegen big OUT --polygons N
// [--obj OUT.obj]`. Returns the process exit code.
int runScenegen(int argc, char** argv);

}  // namespace talvo::scenegen
