// gzip and PK fixtures built with zlib, and a driver that decodes one member like the reader does.
#include "support/gzip_fixtures.h"

#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "package/reader_context.h"

namespace kz::test {
namespace {

Bytes deflateWith(const Bytes& data, int level, int strategy, int windowBits) {
  z_stream s{};
  if (deflateInit2(&s, level, Z_DEFLATED, windowBits, 9, strategy) != Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  Bytes out(deflateBound(&s, static_cast<uLong>(data.size())) + 64);
  s.next_in = const_cast<Bytef*>(data.data());
  s.avail_in = static_cast<uInt>(data.size());
  s.next_out = out.data();
  s.avail_out = static_cast<uInt>(out.size());
  const int r = deflate(&s, Z_FINISH);
  const size_t produced = out.size() - s.avail_out;
  deflateEnd(&s);
  if (r != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
  out.resize(produced);
  return out;
}

}  // namespace

Bytes rawDeflate(const Bytes& data, int level, int strategy) { return deflateWith(data, level, strategy, -15); }
Bytes zlibGzip(const Bytes& data, int level, int strategy) { return deflateWith(data, level, strategy, 31); }

uint32_t crcOf(const Bytes& data) {
  return static_cast<uint32_t>(::crc32(0, data.data(), static_cast<uInt>(data.size())));
}

void putLe32(Bytes& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void putLe16(Bytes& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

Bytes gzipHeader(const GzipHeaderOptions& o) {
  Bytes h = {0x1F, o.magic2, o.method, o.flags, 0, 0, 0, 0, 0, o.os};
  if ((o.flags & 0x04) != 0) {
    putLe16(h, static_cast<uint16_t>(o.extra.size()));
    h.insert(h.end(), o.extra.begin(), o.extra.end());
  }
  if ((o.flags & 0x08) != 0) {
    h.insert(h.end(), o.name.begin(), o.name.end());
    h.push_back(0);
  }
  if ((o.flags & 0x10) != 0) {
    h.insert(h.end(), o.comment.begin(), o.comment.end());
    h.push_back(0);
  }
  return h;
}

Bytes gzipTrailer(uint32_t crc, uint32_t length) {
  Bytes t;
  putLe32(t, crc);
  putLe32(t, length);
  return t;
}

Bytes wrapGzip(const Bytes& deflated, const Bytes& original, const GzipHeaderOptions& options) {
  Bytes m = gzipHeader(options);
  m.insert(m.end(), deflated.begin(), deflated.end());
  const Bytes t = gzipTrailer(crcOf(original), static_cast<uint32_t>(original.size()));
  m.insert(m.end(), t.begin(), t.end());
  return m;
}

Bytes pkEntry(const Bytes& data, const PkEntryOptions& o) {
  const Bytes payload = o.method == 8 ? rawDeflate(data, o.level, o.strategy) : data;
  const bool descriptor = (o.flags & 0x08) != 0;
  Bytes e;
  putLe32(e, 0x04034B50);
  putLe16(e, 20);       // version needed
  putLe16(e, o.flags);  // general-purpose flags
  putLe16(e, o.method);
  putLe16(e, 0);        // time
  putLe16(e, 0);        // date
  putLe32(e, descriptor ? 0 : crcOf(data));
  putLe32(e, descriptor && o.method == 8 ? 0 : static_cast<uint32_t>(payload.size()));
  putLe32(e, descriptor && o.method == 8 ? 0 : static_cast<uint32_t>(data.size()));
  putLe16(e, static_cast<uint16_t>(o.name.size()));
  putLe16(e, static_cast<uint16_t>(o.extra.size()));
  e.insert(e.end(), o.name.begin(), o.name.end());
  e.insert(e.end(), o.extra.begin(), o.extra.end());
  e.insert(e.end(), payload.begin(), payload.end());
  if (descriptor) {
    putLe32(e, o.descriptorSignature ? 0x08074B50 : 0);
    putLe32(e, crcOf(data));
    putLe32(e, static_cast<uint32_t>(payload.size()));
    putLe32(e, static_cast<uint32_t>(data.size()));
  }
  return e;
}

Bytes randomBytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(size);
  for (auto& x : b) x = static_cast<uint8_t>(rng());
  return b;
}

Bytes textBytes(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"Kestrome", "design", "window", "the", "of", "update", "folder",
                                       "version", "help", "render", "scene", "material", "light", "and",
                                       "texture", "a", "to", "is", "camera", "object"};
  std::mt19937 rng(seed);
  Bytes b;
  b.reserve(size + 16);
  while (b.size() < size) {
    const char* w = kWords[rng() % 20];
    b.insert(b.end(), w, w + std::char_traits<char>::length(w));
    b.push_back((rng() % 11) == 0 ? '\n' : ' ');
  }
  b.resize(size);
  return b;
}

Bytes runBytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b;
  b.reserve(size);
  while (b.size() < size) {
    const auto value = static_cast<uint8_t>(rng() % 4);
    const size_t run = 1 + rng() % 600;
    b.insert(b.end(), std::min(run, size - b.size()), value);
  }
  return b;
}

Bytes systemBinaryBytes(size_t maxBytes) {
  Bytes all;
  for (const char* dir : {"/usr/bin", "/usr/lib/x86_64-linux-gnu"}) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
      if (all.size() >= maxBytes) return all;
      if (!entry.is_regular_file(ec) || entry.file_size(ec) > 4u << 20) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (b.size() < 4 || b[0] != 0x7F || b[1] != 'E') continue;  // executables and libraries only
      all.insert(all.end(), b.begin(), b.begin() + static_cast<long>(std::min(b.size(), maxBytes - all.size())));
    }
  }
  return all;
}

