// The string table, built from the same list as the resource script's STRINGTABLE.
#include "app/string_table.h"

namespace kz::strings {

const char* lookup(uint16_t id) {
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
