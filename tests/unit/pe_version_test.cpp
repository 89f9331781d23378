// The portable PE version reader: product versions of well-formed files, refusal of broken ones.
#include "platform/pe_version.h"

#include <gtest/gtest.h>

#include "install/tracked_files.h"
#include "platform/file_version.h"
#include "support/pe_fixtures.h"
#include "support/temp_dir.h"

namespace {

using kz::makeVersion;
using kz::platform::FixedVersionInfo;
using kz::platform::PeVersionStatus;
using kz::platform::readPeVersion;
using kz::test::buildPeFile;
using kz::test::PeOptions;
using kz::test::put32;

PeVersionStatus read(const std::vector<uint8_t>& bytes, FixedVersionInfo& info) {
  return readPeVersion(bytes.data(), bytes.size(), info);
}

// The product and file versions of 32-bit and 64-bit images come back exactly.
TEST(PeVersion, ReadsProductVersionOfBothImageKinds) {
  for (const bool plus : {false, true}) {
    PeOptions options;
    options.productVersion = makeVersion(6, 11, 0, 111);
    options.fileVersion = makeVersion(6, 11, 3, 4);
    options.pe32Plus = plus;
    FixedVersionInfo info;
    ASSERT_EQ(read(buildPeFile(options).bytes, info), PeVersionStatus::Found) << plus;
    EXPECT_EQ(info.productVersion(), makeVersion(6, 11, 0, 111));
    EXPECT_EQ(info.fileVersionMS, 0x0006000Bu);
    EXPECT_EQ(info.fileVersionLS, 0x00030004u);
  }
}

// A PE file without resources, and bytes that are no PE file, are told apart.
TEST(PeVersion, TellsMissingResourcesFromNonPeFiles) {
  FixedVersionInfo info;
  EXPECT_EQ(read(buildPeFile(PeOptions{}).bytes, info), PeVersionStatus::NoResources);
  EXPECT_EQ(read({'M', 'Z'}, info), PeVersionStatus::NotPe);
  EXPECT_EQ(read(std::vector<uint8_t>(4096, 0), info), PeVersionStatus::NotPe);
  EXPECT_EQ(readPeVersion(nullptr, 0, info), PeVersionStatus::NotPe);
}

// A wrong signature in VS_FIXEDFILEINFO is refused rather than read as a version.
TEST(PeVersion, RefusesWrongFixedInfoSignature) {
  PeOptions options;
  options.productVersion = makeVersion(1, 2, 3, 4);
  kz::test::PeFile pe = buildPeFile(options);
  put32(pe.bytes, pe.fixedInfoOffset, 0xFEEF04BC);
  FixedVersionInfo info;
  EXPECT_EQ(read(pe.bytes, info), PeVersionStatus::Malformed);
  EXPECT_EQ(info.productVersion(), 0u);
}

// A resource directory without RT_VERSION has no version.
TEST(PeVersion, ResourcesWithoutVersionTypeHaveNone) {
  PeOptions options;
  options.productVersion = makeVersion(1, 2, 3, 4);
  kz::test::PeFile pe = buildPeFile(options);
  put32(pe.bytes, pe.resourceOffset + 16, 3);  // the root's only entry becomes RT_ICON
  FixedVersionInfo info;
  EXPECT_EQ(read(pe.bytes, info), PeVersionStatus::NoVersion);
}

// Every truncation of a valid file is refused without reading past its end (ASan watches).
TEST(PeVersion, EveryTruncationIsRefused) {
  PeOptions options;
  options.productVersion = makeVersion(6, 9, 0, 111);
  const std::vector<uint8_t> whole = buildPeFile(options).bytes;
  for (size_t size = 0; size < 0x200 + 0x58 + 92; ++size) {
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(size));
    FixedVersionInfo info;
    EXPECT_NE(read(cut, info), PeVersionStatus::Found) << size;
  }
}

// Offsets that point far outside the file (directory entries, data entry, section) are refused.
TEST(PeVersion, OutOfRangeOffsetsAreRefused) {
  PeOptions options;
  options.productVersion = makeVersion(6, 9, 0, 111);
  const kz::test::PeFile pe = buildPeFile(options);
  const size_t res = pe.resourceOffset;
  for (const size_t field : {res + 20, res + 0x18 + 20, res + 0x30 + 20, res + 0x48, res + 0x48 + 4}) {
    std::vector<uint8_t> bad = pe.bytes;
    put32(bad, field, 0xFFFFFFF0u);
    FixedVersionInfo info;
    EXPECT_NE(read(bad, info), PeVersionStatus::Found) << field;
  }
}

// The file-reading front end reads through the file service and gives 0 without a version.
TEST(PeVersion, PortableProductVersionReadsFiles) {
  kz::test::TempDir dir;
  PeOptions options;
  options.productVersion = makeVersion(6, 5, 3, 111);
  kz::test::writeFileBytes(dir.file("a.dll"), buildPeFile(options).bytes);
  kz::test::writeFileBytes(dir.file("b.dll"), buildPeFile(PeOptions{}).bytes);
  EXPECT_EQ(kz::platform::portableProductVersion(dir.file("a.dll").c_str()), makeVersion(6, 5, 3, 111));
  EXPECT_EQ(kz::platform::fileVersions().productVersion(dir.file("a.dll").c_str()), makeVersion(6, 5, 3, 111));
  EXPECT_EQ(kz::platform::portableProductVersion(dir.file("b.dll").c_str()), 0u);
  EXPECT_EQ(kz::platform::portableProductVersion(dir.file("none.dll").c_str()), 0u);
}

}  // namespace
