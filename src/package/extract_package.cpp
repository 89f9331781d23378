// Walks the KZ6 form of a package and writes each NAME/BODY pair as a file in the work folder.
#include "package/extract_package.h"

#include "package/package_area.h"
#include "package/package_reader.h"
#include "platform/files.h"

namespace kz {
namespace {

// Steps 4 to 13 of an extraction, with the work folder already the current directory.
bool extractEntries(const uint8_t* form, uint32_t size) {
  if (size == 0) return false;
  ReaderContext ctx{};
  PackageEntry entry{};
  if (!initReader(ctx)) return false;
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
        break;
      }
      ctx.chunkId = loadBigEndian32(id);
      if (ctx.chunkId == kNameId) {
        if (!readEntryName(ctx, entry)) break;
        if (!extractEntry(ctx, entry, entry.path)) {
          // The path passed readEntryName's check, so this delete stays inside the work folder.
          platform::fileSystem().deleteFile(entry.path);
          break;
        }
      } else if (!skipChunk(ctx)) {
        break;
      }
    }
  }
  closeMemoryInput(ctx);
  destroyReader(ctx);
  return result;
}

}  // namespace

bool extractForm(const uint8_t* form, uint32_t size, const char* workFolder) {
  platform::FileSystem& fs = platform::fileSystem();
  char saved[platform::kMaxPath] = {};
  const uint32_t length = fs.currentDirectory(saved, platform::kMaxPath);
  if (length == 0 || length >= platform::kMaxPath) return false;
  if (!fs.setCurrentDirectory(workFolder)) return false;
  const bool result = extractEntries(form, size);
  if (!fs.setCurrentDirectory(saved)) return false;
  return result;
}

bool extractPackage(const uint8_t* area, const char* workFolder) {
  // The size field is data like any other: a damaged one must not take the reader past the end
  // of the area, so the form is never read beyond the capacity.
  const uint32_t size = packageSizeOf(area);
  return extractForm(area + kPackageFormOffset, size < kInternalBufferSize ? size : kInternalBufferSize, workFolder);
}

}  // namespace kz
