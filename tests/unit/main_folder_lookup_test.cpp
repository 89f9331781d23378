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

// Which value the lookup gives for what each hive holds (raw data: z() adds the NUL): the
// machine-wide value wins over the per-user one, which is then not even read; one trailing
// backslash goes but a root keeps its own; a value that does not fit the field or has no NUL is
// refused, and data with an early NUL ends there.
TEST_F(MainFolderLookup, ChoosesAndTrimsTheValue) {
  const std::string longest = "C:\\" + std::string(256, 'a');  // 259 characters
  const struct {
    const char* name;
    std::optional<std::string> machine;
    std::optional<std::string> user;
    std::string expected;
    bool userUnread;
  } cases[] = {
      {"only a per-user value: it is used", {}, z("D:\\Decor"), "D:\\Decor", false},
      {"both values: the machine-wide one wins", z("C:\\Kestrome"), z("D:\\Other"), "C:\\Kestrome", true},
      {"one trailing backslash goes", z("C:\\Kestrome\\"), {}, "C:\\Kestrome", false},
      {"a root keeps its backslash", z("C:\\"), {}, "C:\\", false},
      {"an empty machine-wide string is a value", z(""), z("D:\\Other"), "", true},
      {"a machine-wide value with no data is absent", "", z("D:\\Other"), "D:\\Other", false},
      {"neither hive: the folder is empty", {}, {}, "", false},
      {"259 characters fit the field", z(longest), {}, longest, false},
      {"260 characters are refused for the per-user value", z(longest + "b"), z("D:\\Fallback"), "D:\\Fallback", false},
      {"a value without its NUL is refused", "C:\\Kestrome", {}, "", false},
      {"a value without its NUL gives way to the per-user one", "C:\\Kestrome", z("D:\\Fallback"), "D:\\Fallback", false},
      {"data ends at its first NUL", std::string("C:\\K\0junk\0", 10), {}, "C:\\K", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    stub.values.clear();
    stub.reads.clear();
    if (c.machine) stub.values[RegistryRoot::LocalMachine] = *c.machine;
    if (c.user) stub.values[RegistryRoot::CurrentUser] = *c.user;
    EXPECT_EQ(lookUp(), c.expected);
    if (c.userUnread) {
      EXPECT_EQ(stub.reads[RegistryRoot::CurrentUser], 0);
    }
  }
}

}  // namespace
