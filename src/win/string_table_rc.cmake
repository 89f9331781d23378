# Writes the resource script's STRINGTABLE from app/string_table.def, so that the texts the
# presenter uses and the texts the executable carries come from one list.
#   cmake -DINPUT=string_table.def -DOUTPUT=string_table.rc -P string_table_rc.cmake
# The C escapes of the list (\r, \n, \t, \\) mean the same in a resource script; only an escaped
# double quote differs: a resource script writes it as two double quotes.
file(STRINGS "${INPUT}" lines)
set(body "")
foreach(line IN LISTS lines)
  if(line MATCHES "^KZ_STRING\\(([0-9]+), *[A-Za-z0-9_]+, *\"(.*)\"\\)$")
    set(id "${CMAKE_MATCH_1}")
    set(text "${CMAKE_MATCH_2}")
    string(REPLACE "\\\"" "\"\"" text "${text}")
    string(APPEND body "  ${id}, \"${text}\"\n")
  elseif(line MATCHES "^KZ_STRING")
    message(FATAL_ERROR "string table line not understood: ${line}")
  endif()
endforeach()
set(content "// Generated from app/string_table.def; edit that list, not this file.\nSTRINGTABLE\nBEGIN\n${body}END\n")
# Rewritten only on change, so the resource script is not recompiled for nothing.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" previous)
else()
  set(previous "")
endif()
if(NOT previous STREQUAL content)
  file(WRITE "${OUTPUT}" "${content}")
endif()
