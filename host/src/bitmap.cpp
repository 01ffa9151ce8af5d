#include "host/bitmap.h"

#include <tiffio.h>

#include <algorithm>
#include <map>
#include <memory>

#include "host/file.h"
#include "host/memory.h"
#include "state.h"

namespace host {
namespace {

// Pictures above this many pixels are refused as out of memory rather than attempted.
constexpr uint64_t kMaxPixels = uint64_t(1) << 28;

struct BitmapDeleter {
  void operator()(BaseBitmap* b) const { BaseBitmap::free(b); }
};
using OwnedBitmap = std::unique_ptr<BaseBitmap, BitmapDeleter>;

std::map<int32_t, OwnedBitmap>& icons() {
  static std::map<int32_t, OwnedBitmap> registered;
  return registered;
}

// libtiff reports problems on standard error by default; the host reports them through
// its results instead.
void quietTiff() {
  static const bool once = [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    return true;
  }();
  (void)once;
}

struct TiffCloser {
  void operator()(TIFF* t) const { TIFFClose(t); }
};

// 8-bit RGB, or RGBA with unassociated alpha, interleaved, rows from the top: the kind the
// host writes, read as it is stored.
bool isStraightRgb(TIFF* t) {
  uint16_t bits = 0, samples = 0, planar = 0, photometric = 0, orientation = 0, extraCount = 0;
  uint16_t* extraTypes = nullptr;
  TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(t, TIFFTAG_ORIENTATION, &orientation);
  TIFFGetFieldDefaulted(t, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);
  if (!TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric)) return false;
  if (bits != 8 || planar != PLANARCONFIG_CONTIG || photometric != PHOTOMETRIC_RGB ||
      orientation != ORIENTATION_TOPLEFT || TIFFIsTiled(t))
    return false;
  if (samples == 3) return extraCount == 0;
  return samples == 4 && extraCount == 1 && extraTypes && extraTypes[0] == EXTRASAMPLE_UNASSALPHA;
}

bool readStraightRgb(TIFF* t, BaseBitmap& b) {
  uint16_t samples = 0;
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &samples);
  const tmsize_t rowBytes = TIFFScanlineSize(t);
  if (rowBytes < tmsize_t(b.getBw()) * samples) return false;
  std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
  for (int32_t y = 0; y < b.getBh(); ++y) {
    if (TIFFReadScanline(t, row.data(), uint32_t(y), 0) < 0) return false;
    for (int32_t x = 0; x < b.getBw(); ++x) {
      const uint8_t* in = &row[size_t(x) * samples];
      b.setPixel(x, y, {in[0], in[1], in[2], samples == 4 ? in[3] : uint8_t(255)});
    }
  }
  return true;
}

// Every other kind through libtiff's conversion, which gives colours multiplied by alpha;
// the host keeps them unmultiplied.
bool readAnyKind(TIFF* t, BaseBitmap& b) {
  std::vector<uint32_t> raster;
  if (!allocationAllowed()) return false;
  const uint32_t width = uint32_t(b.getBw()), height = uint32_t(b.getBh());
  raster.resize(size_t(width) * height);
  if (!TIFFReadRGBAImageOriented(t, width, height, raster.data(), ORIENTATION_TOPLEFT, 0)) return false;
  for (size_t i = 0; i < raster.size(); ++i) {
    const uint32_t v = raster[i];
    const uint32_t a = TIFFGetA(v);
    auto straight = [a](uint32_t c) {
      return a == 0 || a == 255 ? uint8_t(c) : uint8_t(std::min<uint32_t>(255, (c * 255 + a / 2) / a));
    };
    b.setPixel(int32_t(i % width), int32_t(i / width),
               {straight(TIFFGetR(v)), straight(TIFFGetG(v)), straight(TIFFGetB(v)), uint8_t(a)});
  }
  return true;
}

}  // namespace

BaseBitmap* BaseBitmap::alloc() {
  return newObject<BaseBitmap>();
}

void BaseBitmap::free(BaseBitmap*& bitmap) {
  deleteObject(bitmap);
}

