// Walks the KZ6 form of a package and writes each NAME/BODY pair as a file in the work folder.
#include "package/extract_package.h"

#include <cstring>

#include "package/package_area.h"
#include "package/package_reader.h"
#include "platform/files.h"
#include "platform/path_service.h"

namespace kz {
namespace {

void fail(ExtractionFailure* failure, ExtractionError error, const char* entry = "") {
  if (failure == nullptr || failure->error != ExtractionError::None) return;
  failure->error = error;
  const size_t length = std::strlen(entry);
  const size_t kept = length < sizeof failure->entry ? length : sizeof failure->entry - 1;
  std::memcpy(failure->entry, entry, kept);
  failure->entry[kept] = '\0';
}

ExtractionError entryError(EntryOutcome outcome) {
  switch (outcome) {
    case EntryOutcome::Written: return ExtractionError::None;
    case EntryOutcome::Damaged: return ExtractionError::EntryDamaged;
    case EntryOutcome::NoMemory: return ExtractionError::NoMemory;
    case EntryOutcome::NotWritten: break;
  }
  return ExtractionError::EntryNotWritten;
}

// What stands on an entry's path in the work folder.
enum class EntryPath : uint8_t {
  LinkOnTheWay,    // a junction or symbolic link, at a folder or at the file: writing would follow it
  FoldersMissing,  // no link; a folder is still to be made
  FoldersPresent,  // no link, and every folder already stands as a real folder
};

// Folders and files are made only where nothing but real folders stand on the way, so that no
// entry is written out of the work folder through a link.
EntryPath checkEntryPath(const char* path) {
  char prefix[platform::kMaxPath];
  const size_t length = std::strlen(path);
  if (length >= sizeof prefix) return EntryPath::LinkOnTheWay;
  std::memcpy(prefix, path, length + 1);
  for (const char* end = platform::componentEnd(path);; end = platform::componentEnd(end + 1)) {
    const auto cut = static_cast<size_t>(end - path);
    const char kept = prefix[cut];
    prefix[cut] = '\0';
    const uint32_t attributes = platform::fileSystem().fileAttributes(prefix);
    prefix[cut] = kept;
    if (attributes != platform::kInvalidAttributes && (attributes & platform::kAttrReparsePoint) != 0) {
      return EntryPath::LinkOnTheWay;
    }
    if (*end == '\0') return EntryPath::FoldersPresent;
    // Nothing stands beneath a folder that is missing (or is a file, where making the entry fails).
    if (attributes == platform::kInvalidAttributes || (attributes & platform::kAttrDirectory) == 0) {
      return EntryPath::FoldersMissing;
    }
  }
}

// Steps 4 to 13 of an extraction, with the work folder already the current directory.
bool extractEntries(const uint8_t* form, uint32_t size, ExtractionFailure* failure) {
  if (size == 0) {
    fail(failure, ExtractionError::NoPackage);
    return false;
  }
  ReaderContext ctx{};
  PackageEntry entry{};
  if (!initReader(ctx)) {
    fail(failure, ExtractionError::NoMemory);
    return false;
  }
  openMemoryInput(ctx, form);
  ctx.input.size = size;

  bool result = false;
  uint32_t version = 0;
  if (readFormHead(ctx, kKz6Type, version) && (version >> 16) <= kMaxFormMajor) {
    for (;;) {
      uint8_t id[4];
      if (readBytes(ctx, id, 4) != 4) {
        // Fewer than 4 stray bytes at the end are no chunk: the package ends there.
        result = inputAtEnd(ctx);
        if (!result) fail(failure, ExtractionError::EntryDescription);
        break;
      }
      ctx.chunkId = loadBigEndian32(id);
      if (ctx.chunkId == kNameId) {
        if (!readEntryName(ctx, entry)) {
          fail(failure, ExtractionError::EntryDescription);
          break;
        }
        const EntryPath onTheWay = checkEntryPath(entry.path);
        if (onTheWay == EntryPath::LinkOnTheWay) {
          // Nothing is written, and nothing deleted: a delete would follow the link as well.
          fail(failure, ExtractionError::EntryNotWritten, entry.path);
          break;
        }
        const EntryOutcome outcome =
            extractEntry(ctx, entry, entry.path,
                         onTheWay == EntryPath::FoldersPresent ? OutputFolders::MustExist : OutputFolders::Create);
        if (outcome != EntryOutcome::Written) {
          fail(failure, entryError(outcome), entry.path);
          // The path passed readEntryName's check, so this delete stays inside the work folder.
          platform::fileSystem().deleteFile(entry.path);
          break;
        }
      } else if (!skipChunk(ctx)) {
        fail(failure, ExtractionError::EntryDescription);
        break;
      }
    }
  } else {
    fail(failure, ExtractionError::NotAPackage);
  }
  closeMemoryInput(ctx);
  destroyReader(ctx);
  return result;
}

}  // namespace

bool extractForm(const uint8_t* form, uint32_t size, const char* workFolder, ExtractionFailure* failure) {
  platform::FileSystem& fs = platform::fileSystem();
  char saved[platform::kMaxPath] = {};
  const uint32_t length = fs.currentDirectory(saved, platform::kMaxPath);
  if (length == 0 || length >= platform::kMaxPath || !fs.setCurrentDirectory(workFolder)) {
    fail(failure, ExtractionError::WorkFolder);
    return false;
  }
  const bool result = extractEntries(form, size, failure);
  if (!fs.setCurrentDirectory(saved)) {
    fail(failure, ExtractionError::WorkFolder);
    return false;
  }
  return result;
}

bool extractPackage(const uint8_t* area, const char* workFolder, ExtractionFailure* failure) {
  // The size field is data like any other: a damaged one must not take the reader past the end
  // of the area, so the form is never read beyond the capacity.
  const uint32_t size = packageSizeOf(area);
  return extractForm(area + kPackageFormOffset, size < kInternalBufferSize ? size : kInternalBufferSize, workFolder,
                     failure);
}

}  // namespace kz
