// Host bitmaps: pictures of 8-bit RGBA pixels that the plug-in loads from its resource
// folder, and icons registered by id from areas of them. The host reads picture files of
// any TIFF kind and writes uncompressed 8-bit RGBA TIFF files.
#pragma once

#include <cstdint>
#include <vector>

#include "host/filename.h"

namespace host {

// Results of loading a picture file.
constexpr int32_t kImageOk = 1;
constexpr int32_t kImageNotFound = -1;   // no such file
constexpr int32_t kImageWrongType = -2;  // not a picture the host reads, or damaged
constexpr int32_t kImageMemory = -3;

struct Pixel {
  uint8_t r = 0, g = 0, b = 0, a = 0;
  friend bool operator==(const Pixel&, const Pixel&) = default;
};

class BaseBitmap {
 public:
  // nullptr when memory is short.
  static BaseBitmap* alloc();
  static void free(BaseBitmap*& bitmap);

  // An empty picture of the size, every pixel transparent black; false when a size is
  // not positive or memory is short (the bitmap is then empty).
  bool init(int32_t width, int32_t height);
  // Loads a picture file: kImageOk, or why it failed (the bitmap is then empty).
  int32_t init(const Filename& name);
  // Writes the picture as a TIFF file; false when it is empty or cannot be written.
  bool save(const Filename& name) const;

  int32_t getBw() const { return width_; }
  int32_t getBh() const { return height_; }
  // A pixel outside the picture reads as transparent black; a write there is ignored.
  Pixel getPixel(int32_t x, int32_t y) const;
  void setPixel(int32_t x, int32_t y, Pixel pixel);

  // A new bitmap holding the area; nullptr when the area is not inside the picture or
  // memory is short. The caller frees it.
  BaseBitmap* getClonePart(int32_t x, int32_t y, int32_t width, int32_t height) const;

 private:
  template <class T, class... Args>
  friend T* newObject(Args&&... args);
  BaseBitmap() = default;
  bool inside(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

  int32_t width_ = 0;
  int32_t height_ = 0;
  std::vector<Pixel> pixels_;  // rows top to bottom
};

// Registers a copy of an area of the bitmap as icon `id`; false when there is no bitmap,
// the area is not inside it, the id is taken or memory is short. The caller keeps the
// bitmap.
bool registerIcon(int32_t id, const BaseBitmap* bitmap, int32_t x, int32_t y, int32_t width, int32_t height);
// The picture of a registered icon; nullptr when there is none.
const BaseBitmap* getIcon(int32_t id);

}  // namespace host
