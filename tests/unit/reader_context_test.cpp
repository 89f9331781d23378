// The reader context's byte operations over a memory block and an output file.
#include "package/reader_context.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "support/temp_dir.h"

namespace {

class ReaderContextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kz::initReader(ctx_));
    kz::openMemoryInput(ctx_, block_);
    ctx_.input.size = sizeof block_;
  }
  void TearDown() override { kz::destroyReader(ctx_); }
  kz::ReaderContext ctx_{};
  uint8_t block_[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
};

// Reads deliver what is left and then nothing; the end is then reported.
TEST_F(ReaderContextTest, ReadsUpToTheEndOfTheBlock) {
  uint8_t buf[8];
  EXPECT_EQ(kz::readBytes(ctx_, buf, 8), 8u);
  EXPECT_FALSE(kz::inputAtEnd(ctx_));
  EXPECT_EQ(kz::readBytes(ctx_, buf, 8), 2u);
  EXPECT_EQ(buf[1], 9);
  EXPECT_EQ(kz::readBytes(ctx_, buf, 8), 0u);
  EXPECT_TRUE(kz::inputAtEnd(ctx_));
}

// Seeks are clamped to the block and never fail.
TEST_F(ReaderContextTest, SeeksAreClampedToTheBlock) {
  EXPECT_EQ(kz::seekInput(ctx_, 100, kz::SeekOrigin::Start), 10u);
  EXPECT_TRUE(kz::inputAtEnd(ctx_));
  EXPECT_EQ(kz::seekInput(ctx_, 4, kz::SeekOrigin::Start), 4u);
  EXPECT_EQ(kz::seekInput(ctx_, 0xFFFFFFFFu, kz::SeekOrigin::Current), 10u);
  EXPECT_EQ(kz::seekInput(ctx_, 3, kz::SeekOrigin::Current), 10u);
}

// Aborting deletes the open output and frees the buffers; later closes and destroys are harmless.
TEST_F(ReaderContextTest, AbortDeletesTheOutputOnce) {
  kz::test::TempDir dir;
  const std::string path = dir.file("entry.bin");
  ASSERT_TRUE(kz::openOutputFile(ctx_, path.c_str()));
  EXPECT_EQ(kz::currentReader(), &ctx_);
  EXPECT_EQ(kz::writeBytes(ctx_, block_, 4), 4u);
  kz::abortEntry();
  EXPECT_TRUE(ctx_.abortFlag);
  EXPECT_EQ(ctx_.output, nullptr);
  EXPECT_EQ(ctx_.window, nullptr);
  EXPECT_EQ(ctx_.inputBytes, nullptr);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_TRUE(kz::closeOutput(ctx_));
  EXPECT_TRUE(kz::destroyReader(ctx_));
}

// An abort after the output was closed deletes nothing and still frees the buffers.
TEST_F(ReaderContextTest, AbortAfterCloseKeepsTheFile) {
  kz::test::TempDir dir;
  const std::string path = dir.file("kept.bin");
  ASSERT_TRUE(kz::openOutputFile(ctx_, path.c_str()));
  kz::closeOutput(ctx_);
  kz::closeOutput(ctx_);  // twice: the stream is closed once
  kz::abortEntry();
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(ctx_.window, nullptr);
}

// A close that cannot write the buffered bytes (a full disk) is reported, and the stream is gone.
TEST_F(ReaderContextTest, FailedCloseIsReported) {
  ctx_.output = std::fopen("/dev/full", "wb");
  ASSERT_NE(ctx_.output, nullptr);
  // Everything stays in the stream's buffer until the close, which then has to write it.
  ASSERT_EQ(std::setvbuf(ctx_.output, nullptr, _IOFBF, 1 << 16), 0);
  EXPECT_EQ(kz::writeBytes(ctx_, block_, sizeof block_), sizeof block_);
  EXPECT_FALSE(kz::closeOutput(ctx_));
  EXPECT_EQ(ctx_.output, nullptr);
  EXPECT_TRUE(kz::closeOutput(ctx_));
}

// An output path that does not fit the context's name field is refused, not cut.
TEST_F(ReaderContextTest, RefusesOverlongOutputNames) {
  const std::string longName(300, 'a');
  EXPECT_FALSE(kz::openOutputFile(ctx_, longName.c_str()));
  EXPECT_EQ(ctx_.output, nullptr);
}

}  // namespace
