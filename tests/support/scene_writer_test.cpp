// Layout facts of the scene writer, with sizes worked out by hand from the record layouts.

#include "support/scene_writer.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace talvo::testsupport {
namespace {

int32_t readI32(const std::vector<uint8_t>& b, uint64_t at) {
  return int32_t(uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
                 uint32_t(b[at + 3]) << 24);
}

float readF32(const std::vector<uint8_t>& b, uint64_t at) {
  return std::bit_cast<float>(uint32_t(readI32(b, at)));
}

double readF64(const std::vector<uint8_t>& b, uint64_t at) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | b[at + i];
  return std::bit_cast<double>(v);
}

// One record of every section, short names, so each size below can be added up by hand.
SceneDescription tinyScene(int32_t version, bool doublePrecision) {
  SceneDescription d;
  d.header.version = version;
  d.header.headerString2 = "ab";
  d.header.doublePrecision = doublePrecision;
  d.info.sceneBox = {-1.5, 0, 0, 1, 2, 3};
  d.shaders.emplace_back().name = "S";
  TextureRecord& t = d.textures.emplace_back();
  t.name = "t";
  t.path = "t.png";
  t.data = {1, 2, 3};
  ShaderInternalRecord& si = d.shaderInternals.emplace_back();
  si.present = true;
  si.textureName = "t";
  ParameterEntry& pe = d.shaderC4D.emplace_back().entries.emplace_back();
  pe.name = "C4D_A_B";
  pe.valueType = 1;
  pe.realValue = 2.0;
  d.classes.push_back({7, "C"});
  d.stories.emplace_back().name = "F";
  d.layers.push_back({"L"});
  ElementRecord& e = d.elements.emplace_back();
  e.name = "E";
  e.placed = true;
  e.libraryName = "P";
  e.position = {1, 2, 3};
  d.points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  d.uvws.emplace_back().uv = {{0, 0}, {1, 0}, {0, 1}};
  d.normals.push_back({0, 0, 1});
  d.polygons.emplace_back().pointIndices = {0, 1, 2};
  d.lights.emplace_back().name = "Q";
  d.cameraSets.push_back({"V"});
  d.cameras.emplace_back().name = "K";
  return d;
}

struct LayoutCase {
  const char* what;
  int32_t version;
  bool doublePrecision;
  uint64_t headerEnd;
  uint64_t bodyStart;
  uint64_t fileSize;
  std::vector<int32_t> trailer;  // expected counts in trailer order
};

// Header: 8 magic + 256 text + 4 version + 5 ("") + 7 ("ab") [+ 8 versionText from 2.13]
// + 3 flags + 4 unit code + r fileUnit + 1 flag [+ 4 infoNumber from 2.11], r = real width.
// Scene info: 6r + 4 [+ 4 shaderDataLevel from 2.20].
const LayoutCase kLayoutCases[] = {
    // Body: shader 26, texture 49, internal 22 (no flagC/D), class 6 (no typeId), story 18,
    // layer 6, element 60 (no name, no spareFlag), points 36, uvw 28, normal 12, polygon 24,
    // light 66 (point indices), camera 18 (point indices); 52-byte trailer.
    {"2.10 float", 20010, false, 292, 320, 743, {1, 1, 1, 1, 1, 1, 1, 3, 1, 1, 1, 1, 1}},
    // Adds infoNumber, flagC/D and the element name after the placement (internal 24,
    // element 66).
    {"2.11 float", 20011, false, 296, 324, 755, {1, 1, 1, 1, 1, 1, 1, 3, 1, 1, 1, 1, 1}},
    // Adds the class typeId (class 10).
    {"2.12 float", 20012, false, 296, 324, 759, {1, 1, 1, 1, 1, 1, 1, 3, 1, 1, 1, 1, 1}},
    // Body: shader 26, texture 49, internal 24, C4D 24, class 10, story 18, layer 6,
    // element 67, points 36, uvw 28, normal 12, polygon 24, light 94, camera set 6,
    // camera 51; 60-byte trailer.
    {"2.50 float", 20500, false, 304, 336, 871, {1, 1, 1, 1, 1, 1, 1, 1, 3, 1, 1, 1, 1, 1, 1}},
    // As 2.50, with the element name at the end of the placed block before spareFlag.
    {"2.20 float", 20200, false, 304, 336, 871, {1, 1, 1, 1, 1, 1, 1, 1, 3, 1, 1, 1, 1, 1, 1}},
    // Every real doubles in width; bools and ints do not: shader 38, internal 36, C4D 28,
    // story 26, element 107, points 72, uvw 52, normal 24, light 162, camera 83.
    {"2.50 double", 20500, true, 308, 364, 1147, {1, 1, 1, 1, 1, 1, 1, 1, 3, 1, 1, 1, 1, 1, 1}},
};

