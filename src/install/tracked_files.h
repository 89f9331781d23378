// The tracked-file table: the 23 product files this update knows by name, and per file what is
// known of its installed copy and of its new copy in the work folder.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "install/shell_paths.h"
#include "package/package_header.h"

namespace kz {

enum class TrackedKind : uint8_t {
  Library,      // L: product version only
  Application,  // A: product version and the PackageHeader it carries
  Tool,         // T: product version only
  Help,         // H: existence only; replaced together with its application or tool
};

inline constexpr int kNoHelpRow = -1;

struct TrackedRow {
  const char* relativePath;
  TrackedKind kind;
  int helpRow;
};

inline constexpr int kTrackedFileCount = 23;

inline constexpr std::array<TrackedRow, kTrackedFileCount> kTrackedRows = {{
    {"bin\\lib01.dll", TrackedKind::Library, kNoHelpRow},
    {"bin\\lib02.dll", TrackedKind::Library, kNoHelpRow},
    {"bin\\lib03.dll", TrackedKind::Library, kNoHelpRow},
    {"bin\\app01.exe", TrackedKind::Application, 16},
    {"bin\\app02.exe", TrackedKind::Application, 17},
    {"bin\\app03.exe", TrackedKind::Application, 18},
    {"bin\\app04.exe", TrackedKind::Application, 19},
    {"bin\\app05.exe", TrackedKind::Application, 20},
    {"bin\\app06.exe", TrackedKind::Application, 21},
    {"bin\\tool01.exe", TrackedKind::Tool, kNoHelpRow},
    {"bin\\tool02.exe", TrackedKind::Tool, kNoHelpRow},
    {"bin\\tool03.exe", TrackedKind::Tool, kNoHelpRow},
    {"bin\\tool04.exe", TrackedKind::Tool, 22},
    {"bin\\tool05.exe", TrackedKind::Tool, kNoHelpRow},
    {"bin\\tool06.exe", TrackedKind::Tool, kNoHelpRow},
    {"bin\\tool07.exe", TrackedKind::Tool, kNoHelpRow},
    {"misc.set\\hlpfiles\\app01\\app01_help.chm", TrackedKind::Help, kNoHelpRow},
    {"misc.set\\hlpfiles\\app02\\app02_help.chm", TrackedKind::Help, kNoHelpRow},
    {"misc.set\\hlpfiles\\app03\\app03_help.chm", TrackedKind::Help, kNoHelpRow},
    {"misc.set\\hlpfiles\\app04\\app04_help.chm", TrackedKind::Help, kNoHelpRow},
    {"misc.set\\hlpfiles\\app05\\app05_help.chm", TrackedKind::Help, kNoHelpRow},
    {"misc.set\\hlpfiles\\app06\\app06_help.chm", TrackedKind::Help, kNoHelpRow},
    {"misc.set\\hlpfiles\\tool04\\tool04_help.chm", TrackedKind::Help, kNoHelpRow},
}};

// Every folder that a tracked path lies in, each once ("bin", "misc.set\hlpfiles\app01",
// "misc.set\hlpfiles", "misc.set", ...): a path's own folder before the folders it lies in.
std::vector<std::string> TrackedFolders();

// The older WinHelp companions of a help row: same path with these extensions.
inline constexpr const char* kWinHelpExtension = ".hlp";
inline constexpr const char* kWinHelpIndexExtension = ".gid";

struct TrackedFile {
  PackageHeader installedHeader{};
  PackageHeader newHeader{};
  uint64_t installedVersion = 0;
  uint64_t newVersion = 0;
  uint32_t installedHeaderOffset = 0;
  uint32_t newHeaderOffset = 0;
  // Whether a header was found and read on each side: offset 0 is a valid place for one, so the
  // offset alone cannot say.
  bool installedHeaderFound = false;
  bool newHeaderFound = false;
  bool installedExists = false;
  bool newExists = false;
  bool copy = false;
  // The installed file's attributes when it was gathered: what the in-use probe and a rollback
  // put back.
  uint32_t installedAttributes = 0;
  // The probe took the read-only attribute and could not give it back at once; the install
  // sequence tries again when the run ends.
  bool attributesPending = false;
  char installedPath[platform::kMaxPath] = {};
  char newPath[platform::kMaxPath] = {};
};

using TrackedFileTable = std::array<TrackedFile, kTrackedFileCount>;

// Resets every row and composes its two paths. False when a path does not fit in 260 bytes; the
// row's path is then left empty, so that it matches no file.
bool BuildTrackedFileTable(TrackedFileTable& table, const char* mainFolder, const char* workFolder);
void GatherInstalledInfo(TrackedFileTable& table);
void GatherNewInfo(TrackedFileTable& table);
// The product version of a file's version resource; 0 when it has none.
uint64_t ReadProductVersion(const char* path);

// The four 16-bit components of a product version, most significant first.
inline uint16_t versionMajor(uint64_t v) { return static_cast<uint16_t>(v >> 48); }
inline uint16_t versionMinor(uint64_t v) { return static_cast<uint16_t>(v >> 32); }
inline uint16_t versionThird(uint64_t v) { return static_cast<uint16_t>(v >> 16); }
inline uint16_t versionFourth(uint64_t v) { return static_cast<uint16_t>(v); }
inline constexpr uint64_t makeVersion(uint16_t major, uint16_t minor, uint16_t third, uint16_t fourth) {
  return (uint64_t{major} << 48) | (uint64_t{minor} << 32) | (uint64_t{third} << 16) | fourth;
}

}  // namespace kz
