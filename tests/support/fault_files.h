// A file service and mover for fault and crash tests: every file operation of the code under test
// goes through it, is counted, and can be made to fail.
//
// Three ways to fail: chosen operations fail with no effect (the rest go through); or, from a
// crash point on, every operation fails with no effect, as if the process had stopped there. The
// disk is simulated: a flush writes the stream's buffer to the file (no fsync, the tests' disk is
// never switched off), and the seam remembers how far each journal had been flushed, so that a
// test can cut it back to what a crash would have left, and what each file written through it
// held at its last flush, so that a test can cut the power: every byte written since then reads
// back as zeros, as a file system that keeps sizes but not unflushed data shows it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/shell_move.h"

namespace kz::test {

class FaultFiles final : public platform::ForwardingFileSystem, public platform::ShellMover {
 public:
  FaultFiles();
  ~FaultFiles() override;
  FaultFiles(const FaultFiles&) = delete;
  FaultFiles& operator=(const FaultFiles&) = delete;

  // The operations (by their index from 0, counting every call) that fail with no effect.
  std::set<long> failing;
  // After this many changing operations have been done (-1: never), every later operation fails.
  long crashAfter = -1;

  // When set, every operation is listed here as "call path", in order.
  bool tracing = false;
  std::vector<std::string> trace;

  // The count of changes done after each move that went through, in order.
  std::vector<long> changesAfterMoves;

  long operations() const { return operations_; }
  long changes() const { return changes_; }
  bool crashed() const { return crashAfter >= 0 && changes_ >= crashAfter; }
  // The first failed operation, as "call path", for messages.
  const std::string& firstFailure() const { return firstFailure_; }
  // The count of changes done when the first operation failed.
  long changesAtFirstFailure() const { return changesAtFirstFailure_; }
  // For each file flushed through the seam (by native path): its size at the last flush that
  // succeeded.
  const std::map<std::string, long>& flushedSizes() const { return flushed_; }
  // The power cut: in every file under roots that was opened for writing through the seam, each
  // byte that differs from what the file held at its last flush (nothing, for a file created
  // since) becomes zero; sizes, times and names stay. Returns how many files lost bytes.
  int cutPower(const std::vector<std::filesystem::path>& roots) const;

  uint32_t currentDirectory(char* b, uint32_t s) override;
  bool setCurrentDirectory(const char* p) override;
  uint32_t tempFileName(const char* f, const char* p, char* o) override;
  bool createDirectory(const char* p) override;
  bool removeDirectory(const char* p) override;
  bool deleteFile(const char* p) override;
  uint32_t fileAttributes(const char* p) override;
  bool setFileAttributes(const char* p, uint32_t a) override;
  bool fileInfo(const char* p, platform::FileInfo& i) override;
  bool setFileTime(const char* p, int64_t t) override;
  bool pathExists(const char* p) override;
  std::FILE* openFile(const char* p, const char* m) override;
  bool moveFile(const char* s, const char* d) override;
  bool flushFile(std::FILE* f) override;
  bool flushFolder(const char* p) override;
  bool folderHoldsEntries(const char* p) override;
  bool moveFile(const char* s, const char* d, void* owner) override;

 private:
  // Counts one operation; false when it must fail. changing: it would change the disk.
  bool allow(const char* call, const char* path, bool changing);

  long operations_ = 0;
  long changes_ = 0;
  std::string firstFailure_;
  long changesAtFirstFailure_ = 0;
  std::map<std::FILE*, std::string> streams_;
  std::map<std::string, long> flushed_;
  // By device and inode, so that a file keeps its flushed state when it is moved.
  std::map<std::pair<uint64_t, uint64_t>, std::vector<uint8_t>> durable_;
  platform::ScopedFileSystem scopedFiles_;
  platform::ScopedShellMover scopedMover_;
};

}  // namespace kz::test
