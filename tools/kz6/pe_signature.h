// The Authenticode signature of a PE file: the certificate table that data directory 4 names by
// file offset and size, and a copy of the file without it, ready to be signed again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kz::tool {

struct PeLayout {
  bool isPe = false;
  uint64_t checksumOffset = 0;        // the optional header's CheckSum field
  uint64_t securityEntryOffset = 0;   // data directory 4; 0 when the directories stop before it
  uint32_t certificateOffset = 0;     // file offset of the certificate table; 0 when unsigned
  uint32_t certificateSize = 0;
  bool signedFile() const { return certificateOffset != 0 && certificateSize != 0; }
};

// Reads the headers of a file's bytes. Not a PE file: isPe false, and nothing else is set. False,
// with the reason, when the file is a PE file whose certificate table entry points outside it.
bool readPeLayout(const std::vector<uint8_t>& file, PeLayout& layout, std::string& error);

// The PE image checksum of file: its 16-bit little-endian words summed with end-around carry, the
// CheckSum field itself taken as zero, plus the file's length.
uint32_t peChecksum(const std::vector<uint8_t>& file, uint64_t checksumOffset);

// The bytes of file up to its certificate table, with data directory 4 cleared, and the CheckSum
// recomputed when it was set (a zero CheckSum, which linkers write unless asked, stays zero).
// False with the reason when the table is not the last thing in the file: cutting there would lose
// what follows.
bool withoutCertificateTable(const std::vector<uint8_t>& file, const PeLayout& layout, std::vector<uint8_t>& out,
                             std::string& error);

// Little-endian field access for the tool's PE work.
uint32_t loadLittle32(const uint8_t* p);
void storeLittle32(uint8_t* p, uint32_t value);

}  // namespace kz::tool
