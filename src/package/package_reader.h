// The package reader: chunk heads, entry descriptions and entry data of a KZ6 form, read through
// a ReaderContext whose input is the form in memory.
//
// Each operation returns a success flag. The input position afterwards is stated per operation;
// on failure it is wherever the failed read left it.
#pragma once

#include <cstdint>

#include "package/form_format.h"
#include "package/gzip_member.h"
#include "package/reader_context.h"

namespace kz {

// One NAME chunk in host order.
struct PackageEntry {
  uint16_t attributeHigh = 0;
  uint16_t attributes = 0;
  uint32_t time = 0;
  uint32_t storedSize = 0;
  uint32_t uncompressedSize = 0;
  char path[kEntryPathSize] = {};
  char note[kEntryNoteSize] = {};
};

// Checks "FORM", skips the form length, checks the form type, checks "VERS", skips its length and
// reads the version (major in the high 16 bits). version is 0xFFFFFFFF until it has been read.
bool readFormHead(ReaderContext& ctx, uint32_t expectedType, uint32_t& version);

// Reads the length and data of a NAME chunk whose id has been read. Refused, with entry left as it
// was and nothing read past the chunk: data shorter than 16 bytes or longer than the input left,
// a path or note without its NUL inside the data, a path over 299 or a note over 79 characters,
// and a path that isSafeEntryPath refuses.
bool readEntryName(ReaderContext& ctx, PackageEntry& entry);

// What extractEntry made of an entry.
enum class EntryOutcome : uint8_t {
  Written,     // the file holds the entry, with its time and attributes
  Damaged,     // no whole BODY chunk comes next, or the decoder refused its gzip member
  NoMemory,    // the decoder's buffers could not be allocated
  NotWritten,  // the entry's folders, file, time or attributes could not be written
};

// Reads the BODY chunk that must come next and decodes its gzip member into outputPath, then sets
// the file's time and then its attributes (entry.attributes & 0x27, when any is set). When
// Written, the input is at the end of the BODY chunk, however many bytes the decoder consumed.
// Otherwise the caller deletes outputPath (the decoder has already done so when it aborted).
// folders says whether the file's folders are still to be made (MustExist: they stand already).
EntryOutcome extractEntry(ReaderContext& ctx, const PackageEntry& entry, const char* outputPath,
                          OutputFolders folders = OutputFolders::Create);

// Reads a chunk length (its id has been read) and moves the input past its data.
bool skipChunk(ReaderContext& ctx);

// Reads a 4-byte big-endian number; false when fewer than 4 bytes arrive.
bool readBigEndian32(ReaderContext& ctx, uint32_t& value);

}  // namespace kz
