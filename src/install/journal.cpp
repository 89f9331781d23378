// The copy step's journal.
//
// Why. The copy step replaces up to 23 files and their older help files one move at a time; a
// power cut, a crash or a killed process can stop it anywhere. The installed files it replaces
// are not deleted but renamed into the hidden set-aside folder inside the main folder, and the
// journal beside them says what the step set out to do. From these two alone, on the disk, a
// later run puts the main folder back exactly as it was, or, when the step had finished, only
// clears the set-aside folder.
//
// Order of a run. The whole plan comes first: a Begin record, then one Replace record per
// installed file that goes aside (with its attributes before the run), one Add record per new
// file that has no installed file, one Folder record per folder that placing a file creates, and
// a PlanEnd record; these are flushed together before the first move. Then, before each move, a
// SetAside or Place record naming the plan entry is written and flushed. After the last move a
// Commit record is flushed; only then may the set-aside files be deleted. A run that undoes
// itself after writing Commit (because that write failed and may not be on the disk) first
// writes a RollBack record, which takes the Commit back.
//
// Record format. Fixed 284-byte records, little-endian, back to back:
//    0  4  magic "KMJ1"
//    4  2  format version (2; 1 is still read)
//    6  2  kind (JournalKind)
//    8  4  sequence number: the record's index in the file, from 0
//   12  4  value (attributes, plan index or plan length; see JournalKind)
//   16  2  path length in bytes (0 to 251; version 1: 0 to 259)
//   18  2  version 2: what the run places at the path (0 unknown, 1 the new file, 2 nothing);
//          version 1: 0
//   20 252 path, relative to the main folder, NUL-padded (version 1: 260 bytes, to 280)
//  272  4  version 2: the new file's size
//  276  4  version 2: the new file's CRC-32
//  280  4  CRC-32 of bytes 0 to 279
// A record is valid when its magic, version, kind, sequence, length, padding and CRC all check.
// The new file's identity lets an undo take only what the run put there: a journal left by a
// crash can be stale by the time a later run reads it (the product reinstalled meanwhile).
//
// Recovery rules (set_aside.cpp). A torn tail, from the first record that is short or fails its
// check on, with no valid record behind it, was being written when the run stopped; it is left
// out. Whether the move it announced happened is judged
// by the file system, never by the journal: an installed file is back in place when the
// set-aside folder no longer holds it, whatever the records say of the moves. The plan alone
// decides what is undone, and it is complete on the disk before anything moves, so a journal cut
// anywhere after it still describes every file the run could have touched. A journal without a
// Commit record, or with a RollBack record after it, is rolled back; one with it is finished by clearing the set-aside folder; one
// without a PlanEnd record stopped before anything moved, and so did one whose damage lies before
// its PlanEnd with nothing but plan records behind it (a plan write torn by a power cut). A
// record of a later format version, any other invalid record with a valid one behind it, or a
// journal that cannot be read stops the recovery with nothing deleted. The journal lies in a
// folder that others may be able to write: a path that the copy step could not have written
// (not a tracked file, its older help companion or a folder on their way) makes the journal
// foreign, and the recovery then touches nothing at all.
#include "install/journal.h"

#include <cstring>

#include "package/byte_order.h"
#include "package/crc32.h"
#include "platform/files.h"

