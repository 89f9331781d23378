// Signed updaters: kz6 merge refuses one unless told to leave the signature out, the stripped copy
// signs again and verifies with osslsigncode, and every reading command finds the package of a
// signed updater even when the signature's bytes hold the header marker.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

#include "install/tracked_files.h"
#include "package/form_writer.h"
#include "package/merge_package.h"
#include "package/package_area.h"
#include "package/package_header.h"
#include "support/form_fixtures.h"
#include "support/header_fixtures.h"
#include "support/pe_fixtures.h"
#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace kz {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::readFileBytes;
using test::writeFileBytes;

constexpr uint32_t kPeOffsetField = 0x3C;

// Offsets in a PE32 file of the CheckSum field and of data directory 4.
size_t checksumField(const Bytes& pe) { return test::get32(pe, kPeOffsetField) + 24 + 64; }
size_t securityEntry(const Bytes& pe) { return test::get32(pe, kPeOffsetField) + 24 + 96 + 4 * 8; }

bool haveOsslsigncode() { return std::system("command -v osslsigncode >/dev/null 2>&1") == 0; }

class Kz6Signature : public ::testing::Test {
 protected:
  void SetUp() override {
    // An updater as a PE file: a version resource and, in its data, the header and an empty area.
    test::PeOptions options;
    options.productVersion = makeVersion(6, 11, 0, 111);
    test::placeHeader(options.payload, 0, test::sampleHeader());
    options.payload.resize(kPackageAreaSize, 0);
    const test::PeFile pe = test::buildPeFile(options);
    headerOffset = pe.payloadOffset;
    writeFileBytes(dir.path() / "updater.exe", pe.bytes);

    test::FormBuilder builder;
    builder.file(test::FormFile("bin\\app01.exe", test::textBytes(30000, 1)));
    builder.file(test::FormFile("misc.set\\hlpfiles\\app01\\app01_help.chm", test::textBytes(9000, 2)));
    Bytes form = builder.bytes();
    ASSERT_TRUE(padForm(form, kInternalBufferSize));
    writeFileBytes(dir.path() / "update.kz6", form);
  }

  test::ToolRun run(const std::string& commandLine) { return test::runTool(dir, commandLine); }
  test::ToolRun kz6(const std::string& args) { return test::runKz6(dir, args); }
  std::string q(const std::string& name) { return test::shellQuoted(dir.file(name)); }

  void makeCertificate() {
    ASSERT_EQ(run("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=Kestrome test signer' "
                  "-addext extendedKeyUsage=codeSigning -keyout " + q("key.pem") + " -out " + q("cert.pem"))
                  .exitCode,
              0);
  }
  test::ToolRun sign(const std::string& in, const std::string& out) {
    return run("osslsigncode sign -certs " + q("cert.pem") + " -key " + q("key.pem") + " -n 'Kestrome update' -in " +
               q(in) + " -out " + q(out));
  }
  test::ToolRun verify(const std::string& file) {
    return run("osslsigncode verify -CAfile " + q("cert.pem") + " -in " + q(file));
  }

  // osslsigncode's word on a file's CheckSum: the value it read when it found it right (it names
  // both values, and warns, when the file's differs from the one it computes).
  std::string rightChecksum(const std::string& file) {
    const std::string out = run("osslsigncode verify -in " + q(file) + " 2>&1").out;
    std::smatch found;
    if (out.find("invalid PE checksum") != std::string::npos || out.find("Calculated PE checksum") != std::string::npos ||
        !std::regex_search(out, found, std::regex("PE checksum *: *([0-9A-F]+)"))) {
      return "wrong: " + out;
    }
    return found[1].str();
  }

  // The updater's own merge, in this process.
  Bytes coreMerge(const std::string& updater) {
    const std::string target = dir.file("core-merged.exe");
    EXPECT_EQ(mergePackage(dir.file(updater).c_str(), dir.file("update.kz6").c_str(), target.c_str(), kInternalBufferSize),
              MergeFailure::None);
    Bytes bytes = readFileBytes(target);
    fs::remove(target);
    return bytes;
  }

  test::TempDir dir;
  uint32_t headerOffset = 0;
};

// Without a signature the copy is exactly what the updater's own merge writes, CheckSum included.
TEST_F(Kz6Signature, UnsignedMergeIsTheUpdatersOwn) {
  Bytes updater = readFileBytes(dir.path() / "updater.exe");
  test::put32(updater, checksumField(updater), 0x1234567);  // a stale CheckSum stays as it is
  writeFileBytes(dir.path() / "updater.exe", updater);
  const test::ToolRun m = kz6("merge " + q("updater.exe") + " " + q("update.kz6") + " -o " + q("merged.exe"));
  ASSERT_EQ(m.exitCode, 0) << m.err;
  EXPECT_TRUE(readFileBytes(dir.path() / "merged.exe") == coreMerge("updater.exe"));
  EXPECT_EQ(m.out.find("signature"), std::string::npos) << m.out;
}

