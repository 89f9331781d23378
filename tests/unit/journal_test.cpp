// The copy step's journal: its fixed little-endian record layout, the CRC that guards each
// record, and what a reader makes of a journal that a crash cut short or that is damaged.
#include "install/journal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "package/crc32.h"
#include "support/temp_dir.h"

namespace {

using kz::JournalKind;
using kz::JournalReadStatus;
using kz::JournalRecord;

std::vector<uint8_t> encode(const std::vector<JournalRecord>& records) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < records.size(); ++i) {
    uint8_t record[kz::kJournalRecordSize];
    EXPECT_TRUE(kz::encodeJournalRecord(records[i], static_cast<uint32_t>(i), record));
    bytes.insert(bytes.end(), record, record + sizeof record);
  }
  return bytes;
}

const std::vector<JournalRecord> kRun = {
    {JournalKind::Begin, 0, ""},
    {JournalKind::Replace, 0x21, "bin\\app01.exe"},
    {JournalKind::Folder, 0, "misc.set\\hlpfiles\\tool04"},
    {JournalKind::Add, 0, "misc.set\\hlpfiles\\tool04\\tool04_help.chm"},
    {JournalKind::PlanEnd, 3, ""},
    {JournalKind::SetAside, 0, ""},
};

// Writes a record's CRC over its changed bytes, so that only what was changed tells it apart.
void reseal(uint8_t* record) {
  const uint32_t crc = kz::crc32(record, 280);
  for (int b = 0; b < 4; ++b) record[280 + b] = static_cast<uint8_t>(crc >> (8 * b));
}

uint32_t little32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }

// Every field at its fixed offset, little-endian, the path NUL-padded, the new file's identity in
// the last 8 bytes before the CRC over the rest.
TEST(JournalRecord, HasAFixedLittleEndianLayout) {
  uint8_t r[kz::kJournalRecordSize];
  JournalRecord record{JournalKind::Replace, 0x01020304, "bin\\a.dll"};
  record.placed = JournalRecord::Placed::NewFile;
  record.newSize = 0x11223344;
  record.newCrc = 0x55667788;
  ASSERT_TRUE(kz::encodeJournalRecord(record, 0x0A0B0C0D, r));
  EXPECT_EQ(std::vector<uint8_t>(r, r + 4), (std::vector<uint8_t>{'K', 'M', 'J', '1'}));
  EXPECT_EQ(r[4], 2);
  EXPECT_EQ(r[5], 0);
  EXPECT_EQ(r[6], 2);
  EXPECT_EQ(r[7], 0);
  EXPECT_EQ(little32(r + 8), 0x0A0B0C0Du);
  EXPECT_EQ(little32(r + 12), 0x01020304u);
  EXPECT_EQ(r[16], 9);
  EXPECT_EQ(r[17], 0);
  EXPECT_EQ(r[18], 1);
  EXPECT_EQ(r[19], 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(r + 20)), "bin\\a.dll");
  for (size_t i = 29; i < 272; ++i) ASSERT_EQ(r[i], 0) << i;
  EXPECT_EQ(little32(r + 272), 0x11223344u);
  EXPECT_EQ(little32(r + 276), 0x55667788u);
  EXPECT_EQ(little32(r + 280), kz::crc32(r, 280));
}

TEST(JournalRecord, RefusesPathsThatDoNotFit) {
  uint8_t r[kz::kJournalRecordSize];
  EXPECT_TRUE(kz::encodeJournalRecord({JournalKind::Add, 0, std::string(251, 'a')}, 0, r));
  EXPECT_FALSE(kz::encodeJournalRecord({JournalKind::Add, 0, std::string(252, 'a')}, 0, r));
  EXPECT_FALSE(kz::encodeJournalRecord({JournalKind::Add, 0, std::string("a\0b", 3)}, 0, r));
}

// A journal of version 1 (its path field 260 bytes, no new file's identity) is still read: its
// records say nothing of what was placed, so an undo takes whatever stands there for the run's.
TEST(JournalRead, ReadsTheFirstVersion) {
  std::vector<uint8_t> bytes = encode(kRun);
  for (size_t i = 0; i < kRun.size(); ++i) {
    uint8_t* r = bytes.data() + i * kz::kJournalRecordSize;
    r[4] = 1;
    std::fill(r + 272, r + 280, 0);
    reseal(r);
  }
  uint8_t* longPath = bytes.data() + kz::kJournalRecordSize;
  const kz::JournalContents contents = kz::decodeJournal(bytes.data(), bytes.size());
  ASSERT_EQ(contents.status, JournalReadStatus::Read);
  ASSERT_EQ(contents.records.size(), kRun.size());
  EXPECT_EQ(contents.records[1].path, "bin\\app01.exe");
  EXPECT_EQ(contents.records[1].placed, JournalRecord::Placed::Unknown);
  // Its path may run to byte 279, which version 2 keeps for the identity.
  longPath[16] = 255;
  longPath[17] = 0;
  std::fill(longPath + 20, longPath + 275, 'a');
  reseal(longPath);
  const kz::JournalContents longer = kz::decodeJournal(bytes.data(), bytes.size());
  ASSERT_EQ(longer.status, JournalReadStatus::Read);
  EXPECT_EQ(longer.records[1].path, std::string(255, 'a'));
}

