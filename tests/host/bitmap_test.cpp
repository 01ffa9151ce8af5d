#include "host/bitmap.h"

#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "host/app.h"
#include "host/plugins.h"

namespace {

using namespace host;

struct NoCommand : CommandData {
  bool execute(BaseDocument*) override { return true; }
};

class Bitmaps : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() / ("talvo_bitmap_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override {
    std::filesystem::remove_all(folder_);
    app::resetPlugins();
    app::reset();
  }
  Filename file(const char* name) const { return Filename((folder_ / name).string()); }

  // A 5 x 3 picture whose pixels all differ, some of them see-through.
  static BaseBitmap* sample() {
    BaseBitmap* b = BaseBitmap::alloc();
    EXPECT_TRUE(b->init(5, 3));
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 5; ++x)
        b->setPixel(x, y,
                    {uint8_t(40 * x), uint8_t(80 * y), uint8_t(7 + x + y), uint8_t(x == 0 ? 0 : 60 * x)});
    return b;
  }
  static bool samePixels(const BaseBitmap& a, const BaseBitmap& b, int32_t dx = 0, int32_t dy = 0) {
    for (int32_t y = 0; y < a.getBh(); ++y)
      for (int32_t x = 0; x < a.getBw(); ++x)
        if (!(a.getPixel(x, y) == b.getPixel(x + dx, y + dy))) return false;
    return true;
  }

  std::filesystem::path folder_;
};

TEST_F(Bitmaps, SavedPicturesLoadBackPixelForPixel) {
  BaseBitmap* original = sample();
  ASSERT_TRUE(original->save(file("a.tif")));
  BaseBitmap* loaded = BaseBitmap::alloc();
  ASSERT_EQ(loaded->init(file("a.tif")), kImageOk);
  EXPECT_EQ(loaded->getBw(), 5);
  EXPECT_EQ(loaded->getBh(), 3);
  EXPECT_TRUE(samePixels(*original, *loaded));
  BaseBitmap::free(original);
  BaseBitmap::free(loaded);
  EXPECT_EQ(loaded, nullptr);
}

// Writes a one-row picture of another kind than the host writes.
bool writeForeign(const std::string& path, uint16_t samples, uint16_t photometric, uint16_t extra,
                  const std::vector<uint8_t>& row) {
  TIFF* t = TIFFOpen(path.c_str(), "w");
  if (!t) return false;
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(row.size() / samples));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(1));
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, photometric);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
  TIFFSetField(t, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_LZW));
  if (extra != 0) TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(1), &extra);
  const bool ok = TIFFWriteScanline(t, const_cast<uint8_t*>(row.data()), 0, 0) >= 0;
  TIFFClose(t);
  return ok;
}

TEST_F(Bitmaps, OtherKindsOfPictureLoadAsUnmultipliedRgba) {
  ASSERT_TRUE(writeForeign(file("grey.tif").string(), 1, PHOTOMETRIC_MINISBLACK, 0, {0, 90, 255}));
  ASSERT_TRUE(writeForeign(file("premultiplied.tif").string(), 4, PHOTOMETRIC_RGB, EXTRASAMPLE_ASSOCALPHA,
                           {100, 50, 0, 128, 10, 20, 30, 255}));
  BaseBitmap* b = BaseBitmap::alloc();
  ASSERT_EQ(b->init(file("grey.tif")), kImageOk);
  EXPECT_EQ(b->getBw(), 3);
  EXPECT_EQ(b->getPixel(1, 0), (Pixel{90, 90, 90, 255}));
  ASSERT_EQ(b->init(file("premultiplied.tif")), kImageOk);
  EXPECT_EQ(b->getPixel(0, 0), (Pixel{199, 100, 0, 128}));
  EXPECT_EQ(b->getPixel(1, 0), (Pixel{10, 20, 30, 255}));
  BaseBitmap::free(b);
}

TEST_F(Bitmaps, LoadFailuresSayWhyAndLeaveTheBitmapEmpty) {
  std::ofstream(file("text.tif").string()) << "not a picture";
  std::ofstream(file("empty.tif").string());
  const std::pair<const char*, int32_t> cases[] = {
      {"missing.tif", kImageNotFound}, {"text.tif", kImageWrongType}, {"empty.tif", kImageWrongType}};
  for (const auto& [name, result] : cases) {
    BaseBitmap* b = sample();
    EXPECT_EQ(b->init(file(name)), result) << name;
    EXPECT_EQ(b->getBw(), 0) << name;
    EXPECT_EQ(b->getPixel(0, 0), Pixel{}) << name;
    BaseBitmap::free(b);
  }
  BaseBitmap* empty = BaseBitmap::alloc();
  EXPECT_FALSE(empty->save(file("nothing.tif")));
  EXPECT_FALSE(empty->init(0, 4));
  BaseBitmap::free(empty);
}

TEST_F(Bitmaps, PartsMustLieInsideThePicture) {
  BaseBitmap* b = sample();
  BaseBitmap* part = b->getClonePart(1, 1, 4, 2);
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(part->getBw(), 4);
  EXPECT_TRUE(samePixels(*part, *b, 1, 1));
  BaseBitmap::free(part);
  const int32_t outside[][4] = {{-1, 0, 2, 2}, {0, -1, 2, 2}, {4, 0, 2, 1},
                                {0, 2, 1, 2},  {0, 0, 0, 1},  {0, 0, 6, 1}};
  for (const auto& a : outside)
    EXPECT_EQ(b->getClonePart(a[0], a[1], a[2], a[3]), nullptr) << a[0] << a[1] << a[2] << a[3];
  BaseBitmap::free(b);
}

TEST_F(Bitmaps, IconsAndRegistrationsKeepTheirOwnCopies) {
  BaseBitmap* b = sample();
  ASSERT_TRUE(registerIcon(7, b, 2, 0, 3, 3));
  EXPECT_FALSE(registerIcon(7, b, 0, 0, 1, 1));  // id taken
  EXPECT_FALSE(registerIcon(8, b, 3, 0, 3, 3));  // not inside
  EXPECT_FALSE(registerIcon(9, nullptr, 0, 0, 1, 1));
  ASSERT_TRUE(registerCommandPlugin(1000010, "Run", 0, b, "", new NoCommand));
  BaseBitmap* kept = sample();
  BaseBitmap::free(b);

  const BaseBitmap* icon = getIcon(7);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->getBw(), 3);
  EXPECT_TRUE(samePixels(*icon, *kept, 2, 0));
  const BasePlugin* command = findPlugin(1000010, kPluginCommand);
  ASSERT_NE(command->icon, nullptr);
  EXPECT_TRUE(samePixels(*command->icon, *kept));
  EXPECT_EQ(getIcon(8), nullptr);
  BaseBitmap::free(kept);

  app::resetPlugins();
  EXPECT_EQ(getIcon(7), nullptr);
}

}  // namespace