// A signature whose blob holds the marker (twice) does not hide the package: header, list, verify
// and extract read the image before the certificate table, where the one real header is.
TEST_F(Kz6Signature, MarkerInsideTheSignatureBlobIsNotSearched) {
  ASSERT_EQ(kz6("merge " + q("updater.exe") + " " + q("update.kz6") + " -o " + q("merged.exe")).exitCode, 0);
  Bytes pe = readFileBytes(dir.path() / "merged.exe");
  const auto certificateAt = static_cast<uint32_t>(pe.size());
  Bytes certificate = {0, 0, 0, 0, 0x00, 0x02, 0x02, 0x00};  // WIN_CERTIFICATE: length, revision 2, PKCS#7
  for (int i = 0; i < 2; ++i) {
    const Bytes marker = test::markerBytes();
    certificate.insert(certificate.end(), marker.begin(), marker.end());
    certificate.insert(certificate.end(), 24, 0x5A);
  }
  test::put32(certificate, 0, static_cast<uint32_t>(certificate.size()));
  pe.insert(pe.end(), certificate.begin(), certificate.end());
  test::put32(pe, securityEntry(pe), certificateAt);
  test::put32(pe, securityEntry(pe) + 4, static_cast<uint32_t>(certificate.size()));
  writeFileBytes(dir.path() / "signed.exe", pe);

  uint32_t offset = 0;
  ASSERT_EQ(findPackageHeader(dir.file("signed.exe").c_str(), offset), PackageHeaderStatus::MarkerRepeated) << "the blob must hold whole markers";
  const test::ToolRun header = kz6("header " + q("signed.exe"));
  EXPECT_EQ(header.exitCode, 0) << header.out << header.err;
  EXPECT_NE(header.out.find("offset: " + std::to_string(headerOffset) + " "), std::string::npos) << header.out;
  EXPECT_EQ(kz6("verify " + q("signed.exe")).out, "2 entries verified\n");
  EXPECT_EQ(kz6("list " + q("signed.exe")).exitCode, 0);
  ASSERT_EQ(kz6("extract " + q("signed.exe") + " -C " + q("out")).exitCode, 0);
  EXPECT_EQ(readFileBytes(dir.path() / "out/bin/app01.exe"), test::textBytes(30000, 1));

  // The merge refuses it as signed; stripped, the copy holds the one header only.
  const test::ToolRun refused = kz6("merge " + q("signed.exe") + " " + q("update.kz6") + " -o " + q("again.exe"));
  EXPECT_NE(refused.exitCode, 0);
  EXPECT_FALSE(fs::exists(dir.path() / "again.exe"));
  ASSERT_EQ(kz6("merge --strip-signature " + q("signed.exe") + " " + q("update.kz6") + " -o " + q("again.exe")).exitCode, 0);
  EXPECT_EQ(findPackageHeader(dir.file("again.exe").c_str(), offset), PackageHeaderStatus::Ok);
  EXPECT_EQ(offset, headerOffset);
  EXPECT_EQ(fs::file_size(dir.path() / "again.exe"), certificateAt);
}

// A certificate table that points outside the file, or that is followed by data, is reported, and
// nothing is written.
TEST_F(Kz6Signature, BrokenCertificateTablesAreRefused) {
  Bytes pe = readFileBytes(dir.path() / "updater.exe");
  test::put32(pe, securityEntry(pe), static_cast<uint32_t>(pe.size()) - 8);
  test::put32(pe, securityEntry(pe) + 4, 64);
  writeFileBytes(dir.path() / "outside.exe", pe);
  const test::ToolRun list = kz6("list " + q("outside.exe"));
  EXPECT_NE(list.exitCode, 0);
  EXPECT_NE(list.err.find("lies outside the file"), std::string::npos) << list.err;
  EXPECT_NE(kz6("merge --strip-signature " + q("outside.exe") + " " + q("update.kz6") + " -o " + q("m.exe")).exitCode, 0);

  test::put32(pe, securityEntry(pe), static_cast<uint32_t>(pe.size()) - 64);
  pe.resize(pe.size() + 16, 0x77);  // data after the table
  writeFileBytes(dir.path() / "trailing.exe", pe);
  const test::ToolRun trailing =
      kz6("merge --strip-signature " + q("trailing.exe") + " " + q("update.kz6") + " -o " + q("m.exe"));
  EXPECT_NE(trailing.exitCode, 0);
  EXPECT_NE(trailing.err.find("data follows its certificate table"), std::string::npos) << trailing.err;
  EXPECT_FALSE(fs::exists(dir.path() / "m.exe"));
  EXPECT_EQ(test::treeOf(dir.path()).size(), 4u);  // the two fixtures and the two damaged copies
}

