#include "host/file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

namespace fs = std::filesystem;

class HostFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("talvo_file_test_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    host::BaseFile::setReadBufferSize(0);
    fs::remove_all(dir_);
  }
  std::string write(const std::vector<uint8_t>& bytes) {
    const std::string path = (dir_ / "data.bin").string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
  }
  fs::path dir_;
};

// Values read across buffer refills come out whole, whatever the buffer size.
TEST_F(HostFile, ReadsLittleEndianValuesAcrossRefills) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 100; ++i) {
    const uint32_t v = 0x01020304u * uint32_t(i + 1);
    for (int k = 0; k < 4; ++k) bytes.push_back(uint8_t(v >> (8 * k)));
    bytes.push_back(uint8_t(i % 2));  // a bool
    const double d = i + 0.5;
    uint64_t u;
    std::memcpy(&u, &d, 8);
    for (int k = 0; k < 8; ++k) bytes.push_back(uint8_t(u >> (8 * k)));
  }
  const std::string path = write(bytes);
  for (size_t bufferSize : {size_t(1), size_t(3), size_t(7), size_t(64), size_t(0)}) {
    host::BaseFile::setReadBufferSize(bufferSize);
    host::BaseFile f;
    ASSERT_TRUE(f.open(path, host::FileMode::read));
    EXPECT_EQ(f.getLength(), int64_t(bytes.size()));
    for (int i = 0; i < 100; ++i) {
      uint32_t v = 0;
      bool b = true;
      double d = 0;
      ASSERT_TRUE(f.readUInt32(&v));
      ASSERT_TRUE(f.readBool(&b));
      ASSERT_TRUE(f.readFloat64(&d));
      EXPECT_EQ(v, 0x01020304u * uint32_t(i + 1)) << "buffer " << bufferSize;
      EXPECT_EQ(b, i % 2 == 1);
      EXPECT_EQ(d, i + 0.5);
    }
    EXPECT_EQ(f.getPosition(), int64_t(bytes.size()));
    EXPECT_EQ(f.getError(), host::kFileOk);
  }
}

TEST_F(HostFile, ShortReadSetsStickyErrorAndKeepsPosition) {
  const std::string path = write({1, 0, 0, 0, 2, 0});
  host::BaseFile::setReadBufferSize(4);
  host::BaseFile f;
  ASSERT_TRUE(f.open(path, host::FileMode::read));
  int32_t v = 0;
  ASSERT_TRUE(f.readInt32(&v));
  EXPECT_EQ(v, 1);
  v = 42;
  EXPECT_FALSE(f.readInt32(&v));  // two bytes left
  EXPECT_EQ(v, 42);
  EXPECT_EQ(f.getError(), host::kFileErrorRead);
  EXPECT_EQ(f.getPosition(), 4);
  uint8_t b = 0;
  EXPECT_EQ(f.readBytes(&b, 1), 0);  // sticky: later reads fail too
  f.setError(host::kFileOk);
  EXPECT_EQ(f.readBytes(&b, 1), 1);
  EXPECT_EQ(b, 2);
}

TEST_F(HostFile, SeekBytesAndJustTry) {
  std::vector<uint8_t> bytes(1000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7);
  const std::string path = write(bytes);
  host::BaseFile::setReadBufferSize(16);
  host::BaseFile f;
  ASSERT_TRUE(f.open(path, host::FileMode::read));
  std::vector<uint8_t> got(500);
  ASSERT_TRUE(f.seek(300));
  EXPECT_EQ(f.readBytes(got.data(), 500), 500);  // larger than the buffer
  EXPECT_TRUE(std::equal(got.begin(), got.end(), bytes.begin() + 300));
  EXPECT_EQ(f.getPosition(), 800);
  ASSERT_TRUE(f.seek(990));
  EXPECT_EQ(f.readBytes(got.data(), 64, true), 10);  // just trying: no error
  EXPECT_EQ(f.getError(), host::kFileOk);
  EXPECT_FALSE(f.seek(-1));
}

TEST_F(HostFile, WritesAndFileSystemOperations) {
  const host::Filename name((dir_ / "sub" / "deeper" / "out.bin").string());
  ASSERT_TRUE(host::createFolder(name.directory()));
  {
    host::BaseFile f;
    ASSERT_TRUE(f.open(name, host::FileMode::write));
    std::vector<uint8_t> big(300000, 0xAB);
    ASSERT_TRUE(f.writeBytes(big.data(), int64_t(big.size())));
    ASSERT_TRUE(f.writeBytes("xyz", 3));
    ASSERT_TRUE(f.close());
  }
  EXPECT_TRUE(host::fileExists(name));
  EXPECT_EQ(fs::file_size(name.string()), 300003u);
  EXPECT_TRUE(host::deleteFile(name));
  EXPECT_FALSE(host::fileExists(name));

  host::BaseFile missing;
  EXPECT_FALSE(missing.open((dir_ / "none").string(), host::FileMode::read));
  EXPECT_EQ(missing.getError(), host::kFileErrorOpen);
  host::BaseFile folder;
  EXPECT_FALSE(folder.open(dir_.string(), host::FileMode::read));
}

}  // namespace
