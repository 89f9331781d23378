# One warning set for every target of the project.
add_library(kz_warnings INTERFACE)
target_compile_options(kz_warnings INTERFACE
  -Wall -Wextra -Wshadow -Wconversion -Wno-sign-conversion -Wformat=2 -Wundef
  $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Wold-style-cast>)
