// The updater's string table: every user-visible text, looked up by resource id.
#pragma once

#include <cstdint>

namespace kz::strings {

enum Id : uint16_t {
#define KZ_STRING(id, name, text) name = id,
#include "app/string_table.def"
#undef KZ_STRING
};

// The text of id, or nullptr when the table has no such id. Defined here, not in a source file,
// so that the install steps can take their log texts without linking the application library.
inline const char* lookup(uint16_t id) {
  switch (id) {
#define KZ_STRING(id, name, text) \
  case id:                        \
    return text;
#include "app/string_table.def"
#undef KZ_STRING
    default:
      return nullptr;
  }
}

}  // namespace kz::strings
