// The merge target's name follows the build's three codes.
#include "app/update_app.h"

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
