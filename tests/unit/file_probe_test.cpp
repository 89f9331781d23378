// The in-use probe and the running-application check: a file held by another process, by this
// process, or mapped, counts as in use; a free one does not, and loses its read-only attribute.
#include "install/in_use.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/file_probe.h"
#include "platform/files.h"
#include "support/temp_dir.h"

namespace {

using kz::platform::kAttrReadOnly;
using kz::platform::nativeFileSystem;

// Another process that opens a file for reading and keeps it open until released.
class HoldingProcess {
 public:
  explicit HoldingProcess(const std::string& path) {
    int ready[2];
    int release[2];
    if (pipe(ready) != 0 || pipe(release) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      close(release[1]);  // otherwise the child's own copy keeps its read from ever ending
      const int fd = open(path.c_str(), O_RDONLY);
      char byte = fd >= 0 ? 'y' : 'n';
      (void)!write(ready[1], &byte, 1);
      (void)!read(release[0], &byte, 1);  // returns when the parent closes its end
      _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    release_ = release[1];
    char byte = 0;
    opened_ = read(ready[0], &byte, 1) == 1 && byte == 'y';
    close(ready[0]);
  }
  ~HoldingProcess() {
    if (release_ >= 0) close(release_);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }
  bool opened() const { return opened_; }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
  bool opened_ = false;
};

// A probe that answers every open the same way and counts the opens.
struct CountingProbe : kz::platform::FileProbe {
  explicit CountingProbe(bool reply) : answer(reply) {}
  bool answer;
  int opens = 0;
  bool openExclusively(const char*) override { return ++opens, answer; }
};

// Fills the first count rows of table with installed read-only files named prefix0, prefix1, ...
void addReadOnlyRows(kz::TrackedFileTable& table, const kz::test::TempDir& dir, const std::string& prefix, int count) {
  for (int i = 0; i < count; ++i) {
    const std::string p = dir.file(prefix + std::to_string(i));
    kz::test::writeFileBytes(p, {static_cast<uint8_t>(i)});
    ASSERT_TRUE(nativeFileSystem().setFileAttributes(p.c_str(), kAttrReadOnly));
    std::snprintf(table[i].installedPath, sizeof table[i].installedPath, "%s", p.c_str());
    table[i].installedExists = true;
    table[i].installedAttributes = nativeFileSystem().fileAttributes(p.c_str());
  }
}

struct FileProbeTest : ::testing::Test {
  kz::test::TempDir dir;
  std::string path = dir.file("app01.exe");
  void SetUp() override { kz::test::writeFileBytes(path, {1, 2, 3}); }
};

// A file nobody holds is free, and its contents are not touched by the probe.
TEST_F(FileProbeTest, UnheldFileIsFree) {
  EXPECT_TRUE(kz::IsFileFree(path.c_str()));
  EXPECT_EQ(kz::test::readFileBytes(path), (std::vector<uint8_t>{1, 2, 3}));
}

// A file another process holds open, even only for reading, is in use until it lets go.
TEST_F(FileProbeTest, FileOpenInAnotherProcessIsInUse) {
  {
    HoldingProcess holder(path);
    ASSERT_TRUE(holder.opened());
    EXPECT_FALSE(kz::IsFileFree(path.c_str()));
  }
  EXPECT_TRUE(kz::IsFileFree(path.c_str()));
}

// A file this very process holds open is in use as well.
TEST_F(FileProbeTest, FileOpenInThisProcessIsInUse) {
  std::FILE* held = std::fopen(path.c_str(), "rb");
  ASSERT_NE(held, nullptr);
  EXPECT_FALSE(kz::IsFileFree(path.c_str()));
  std::fclose(held);
  EXPECT_TRUE(kz::IsFileFree(path.c_str()));
}

// A mapped file (as a loaded library is) is in use after its descriptor has been closed.
TEST_F(FileProbeTest, MappedFileIsInUse) {
  const int fd = open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  void* map = mmap(nullptr, 3, PROT_READ, MAP_PRIVATE, fd, 0);
  close(fd);
  ASSERT_NE(map, MAP_FAILED);
  EXPECT_FALSE(kz::IsFileFree(path.c_str()));
  munmap(map, 3);
  EXPECT_TRUE(kz::IsFileFree(path.c_str()));
}

// A read-only file nobody holds is free and is no longer read-only afterwards.
TEST_F(FileProbeTest, ReadOnlyFileIsFreedOfItsAttribute) {
  ASSERT_TRUE(nativeFileSystem().setFileAttributes(path.c_str(), kAttrReadOnly));
  EXPECT_TRUE(kz::IsFileFree(path.c_str()));
  EXPECT_EQ(nativeFileSystem().fileAttributes(path.c_str()) & kAttrReadOnly, 0u);
}

// A file whose attributes cannot be changed counts as in use without any open attempt.
TEST_F(FileProbeTest, AttributeFailureMeansInUseWithoutOpening) {
  struct RefusingFileSystem : kz::platform::ForwardingFileSystem {
    using ForwardingFileSystem::ForwardingFileSystem;
    bool setFileAttributes(const char*, uint32_t) override { return false; }
  } refusing{nativeFileSystem()};
  CountingProbe probe(true);
  kz::platform::ScopedFileSystem fs(refusing);
  kz::platform::ScopedFileProbe scopedProbe(probe);
  EXPECT_FALSE(kz::IsFileFree(path.c_str()));
  EXPECT_FALSE(kz::IsFileFree(dir.file("missing").c_str()));
  EXPECT_EQ(probe.opens, 0);
}

// The check stops at the first held file and names it; rows whose installed file does not exist
// are never probed. Every file probed keeps its read-only attribute: the probe gives it back.
TEST(CheckFilesNotInUse, StopsAtFirstHeldFileAndKeepsAttributes) {
  kz::test::TempDir dir;
  kz::TrackedFileTable table{};
  addReadOnlyRows(table, dir, "f", 4);
  std::snprintf(table[5].installedPath, sizeof table[5].installedPath, "%s", dir.file("absent").c_str());
  EXPECT_TRUE(kz::CheckFilesNotInUse(table, dir.path().c_str()));
  for (int i = 0; i < 4; ++i) {
    EXPECT_NE(nativeFileSystem().fileAttributes(table[i].installedPath) & kAttrReadOnly, 0u) << i;
  }

  HoldingProcess holder(table[2].installedPath);
  ASSERT_TRUE(holder.opened());
  kz::StepFailure failure;
  EXPECT_FALSE(kz::CheckFilesNotInUse(table, dir.path().c_str(), &failure));
  EXPECT_EQ(failure.cause, kz::FailureCause::FileInUse);
  EXPECT_EQ(failure.file, table[2].installedPath);
  for (int i = 0; i < 4; ++i) {
    EXPECT_NE(nativeFileSystem().fileAttributes(table[i].installedPath) & kAttrReadOnly, 0u) << i;
    EXPECT_FALSE(table[i].attributesPending) << i;
  }
}

// When the attribute cannot be given back at once, the row says so, and the later put-back
// restores it, except on a row the copy step replaced when asked to skip those.
TEST(CheckFilesNotInUse, AttributeThatCannotBeGivenBackIsPutBackLater) {
  kz::test::TempDir dir;
  kz::TrackedFileTable table{};
  addReadOnlyRows(table, dir, "g", 2);
  struct RefuseReadOnly : kz::platform::ForwardingFileSystem {
    using ForwardingFileSystem::ForwardingFileSystem;
    bool setFileAttributes(const char* p, uint32_t a) override {
      return (a & kAttrReadOnly) == 0 && inner_.setFileAttributes(p, a);
    }
  } refusing{nativeFileSystem()};
  {
    kz::platform::ScopedFileSystem scoped(refusing);
    EXPECT_TRUE(kz::CheckFilesNotInUse(table, dir.path().c_str()));
  }
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(table[i].attributesPending) << i;
    EXPECT_EQ(nativeFileSystem().fileAttributes(table[i].installedPath) & kAttrReadOnly, 0u) << i;
  }
  table[1].copy = true;
  EXPECT_TRUE(kz::PutBackProbedAttributes(table, true));
  EXPECT_NE(nativeFileSystem().fileAttributes(table[0].installedPath) & kAttrReadOnly, 0u);
  EXPECT_EQ(nativeFileSystem().fileAttributes(table[1].installedPath) & kAttrReadOnly, 0u);
  EXPECT_FALSE(table[0].attributesPending);
  EXPECT_TRUE(table[1].attributesPending);
}

// An empty table (no installed tracked file) passes without probing anything.
TEST(CheckFilesNotInUse, NothingInstalledPasses) {
  CountingProbe probe(false);
  kz::platform::ScopedFileProbe scoped(probe);
  kz::TrackedFileTable table{};
  EXPECT_TRUE(kz::CheckFilesNotInUse(table, ""));
  EXPECT_EQ(probe.opens, 0);
}

}  // namespace
