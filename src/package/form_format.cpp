// Writing KZ6 chunks and NAME data, and the rule that keeps entry paths inside their folder.
#include "package/form_format.h"

#include <cctype>
#include <cstring>

#include "platform/path_service.h"

namespace kz {

void appendBigEndian32(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value >> 24));
  out.push_back(static_cast<uint8_t>(value >> 16));
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

void appendChunk(std::vector<uint8_t>& out, uint32_t id, const uint8_t* data, uint32_t size) {
  const uint32_t padded = size + (size & 1u);
  appendBigEndian32(out, id);
  appendBigEndian32(out, padded);
  if (size != 0) out.insert(out.end(), data, data + size);
  if (padded != size) out.push_back(0);
}

std::vector<uint8_t> encodeNameData(uint32_t attributes, uint32_t time, uint32_t storedSize,
                                    uint32_t uncompressedSize, const char* path, const char* note) {
  std::vector<uint8_t> data;
  appendBigEndian32(data, attributes);
  appendBigEndian32(data, time);
  appendBigEndian32(data, storedSize);
  appendBigEndian32(data, uncompressedSize);
  data.insert(data.end(), path, path + std::strlen(path) + 1);
  data.insert(data.end(), note, note + std::strlen(note) + 1);
  if (data.size() & 1u) data.push_back(0);
  return data;
}

namespace {

// Names Windows opens as devices wherever they stand in a path, with any extension and in any
// letter case. The digits of COM and LPT include the superscripts 1, 2 and 3 of code page 1252
// (bytes B9, B2, B3), which Windows counts as digits there too.
bool isDeviceName(const char* component, size_t length) {
  // The base name before the first '.' decides: "con.txt" is the console too. Spaces at its end
  // are dropped by Windows before the name is looked up ("nul .txt").
  size_t base = 0;
  while (base < length && component[base] != '.') ++base;
  while (base > 0 && component[base - 1] == ' ') --base;
  char upper[8] = {};
  if (base < 3 || base > 7) return false;
  for (size_t i = 0; i < base; ++i) upper[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(component[i])));
  for (const char* name : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (std::strlen(name) == base && std::memcmp(upper, name, base) == 0) return true;
  }
  if (base != 4 || (std::memcmp(upper, "COM", 3) != 0 && std::memcmp(upper, "LPT", 3) != 0)) return false;
  const auto digit = static_cast<unsigned char>(upper[3]);
  return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

bool isSafeComponent(const char* component, size_t length) {
  if (length == 0) return false;
  const char last = component[length - 1];
  if (last == '.' || last == ' ') return false;  // also ".", ".." and "..."
  return !isDeviceName(component, length);
}

}  // namespace

bool isSafeEntryPath(const char* path) {
  if (path == nullptr || *path == '\0') return false;
  // Components are read as characters of the system code page, where the second byte of a
  // double-byte character may have the value of a backslash; no such byte is below 0x40, so the
  // byte test for drive colons and control characters holds either way.
  const char* start = path;
  for (;;) {
    const char* end = platform::componentEnd(start);
    for (const char* p = start; p != end; ++p) {
      const auto c = static_cast<unsigned char>(*p);
      if (c == ':' || c < 0x20) return false;
    }
    if (!isSafeComponent(start, static_cast<size_t>(end - start))) return false;
    if (*end == '\0') return true;
    start = end + 1;  // past the separator, a one-byte character
  }
}

}  // namespace kz
