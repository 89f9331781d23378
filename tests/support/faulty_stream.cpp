// Faulty streams on top of real files, through the C library's custom stream hooks.
#include "support/faulty_stream.h"

#include <sys/types.h>

#include <cerrno>
#include <cstring>

namespace kz::test {
namespace {

struct Cookie {
  std::FILE* inner;
  StreamFault fault;
  uint64_t offset = 0;
  bool writeFailed = false;
};

ssize_t writeHook(void* cookie, const char* data, size_t size) {
  auto* c = static_cast<Cookie*>(cookie);
  if (!c->writeFailed && c->fault.failWriteAt >= c->offset && c->fault.failWriteAt < c->offset + size) {
    c->writeFailed = true;
    errno = ENOSPC;
    return 0;  // nothing written: the stream's error indicator is set
  }
  const size_t n = std::fwrite(data, 1, size, c->inner);
  c->offset += n;
  return static_cast<ssize_t>(n);
}

int closeHook(void* cookie) {
  auto* c = static_cast<Cookie*>(cookie);
  const bool innerFailed = std::fclose(c->inner) != 0;
  const bool fail = innerFailed || c->fault.failClose;
  delete c;
  if (fail) {
    errno = EIO;
    return EOF;
  }
  return 0;
}

}  // namespace

std::FILE* faultyStream(std::FILE* inner, const StreamFault& fault) {
  if (inner == nullptr) return nullptr;
  auto* cookie = new Cookie{inner, fault};
  cookie_io_functions_t hooks{};
  hooks.write = &writeHook;
  hooks.close = &closeHook;
  std::FILE* f = fopencookie(cookie, "w", hooks);
  if (f == nullptr) {
    std::fclose(inner);
    delete cookie;
    return nullptr;
  }
  if (fault.unbuffered) std::setvbuf(f, nullptr, _IONBF, 0);
  return f;
}

std::FILE* unseekableStream(std::FILE* inner, bool toEndOnly) {
  if (inner == nullptr) return nullptr;
  cookie_io_functions_t hooks{};
  hooks.read = [](void* f, char* data, size_t size) -> ssize_t {
    return static_cast<ssize_t>(std::fread(data, 1, size, static_cast<std::FILE*>(f)));
  };
  hooks.close = [](void* f) { return std::fclose(static_cast<std::FILE*>(f)); };
  if (toEndOnly) {
    hooks.seek = [](void* f, off64_t* offset, int whence) -> int {
      auto* file = static_cast<std::FILE*>(f);
      if (whence != SEEK_END || std::fseek(file, static_cast<long>(*offset), SEEK_END) != 0) return -1;
      *offset = std::ftell(file);
      return 0;
    };
  }
  std::FILE* f = fopencookie(inner, "r", hooks);  // without a seek hook every seek fails
  if (f == nullptr) std::fclose(inner);
  return f;
}

std::FILE* FaultyWriteFileSystem::openFile(const char* path, const char* mode) {
  std::FILE* f = inner_.openFile(path, mode);
  if (f == nullptr || std::strcmp(mode, "wb") != 0) return f;
  ++opened;
  return faultyStream(f, fault_);
}

std::FILE* WriteSizeRecorder::openFile(const char* path, const char* mode) {
  std::FILE* f = inner_.openFile(path, mode);
  if (f == nullptr || std::strcmp(mode, "wb+") != 0) return f;
  std::fclose(f);  // the file exists, so that its deletion can still be seen
  cookie_io_functions_t hooks{};
  hooks.write = [](void* self, const char*, size_t n) -> ssize_t {
    static_cast<WriteSizeRecorder*>(self)->writes.push_back(n);
    return static_cast<ssize_t>(n);
  };
  hooks.close = [](void*) { return 0; };
  std::FILE* c = fopencookie(this, "w", hooks);
  if (c != nullptr) std::setvbuf(c, nullptr, _IONBF, 0);
  return c;
}

}  // namespace kz::test