// The maker's three steps with a real signature: a signed updater is refused; merged with
// --strip-signature its copy has no certificate table and a right CheckSum, equals what the
// updater's own merge makes of the signature-less updater, signs again and verifies, and reads back.
TEST_F(Kz6Signature, StrippedCopySignsAgainAndVerifies) {
  if (!haveOsslsigncode()) GTEST_SKIP() << "osslsigncode is not installed (scripts/deps installs it)";
  makeCertificate();
  ASSERT_EQ(sign("updater.exe", "signed.exe").exitCode, 0);
  ASSERT_EQ(verify("signed.exe").exitCode, 0);
  const Bytes signedBytes = readFileBytes(dir.path() / "signed.exe");
  const uint32_t certificateAt = test::get32(signedBytes, securityEntry(signedBytes));
  ASSERT_NE(certificateAt, 0u);
  ASSERT_NE(test::get32(signedBytes, checksumField(signedBytes)), 0u);

  const test::ToolRun refused = kz6("merge " + q("signed.exe") + " " + q("update.kz6") + " -o " + q("merged.exe"));
  EXPECT_NE(refused.exitCode, 0);
  EXPECT_NE(refused.err.find("carries an Authenticode signature"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("--strip-signature"), std::string::npos) << refused.err;
  EXPECT_FALSE(fs::exists(dir.path() / "merged.exe"));

  const test::ToolRun stripped =
      kz6("merge --strip-signature " + q("signed.exe") + " " + q("update.kz6") + " -o " + q("merged.exe"));
  ASSERT_EQ(stripped.exitCode, 0) << stripped.err;
  EXPECT_NE(stripped.out.find("sign "), std::string::npos) << stripped.out;
  Bytes merged = readFileBytes(dir.path() / "merged.exe");
  EXPECT_EQ(merged.size(), certificateAt);
  EXPECT_EQ(test::get32(merged, securityEntry(merged)), 0u);
  EXPECT_EQ(test::get32(merged, securityEntry(merged) + 4), 0u);
  char field[16];
  std::snprintf(field, sizeof field, "%08X", test::get32(merged, checksumField(merged)));
  EXPECT_EQ(rightChecksum("merged.exe"), field);
  EXPECT_NE(verify("merged.exe").exitCode, 0) << "no signature is left";

  // osslsigncode's own removal, merged by the updater's own merge, gives the same bytes but for
  // the CheckSum, which the merge leaves stale.
  ASSERT_EQ(run("osslsigncode remove-signature -in " + q("signed.exe") + " -out " + q("removed.exe")).exitCode, 0);
  Bytes expected = coreMerge("removed.exe");
  ASSERT_EQ(expected.size(), merged.size());
  test::put32(expected, checksumField(expected), 0);
  test::put32(merged, checksumField(merged), 0);
  EXPECT_TRUE(expected == merged);

  ASSERT_EQ(sign("merged.exe", "resigned.exe").exitCode, 0);
  const test::ToolRun verified = verify("resigned.exe");
  EXPECT_EQ(verified.exitCode, 0) << verified.out << verified.err;
  EXPECT_NE(verified.out.find("Signature verification: ok"), std::string::npos) << verified.out;
  EXPECT_EQ(kz6("verify " + q("resigned.exe")).out, "2 entries verified\n");
  const test::ToolRun header = kz6("header " + q("resigned.exe"));
  EXPECT_NE(header.out.find("offset: " + std::to_string(headerOffset) + " "), std::string::npos) << header.out;
  ASSERT_EQ(kz6("extract " + q("resigned.exe") + " -C " + q("out")).exitCode, 0);
  EXPECT_EQ(readFileBytes(dir.path() / "out/misc.set/hlpfiles/app01/app01_help.chm"), test::textBytes(9000, 2));

  // A damaged copy no longer verifies: the verification is real.
  Bytes damaged = readFileBytes(dir.path() / "resigned.exe");
  damaged[headerOffset + kPackageFormOffset + 100] ^= 1;
  writeFileBytes(dir.path() / "damaged.exe", damaged);
  EXPECT_NE(verify("damaged.exe").exitCode, 0);
}

}  // namespace
}  // namespace kz
