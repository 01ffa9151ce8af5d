#include <png.h>

#include <cmath>

#include "scenegen/scenegen.h"

namespace talvo::scenegen {

std::vector<uint8_t> encodePng(int width, int height, const std::vector<uint8_t>& rgb) {
  if (width <= 0 || height <= 0 || rgb.size() != size_t(width) * size_t(height) * 3) return {};
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(width);
  image.height = png_uint_32(height);
  image.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  // First call measures, second call writes.
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr)) return {};
  std::vector<uint8_t> out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgb.data(), 0, nullptr)) return {};
  out.resize(size);
  return out;
}

namespace {

constexpr int kSide = 16;

void setPixel(std::vector<uint8_t>& rgb, int x, int y, int r, int g, int b) {
  uint8_t* p = rgb.data() + (size_t(y) * kSide + size_t(x)) * 3;
  p[0] = uint8_t(r);
  p[1] = uint8_t(g);
  p[2] = uint8_t(b);
}

}  // namespace

// Courses of bricks 8 px long and 4 px high, every other course shifted by half a brick,
// with light mortar joints.
std::vector<uint8_t> brickTexturePng() {
  std::vector<uint8_t> rgb(kSide * kSide * 3);
  for (int y = 0; y < kSide; ++y) {
    const int course = y / 4;
    const int shift = (course % 2) * 4;
    for (int x = 0; x < kSide; ++x) {
      const int along = (x + shift) % 8;
      if (y % 4 == 3 || along == 7) {
        setPixel(rgb, x, y, 205, 198, 186);
      } else {
        const int brick = ((x + shift) / 8 + course * 3) % 4;
        setPixel(rgb, x, y, 150 + brick * 9, 62 + brick * 4, 44 + brick * 2);
      }
    }
  }
  return encodePng(kSide, kSide, rgb);
}

// Wavy grain lines running along x.
std::vector<uint8_t> woodTexturePng() {
  std::vector<uint8_t> rgb(kSide * kSide * 3);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const double grain = std::sin((y + 1.5 * std::sin(x * 0.4)) * 1.3);
      const int shade = int(std::lround(grain * 18.0));
      setPixel(rgb, x, y, 168 + shade, 118 + shade, 70 + shade / 2);
    }
  }
  return encodePng(kSide, kSide, rgb);
}

}  // namespace talvo::scenegen