TEST(JournalRead, ReadsBackWhatTheWriterFlushed) {
  kz::test::TempDir dir;
  const std::string path = dir.file("journal.kmj");
  {
    kz::JournalWriter writer;
    ASSERT_TRUE(writer.create(path.c_str()));
    ASSERT_TRUE(writer.append(std::vector<JournalRecord>(kRun.begin(), kRun.end() - 1)));
    ASSERT_TRUE(writer.append(kRun.back()));
    // Flushed means readable by another stream while the writer still holds the file.
    const kz::JournalContents contents = kz::readJournal(path.c_str());
    ASSERT_EQ(contents.status, JournalReadStatus::Read);
    ASSERT_EQ(contents.records.size(), kRun.size());
  }
  const kz::JournalContents contents = kz::readJournal(path.c_str());
  ASSERT_EQ(contents.records.size(), kRun.size());
  for (size_t i = 0; i < kRun.size(); ++i) {
    EXPECT_EQ(contents.records[i].kind, kRun[i].kind) << i;
    EXPECT_EQ(contents.records[i].value, kRun[i].value) << i;
    EXPECT_EQ(contents.records[i].path, kRun[i].path) << i;
  }
  EXPECT_FALSE(contents.tornTail);
  EXPECT_EQ(kz::readJournal(dir.file("none").c_str()).status, JournalReadStatus::Missing);
}

// A journal cut anywhere inside its last record keeps every record before it and says it was torn.
TEST(JournalRead, LeavesOutATornLastRecord) {
  const std::vector<uint8_t> bytes = encode(kRun);
  const size_t last = (kRun.size() - 1) * kz::kJournalRecordSize;
  for (size_t cut = last; cut <= bytes.size(); ++cut) {
    const kz::JournalContents contents = kz::decodeJournal(bytes.data(), cut);
    EXPECT_EQ(contents.status, JournalReadStatus::Read) << cut;
    const bool whole = cut == bytes.size();
    EXPECT_EQ(contents.records.size(), whole ? kRun.size() : kRun.size() - 1) << cut;
    EXPECT_EQ(contents.tornTail, !whole && cut != last) << cut;
  }
}

// A changed byte anywhere in the last record is a torn write; in an earlier record, with valid
// records behind it, it is damage, and what the record said is unknown.
TEST(JournalRead, TellsATornTailFromDamageInTheMiddle) {
  for (size_t at = 0; at < kz::kJournalRecordSize; at += 7) {
    std::vector<uint8_t> bytes = encode(kRun);
    bytes[bytes.size() - kz::kJournalRecordSize + at] ^= 0x40;
    kz::JournalContents contents = kz::decodeJournal(bytes.data(), bytes.size());
    EXPECT_EQ(contents.status, JournalReadStatus::Read) << at;
    EXPECT_TRUE(contents.tornTail) << at;
    EXPECT_EQ(contents.records.size(), kRun.size() - 1) << at;

    bytes = encode(kRun);
    bytes[2 * kz::kJournalRecordSize + at] ^= 0x40;
    contents = kz::decodeJournal(bytes.data(), bytes.size());
    EXPECT_EQ(contents.status, JournalReadStatus::Damaged) << at;
    EXPECT_EQ(contents.records.size(), 2u) << at;
  }
}

// Records out of their place in the file (a record copied over another) do not pass.
TEST(JournalRead, ChecksEachRecordsSequenceNumber) {
  std::vector<uint8_t> bytes = encode(kRun);
  std::copy(bytes.begin() + kz::kJournalRecordSize, bytes.begin() + 2 * kz::kJournalRecordSize,
            bytes.begin() + 3 * kz::kJournalRecordSize);
  const kz::JournalContents contents = kz::decodeJournal(bytes.data(), bytes.size());
  EXPECT_EQ(contents.status, JournalReadStatus::Damaged);
  EXPECT_EQ(contents.records.size(), 3u);
}

// A record of a later format, intact by its CRC, is not guessed at.
TEST(JournalRead, RefusesALaterFormat) {
  std::vector<uint8_t> bytes = encode(kRun);
  uint8_t* second = bytes.data() + kz::kJournalRecordSize;
  second[4] = 3;
  reseal(second);
  EXPECT_EQ(kz::decodeJournal(bytes.data(), bytes.size()).status, JournalReadStatus::LaterFormat);
}

}  // namespace
