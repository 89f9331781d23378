// Decoding throughput of our gzip member decoder against zlib's inflate, over the same members of
// realistic content (executables, libraries and text), each writing 32 KiB-chunked output to the
// same kind of stream.
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "package/gzip_member.h"
#include "package/reader_context.h"
#include "ratio_reporter.h"
#include "support/gzip_fixtures.h"

namespace {

using kz::test::Bytes;

struct Corpus {
  std::vector<Bytes> members;
  size_t uncompressed = 0;
};

// About 16 MB: system binaries cut into file-sized pieces, plus generated text.
const Corpus& corpus() {
  static const Corpus c = [] {
    Corpus k;
    const Bytes binaries = kz::test::systemBinaryBytes(12u << 20);
    const Bytes text = kz::test::textBytes(4u << 20, 11);
    auto add = [&k](const Bytes& all, size_t piece) {
      for (size_t at = 0; at < all.size(); at += piece) {
        const Bytes part(all.begin() + static_cast<long>(at),
                         all.begin() + static_cast<long>(std::min(all.size(), at + piece)));
        k.members.push_back(kz::test::zlibGzip(part, 9, Z_DEFAULT_STRATEGY));
        k.uncompressed += part.size();
      }
    };
    add(binaries, 1536 * 1024);
    add(text, 512 * 1024);
    return k;
  }();
  return c;
}

void BM_OursDecode(benchmark::State& state) {
  const Corpus& c = corpus();
  kz::ReaderContext ctx{};
  for (auto _ : state) {
    for (const Bytes& m : c.members) {
      if (!kz::initReader(ctx)) throw std::runtime_error("no memory");
      kz::openMemoryInput(ctx, m.data());
      ctx.input.size = static_cast<uint32_t>(m.size());
      if (kz::decodeMemberToFile(ctx, static_cast<uint32_t>(m.size()), nullptr) != kz::MemberOutcome::Decoded) {
        throw std::runtime_error("decode failed");
      }
    }
  }
  kz::destroyReader(ctx);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.uncompressed));
}

void BM_ZlibInflate(benchmark::State& state) {
  const Corpus& c = corpus();
  std::vector<uint8_t> window(32768);
  for (auto _ : state) {
    for (const Bytes& m : c.members) {
      std::FILE* out = std::fopen("/dev/null", "wb+");
      z_stream s{};
      inflateInit2(&s, 31);
      s.next_in = const_cast<Bytef*>(m.data());
      s.avail_in = static_cast<uInt>(m.size());
      int r = Z_OK;
      while (r == Z_OK) {
        s.next_out = window.data();
        s.avail_out = static_cast<uInt>(window.size());
        r = inflate(&s, Z_NO_FLUSH);
        std::fwrite(window.data(), 1, window.size() - s.avail_out, out);
      }
      inflateEnd(&s);
      std::fclose(out);
      if (r != Z_STREAM_END) throw std::runtime_error("zlib failed");
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.uncompressed));
}

// The fastest peer: libdeflate decodes a whole member into memory, then the same 32 KiB writes.
void BM_LibdeflateDecode(benchmark::State& state) {
  const Corpus& c = corpus();
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  std::vector<uint8_t> out(4u << 20);
  for (auto _ : state) {
    for (const Bytes& m : c.members) {
      std::FILE* f = std::fopen("/dev/null", "wb+");
      size_t produced = 0;
      if (libdeflate_gzip_decompress(d, m.data(), m.size(), out.data(), out.size(), &produced) != LIBDEFLATE_SUCCESS) {
        throw std::runtime_error("libdeflate failed");
      }
      for (size_t at = 0; at < produced; at += 32768) std::fwrite(out.data() + at, 1, std::min<size_t>(32768, produced - at), f);
      std::fclose(f);
    }
  }
  libdeflate_free_decompressor(d);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.uncompressed));
}

BENCHMARK(BM_OursDecode)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ZlibInflate)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LibdeflateDecode)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  std::printf("corpus: %zu members, %zu bytes uncompressed\n", corpus().members.size(), corpus().uncompressed);
  return kz::bench::runWithRatios(argc, argv,
                                  {{"gzip decode ours/zlib", "BM_OursDecode", "BM_ZlibInflate", true, 2.4},
                                   {"gzip decode ours/libdeflate", "BM_OursDecode", "BM_LibdeflateDecode", true, 0.9}});
}
