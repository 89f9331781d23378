// The merge target's name follows the build's three codes.
#include "app/update_app.h"
#include "support/double_byte_paths.h"

#include <gtest/gtest.h>

namespace {

std::string nameFor(int32_t language, int32_t edition, int32_t units) {
  kz::UpdateApp app;
  app.languageCode = language;
  app.editionCode = edition;
  app.unitsCode = units;
  char out[64];
  return kz::mergeTargetFileName(app, out, sizeof out);
}

TEST(UpdateApp, ThisBuildIsEnglishAtelierMetric) {
  const kz::UpdateApp app;
  EXPECT_EQ(app.languageCode, 1);
  EXPECT_EQ(app.editionCode, 1);
  EXPECT_EQ(app.unitsCode, 1);
  EXPECT_EQ(nameFor(1, 1, 1), "kaem_update611.exe");
}

TEST(UpdateApp, MergeTargetLettersFollowEveryCode) {
  EXPECT_EQ(nameFor(0, 2, 0), "ksfi_update611.exe");
  EXPECT_EQ(nameFor(1, 3, 5), "kg5050em_update611.exe");
  EXPECT_EQ(nameFor(1, 4, 1), "kem_update611.exe");
  EXPECT_EQ(nameFor(2, 1, 1), "kafm_update611.exe");  // language 2 is not English here
}

TEST(UpdateApp, PathFieldRefusesTextThatDoesNotFit) {
  kz::UpdateApp app;
  ASSERT_TRUE(kz::copyPathField(app.mainFolder, "C:\\Kestrome"));
  EXPECT_FALSE(kz::copyPathField(app.mainFolder, std::string(260, 'x').c_str()));
  EXPECT_STREQ(app.mainFolder, "C:\\Kestrome");
  EXPECT_TRUE(kz::copyPathField(app.mainFolder, std::string(259, 'y').c_str()));
}

}  // namespace

namespace {

kz::UpdateApp withFolders(const char* main, const char* work) {
  kz::UpdateApp app;
  kz::copyPathField(app.mainFolder, main);
  kz::copyPathField(app.workFolder, work);
  return app;
}

// The deletion at the end never reaches the main folder or its set-aside folder, however the
// paths are spelt; a work folder beside the main folder, or under a similar name, may go.
TEST(UpdateApp, WorkFolderMayBeDeletedOnlyApartFromTheMainFolder) {
  EXPECT_TRUE(kz::workFolderMayBeDeleted(withFolders("C:\\Kestrome", "C:\\Temp\\~KM1A2.TMP")));
  EXPECT_TRUE(kz::workFolderMayBeDeleted(withFolders("C:\\Kestrome", "C:\\Kestrome2")));
  EXPECT_TRUE(kz::workFolderMayBeDeleted(withFolders("", "C:\\Temp\\~KM1A2.TMP")));
  EXPECT_FALSE(kz::workFolderMayBeDeleted(withFolders("C:\\Kestrome", "")));
  EXPECT_FALSE(kz::workFolderMayBeDeleted(withFolders("C:\\Kestrome", "c:/kestrome/")));
  EXPECT_FALSE(kz::workFolderMayBeDeleted(withFolders("C:\\Kestrome", "C:\\KESTROME\\~KMUPDATE")));
  EXPECT_FALSE(kz::workFolderMayBeDeleted(withFolders("C:\\Temp\\~KM1A2.TMP\\Kestrome", "C:\\Temp\\~KM1A2.TMP")));
  EXPECT_FALSE(kz::workFolderMayBeDeleted(withFolders("C:\\", "C:\\Temp\\~KM1A2.TMP")));
}

// On a double-byte code page the second byte of a character is part of it: a main folder whose
// name ends in 0x95 0x5C does not hold a work folder beside it whose name goes on after those
// bytes, and a trail byte in the range of 'a' to 'z' is not folded.
TEST(UpdateApp, WorkFolderComparisonWalksDoubleByteCharacters) {
  kz::test::DoubleBytePathService doubleByte;
  kz::platform::ScopedPathService scoped(doubleByte);
  EXPECT_TRUE(kz::workFolderMayBeDeleted(withFolders("C:\\\x95\x5C", "C:\\\x95\x5Cx\\~KM1A2.TMP")));
  EXPECT_TRUE(kz::workFolderMayBeDeleted(withFolders("C:\\\x83\x61", "C:\\\x83\x41\\~KM1A2.TMP")));
  EXPECT_FALSE(kz::workFolderMayBeDeleted(withFolders("C:\\\x95\x5C", "C:\\\x95\x5C\\~KM1A2.TMP")));
  EXPECT_FALSE(kz::workFolderMayBeDeleted(withFolders("C:\\ab", "c:\\AB\\~KM1A2.TMP")));
}

}  // namespace
