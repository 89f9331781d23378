// The KZ6 form's byte layout: chunk ids, big-endian numbers, NAME data, and the entry path rule.
//
// Everything inside the form is big-endian. Chunk lengths count the pad byte that makes them even,
// and readers advance by exactly the length.
#pragma once

#include <cstdint>
#include <vector>

namespace kz {

constexpr uint32_t chunkId(char a, char b, char c, char d) {
  return (static_cast<uint32_t>(static_cast<uint8_t>(a)) << 24) | (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 8) | static_cast<uint32_t>(static_cast<uint8_t>(d));
}

inline constexpr uint32_t kFormId = chunkId('F', 'O', 'R', 'M');
inline constexpr uint32_t kKz6Type = chunkId('K', 'Z', '6', ' ');
inline constexpr uint32_t kVersId = chunkId('V', 'E', 'R', 'S');
inline constexpr uint32_t kNameId = chunkId('N', 'A', 'M', 'E');
inline constexpr uint32_t kBodyId = chunkId('B', 'O', 'D', 'Y');
// The chunk that fills a form up to its capacity; readers skip it like any unknown chunk.
inline constexpr uint32_t kPadId = chunkId('P', 'A', 'D', ' ');

inline constexpr uint32_t kFormVersion611 = 0x0006000Bu;
inline constexpr uint32_t kMaxFormMajor = 6;

// The fixed fields of NAME data, before the path.
inline constexpr uint32_t kNameFixedSize = 16;
// PackageEntry's text fields: a path of at most 299 characters and a note of at most 79.
inline constexpr uint32_t kEntryPathSize = 300;
inline constexpr uint32_t kEntryNoteSize = 80;

// The attribute bits that extraction applies: read-only, hidden, system, archive.
inline constexpr uint32_t kAppliedAttributes = 0x27;

inline uint32_t loadBigEndian32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

inline uint16_t loadBigEndian16(const uint8_t* p) {
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

void appendBigEndian32(std::vector<uint8_t>& out, uint32_t value);
// Appends a chunk head and data, with a zero pad byte counted in the length when data is odd.
void appendChunk(std::vector<uint8_t>& out, uint32_t id, const uint8_t* data, uint32_t size);

// NAME data for one entry: attributes, time, stored and uncompressed size, path, note, pad.
std::vector<uint8_t> encodeNameData(uint32_t attributes, uint32_t time, uint32_t storedSize,
                                    uint32_t uncompressedSize, const char* path, const char* note);

// Whether an entry path stays inside the folder it is extracted into: relative, with non-empty
// components separated by '\' or '/', none of them "." or "..", none ending in '.' or ' ' (Windows
// drops those, so ".. " would become ".."), no ':' (drive letters, alternate data streams), no
// control characters, and no device name such as CON, NUL, CONIN$, COM1 or LPT\xB9 (a superscript
// one) as a component, with or without an extension.
bool isSafeEntryPath(const char* path);

}  // namespace kz
