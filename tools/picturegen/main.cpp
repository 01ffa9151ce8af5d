// picturegen FOLDER: draws the plug-in's pictures (icons, dialog header, warning sign) and
// writes them into FOLDER as TIFF files through the host's bitmaps.
#include <cstdio>
#include <cstring>
#include <string>

#include "host/bitmap.h"

namespace {

using host::BaseBitmap;
using host::Pixel;

constexpr Pixel kClear{0, 0, 0, 0};
constexpr Pixel kWhite{255, 255, 255, 255};
constexpr Pixel kBlue{38, 94, 168, 255};
constexpr Pixel kTeal{28, 138, 128, 255};
constexpr Pixel kOrange{214, 120, 36, 255};
constexpr Pixel kRed{188, 52, 44, 255};
constexpr Pixel kGrey{96, 104, 112, 255};
constexpr Pixel kYellow{240, 196, 40, 255};
constexpr Pixel kBlack{24, 24, 24, 255};

// 5 x 7 glyphs, one string per row, '#' for a set pixel.
struct Glyph {
  char letter;
  const char* rows[7];
};
constexpr Glyph kGlyphs[] = {
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'!', {"..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."}},
};

const Glyph* findGlyph(char c) {
  for (const Glyph& g : kGlyphs)
    if (g.letter == c) return &g;
  return nullptr;
}

class Canvas {
 public:
  Canvas(int w, int h) : bitmap_(BaseBitmap::alloc()) {
    if (bitmap_ && !bitmap_->init(w, h)) BaseBitmap::free(bitmap_);
  }
  ~Canvas() { BaseBitmap::free(bitmap_); }
  bool ok() const { return bitmap_ != nullptr; }

  void fill(int x, int y, int w, int h, Pixel p) {
    for (int j = y; j < y + h; ++j)
      for (int i = x; i < x + w; ++i) bitmap_->setPixel(i, j, p);
  }
  void frame(int x, int y, int w, int h, Pixel p) {
    fill(x, y, w, 1, p), fill(x, y + h - 1, w, 1, p), fill(x, y, 1, h, p), fill(x + w - 1, y, 1, h, p);
  }
  // A tile with cut corners, the common ground of the icons.
  void tile(int x, int y, int w, int h, Pixel p) {
    fill(x, y, w, h, p);
    for (int i : {x, x + w - 1})
      for (int j : {y, y + h - 1}) bitmap_->setPixel(i, j, kClear);
  }
  void text(int x, int y, int scale, const char* s, Pixel p) {
    for (; *s; ++s, x += 6 * scale) {
      const Glyph* g = findGlyph(*s);
      if (!g) continue;
      for (int row = 0; row < 7; ++row)
        for (int column = 0; column < 5; ++column)
          if (g->rows[row][column] == '#') fill(x + column * scale, y + row * scale, scale, scale, p);
    }
  }
  // A luggage-tag shape pointing left, for the tag icons.
  void tag(int x, int y, int w, int h, Pixel p) {
    const int point = h / 2;
    for (int j = 0; j < h; ++j) {
      const int inset = j < point ? point - j : j - point;
      fill(x + inset / 2, y + j, w - inset / 2, 1, p);
    }
    fill(x + point / 2 + 1, y + point - 1, 3, 3, kClear);  // the hole
  }
  void triangle(int x, int y, int size, Pixel p) {
    for (int j = 0; j < size; ++j) {
      const int half = j / 2;
      fill(x + size / 2 - half, y + j, 2 * half + 1, 1, p);
    }
  }
  bool save(const std::string& folder, const char* name) {
    const std::string path = folder + "/" + name;
    if (bitmap_->save(host::Filename(path))) return true;
    std::fprintf(stderr, "picturegen: cannot write %s\n", path.c_str());
    return false;
  }

 private:
  BaseBitmap* bitmap_;
};

bool letterIcon(const std::string& folder, const char* name, const char* letter, Pixel ground) {
  Canvas c(32, 32);
  if (!c.ok()) return false;
  c.tile(2, 2, 28, 28, ground);
  c.text(6, 2, 4, letter, kWhite);  // a 20 x 28 glyph, centred
  return c.save(folder, name);
}

bool tagIcon(const std::string& folder, const char* name, const char* letter, Pixel ground) {
  Canvas c(32, 32);
  if (!c.ok()) return false;
  c.tag(1, 6, 30, 20, ground);
  c.text(15, 9, 2, letter, kWhite);
  return c.save(folder, name);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: picturegen FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  bool ok = true;

  {  // Two 16 x 16 icons side by side: an element as objects, and as an instance.
    Canvas c(32, 16);
    ok = ok && c.ok();
    if (c.ok()) {
      c.tile(1, 1, 14, 14, kBlue);
      c.fill(4, 4, 8, 8, kWhite);
      c.tile(17, 1, 14, 14, kTeal);
      c.frame(20, 4, 8, 8, kWhite);
      c.fill(23, 7, 2, 2, kWhite);
      ok = c.save(folder, "Talvo_type.tif") && ok;
    }
  }
  ok = letterIcon(folder, "Talvo_window.tif", "T", kBlue) && ok;
  ok = letterIcon(folder, "Talvo_sort.tif", "S", kTeal) && ok;
  {  // An empty group crossed out.
    Canvas c(32, 32);
    ok = ok && c.ok();
    if (c.ok()) {
      c.tile(2, 2, 28, 28, kRed);
      c.frame(8, 8, 16, 16, kWhite);
      for (int i = 0; i < 20; ++i) c.fill(6 + i, 6 + i, 2, 2, kWhite), c.fill(24 - i, 6 + i, 2, 2, kWhite);
      ok = c.save(folder, "Talvo_delnull.tif") && ok;
    }
  }
  ok = letterIcon(folder, "Talvo_update.tif", "U", kOrange) && ok;
  ok = tagIcon(folder, "Talvo_tag.tif", "T", kBlue) && ok;
  ok = tagIcon(folder, "Talvo_nosort.tif", "S", kGrey) && ok;
  ok = tagIcon(folder, "Talvo_noupdate.tif", "U", kOrange) && ok;
  {
    Canvas c(64, 64);
    ok = ok && c.ok();
    if (c.ok()) {
      c.tile(2, 2, 60, 60, kBlue);
      c.text(12, 4, 8, "T", kWhite);
      ok = c.save(folder, "Talvo_logo.tif") && ok;
    }
  }
  {
    Canvas c(160, 32);
    ok = ok && c.ok();
    if (c.ok()) {
      c.text(7, 2, 4, "TALVO", kBlue);
      ok = c.save(folder, "Talvo_name.tif") && ok;
    }
  }
  {
    Canvas c(32, 32);
    ok = ok && c.ok();
    if (c.ok()) {
      c.triangle(1, 2, 30, kYellow);
      c.text(11, 10, 2, "!", kBlack);
      ok = c.save(folder, "Talvo_warning.tif") && ok;
    }
  }
  return ok ? 0 : 1;
}
