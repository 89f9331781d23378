// The working record of one extraction and the byte operations that the package reader, the gzip
// member decoder and the inflate engine share.
//
// Contract of the byte operations:
//  - readBytes delivers at most count bytes; 0 means the input has no more bytes.
//  - viewBytes is readBytes without the copy: data points at the bytes in the input itself, valid
//    while the input stays open.
//  - seekInput never fails on a memory block: the position is clamped to the block.
//  - closeOutput is false when the close fails, for instance when the last buffered bytes cannot
//    be written; the stream is closed either way.
//  - abortEntry acts on the current reader: it sets the abort flag, closes and deletes the output
//    file, and frees the work buffers. After it, closeOutput and destroyReader do nothing.
// Only one context is open at a time; the current reader is process-wide.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform/files.h"

namespace kz {

// The window between members (its first 32 KiB), then the room the decoder writes on into.
inline constexpr uint32_t kWindowBufferSize = 8 * 32768;

struct MemoryInput {
  const uint8_t* base = nullptr;
  uint32_t size = 0;
  uint32_t position = 0;
};

// How the member's data is held: a gzip member is always deflated, a PK entry stored or deflated.
// The values are the method numbers of both formats.
enum class MemberMethod : uint8_t {
  Stored = 0,
  Deflated = 8,
  Refused = 0xFF,  // no member the decoder accepts (or its header's input ended), or none read yet
};

struct ReaderContext {
  std::FILE* output = nullptr;
  bool abortFlag = false;
  uint32_t chunkId = 0;
  uint32_t chunkLength = 0;
  MemoryInput input;
  char outputName[platform::kMaxPath] = {};
  // Input bytes that belong to the current gzip member: the BODY length. A hard limit.
  uint32_t compressedBudget = 0;
  // Decoder state that lives with the context (the rest is the decoder's own).
  uint32_t inputIndex = 0;
  uint32_t outputCount = 0;
  uint32_t bytesIn = 0;
  uint32_t bytesOut = 0;
  MemberMethod method = MemberMethod::Refused;  // of the current member, readMemberHeader's result
  // The bytes the last refill delivered, where they lie in the input: never past the member's budget.
  const uint8_t* inputBytes = nullptr;
  uint8_t* window = nullptr;       // kWindowBufferSize bytes
};

enum class SeekOrigin { Start, Current };

bool initReader(ReaderContext& ctx);
bool destroyReader(ReaderContext& ctx);
bool openMemoryInput(ReaderContext& ctx, const uint8_t* blockStart);
bool openOutputFile(ReaderContext& ctx, const char* path);
bool closeMemoryInput(ReaderContext& ctx);
bool closeOutput(ReaderContext& ctx);
uint32_t readBytes(ReaderContext& ctx, void* buffer, uint32_t count);
uint32_t viewBytes(ReaderContext& ctx, const uint8_t*& data, uint32_t count);
uint32_t writeBytes(ReaderContext& ctx, const void* buffer, uint32_t count);
uint32_t seekInput(ReaderContext& ctx, uint32_t offset, SeekOrigin origin);
bool inputAtEnd(const ReaderContext& ctx);
void abortEntry();

// The context most recently opened for input or output; nullptr before any.
ReaderContext* currentReader();

}  // namespace kz
