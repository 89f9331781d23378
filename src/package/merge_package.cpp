// The merge command's parsing and the copy of the updater with a new form in its package area.
#include "package/merge_package.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "package/folders.h"
#include "package/package_area.h"
#include "package/package_header.h"
#include "platform/files.h"
#include "platform/path_service.h"

namespace kz {
namespace {

constexpr char kMergeKeyword[] = "MERGE_KZ6_FILE:";
constexpr size_t kMergeKeywordLength = sizeof kMergeKeyword - 1;

bool startsWithKeyword(const char* p) {
  for (size_t i = 0; i < kMergeKeywordLength; ++i) {
    char c = p[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != kMergeKeyword[i]) return false;  // also stops at the terminating NUL
  }
  return true;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Copies count bytes; every read must deliver and every write accept all it is given.
MergeFailure copyBytes(std::FILE* from, std::FILE* to, uint64_t count, std::vector<uint8_t>& buffer) {
  while (count > 0) {
    const size_t step = count < buffer.size() ? static_cast<size_t>(count) : buffer.size();
    if (std::fread(buffer.data(), 1, step, from) != step) return MergeFailure::ReadFailed;
    if (std::fwrite(buffer.data(), 1, step, to) != step) return MergeFailure::WriteFailed;
    count -= step;
  }
  return MergeFailure::None;
}

// The stream's length, with the position back at the start.
bool streamLength(std::FILE* f, uint64_t& length) {
  if (std::fseek(f, 0, SEEK_END) != 0) return false;
  const long end = std::ftell(f);
  if (end < 0 || std::fseek(f, 0, SEEK_SET) != 0) return false;
  length = static_cast<uint64_t>(end);
  return true;
}

// Writes the whole merged copy into an open temporary file.
MergeFailure writeMergedCopy(std::FILE* module, std::FILE* source, std::FILE* out, uint32_t headerOffset,
                             uint32_t capacity) {
  uint64_t length = 0;
  if (!streamLength(module, length)) return MergeFailure::ReadFailed;
  const uint64_t areaEnd = static_cast<uint64_t>(headerOffset) + kPackageFormOffset + capacity;
  if (length < areaEnd) return MergeFailure::UpdaterTooShort;

  std::vector<uint8_t> buffer(1u << 16);
  MergeFailure failure = copyBytes(module, out, static_cast<uint64_t>(headerOffset) + kPackageHeaderSize, buffer);
  if (failure != MergeFailure::None) return failure;
  const uint8_t size[4] = {static_cast<uint8_t>(capacity), static_cast<uint8_t>(capacity >> 8),
                           static_cast<uint8_t>(capacity >> 16), static_cast<uint8_t>(capacity >> 24)};
  if (std::fwrite(size, 1, 4, out) != 4) return MergeFailure::WriteFailed;
  failure = copyBytes(source, out, capacity, buffer);
  if (failure != MergeFailure::None) return failure;
  // Past the old package size and form, which the bytes just written replace.
  if (std::fseek(module, static_cast<long>(capacity) + 4, SEEK_CUR) != 0) return MergeFailure::ReadFailed;
  return copyBytes(module, out, length - areaEnd, buffer);
}

}  // namespace

bool parseMergeCommand(const char* commandLine, char* sourcePath) {
  sourcePath[0] = '\0';
  const char* p = commandLine;
  for (;;) {
    while (*p == ' ') ++p;
    if (*p == '\0') return false;
    if (startsWithKeyword(p)) break;
    p = std::strchr(p, ' ');
    if (p == nullptr) return false;
  }
  p += kMergeKeywordLength;
  if (*p != '"') return false;
  const char* path = p + 1;
  const char* close = std::strchr(path, '"');
  if (close == nullptr) return false;
  const size_t length = static_cast<size_t>(close - path);
  if (length == 0 || length >= platform::kMaxPath) return false;
  std::memcpy(sourcePath, path, length);
  sourcePath[length] = '\0';
  return true;
}

bool mergeSourceFits(const char* sourcePath, uint32_t capacity) {
  platform::FileInfo info;
  if (!platform::fileSystem().fileInfo(sourcePath, info)) return false;
  return (info.attributes & platform::kAttrDirectory) == 0 && info.size == capacity;
}

const char* describeMergeFailure(MergeFailure failure) {
  switch (failure) {
    case MergeFailure::None: return "merged";
    case MergeFailure::HeaderNotFound: return "the updater does not hold exactly one package header";
    case MergeFailure::TargetIsInput: return "the target is the updater or the source itself";
    case MergeFailure::OpenFailed: return "a file cannot be opened or created";
    case MergeFailure::UpdaterTooShort: return "the updater ends inside its package area";
    case MergeFailure::ReadFailed: return "a read failed";
    case MergeFailure::WriteFailed: return "a write failed";
    case MergeFailure::ReplaceFailed: return "the finished copy cannot replace the target";
  }
  return "unknown failure";
}

MergeFailure mergePackage(const char* modulePath, const char* sourcePath, const char* targetPath,
                          uint32_t capacity) {
  platform::FileSystem& fs = platform::fileSystem();
  // Without a name there is nothing to write to, and the temporary copy would otherwise be made
  // in the current directory before the final move fails.
  if (targetPath[0] == '\0') return MergeFailure::OpenFailed;
  uint32_t headerOffset = 0;
  if (findPackageHeader(modulePath, headerOffset) != PackageHeaderStatus::Ok) return MergeFailure::HeaderNotFound;
  if (fs.sameFile(targetPath, modulePath) || fs.sameFile(targetPath, sourcePath)) {
    return MergeFailure::TargetIsInput;
  }
  // The shell's move puts a file into a folder that stands at its destination, and reports
  // success: a folder in the target's place must fail the merge before anything is written.
  const uint32_t targetAttributes = fs.fileAttributes(targetPath);
  if (targetAttributes != platform::kInvalidAttributes && (targetAttributes & platform::kAttrDirectory) != 0) {
    return MergeFailure::ReplaceFailed;
  }

  // The copy is made beside the target, so that the final move stays on one volume.
  // A file in a root keeps the root as its folder (C: alone would be the drive's current one).
  char folder[platform::kMaxPath] = {};
  const size_t targetLength = std::strlen(targetPath);
  if (targetLength >= sizeof folder) return MergeFailure::OpenFailed;
  std::memcpy(folder, targetPath, targetLength + 1);
  platform::pathService().removeFileSpec(folder);
  if (folder[0] == '\0') std::memcpy(folder, ".", 2);

  File module(fs.openFile(modulePath, "rb"));
  File source(fs.openFile(sourcePath, "rb"));
  char tempPath[platform::kMaxPath] = {};
  if (!module || !source || fs.tempFileName(folder, "~KZ", tempPath) == 0) return MergeFailure::OpenFailed;
  File out(fs.openFile(tempPath, "wb"));
  MergeFailure failure = MergeFailure::OpenFailed;
  if (out) {
    failure = writeMergedCopy(module.get(), source.get(), out.get(), headerOffset, capacity);
    // Closing flushes the last buffered bytes: a failure there is a failed write as well.
    if (std::fclose(out.release()) != 0 && failure == MergeFailure::None) failure = MergeFailure::WriteFailed;
  }
  if (failure == MergeFailure::None && !fs.moveFile(tempPath, targetPath)) failure = MergeFailure::ReplaceFailed;
  if (failure != MergeFailure::None) fs.deleteFile(tempPath);
  return failure;
}

}  // namespace kz
