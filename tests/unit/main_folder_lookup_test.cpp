// The main folder's registry lookup: which hive wins, the backslash rule, and values that do not fit.
#include "app/main_folder_lookup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <optional>
#include <string>

#include "platform/registry.h"

namespace {

using kz::platform::RegistryRoot;

// Hands out raw value bytes per hive, as RegQueryValueExA would, and counts the reads of each hive.
class StubRegistry final : public kz::platform::Registry {
 public:
  std::map<RegistryRoot, std::string> values;  // raw data, NUL included when the value has one
  std::map<RegistryRoot, int> reads;

  uint32_t readString(RegistryRoot root, const char* keyPath, const char* valueName, char* buffer,
                      uint32_t& size) override {
    ++reads[root];
    EXPECT_STREQ(keyPath, "Software\\RVN\\Kestrome\\6.00\\General");
    EXPECT_STREQ(valueName, "Main Folder Path");
    auto found = values.find(root);
    if (found == values.end()) {
      size = 0;
      return 2;
    }
    const std::string& data = found->second;
    if (buffer == nullptr) {
      size = static_cast<uint32_t>(data.size());
      return 0;
    }
    if (size < data.size()) {
      size = static_cast<uint32_t>(data.size());
      return 234;
    }
    std::memcpy(buffer, data.data(), data.size());
    size = static_cast<uint32_t>(data.size());
    return 0;
  }
  uint32_t setString(RegistryRoot, const char*, const char*, const char*) override { return 5; }
  uint32_t deleteValue(RegistryRoot, const char*, const char*) override { return 5; }
};

std::string z(const std::string& text) { return text + std::string(1, '\0'); }

class MainFolderLookup : public ::testing::Test {
 protected:
  std::string lookUp() {
    kz::platform::ScopedRegistry scoped(stub);
    char folder[kz::platform::kMaxPath];
    std::memset(folder, 'x', sizeof(folder));
    kz::lookUpMainFolder(folder);
    EXPECT_NE(std::memchr(folder, '\0', sizeof(folder)), nullptr);
    return folder;
  }
  StubRegistry stub;
};

// Only a per-user value: it is used.
TEST_F(MainFolderLookup, UsesThePerUserValueWhenTheMachineHasNone) {
  stub.values[RegistryRoot::CurrentUser] = z("D:\\Decor");
  EXPECT_EQ(lookUp(), "D:\\Decor");
}

// Both values: the machine-wide one wins and the per-user one is not even read.
TEST_F(MainFolderLookup, MachineWideValueWinsOverPerUser) {
  stub.values[RegistryRoot::LocalMachine] = z("C:\\Kestrome");
  stub.values[RegistryRoot::CurrentUser] = z("D:\\Other");
  EXPECT_EQ(lookUp(), "C:\\Kestrome");
  EXPECT_EQ(stub.reads[RegistryRoot::CurrentUser], 0);
}

// One trailing backslash goes; a root keeps its backslash.
TEST_F(MainFolderLookup, RemovesOneTrailingBackslashButNotARoots) {
  stub.values[RegistryRoot::LocalMachine] = z("C:\\Kestrome\\");
  EXPECT_EQ(lookUp(), "C:\\Kestrome");
  stub.values[RegistryRoot::LocalMachine] = z("C:\\");
  EXPECT_EQ(lookUp(), "C:\\");
}

// An empty machine-wide string is a value: the folder stays empty and the per-user value is unread;
// a machine-wide value with no data at all counts as absent.
TEST_F(MainFolderLookup, EmptyMachineStringWinsButZeroSizeIsAbsent) {
  stub.values[RegistryRoot::LocalMachine] = z("");
  stub.values[RegistryRoot::CurrentUser] = z("D:\\Other");
  EXPECT_EQ(lookUp(), "");
  EXPECT_EQ(stub.reads[RegistryRoot::CurrentUser], 0);
  stub.values[RegistryRoot::LocalMachine] = "";
  EXPECT_EQ(lookUp(), "D:\\Other");
}

// Neither hive: the folder is empty.
TEST_F(MainFolderLookup, LeavesTheFolderEmptyWithoutAnyValue) { EXPECT_EQ(lookUp(), ""); }

// A value of 259 characters fits; one of 260 would overflow the field, so it is refused and the
// per-user value is used instead.
TEST_F(MainFolderLookup, RefusesAValueTooLongForTheField) {
  const std::string longest = "C:\\" + std::string(256, 'a');
  stub.values[RegistryRoot::LocalMachine] = z(longest);
  EXPECT_EQ(lookUp(), longest);
  stub.values[RegistryRoot::LocalMachine] = z(longest + "b");
  stub.values[RegistryRoot::CurrentUser] = z("D:\\Fallback");
  EXPECT_EQ(lookUp(), "D:\\Fallback");
}

// A value stored without its NUL has no known end; it is refused rather than read past.
TEST_F(MainFolderLookup, RefusesAValueWithoutItsNul) {
  stub.values[RegistryRoot::LocalMachine] = "C:\\Kestrome";
  EXPECT_EQ(lookUp(), "");
  stub.values[RegistryRoot::CurrentUser] = z("D:\\Fallback");
  EXPECT_EQ(lookUp(), "D:\\Fallback");
}

// Data with an early NUL ends at it: the text is what precedes the first NUL.
TEST_F(MainFolderLookup, StopsAtTheFirstNul) {
  stub.values[RegistryRoot::LocalMachine] = std::string("C:\\K\0junk\0", 10);
  EXPECT_EQ(lookUp(), "C:\\K");
}

}  // namespace
