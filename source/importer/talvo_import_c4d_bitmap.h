// Pictures of the plug-in's "res" folder, loaded into host bitmaps.
#pragma once

#include <memory>

#include "host/bitmap.h"

namespace talvo {

struct BitmapFree {
  void operator()(host::BaseBitmap* bitmap) const { host::BaseBitmap::free(bitmap); }
};
using OwnedBitmap = std::unique_ptr<host::BaseBitmap, BitmapFree>;

// Loads a picture from the plug-in's "res" folder; empty when it is missing, unreadable
// or memory is short.
OwnedBitmap loadResourceBitmap(const char* fileName);

}  // namespace talvo
