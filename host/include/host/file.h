// The host file object and file-system operations.
//
// Reads go through an internal buffer, so reading one value costs a few instructions.
// Errors are sticky: once a read fails, the error is kept (kFileErrorRead for a short
// read) and every later read fails at once, leaving its target and the position alone.
#pragma once

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "host/filename.h"

namespace host {

// The host's file error codes.
constexpr int32_t kFileOk = 0;
constexpr int32_t kFileErrorOpen = -1;
constexpr int32_t kFileErrorWrite = -2;
constexpr int32_t kFileErrorSeek = -4;
constexpr int32_t kFileErrorMemory = -7;
constexpr int32_t kFileErrorRead = -100;

enum class FileMode { read, write };
enum class ByteOrder { littleEndian, bigEndian };
// Whether the host shows its own error dialog when an operation fails.
enum class FileDialog { none, onError };

class BaseFile {
 public:
  BaseFile();
  ~BaseFile();
  BaseFile(const BaseFile&) = delete;
  BaseFile& operator=(const BaseFile&) = delete;

  // Opens a file; false on failure, with the error set (kFileErrorOpen).
  bool open(const Filename& name, FileMode mode, FileDialog dialog = FileDialog::none,
            ByteOrder order = ByteOrder::littleEndian);
  // Closes the file; false when a pending write failed.
  bool close();
  bool isOpen() const { return file_ != nullptr; }

  // Reads up to count bytes and returns how many were read. Fewer than count set the read
  // error unless justTry is on.
  int64_t readBytes(void* data, int64_t count, bool justTry = false);

  bool readInt32(int32_t* v) { return readScalar(v); }
  bool readUInt32(uint32_t* v) { return readScalar(v); }
  bool readFloat32(float* v) { return readScalar(v); }
  bool readFloat64(double* v) { return readScalar(v); }
  // One byte; any value but 0 is true.
  bool readBool(bool* v) {
    uint8_t b = 0;
    if (!readScalar(&b)) return false;
    *v = b != 0;
    return true;
  }

  bool writeBytes(const void* data, int64_t count);

  // Absolute position from the start of the file.
  bool seek(int64_t position);
  int64_t getPosition() const { return bufferStart_ + (cursor_ - buffer_); }
  int64_t getLength() const { return length_; }

  int32_t getError() const { return error_; }
  void setError(int32_t error) { error_ = error; }

  // Size of the read buffer of files opened from now on (tests shrink it so that small
  // files cross refills); at least 8 bytes. 0 restores the default.
  static void setReadBufferSize(size_t bytes);

 private:
  template <class T>
  [[gnu::always_inline]] bool readScalar(T* v) {
    static_assert(sizeof(T) == 1 || sizeof(T) == 4 || sizeof(T) == 8);
    if (error_ == kFileOk && size_t(end_ - cursor_) >= sizeof(T)) [[likely]] {
      decode(cursor_, v);
      cursor_ += sizeof(T);
      return true;
    }
    uint8_t bytes[sizeof(T)];
    if (!readSlow(bytes, sizeof(T))) return false;
    decode(bytes, v);
    return true;
  }

  // The file's byte order to the machine's: one load, and a swap when they differ.
  template <class T>
  [[gnu::always_inline]] void decode(const uint8_t* p, T* v) const {
    if constexpr (sizeof(T) == 1) {
      std::memcpy(v, p, 1);
    } else if constexpr (sizeof(T) == 4) {
      uint32_t u;
      std::memcpy(&u, p, 4);
      if (swap_) u = __builtin_bswap32(u);
      std::memcpy(v, &u, 4);
    } else {
      uint64_t u;
      std::memcpy(&u, p, 8);
      if (swap_) u = __builtin_bswap64(u);
      std::memcpy(v, &u, 8);
    }
  }

  bool readSlow(uint8_t* out, size_t count);
  bool refill();

  std::FILE* file_ = nullptr;
  FileMode mode_ = FileMode::read;
  bool swap_ = false;  // the file's byte order differs from the machine's
  int32_t error_ = kFileOk;
  int64_t length_ = 0;
  uint8_t* buffer_ = nullptr;
  size_t capacity_ = 0;
  int64_t bufferStart_ = 0;  // file position of buffer_[0]
  const uint8_t* cursor_ = nullptr;
  const uint8_t* end_ = nullptr;
};

bool fileExists(const Filename& name);
bool folderExists(const Filename& name);
// Creates a folder and any missing parents; true when it exists afterwards.
bool createFolder(const Filename& name);
bool deleteFile(const Filename& name);
// Renames a file, replacing a file of the new name; false when it cannot.
bool renameFile(const Filename& from, const Filename& to);

}  // namespace host