MemberResult decodeMemberBytes(const Bytes& block, uint32_t budget, const std::string& outputPath) {
  MemberResult result;
  ReaderContext ctx{};
  if (!initReader(ctx)) throw std::runtime_error("initReader failed");
  openMemoryInput(ctx, block.data());
  ctx.input.size = static_cast<uint32_t>(block.size());
  const MemberOutcome outcome = decodeMemberToFile(ctx, budget, outputPath.c_str());
  if (outcome == MemberOutcome::OutputNotOpened) throw std::runtime_error("cannot open " + outputPath);
  result.header = ctx.method;  // what readMemberHeader made of the header
  result.outcome = outcome;
  result.failure = lastDecodeFailure();
  result.abortFlag = ctx.abortFlag;
  result.inputPosition = ctx.input.position;
  closeMemoryInput(ctx);
  destroyReader(ctx);
  std::error_code ec;
  result.outputExists = std::filesystem::exists(outputPath, ec);
  if (result.outputExists) {
    std::ifstream in(outputPath, std::ios::binary);
    result.output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return result;
}

MemberResult decodeMemberBytesWith(InflateEngine engine, const Bytes& block, uint32_t budget,
                                   const std::string& outputPath) {
  setInflateEngineForTesting(engine);
  MemberResult r;
  try {
    r = decodeMemberBytes(block, budget, outputPath);
  } catch (...) {
    setInflateEngineForTesting(nullptr);
    throw;
  }
  setInflateEngineForTesting(nullptr);
  return r;
}

std::string differenceBetween(const MemberResult& a, const MemberResult& b) {
  auto pair = [](auto x, auto y) { return std::to_string(x) + " vs " + std::to_string(y); };
  if (a.header != b.header) return "header method " + pair(int(a.header), int(b.header));
  if (a.outcome != b.outcome) return "outcome " + pair(int(a.outcome), int(b.outcome));
  if (a.failure != b.failure) {
    return std::string("failure ") + describeDecodeFailure(a.failure) + " vs " + describeDecodeFailure(b.failure);
  }
  if (a.inputPosition != b.inputPosition) return "input position " + pair(a.inputPosition, b.inputPosition);
  if (a.outputExists != b.outputExists) return "output exists " + pair(a.outputExists, b.outputExists);
  if (a.output != b.output) return "output bytes (" + pair(a.output.size(), b.output.size()) + " bytes)";
  return "";
}

}  // namespace kz::test