TEST(SceneWriter, LayoutSizesAndTrailer) {
  for (const LayoutCase& c : kLayoutCases) {
    SCOPED_TRACE(c.what);
    SceneMarks marks;
    std::vector<uint8_t> bytes = writeScene(tinyScene(c.version, c.doublePrecision), &marks);
    EXPECT_EQ(marks.headerEnd, c.headerEnd);
    EXPECT_EQ(marks.bodyStart, c.bodyStart);
    ASSERT_EQ(bytes.size(), c.fileSize);
    ASSERT_EQ(marks.fileSize, c.fileSize);
    ASSERT_EQ(marks.trailerStart, c.fileSize - trailerSize(c.version));
    ASSERT_EQ(c.trailer.size() * 4, size_t(trailerSize(c.version)));
    for (size_t i = 0; i < c.trailer.size(); ++i) {
      EXPECT_EQ(readI32(bytes, marks.trailerStart + 4 * i), c.trailer[i]) << "slot " << i;
    }
  }
}

TEST(SceneWriter, FieldEncoding) {
  SceneMarks m;
  std::vector<uint8_t> f = writeScene(tinyScene(20500, false), &m);
  EXPECT_EQ(std::memcmp(f.data(), "TLVOBIN\0", 8), 0);
  EXPECT_EQ(readI32(f, 264), 20500);
  EXPECT_EQ(readI32(f, 268), 1);  // empty headerString1 is a lone NUL
  EXPECT_EQ(std::memcmp(f.data() + 268 + 5 + 7, "2.50\0\0\0\0", 8), 0);
  EXPECT_EQ(readF32(f, m.headerEnd), -1.5f);

  // Element: three indices, then the name "E" (n = 2 with its NUL), placed, "P", position.
  const uint64_t e = m.start(Section::element);
  EXPECT_EQ(readI32(f, e + 12), 2);
  EXPECT_EQ(f[e + 16], 'E');
  EXPECT_EQ(f[e + 17], 0);
  EXPECT_EQ(f[e + 18], 1);
  const uint64_t pos = e + 18 + 1 + 6;
  EXPECT_EQ(readF32(f, pos), 1.0f);
  EXPECT_EQ(readF32(f, pos + 4), 3.0f);  // position[2] before position[1]
  EXPECT_EQ(readF32(f, pos + 8), 2.0f);

  SceneMarks md;
  std::vector<uint8_t> d = writeScene(tinyScene(20500, true), &md);
  EXPECT_EQ(readF64(d, md.headerEnd), -1.5);
  EXPECT_EQ(readF64(d, md.start(Section::element) + 25 + 8), 3.0);
}

TEST(SceneWriter, TrailerOrderWithOverrides) {
  struct Case {
    int32_t version;
    std::vector<int32_t> trailer;
  };
  // Override k is 100 + the section's position in body order; 2.10 has no slots for
  // Shader C4D (103) and CameraSet (113).
  const Case cases[] = {
      {20010, {100, 101, 102, 104, 105, 106, 107, 108, 109, 110, 111, 112, 114}},
      {20500, {100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    SceneDescription d = tinyScene(c.version, false);
    for (int k = 0; k < kSectionCount; ++k) d.countOverride[k] = 100 + k;
    SceneMarks m;
    std::vector<uint8_t> bytes = writeScene(d, &m);
    ASSERT_EQ(bytes.size() - m.trailerStart, c.trailer.size() * 4);
    for (size_t i = 0; i < c.trailer.size(); ++i) {
      EXPECT_EQ(readI32(bytes, m.trailerStart + 4 * i), c.trailer[i]) << "slot " << i;
    }
    const int polygon = static_cast<int>(Section::polygon);
    EXPECT_EQ(*m.trailerEntry[polygon],
              m.trailerStart + 4 * uint64_t(trailerSlot(c.version, Section::polygon)));
    EXPECT_EQ(m.trailerEntry[static_cast<int>(Section::cameraSet)].has_value(), c.version >= 20200);
  }
}

// A file larger than the writer's buffer comes out byte-identical through both outputs.
TEST(SceneWriter, FileOutputMatchesMemoryOutput) {
  SceneDescription d = tinyScene(20500, true);
  d.textures[0].data.assign(700000, 0x5a);  // bypasses the buffer
  for (int i = 0; i < 60000; ++i) d.points.push_back({double(i), 0.5, -double(i)});
  const std::vector<uint8_t> memory = writeScene(d);

  const std::filesystem::path path = std::filesystem::path(testing::TempDir()) / "scene_writer_test.TALVO";
  ASSERT_TRUE(writeSceneFile(d, path.string()));
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  in.close();
  std::filesystem::remove(path);
  EXPECT_EQ(file.size(), memory.size());
  EXPECT_TRUE(file == memory);
}

}  // namespace
}  // namespace talvo::testsupport
