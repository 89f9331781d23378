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

// More inserts than arguments: each insert without an argument stays as it stands, whatever its
// number of digits, and the inserts that have one are still filled in around it.
TEST(MessageFormatter, LeavesInsertsWithoutArgumentsAsTheyStand) {
  EXPECT_EQ(messageFormatter().format("%1", {}), "%1");
  EXPECT_EQ(messageFormatter().format("[%1|%2|%3]", {"a", "b"}), "[a|b|%3]");
  EXPECT_EQ(messageFormatter().format("%3 then %1", {"x"}), "%3 then x");
  EXPECT_EQ(messageFormatter().format("%2%1%2", {"one"}), "%2one%2");
  EXPECT_EQ(messageFormatter().format("%12 of %1", {"a", "b"}), "%12 of a");
  EXPECT_EQ(messageFormatter().format("%99%n", {"a"}), "%99\r\n");
  EXPECT_EQ(messageFormatter().format("path%n%1%n%2", {"C:\\U\\k.exe"}), "path\r\nC:\\U\\k.exe\r\n%2");
  // A missing insert takes nothing of the text after it, and a later one is still filled.
  EXPECT_EQ(messageFormatter().format("%2x%1", {"1"}), "%2x1");
}

TEST(MessageFormatter, KeepsPercentEscapesAndMissingInserts) {
  EXPECT_EQ(messageFormatter().format("100%% %2 done", {"a"}), "100% %2 done");
  EXPECT_EQ(messageFormatter().format("a\r\nb%0c", {}), "a\r\nb");
}

}  // namespace
