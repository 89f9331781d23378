// Writing a whole KZ6 form from entries whose BODY members are already compressed: the maker's
// side of the format, shared by the host tool and the test fixtures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/form_format.h"

namespace kz {

struct FormWriterEntry {
  std::string path;  // backslash-separated, relative
  uint32_t attributes = 0x20;
  uint32_t time = 0;
  uint32_t uncompressedSize = 0;
  std::vector<uint8_t> member;  // one complete gzip member
  std::string note;
};

// The form: "FORM", its length, "KZ6 ", VERS, then a NAME/BODY pair per entry in the given order.
std::vector<uint8_t> writeForm(uint32_t version, const std::vector<FormWriterEntry>& entries);

// Fills form up to exactly capacity bytes so that readers see no more entries: a trailing chunk
// of ids they skip, or, when 2 bytes are left, two stray zero bytes (readers stop at fewer than 4).
// When 4 or 6 bytes are left, no chunk fits, so the last NAME takes them as zero bytes after its
// note's NUL, which readers pass over. The form length field is updated. False, and form left as
// it was, when form is already larger than capacity, or cannot be filled (odd capacity).
bool padForm(std::vector<uint8_t>& form, uint32_t capacity);

}  // namespace kz
