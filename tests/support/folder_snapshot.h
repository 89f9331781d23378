// A snapshot of everything under a folder, to prove that an operation changed nothing: each
// entry's kind, contents, attributes (as the platform reports them, hidden, system and archive
// included), permissions and last-write time, hidden entries such as the set-aside folder
// included. Access times are left out: reading a file for the snapshot itself may move them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace kz::test {

struct EntryState {
  bool folder = false;
  std::vector<uint8_t> contents;
  uint32_t attributes = 0;
  uint32_t mode = 0;
  int64_t modifiedNs = 0;

  bool operator==(const EntryState&) const = default;
};

using FolderSnapshot = std::map<std::string, EntryState>;

FolderSnapshot snapshotFolder(const std::filesystem::path& root);
// A readable list of the differences; empty when the snapshots are equal.
std::string describeDifferences(const FolderSnapshot& before, const FolderSnapshot& after);
// Whether the main folder holds the copy step's set-aside folder.
bool holdsSetAsideFolder(const std::filesystem::path& mainFolder);

}  // namespace kz::test
