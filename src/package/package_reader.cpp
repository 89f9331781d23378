// Reading the KZ6 form chunk by chunk and writing each entry's file.
#include "package/package_reader.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "package/gzip_member.h"
#include "platform/files.h"

namespace kz {

bool readBigEndian32(ReaderContext& ctx, uint32_t& value) {
  uint8_t bytes[4];
  if (readBytes(ctx, bytes, 4) != 4) return false;
  value = loadBigEndian32(bytes);
  return true;
}

bool readFormHead(ReaderContext& ctx, uint32_t expectedType, uint32_t& version) {
  version = 0xFFFFFFFFu;
  uint32_t value = 0;
  if (!readBigEndian32(ctx, ctx.chunkId) || ctx.chunkId != kFormId) return false;
  seekInput(ctx, 4, SeekOrigin::Current);  // the form length: readers find the end by the input's
  if (!readBigEndian32(ctx, value) || value != expectedType) return false;
  if (!readBigEndian32(ctx, ctx.chunkId) || ctx.chunkId != kVersId) return false;
  seekInput(ctx, 4, SeekOrigin::Current);  // the VERS length: the version is always 4 bytes
  if (!readBigEndian32(ctx, value)) return false;
  version = value;
  return true;
}

bool readEntryName(ReaderContext& ctx, PackageEntry& entry) {
  uint32_t length = 0;
  if (!readBigEndian32(ctx, length)) return false;
  ctx.chunkLength = length;
  // A length beyond the input could never be read in full; refusing it first also keeps a
  // damaged length from asking for gigabytes.
  const uint32_t left = inputAtEnd(ctx) ? 0 : ctx.input.size - ctx.input.position;
  if (length < kNameFixedSize || length > left) return false;
  std::unique_ptr<uint8_t, decltype(&std::free)> block(static_cast<uint8_t*>(std::malloc(length)), &std::free);
  if (!block) return false;
  uint8_t* data = block.get();
  if (readBytes(ctx, data, length) != length) return false;

  const char* path = reinterpret_cast<const char*>(data + kNameFixedSize);
  const char* end = reinterpret_cast<const char*>(data + length);
  const char* pathEnd = static_cast<const char*>(std::memchr(path, 0, static_cast<size_t>(end - path)));
  if (pathEnd == nullptr || pathEnd - path >= static_cast<ptrdiff_t>(kEntryPathSize)) return false;
  const char* note = pathEnd + 1;
  const char* noteEnd = static_cast<const char*>(std::memchr(note, 0, static_cast<size_t>(end - note)));
  if (noteEnd == nullptr || noteEnd - note >= static_cast<ptrdiff_t>(kEntryNoteSize)) return false;
  if (!isSafeEntryPath(path)) return false;

  entry.attributeHigh = loadBigEndian16(data);
  entry.attributes = loadBigEndian16(data + 2);
  entry.time = loadBigEndian32(data + 4);
  entry.storedSize = loadBigEndian32(data + 8);
  entry.uncompressedSize = loadBigEndian32(data + 12);
  std::memset(entry.path, 0, sizeof entry.path);
  std::memcpy(entry.path, path, static_cast<size_t>(pathEnd - path));
  std::memset(entry.note, 0, sizeof entry.note);
  std::memcpy(entry.note, note, static_cast<size_t>(noteEnd - note));
  return true;
}

namespace {

// Why the decoder gave up on a member: a write it could not make, memory, or the data.
EntryOutcome decoderOutcome() {
  switch (lastDecodeFailure()) {
    case DecodeFailure::None:
    case DecodeFailure::WriteError:
      return EntryOutcome::NotWritten;
    case DecodeFailure::OutOfMemory:
      return EntryOutcome::NoMemory;
    default:
      return EntryOutcome::Damaged;
  }
}

}  // namespace

EntryOutcome extractEntry(ReaderContext& ctx, const PackageEntry& entry, const char* outputPath,
                          OutputFolders folders) {
  platform::FileSystem& fs = platform::fileSystem();
  if (!readBigEndian32(ctx, ctx.chunkId) || ctx.chunkId != kBodyId) return EntryOutcome::Damaged;
  if (!readBigEndian32(ctx, ctx.chunkLength)) return EntryOutcome::Damaged;
  const uint32_t start = ctx.input.position;
  const uint32_t length = ctx.chunkLength;

  switch (decodeMemberToFile(ctx, length, outputPath, folders)) {
    case MemberOutcome::Decoded:
      break;
    case MemberOutcome::HeaderRefused:
    case MemberOutcome::DecodeFailed:
      return decoderOutcome();
    case MemberOutcome::OutputNotOpened:
    case MemberOutcome::OutputIncomplete:
      return EntryOutcome::NotWritten;
  }

  // Time first: on Windows a read-only file could not have its time set afterwards.
  if (!fs.setFileTime(outputPath, static_cast<int64_t>(entry.time))) return EntryOutcome::NotWritten;
  const uint32_t attributes = entry.attributes & kAppliedAttributes;
  if (attributes != 0 && !fs.setFileAttributes(outputPath, attributes)) return EntryOutcome::NotWritten;

  // The next chunk begins where the chunk length says, whatever the decoder consumed. Computed
  // wide, so that a huge length cannot wrap around to an earlier position and loop forever.
  const uint64_t next = static_cast<uint64_t>(start) + length;
  const uint32_t target = next > ctx.input.size ? ctx.input.size : static_cast<uint32_t>(next);
  return seekInput(ctx, target, SeekOrigin::Start) == target ? EntryOutcome::Written : EntryOutcome::Damaged;
}

bool skipChunk(ReaderContext& ctx) {
  if (!readBigEndian32(ctx, ctx.chunkLength)) return false;
  seekInput(ctx, ctx.chunkLength, SeekOrigin::Current);
  return true;
}

}  // namespace kz
