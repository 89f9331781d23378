// C streams that fail on purpose, for tests of code that must notice a failed write or close.
#pragma once

#include <cstdint>
#include <cstdio>
#include <limits>
#include <vector>

#include "platform/files.h"

namespace kz::test {

struct StreamFault {
  // The one write call that would carry the byte at this offset fails and writes nothing; later
  // calls succeed again, as on a disk that was full for a moment.
  uint64_t failWriteAt = std::numeric_limits<uint64_t>::max();
  // The close fails, after every byte reached the file.
  bool failClose = false;
  // Without buffering every fwrite reaches the file at once, so a failed write is seen by the
  // fwrite that made it rather than only by a later flush or the close.
  bool unbuffered = false;
};

// Wraps a stream open for writing; the returned stream owns it and closes it with itself.
std::FILE* faultyStream(std::FILE* inner, const StreamFault& fault);

// A stream that reads the file of inner but cannot seek or tell its position, as a pipe would;
// with toEndOnly it can seek to its end, and only there. The returned stream owns inner and
// closes it with itself.
std::FILE* unseekableStream(std::FILE* inner, bool toEndOnly = false);

// A file service whose streams opened with mode "wb" are faulty ones.
class FaultyWriteFileSystem : public platform::ForwardingFileSystem {
 public:
  explicit FaultyWriteFileSystem(StreamFault fault, platform::FileSystem& inner = platform::nativeFileSystem())
      : ForwardingFileSystem(inner), fault_(fault) {}
  std::FILE* openFile(const char* path, const char* mode) override;
  int opened = 0;  // streams made faulty

 private:
  StreamFault fault_;
};

// A file service whose streams opened with mode "wb+" (the decoder's output) write nothing and
// record the size of every write that reaches them, unbuffered.
class WriteSizeRecorder : public platform::ForwardingFileSystem {
 public:
  explicit WriteSizeRecorder(platform::FileSystem& inner = platform::nativeFileSystem())
      : ForwardingFileSystem(inner) {}
  std::FILE* openFile(const char* path, const char* mode) override;
  std::vector<size_t> writes;
};

}  // namespace kz::test
