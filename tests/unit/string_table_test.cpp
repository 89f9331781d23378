// The string table and the message formatter: texts by id, inserts and line breaks.
#include "app/string_table.h"
#include "platform/message_format.h"

#include <gtest/gtest.h>

namespace {

using kz::platform::messageFormatter;

TEST(StringTable, FindsEveryTextByIdAndNothingElse) {
  EXPECT_STREQ(kz::strings::lookup(1002), "English Metric Update v%1 for Kestrome Atelier");
  EXPECT_STREQ(kz::strings::lookup(kz::strings::kOutcomeOk), "...Ok.");
  EXPECT_EQ(kz::strings::lookup(1029), nullptr);
  EXPECT_EQ(kz::strings::lookup(0), nullptr);
}

TEST(StringTable, SecondLanguageTitlesReadError) {
  for (int id : {1005, 1006, 1007, 1008, 1033, 1034}) EXPECT_STREQ(kz::strings::lookup(static_cast<uint16_t>(id)), "ERROR") << id;
}

TEST(MessageFormatter, InsertsArgumentsAndLineBreaks) {
  EXPECT_EQ(messageFormatter().format(kz::strings::lookup(1002), {"6.11"}),
            "English Metric Update v6.11 for Kestrome Atelier");
  EXPECT_EQ(messageFormatter().format(kz::strings::lookup(1501), {"C:\\U\\kaem_update611.exe"}),
            "! ! !   MERGE COMMAND SUCCESSFUL   ! ! !\r\n\r\nMerged target file:\r\n\r\nC:\\U\\kaem_update611.exe");
}

TEST(MessageFormatter, QuotesTheUpdaterPathAfterTwelveSpaces) {
  const std::string text = messageFormatter().format(kz::strings::lookup(1502), {"C:\\x.exe"});
  EXPECT_NE(text.find("is\r\n            \"C:\\x.exe\"."), std::string::npos) << text;
  EXPECT_EQ(text.rfind("\r\n\r\nOne or more", 0), 0u);
}

TEST(MessageFormatter, KeepsPercentEscapesAndMissingInserts) {
  EXPECT_EQ(messageFormatter().format("100%% %2 done", {"a"}), "100% %2 done");
  EXPECT_EQ(messageFormatter().format("a\r\nb%0c", {}), "a\r\nb");
}

}  // namespace
