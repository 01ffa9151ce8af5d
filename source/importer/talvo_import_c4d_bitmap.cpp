#include "talvo_import_c4d_bitmap.h"

#include "host/filename.h"

namespace talvo {

OwnedBitmap loadResourceBitmap(const char* fileName) {
  OwnedBitmap bitmap(host::BaseBitmap::alloc());
  if (!bitmap) return nullptr;
  const host::Filename path = host::pluginFolder() + host::Filename("res") + host::Filename(fileName);
  if (bitmap->init(path) != host::kImageOk) return nullptr;
  return bitmap;
}

}  // namespace talvo
