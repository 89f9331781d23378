// The file-backed registry store: the helpers' return conventions, both hives, atomic rewrites.
#include "platform/posix/file_registry.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace {

using kz::platform::FileRegistry;
using kz::platform::RegistryRoot;
constexpr const char* kKey = "Software\\RVN\\Kestrome\\6.00\\General";

struct RegistryTest : ::testing::Test {
  kz::test::TempDir dir;
  FileRegistry registry{dir.file("registry.txt")};
};

// A value set as a string reads back with its terminating NUL counted in its size.
TEST_F(RegistryTest, SetValueReadsBackWithItsNul) {
  ASSERT_EQ(registry.setString(RegistryRoot::LocalMachine, kKey, "Main Folder Path", "D:\\Decor"), 0u);
  uint32_t size = 0;
  EXPECT_EQ(registry.readString(RegistryRoot::LocalMachine, kKey, "Main Folder Path", nullptr, size), 0u);
  EXPECT_EQ(size, 9u);
  char buffer[260] = {};
  size = sizeof buffer;
  EXPECT_EQ(registry.readString(RegistryRoot::LocalMachine, kKey, "main folder PATH", buffer, size), 0u);
  EXPECT_STREQ(buffer, "D:\\Decor");
  EXPECT_EQ(size, 9u);
}

// The two hives are separate: a value of one is not seen in the other.
TEST_F(RegistryTest, HivesAreSeparate) {
  ASSERT_EQ(registry.setString(RegistryRoot::CurrentUser, kKey, "Main Folder Path", "C:\\U"), 0u);
  uint32_t size = 99;
  EXPECT_EQ(registry.readString(RegistryRoot::LocalMachine, kKey, "Main Folder Path", nullptr, size), 2u);
  EXPECT_EQ(size, 0u);
}

// A missing key, a missing value and a small buffer give the Win32 codes and sizes.
TEST_F(RegistryTest, ReadReportsMissingKeyMissingValueAndShortBuffer) {
  uint32_t size = 50;
  EXPECT_EQ(registry.readString(RegistryRoot::LocalMachine, kKey, "x", nullptr, size), 2u);
  EXPECT_EQ(size, 0u);
  ASSERT_EQ(registry.setString(RegistryRoot::LocalMachine, kKey, "a", "0123456789"), 0u);
  size = 50;
  EXPECT_EQ(registry.readString(RegistryRoot::LocalMachine, kKey, "b", nullptr, size), 2u);
  EXPECT_EQ(size, 0u);
  char small[4];
  size = sizeof small;
  EXPECT_EQ(registry.readString(RegistryRoot::LocalMachine, kKey, "a", small, size), 234u);
  EXPECT_EQ(size, 11u);
  // The parent of a created key exists too.
  size = 50;
  EXPECT_EQ(registry.readString(RegistryRoot::LocalMachine, "Software\\RVN", "a", nullptr, size), 2u);
}

// Deleting: an empty key path is a bad key, a missing key or value is "not found", and a deleted
// value is gone while the others stay.
TEST_F(RegistryTest, DeleteFollowsTheHelperConventions) {
  EXPECT_EQ(registry.deleteValue(RegistryRoot::CurrentUser, "", "v"), 1010u);
  EXPECT_EQ(registry.deleteValue(RegistryRoot::CurrentUser, nullptr, "v"), 1010u);
  EXPECT_EQ(registry.deleteValue(RegistryRoot::CurrentUser, kKey, "v"), 2u);
  ASSERT_EQ(registry.setString(RegistryRoot::CurrentUser, kKey, "v", "1"), 0u);
  ASSERT_EQ(registry.setString(RegistryRoot::CurrentUser, kKey, "w", "2"), 0u);
  EXPECT_EQ(registry.deleteValue(RegistryRoot::CurrentUser, kKey, "missing"), 2u);
  EXPECT_EQ(registry.deleteValue(RegistryRoot::CurrentUser, kKey, "V"), 0u);
  uint32_t size = 0;
  EXPECT_EQ(registry.readString(RegistryRoot::CurrentUser, kKey, "v", nullptr, size), 2u);
  EXPECT_EQ(registry.readString(RegistryRoot::CurrentUser, kKey, "w", nullptr, size), 0u);
}

// Texts with tabs, line breaks and percent signs survive the store's text form, and a second
// store object on the same file sees them: every operation reads the file afresh.
TEST_F(RegistryTest, StoreKeepsAnyTextAcrossInstances) {
  const char* odd = "a\tb\r\nc%41 d\\e";
  ASSERT_EQ(registry.setString(RegistryRoot::LocalMachine, "K\\With\tTab", "n%1", odd), 0u);
  FileRegistry other(registry.storePath());
  char buffer[64] = {};
  uint32_t size = sizeof buffer;
  ASSERT_EQ(other.readString(RegistryRoot::LocalMachine, "k\\with\ttab", "N%1", buffer, size), 0u);
  EXPECT_STREQ(buffer, odd);
}

// The store is replaced by a rename: no temporary file is left, and a store that cannot be written
// reports a failure without touching the old contents.
TEST_F(RegistryTest, RewriteIsAtomicAndFailureKeepsTheOldStore) {
  ASSERT_EQ(registry.setString(RegistryRoot::LocalMachine, kKey, "a", "1"), 0u);
  size_t files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1u);

  FileRegistry unwritable(dir.file("no-such-folder/registry.txt"));
  EXPECT_NE(unwritable.setString(RegistryRoot::LocalMachine, kKey, "a", "2"), 0u);
  char buffer[8] = {};
  uint32_t size = sizeof buffer;
  ASSERT_EQ(registry.readString(RegistryRoot::LocalMachine, kKey, "a", buffer, size), 0u);
  EXPECT_STREQ(buffer, "1");
}

}  // namespace
