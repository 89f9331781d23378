// The copy step's journal: what the step is about to do to the main folder, on disk before it
// happens, so that a run cut short can be undone from the disk alone. The design note is at the
// top of journal.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "install/shell_paths.h"

namespace kz {

// The hidden folder inside the main folder that holds the replaced files while the copy step
// runs, and the journal beside them. Inside the main folder, so that setting a file aside is a
// rename on the main folder's own volume.
inline constexpr const char* kSetAsideFolder = "~KMUPDATE";
// The journal's file name inside the set-aside folder.
inline constexpr const char* kJournalFile = "journal.kmj";

// mainFolder joined with the set-aside folder, with a relative path below it, or with the journal.
bool setAsideFolderPath(char (&out)[platform::kMaxPath], const char* mainFolder);
bool setAsidePath(char (&out)[platform::kMaxPath], const char* mainFolder, const char* relativePath);
bool journalPath(char (&out)[platform::kMaxPath], const char* mainFolder);

// Version 2 adds the identity of each new file to the plan; journals of version 1 are still read.
inline constexpr uint16_t kJournalFormatVersion = 2;
inline constexpr size_t kJournalRecordSize = 284;
// The longest path a record of the current version holds.
inline constexpr size_t kJournalPathMax = 251;

enum class JournalKind : uint16_t {
  Begin = 1,     // first record of a run
  Replace = 2,   // path: an installed file that goes aside to the same path below the set-aside folder
  Add = 3,       // path: where a new file goes that had no installed file
  Folder = 4,    // path: a folder below the main folder that placing a new file creates
  PlanEnd = 5,   // value: the number of Replace, Add and Folder records before it
  SetAside = 6,  // value: index of the Replace record whose file is about to go aside
  Place = 7,     // value: index of the Replace or Add record whose new file is about to go in
  Commit = 8,    // every move done: the main folder holds the update
  RollBack = 9,  // the run is being undone: a Commit before it no longer holds
};

struct JournalRecord {
  JournalKind kind = JournalKind::Begin;
  // Replace: the installed file's attributes before the run. SetAside, Place: a plan index.
  // PlanEnd: the plan's length. Otherwise 0.
  uint32_t value = 0;
  // Relative to the main folder, '\' separated; empty for records without a path.
  std::string path;
  // Replace and Add records of version 2: what the run puts at path, so that an undo can tell the
  // run's own file from one that took its place since (a reinstalled product). Unknown in a
  // version 1 journal, where whatever stands there is taken for the run's.
  enum class Placed : uint8_t { Unknown, NewFile, Nothing };
  Placed placed = Placed::Unknown;
  uint32_t newSize = 0;  // NewFile: the new file's size
  uint32_t newCrc = 0;   // NewFile: its CRC-32
};

// The record's 284 bytes, in the current version; false when the path does not fit.
bool encodeJournalRecord(const JournalRecord& record, uint32_t sequence, uint8_t (&out)[kJournalRecordSize]);

enum class JournalReadStatus {
  Read,           // every whole record is valid (a torn tail, if any, was left out)
  Missing,        // no journal file
  Unreadable,     // it exists but cannot be opened or read
  LaterFormat,    // a record of a format version this program does not know
  Damaged,        // an invalid record with a valid one behind it: what it said is unknown
};

struct JournalContents {
  JournalReadStatus status = JournalReadStatus::Missing;
  std::vector<JournalRecord> records;  // the valid records, in order
  bool tornTail = false;               // the last record was incomplete or failed its check
  // Damaged only: the valid records behind the first invalid one. When they all belong to the
  // plan and none before the damage ends it, the damage lies in a plan whose write was cut short
  // (a plan longer than a disk page can reach the disk out of order), so nothing has moved.
  std::vector<JournalRecord> beyondDamage;
};

// Decodes a journal's bytes. From the first record that is short or fails its check on, the
// journal holds the write that the crash cut short, which is left out (tornTail); an invalid
// record with a valid one behind it makes the journal Damaged instead. The valid records before
// the first invalid one are returned either way.
JournalContents decodeJournal(const uint8_t* data, size_t size);
// Reads and decodes the journal at path through the platform file service.
JournalContents readJournal(const char* path);

// Appends records to a new journal; each append is on the disk when it returns true.
class JournalWriter {
 public:
  JournalWriter() = default;
  ~JournalWriter();
  JournalWriter(const JournalWriter&) = delete;
  JournalWriter& operator=(const JournalWriter&) = delete;

  // Creates (or truncates) the journal file. False when it cannot be opened.
  bool create(const char* path);
  // Writes the record, then flushes the stream to the disk. Flushing every record makes each one
  // durable before the file operation it announces.
  bool append(const JournalRecord& record);
  // Several records with one flush at the end.
  bool append(const std::vector<JournalRecord>& records);
  void close();
  bool isOpen() const { return stream_ != nullptr; }

 private:
  bool write(const JournalRecord& record);
  std::FILE* stream_ = nullptr;
  uint32_t sequence_ = 0;
};

}  // namespace kz
