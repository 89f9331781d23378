// Writes the extraction fuzzer's seed forms into corpus/extract_fuzz. Not part of the build; run by hand:
//   g++ -std=c++20 -I tests -I src tests/fuzz/seeds/make_extract_seeds.cpp -o /tmp/mkseeds \
//       build/native/tests/libkz_test_support.a build/native/src/libkz_package.a build/native/src/libkz_platform.a -lz
//   /tmp/mkseeds tests/fuzz/corpus/extract_fuzz
#include "support/form_fixtures.h"
#include "support/temp_dir.h"
using namespace kz::test;
int main(int, char** argv) {
  const std::string d = argv[1];
  auto put = [&](const char* n, const Bytes& b) { writeFileBytes(d + "/" + n, b); };
  put("only_vers", FormBuilder().bytes());
  put("two_entries", FormBuilder().file({"a.txt", textOf("alpha")}).file({"bin\\b.dll", textBytes(3000, 1), 0x21}).bytes());
  put("nested", FormBuilder().file({"misc.set\\hlpfiles\\app01\\x.chm", textBytes(500, 2)}).bytes());
  put("unknown_chunk", FormBuilder().chunk(kz::chunkId('X','X','X','X'), textOf("zz")).file({"c", textOf("c")}).bytes());
  put("dotdot", FormBuilder().file({"..\\escape.txt", textOf("no")}).bytes());
  put("absolute", FormBuilder().file({"/tmp/escape.txt", textOf("no")}).bytes());
  put("stray", FormBuilder().file({"s", textOf("s")}).raw({1, 2, 3}).bytes());
  put("version7", FormBuilder(0x00070000).file({"v", textOf("v")}).bytes());
  put("name_no_body", FormBuilder().name(nameData("n.txt")).bytes());
  return 0;
}