bool BaseBitmap::init(int32_t width, int32_t height) {
  width_ = height_ = 0;
  pixels_.clear();
  if (width <= 0 || height <= 0 || uint64_t(width) * uint64_t(height) > kMaxPixels) return false;
  if (!allocationAllowed()) return false;
  pixels_.assign(size_t(width) * size_t(height), Pixel{});
  width_ = width;
  height_ = height;
  return true;
}

int32_t BaseBitmap::init(const Filename& name) {
  width_ = height_ = 0;
  pixels_.clear();
  if (!fileExists(name)) return kImageNotFound;
  quietTiff();
  std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpen(name.string().c_str(), "r"));
  if (!tiff) return kImageWrongType;
  TIFF* t = tiff.get();
  uint32_t width = 0, height = 0;
  if (!TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(t, TIFFTAG_IMAGELENGTH, &height))
    return kImageWrongType;
  if (width == 0 || height == 0) return kImageWrongType;
  if (width > INT32_MAX || height > INT32_MAX || uint64_t(width) * height > kMaxPixels) return kImageMemory;
  if (!init(int32_t(width), int32_t(height))) return kImageMemory;
  const bool ok = isStraightRgb(t) ? readStraightRgb(t, *this) : readAnyKind(t, *this);
  if (!ok) {
    width_ = height_ = 0;
    pixels_.clear();
    return kImageWrongType;
  }
  return kImageOk;
}

bool BaseBitmap::save(const Filename& name) const {
  if (width_ == 0 || height_ == 0) return false;
  quietTiff();
  std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpen(name.string().c_str(), "w"));
  if (!tiff) return false;
  TIFF* t = tiff.get();
  const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(width_));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(height_));
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(4));
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
  TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(1), extra);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_RGB));
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
  TIFFSetField(t, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_NONE));
  TIFFSetField(t, TIFFTAG_ORIENTATION, uint16_t(ORIENTATION_TOPLEFT));
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
  static_assert(sizeof(Pixel) == 4, "a pixel is written as four bytes");
  std::vector<uint8_t> row(size_t(width_) * 4);
  for (int32_t y = 0; y < height_; ++y) {
    const Pixel* p = &pixels_[size_t(y) * size_t(width_)];
    for (int32_t x = 0; x < width_; ++x) {
      row[size_t(x) * 4 + 0] = p[x].r;
      row[size_t(x) * 4 + 1] = p[x].g;
      row[size_t(x) * 4 + 2] = p[x].b;
      row[size_t(x) * 4 + 3] = p[x].a;
    }
    if (TIFFWriteScanline(t, row.data(), uint32_t(y), 0) < 0) return false;
  }
  // Closing flushes the directory; a failure there is a failed write too.
  return TIFFFlush(t) == 1;
}

Pixel BaseBitmap::getPixel(int32_t x, int32_t y) const {
  return inside(x, y) ? pixels_[size_t(y) * size_t(width_) + size_t(x)] : Pixel{};
}

void BaseBitmap::setPixel(int32_t x, int32_t y, Pixel pixel) {
  if (inside(x, y)) pixels_[size_t(y) * size_t(width_) + size_t(x)] = pixel;
}

BaseBitmap* BaseBitmap::getClonePart(int32_t x, int32_t y, int32_t width, int32_t height) const {
  if (width <= 0 || height <= 0 || x < 0 || y < 0 || width > width_ - x || height > height_ - y)
    return nullptr;
  BaseBitmap* part = alloc();
  if (!part) return nullptr;
  if (!part->init(width, height)) {
    free(part);
    return nullptr;
  }
  for (int32_t row = 0; row < height; ++row)
    for (int32_t column = 0; column < width; ++column)
      part->setPixel(column, row, getPixel(x + column, y + row));
  return part;
}

bool registerIcon(int32_t id, const BaseBitmap* bitmap, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (!bitmap || icons().count(id)) return false;
  OwnedBitmap part(bitmap->getClonePart(x, y, width, height));
  if (!part) return false;
  icons().emplace(id, std::move(part));
  return true;
}

const BaseBitmap* getIcon(int32_t id) {
  const auto it = icons().find(id);
  return it == icons().end() ? nullptr : it->second.get();
}

void clearIcons() {
  icons().clear();
}

}  // namespace host
