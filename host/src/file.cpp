#include "host/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace host {
namespace {

constexpr size_t kDefaultBufferSize = 256 * 1024;
size_t gBufferSize = kDefaultBufferSize;

int fd(std::FILE* f) {
  return fileno(f);
}

}  // namespace

void BaseFile::setReadBufferSize(size_t bytes) {
  // The buffer holds at least one value of the widest type.
  gBufferSize = bytes == 0 ? kDefaultBufferSize : std::max<size_t>(bytes, 8);
}

BaseFile::BaseFile() = default;

BaseFile::~BaseFile() {
  close();
}

bool BaseFile::open(const Filename& name, FileMode mode, FileDialog dialog, ByteOrder order) {
  close();
  error_ = kFileOk;
  mode_ = mode;
  swap_ = (order == ByteOrder::bigEndian) != (std::endian::native == std::endian::big);
  // Our host has no error dialog of its own; failures are reported through the error.
  (void)dialog;
  file_ = std::fopen(name.string().c_str(), mode == FileMode::read ? "rb" : "wb");
  if (!file_) {
    error_ = kFileErrorOpen;
    return false;
  }
  struct stat info {};
  if (mode == FileMode::read && (fstat(fd(file_), &info) != 0 || S_ISDIR(info.st_mode))) {
    std::fclose(file_);
    file_ = nullptr;
    error_ = kFileErrorOpen;
    return false;
  }
  length_ = mode == FileMode::read ? int64_t(info.st_size) : 0;
  capacity_ = mode == FileMode::read ? gBufferSize : kDefaultBufferSize;
  buffer_ = static_cast<uint8_t*>(std::malloc(capacity_));
  if (!buffer_) {
    std::fclose(file_);
    file_ = nullptr;
    error_ = kFileErrorMemory;
    return false;
  }
  bufferStart_ = 0;
  cursor_ = end_ = buffer_;
  return true;
}

bool BaseFile::close() {
  bool ok = true;
  if (file_) {
    if (mode_ == FileMode::write && cursor_ != buffer_) {
      const size_t n = size_t(cursor_ - buffer_);
      ok = ::write(fd(file_), buffer_, n) == ssize_t(n);
    }
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
  }
  std::free(buffer_);
  buffer_ = nullptr;
  cursor_ = end_ = nullptr;
  capacity_ = 0;
  bufferStart_ = 0;
  if (!ok) error_ = kFileErrorWrite;
  return ok;
}

// Moves the unread bytes to the front of the buffer and fills the rest from the file.
bool BaseFile::refill() {
  const size_t kept = size_t(end_ - cursor_);
  bufferStart_ += cursor_ - buffer_;
  if (kept) std::memmove(buffer_, cursor_, kept);
  size_t filled = kept;
  while (filled < capacity_) {
    const ssize_t n =
        ::pread(fd(file_), buffer_ + filled, capacity_ - filled, bufferStart_ + int64_t(filled));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    filled += size_t(n);
  }
  cursor_ = buffer_;
  end_ = buffer_ + filled;
  return filled > kept;
}

bool BaseFile::readSlow(uint8_t* out, size_t count) {
  if (error_ != kFileOk || !file_ || mode_ != FileMode::read) {
    if (error_ == kFileOk) error_ = kFileErrorRead;
    return false;
  }
  if (size_t(end_ - cursor_) < count) refill();
  if (size_t(end_ - cursor_) < count) {
    error_ = kFileErrorRead;
    return false;
  }
  std::memcpy(out, cursor_, count);
  cursor_ += count;
  return true;
}

int64_t BaseFile::readBytes(void* data, int64_t count, bool justTry) {
  if (count <= 0) return 0;
  if (error_ != kFileOk || !file_ || mode_ != FileMode::read) {
    if (error_ == kFileOk) error_ = kFileErrorRead;
    return 0;
  }
  auto* out = static_cast<uint8_t*>(data);
  int64_t done = std::min<int64_t>(count, end_ - cursor_);
  std::memcpy(out, cursor_, size_t(done));
  cursor_ += done;
  if (done < count && uint64_t(count - done) >= capacity_) {
    // Large reads go straight into the caller's memory.
    int64_t position = getPosition();
    while (done < count) {
      const ssize_t n = ::pread(fd(file_), out + done, size_t(count - done), position);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += n;
      position += n;
    }
    bufferStart_ = position;
    cursor_ = end_ = buffer_;
  }
  while (done < count) {
    if (!refill()) break;
    const int64_t n = std::min<int64_t>(count - done, end_ - cursor_);
    std::memcpy(out + done, cursor_, size_t(n));
    cursor_ += n;
    done += n;
  }
  if (done < count && !justTry) error_ = kFileErrorRead;
  return done;
}

bool BaseFile::writeBytes(const void* data, int64_t count) {
  if (error_ != kFileOk || !file_ || mode_ != FileMode::write) {
    if (error_ == kFileOk) error_ = kFileErrorWrite;
    return false;
  }
  auto* in = static_cast<const uint8_t*>(data);
  auto* cursor = const_cast<uint8_t*>(cursor_);
  while (count > 0) {
    const int64_t room = int64_t(capacity_) - (cursor - buffer_);
    const int64_t n = std::min(room, count);
    std::memcpy(cursor, in, size_t(n));
    cursor += n, in += n, count -= n;
    if (cursor == buffer_ + capacity_) {
      if (::write(fd(file_), buffer_, capacity_) != ssize_t(capacity_)) {
        error_ = kFileErrorWrite;
        cursor_ = buffer_;
        return false;
      }
      bufferStart_ += int64_t(capacity_);
      cursor = buffer_;
    }
  }
  cursor_ = cursor;
  return true;
}

bool BaseFile::seek(int64_t position) {
  if (!file_ || position < 0) {
    error_ = kFileErrorSeek;
    return false;
  }
  if (mode_ == FileMode::write) {
    error_ = kFileErrorSeek;  // the writer only appends
    return false;
  }
  if (position >= bufferStart_ && position <= bufferStart_ + (end_ - buffer_)) {
    cursor_ = buffer_ + (position - bufferStart_);
  } else {
    bufferStart_ = position;
    cursor_ = end_ = buffer_;
  }
  return true;
}

bool fileExists(const Filename& name) {
  struct stat info {};
  return stat(name.string().c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool folderExists(const Filename& name) {
  struct stat info {};
  return stat(name.string().c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool createFolder(const Filename& name) {
  std::error_code ec;
  std::filesystem::create_directories(name.string(), ec);
  return folderExists(name);
}

bool deleteFile(const Filename& name) {
  std::error_code ec;
  return std::filesystem::remove(name.string(), ec) && !ec;
}

bool renameFile(const Filename& from, const Filename& to) {
  std::error_code ec;
  std::filesystem::rename(from.string(), to.string(), ec);
  return !ec;
}

}  // namespace host
