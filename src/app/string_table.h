// The updater's string table: every user-visible text, looked up by resource id.
#pragma once

#include <cstdint>

namespace kz::strings {

enum Id : uint16_t {
#define KZ_STRING(id, name, text) name = id,
#include "app/string_table.def"
#undef KZ_STRING
};

// The text of id, or nullptr when the table has no such id.
const char* lookup(uint16_t id);

}  // namespace kz::strings