namespace kz {
namespace {

constexpr uint8_t kMagic[4] = {'K', 'M', 'J', '1'};
constexpr size_t kPathOffset = 20;
constexpr size_t kPathFieldV1 = platform::kMaxPath;
constexpr size_t kPathField = kJournalPathMax + 1;
constexpr size_t kSizeOffset = kPathOffset + kPathField;
constexpr size_t kNewCrcOffset = kSizeOffset + 4;
constexpr size_t kCrcOffset = kPathOffset + kPathFieldV1;
static_assert(kCrcOffset + 4 == kJournalRecordSize, "the record is 284 bytes");
static_assert(kNewCrcOffset + 4 == kCrcOffset, "version 2 takes the path field's last 8 bytes");

bool knownKind(uint16_t kind) {
  return kind >= static_cast<uint16_t>(JournalKind::Begin) && kind <= static_cast<uint16_t>(JournalKind::RollBack);
}

enum class RecordCheck { Valid, Invalid, LaterFormat };

RecordCheck checkRecord(const uint8_t* p, uint32_t sequence, JournalRecord& out) {
  if (std::memcmp(p, kMagic, 4) != 0) return RecordCheck::Invalid;
  if (crc32(p, kCrcOffset) != loadLittle32(p + kCrcOffset)) return RecordCheck::Invalid;
  // Checked after the CRC: a torn record must not pass for one of a later format.
  const uint16_t version = loadLittle16(p + 4);
  if (version != 1 && version != kJournalFormatVersion) return RecordCheck::LaterFormat;
  const size_t field = version == 1 ? kPathFieldV1 : kPathField;
  const uint16_t kind = loadLittle16(p + 6);
  const uint16_t length = loadLittle16(p + 16);
  const uint16_t placed = loadLittle16(p + 18);
  if (!knownKind(kind) || loadLittle32(p + 8) != sequence || length >= field ||
      placed > (version == 1 ? 0 : static_cast<uint16_t>(JournalRecord::Placed::Nothing))) {
    return RecordCheck::Invalid;
  }
  const uint8_t* path = p + kPathOffset;
  if (std::memchr(path, 0, length) != nullptr) return RecordCheck::Invalid;
  for (size_t i = length; i < field; ++i) {
    if (path[i] != 0) return RecordCheck::Invalid;
  }
  out.kind = static_cast<JournalKind>(kind);
  out.value = loadLittle32(p + 12);
  out.path.assign(reinterpret_cast<const char*>(path), length);
  out.placed = static_cast<JournalRecord::Placed>(placed);
  out.newSize = version == 1 ? 0 : loadLittle32(p + kSizeOffset);
  out.newCrc = version == 1 ? 0 : loadLittle32(p + kNewCrcOffset);
  return RecordCheck::Valid;
}

}  // namespace

bool encodeJournalRecord(const JournalRecord& record, uint32_t sequence, uint8_t (&out)[kJournalRecordSize]) {
  if (record.path.size() >= kPathField || std::memchr(record.path.data(), 0, record.path.size()) != nullptr) {
    return false;
  }
  std::memset(out, 0, sizeof out);
  std::memcpy(out, kMagic, 4);
  storeLittle16(out + 4, kJournalFormatVersion);
  storeLittle16(out + 6, static_cast<uint16_t>(record.kind));
  storeLittle32(out + 8, sequence);
  storeLittle32(out + 12, record.value);
  storeLittle16(out + 16, static_cast<uint16_t>(record.path.size()));
  storeLittle16(out + 18, static_cast<uint16_t>(record.placed));
  std::memcpy(out + kPathOffset, record.path.data(), record.path.size());
  storeLittle32(out + kSizeOffset, record.newSize);
  storeLittle32(out + kNewCrcOffset, record.newCrc);
  storeLittle32(out + kCrcOffset, crc32(out, kCrcOffset));
  return true;
}

JournalContents decodeJournal(const uint8_t* data, size_t size) {
  JournalContents contents;
  contents.status = JournalReadStatus::Read;
  const size_t whole = size / kJournalRecordSize;
  size_t i = 0;
  for (; i < whole; ++i) {
    JournalRecord record;
    const RecordCheck check = checkRecord(data + i * kJournalRecordSize, static_cast<uint32_t>(i), record);
    if (check == RecordCheck::LaterFormat) {
      contents.status = JournalReadStatus::LaterFormat;
      return contents;
    }
    if (check == RecordCheck::Invalid) break;
    contents.records.push_back(std::move(record));
  }
  if (i == whole) {
    contents.tornTail = size % kJournalRecordSize != 0;
    return contents;
  }
  // Everything from the first invalid record on is the write that was cut short, unless a valid
  // record follows it: then the invalid one is damage in the middle, and what it said is unknown.
  contents.tornTail = true;
  for (size_t j = i + 1; j < whole; ++j) {
    JournalRecord later;
    const RecordCheck check = checkRecord(data + j * kJournalRecordSize, static_cast<uint32_t>(j), later);
    if (check == RecordCheck::Invalid) continue;
    contents.status = JournalReadStatus::Damaged;
    contents.tornTail = false;
    if (check == RecordCheck::Valid) contents.beyondDamage.push_back(std::move(later));
  }
  return contents;
}

JournalContents readJournal(const char* path) {
  platform::FileSystem& fs = platform::fileSystem();
  JournalContents contents;
  if (fs.fileAttributes(path) == platform::kInvalidAttributes) {
    contents.status = fs.pathExists(path) ? JournalReadStatus::Unreadable : JournalReadStatus::Missing;
    return contents;
  }
  std::FILE* stream = fs.openFile(path, "rb");
  if (stream == nullptr) {
    contents.status = JournalReadStatus::Unreadable;
    return contents;
  }
  std::vector<uint8_t> bytes;
  uint8_t buffer[4096];
  bool failed = false;
  for (;;) {
    const size_t got = std::fread(buffer, 1, sizeof buffer, stream);
    bytes.insert(bytes.end(), buffer, buffer + got);
    if (got < sizeof buffer) {
      failed = std::ferror(stream) != 0;
      break;
    }
  }
  std::fclose(stream);
  if (failed) {
    contents.status = JournalReadStatus::Unreadable;
    return contents;
  }
  return decodeJournal(bytes.data(), bytes.size());
}

bool setAsideFolderPath(char (&out)[platform::kMaxPath], const char* mainFolder) {
  return paths::join(out, mainFolder, kSetAsideFolder);
}

bool setAsidePath(char (&out)[platform::kMaxPath], const char* mainFolder, const char* relativePath) {
  return setAsideFolderPath(out, mainFolder) && paths::append(out, relativePath);
}

bool journalPath(char (&out)[platform::kMaxPath], const char* mainFolder) {
  return setAsideFolderPath(out, mainFolder) && paths::append(out, kJournalFile);
}

JournalWriter::~JournalWriter() { close(); }

bool JournalWriter::create(const char* path) {
  close();
  sequence_ = 0;
  stream_ = platform::fileSystem().openFile(path, "wb");
  return stream_ != nullptr;
}

bool JournalWriter::write(const JournalRecord& record) {
  uint8_t bytes[kJournalRecordSize];
  if (stream_ == nullptr || !encodeJournalRecord(record, sequence_, bytes)) return false;
  if (std::fwrite(bytes, 1, sizeof bytes, stream_) != sizeof bytes) return false;
  ++sequence_;
  return true;
}

bool JournalWriter::append(const JournalRecord& record) {
  return write(record) && platform::fileSystem().flushFile(stream_);
}

bool JournalWriter::append(const std::vector<JournalRecord>& records) {
  for (const JournalRecord& record : records) {
    if (!write(record)) return false;
  }
  return platform::fileSystem().flushFile(stream_);
}

void JournalWriter::close() {
  if (stream_ != nullptr) std::fclose(stream_);
  stream_ = nullptr;
}

}  // namespace kz
