// The gzip member decoder: header, inflation or stored copy, and the CRC-32 and length trailer.
#include "package/gzip_member.h"

#include <cerrno>
#include <cstring>

#include "package/byte_order.h"
#include "package/crc32.h"
#include "package/decoder_state.h"
#include "package/folders.h"
#include "package/gzip_constants.h"
#include "package/inflate.h"
#include "platform/files.h"

namespace kz {

namespace {

using detail::decoder;
using detail::failEntry;
using detail::nextInputByte;

// Reads n bytes of the member (header fields, trailer) into out; false when the input ended.
bool readFields(uint8_t* out, unsigned n) {
  for (unsigned i = 0; i < n; ++i) {
    const int c = nextInputByte();
    if (c < 0) return false;
    out[i] = static_cast<uint8_t>(c);
  }
  return true;
}

// Skips a NUL-terminated field of the header.
bool skipZeroTerminated() {
  for (;;) {
    const int c = nextInputByte();
    if (c < 0) return false;
    if (c == 0) return true;
  }
}

// The method of the PK local header at the start of the first refill (with its name and extra
// field after it), or Refused.
MemberMethod checkPkEntry(ReaderContext& ctx) {
  detail::DecoderGlobals& g = decoder();
  const uint8_t* h = ctx.inputBytes;
  if (g.inputCount < gzip::kPkFixedHeader) return MemberMethod::Refused;
  const uint32_t nameLength = static_cast<uint32_t>(h[gzip::kPkOffsetNameLength]) |
                              (static_cast<uint32_t>(h[gzip::kPkOffsetNameLength + 1]) << 8);
  const uint32_t extraLength = static_cast<uint32_t>(h[gzip::kPkOffsetExtraLength]) |
                               (static_cast<uint32_t>(h[gzip::kPkOffsetExtraLength + 1]) << 8);
  ctx.inputIndex += gzip::kPkFixedHeader + nameLength + extraLength;
  if (ctx.inputIndex > g.inputCount || loadLittle32(h) != gzip::kPkSignature) return MemberMethod::Refused;
  const uint8_t method = h[gzip::kPkOffsetMethod];
  if (method != gzip::kMethodStored && method != gzip::kMethodDeflate) return MemberMethod::Refused;
  const uint8_t flags = h[gzip::kPkOffsetFlags];
  if ((flags & gzip::kPkFlagEncrypted) != 0) return MemberMethod::Refused;
  g.pkDescriptor = (flags & gzip::kPkFlagDescriptor) != 0;
  g.pkEntry = true;
  return method == gzip::kMethodStored ? MemberMethod::Stored : MemberMethod::Deflated;
}

// Copies a stored PK entry's data into the window, flushing each time it fills.
bool copyStored(ReaderContext& ctx, uint32_t length) {
  detail::DecoderGlobals& g = decoder();
  uint8_t* window = ctx.window;
  while (length != 0) {
    if (ctx.inputIndex >= g.inputCount) {
      const int c = detail::refillInput();
      if (c < 0) return false;
      window[ctx.outputCount++] = static_cast<uint8_t>(c);
      --length;
    } else {
      uint32_t n = g.inputCount - ctx.inputIndex;
      if (n > length) n = length;
      if (n > gzip::kWindowSize - ctx.outputCount) n = gzip::kWindowSize - ctx.outputCount;
      std::memcpy(window + ctx.outputCount, ctx.inputBytes + ctx.inputIndex, n);
      ctx.inputIndex += n;
      ctx.outputCount += n;
      length -= n;
    }
    if (ctx.outputCount == gzip::kWindowSize && !detail::flushWindow()) {
      failEntry(DecodeFailure::WriteError);
      return false;
    }
  }
  if (!detail::flushWindow()) {
    failEntry(DecodeFailure::WriteError);
    return false;
  }
  return true;
}

// The member's data and its trailer; false when the decoder gave up (the entry is aborted).
bool decodeBody() {
  ReaderContext& ctx = *currentReader();
  detail::DecoderGlobals& g = decoder();
  resetMemberCrc();

  uint32_t expectedCrc = 0;
  uint32_t expectedLength = 0;
  const bool pkWithoutDescriptor = g.pkEntry && !g.pkDescriptor;
  if (pkWithoutDescriptor) {
    expectedCrc = loadLittle32(ctx.inputBytes + gzip::kPkOffsetCrc);
    expectedLength = loadLittle32(ctx.inputBytes + gzip::kPkOffsetSize);
  }

  if (ctx.method == MemberMethod::Deflated) {
    const InflateResult r = inflateEngine()();
    if (r == InflateResult::Stopped) return false;
    if (r == InflateResult::NoMemory) {
      failEntry(DecodeFailure::OutOfMemory);
      return false;
    }
    if (r != InflateResult::Ok) {
      failEntry(DecodeFailure::FormatViolated);
      return false;
    }
  } else if (ctx.method == MemberMethod::Stored && g.pkEntry) {
    const uint32_t size = loadLittle32(ctx.inputBytes + gzip::kPkOffsetSize);
    if (size != loadLittle32(ctx.inputBytes + gzip::kPkOffsetCompressedSize)) {
      failEntry(DecodeFailure::LengthMismatch);
      return false;
    }
    if (!copyStored(ctx, size)) return false;
  } else {
    failEntry(DecodeFailure::InvalidMethod);
    return false;
  }

  if (!g.pkEntry) {
    uint8_t trailer[8];
    if (!readFields(trailer, 8)) return false;
    expectedCrc = loadLittle32(trailer);
    expectedLength = loadLittle32(trailer + 4);
  } else if (g.pkDescriptor) {
    uint8_t descriptor[16];
    if (!readFields(descriptor, 16)) return false;
    expectedCrc = loadLittle32(descriptor + 4);
    expectedLength = loadLittle32(descriptor + 12);
  }
  if (expectedCrc != memberCrc()) {
    failEntry(DecodeFailure::CrcError);
    return false;
  }
  if (expectedLength != ctx.bytesOut) {
    failEntry(DecodeFailure::LengthError);
    return false;
  }
  return true;
}

// The gzip member header, or the PK local header, at the input position: the member's method,
// or Refused (with the failure recorded when the header itself was refused, not its input ended).
MemberMethod readHeader(ReaderContext& ctx) {
  detail::DecoderGlobals& g = decoder();
  uint8_t magic[2];
  if (!readFields(magic, 2)) return MemberMethod::Refused;
  if (magic[0] == gzip::kMagic1 && (magic[1] == gzip::kMagic2 || magic[1] == gzip::kOldMagic2)) {
    uint8_t fields[8];
    if (!readFields(fields, 2)) return MemberMethod::Refused;
    const uint8_t method = fields[0];
    const uint8_t flags = fields[1];
    if (method != gzip::kMethodDeflate || (flags & gzip::kFlagsRefused) != 0) {
      g.lastFailure = DecodeFailure::HeaderRefused;
      return MemberMethod::Refused;
    }
    // The modification time, extra flags and operating system.
    if (!readFields(fields, 6)) return MemberMethod::Refused;
    if ((flags & gzip::kFlagExtra) != 0) {
      if (!readFields(fields, 2)) return MemberMethod::Refused;
      const unsigned length = fields[0] | (static_cast<unsigned>(fields[1]) << 8);
      for (unsigned i = 0; i < length; ++i) {
        if (nextInputByte() < 0) return MemberMethod::Refused;
      }
    }
    if ((flags & gzip::kFlagName) != 0 && !skipZeroTerminated()) return MemberMethod::Refused;
    if ((flags & gzip::kFlagComment) != 0 && !skipZeroTerminated()) return MemberMethod::Refused;
    return MemberMethod::Deflated;
  }
  if (magic[0] == 'P' && magic[1] == 'K' && ctx.inputIndex == 2) {
    ctx.inputIndex = 0;
    const MemberMethod method = checkPkEntry(ctx);
    if (method != MemberMethod::Refused) return method;
  }
  g.lastFailure = DecodeFailure::HeaderRefused;
  return MemberMethod::Refused;
}

}  // namespace

const char* describeDecodeFailure(DecodeFailure failure) {
  switch (failure) {
    case DecodeFailure::None: return "no failure";
    case DecodeFailure::InputEnded: return "input ends inside the member";
    case DecodeFailure::HeaderRefused: return "header refused";
    case DecodeFailure::OutOfMemory: return "out of memory";
    case DecodeFailure::FormatViolated: return "invalid compressed data--format violated";
    case DecodeFailure::LengthMismatch: return "invalid compressed data--length mismatch";
    case DecodeFailure::InvalidMethod: return "internal error, invalid method";
    case DecodeFailure::CrcError: return "invalid compressed data--crc error";
    case DecodeFailure::LengthError: return "invalid compressed data--length error";
    case DecodeFailure::WriteError: return "write error";
  }
  return "unknown failure";
}

DecodeFailure lastDecodeFailure() { return decoder().lastFailure; }

void resetMemberState(ReaderContext& ctx, uint32_t budget) {
  ctx.inputIndex = 0;
  ctx.outputCount = 0;
  ctx.bytesIn = 0;
  ctx.bytesOut = 0;
  ctx.compressedBudget = budget;
  ctx.abortFlag = false;
  decoder().inputCount = 0;
}

void resetMemberCrc() { decoder().crcRegister = 0xFFFFFFFFu; }

void addToMemberCrc(const uint8_t* data, uint32_t count) {
  detail::DecoderGlobals& g = decoder();
  if (count != 0) g.crcRegister = crc32Register(g.crcRegister, data, count);
}

uint32_t memberCrc() { return decoder().crcRegister ^ 0xFFFFFFFFu; }

MemberMethod readMemberHeader() {
  ReaderContext& ctx = *currentReader();
  detail::DecoderGlobals& g = decoder();
  g.lastFailure = DecodeFailure::None;
  // A member is judged by its own header only, whatever an earlier member left behind.
  g.pkEntry = false;
  g.pkDescriptor = false;
  ctx.method = readHeader(ctx);
  return ctx.method;
}

bool decodeMember() {
  const bool decoded = decodeBody();
  detail::DecoderGlobals& g = decoder();
  g.pkEntry = false;
  g.pkDescriptor = false;
  if (decoded) g.lastFailure = DecodeFailure::None;
  return decoded;
}

MemberOutcome decodeMemberToFile(ReaderContext& ctx, uint32_t budget, const char* outputPath,
                                 OutputFolders folders) {
  resetMemberState(ctx, budget);
  if (readMemberHeader() == MemberMethod::Refused) return MemberOutcome::HeaderRefused;
  // Folders only for a member the decoder accepts: a damaged entry leaves none behind.
  if (outputPath != nullptr && folders == OutputFolders::Create && !makeParentFolders(outputPath)) {
    return MemberOutcome::OutputNotOpened;
  }
  errno = 0;  // the window flush reports write errors through it
  if (!openOutputFile(ctx, outputPath != nullptr ? outputPath : platform::kNullDevice)) return MemberOutcome::OutputNotOpened;
  if (outputPath == nullptr) ctx.outputName[0] = '\0';  // an abort must not delete the null device
  const bool failed = !decodeMember() || ctx.abortFlag;
  // A close that cannot write the last bytes leaves a short file: the member fails as well.
  const bool closed = closeOutput(ctx);
  if (failed) return MemberOutcome::DecodeFailed;
  if (!closed) return MemberOutcome::OutputIncomplete;
  if (outputPath == nullptr) return MemberOutcome::Decoded;
  // Judged by the file itself as well: it must hold every byte the decoder gave it.
  platform::FileInfo written;
  if (!platform::fileSystem().fileInfo(outputPath, written) || written.size != ctx.bytesOut) {
    return MemberOutcome::OutputIncomplete;
  }
  return MemberOutcome::Decoded;
}

}  // namespace kz
