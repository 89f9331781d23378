// The package area as linked into this very program: one header, full capacity, empty package,
// and a merged copy of the program whose area yields the merged entries.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "app/extract_step.h"
#include "app/update_app.h"
#include "package/merge_package.h"
#include "package/package_area.h"
#include "support/form_fixtures.h"
#include "support/temp_dir.h"

namespace kz {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

const char* const kSelf = "/proc/self/exe";

// This program's file holds exactly one header, and the whole area lies behind it.
TEST(PackageArea, FileHoldsOneHeaderWithTheFullArea) {
  uint32_t offset = 0;
  ASSERT_EQ(findPackageHeader(kSelf, offset), PackageHeaderStatus::Ok);
  const Bytes self = test::readFileBytes(fs::read_symlink(kSelf));
  ASSERT_GE(self.size(), static_cast<size_t>(offset) + kPackageAreaSize);
  // The bytes found in the file are the ones the program reads in memory.
  EXPECT_EQ(std::memcmp(self.data() + offset, packageArea(), kPackageFormOffset), 0);
  PackageHeader header;
  ASSERT_EQ(readPackageHeader(kSelf, offset, header), PackageHeaderStatus::Ok);
  EXPECT_EQ(header.productVersion, 6.11);
  EXPECT_EQ(header.productNumber, 1);
  EXPECT_EQ(header.headerVersion, 1.0);
}

// A freshly built program carries an empty package, and extracting it fails.
TEST(PackageArea, FreshBuildHasNoPackage) {
  EXPECT_EQ(packageSizeOf(packageArea()), 0u);
  test::TempDir dir;
  EXPECT_FALSE(extractPackage(packageArea(), dir.path().string().c_str()));
  EXPECT_TRUE(test::treeOf(dir.path()).empty());
}

// The updater's own step reads this program's area and UpdateApp's work folder, and restores the
// current directory; with the empty package of a fresh build it fails.
TEST(PackageArea, UpdaterStepUsesTheWorkFolder) {
  test::TempDir dir;
  const fs::path before = fs::current_path();
  ASSERT_TRUE(copyPathField(updateApp().workFolder, dir.path().string().c_str()));
  EXPECT_FALSE(extractPackage());
  EXPECT_EQ(fs::current_path(), before);
  ASSERT_TRUE(copyPathField(updateApp().workFolder, (dir.path() / "missing").string().c_str()));
  EXPECT_FALSE(extractPackage());
  EXPECT_EQ(fs::current_path(), before);
  updateApp().workFolder[0] = '\0';
}

// A merged copy of this program keeps the header offset, differs only in the form part, and its
// area extracts the merged entries.
TEST(PackageArea, MergedCopyExtractsTheMergedForm) {
  test::TempDir dir;
  Bytes form = test::FormBuilder()
                   .file({"bin\\tool.exe", test::systemBinaryBytes(300000)})
                   .file({"misc.set\\hlpfiles\\app01\\app01.chm", test::textBytes(100000, 3)})
                   .bytes();
  ASSERT_TRUE(padForm(form, kInternalBufferSize));
  test::writeFileBytes(dir.file("form.kz6"), form);
  const std::string target = dir.file("kaem_update611.exe");
  ASSERT_EQ(mergePackage(kSelf, dir.file("form.kz6").c_str(), target.c_str(), kInternalBufferSize), MergeFailure::None);

  uint32_t before = 0;
  uint32_t after = 0;
  ASSERT_EQ(findPackageHeader(kSelf, before), PackageHeaderStatus::Ok);
  ASSERT_EQ(findPackageHeader(target.c_str(), after), PackageHeaderStatus::Ok);
  EXPECT_EQ(after, before);
  const Bytes self = test::readFileBytes(fs::read_symlink(kSelf));
  const Bytes merged = test::readFileBytes(target);
  ASSERT_EQ(merged.size(), self.size());
  const size_t formStart = before + kPackageFormOffset;
  EXPECT_TRUE(std::equal(self.begin(), self.begin() + before + kPackageSizeOffset, merged.begin()));
  EXPECT_TRUE(std::equal(self.begin() + static_cast<long>(formStart + kInternalBufferSize), self.end(),
                         merged.begin() + static_cast<long>(formStart + kInternalBufferSize)));
  EXPECT_EQ(packageSizeOf(merged.data() + before), kInternalBufferSize);

  fs::create_directory(dir.path() / "work");
  ASSERT_TRUE(extractPackage(merged.data() + before, (dir.path() / "work").string().c_str()));
  EXPECT_EQ(test::treeOf(dir.path() / "work"),
            (std::vector<std::string>{"bin/", "bin/tool.exe", "misc.set/", "misc.set/hlpfiles/",
                                      "misc.set/hlpfiles/app01/", "misc.set/hlpfiles/app01/app01.chm"}));
}

}  // namespace
}  // namespace kz
