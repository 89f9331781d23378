# Helpers that register unit tests and fuzz targets the same way everywhere.

# kz_add_unit_test(<name> SOURCES ... LIBS ...): one GoogleTest binary, registered with ctest.
function(kz_add_unit_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} kz_test_support GTest::gtest GTest::gtest_main kz_warnings)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS unit)
endfunction()

# kz_add_fuzzer(<name> SOURCE <file> LIBS ...): a libFuzzer target under KZ_FUZZ; otherwise a
# replayer (our own main) that runs every input of the committed seed corpus, registered with ctest.
function(kz_add_fuzzer name)
  cmake_parse_arguments(ARG "" "SOURCE" "LIBS" ${ARGN})
  set(corpus ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name})
  add_executable(${name} ${ARG_SOURCE})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} kz_warnings)
  if(KZ_FUZZ)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/fuzz/replay_main.cpp)
    add_test(NAME fuzz_replay.${name} COMMAND ${name} ${corpus})
    set_tests_properties(fuzz_replay.${name} PROPERTIES LABELS fuzz)
  endif()
endfunction()

# kz_link_package_area(<target>): the executable carries the package area. Each link is followed
# by a check of the file itself: exactly one header marker, the whole area behind it, size 0.
function(kz_link_package_area target)
  target_link_libraries(${target} PRIVATE kz_package_area)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:${target}> -DAREA_SIZE=7698240
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckPackageArea.cmake
    VERBATIM)
endfunction()
