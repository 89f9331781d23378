// The registry and the file system as the scenarios arrange and inspect them.
#pragma once

#include <windows.h>

#include <optional>
#include <set>
#include <string>

namespace e2e {

inline constexpr char kProductKey[] = "Software\\RVN\\Kestrome\\6.00\\General";
inline constexpr char kMainFolderValue[] = "Main Folder Path";

bool setRegistryString(HKEY root, const char* value, const std::string& text);
void deleteRegistryValue(HKEY root, const char* value);
std::optional<std::string> readRegistryString(HKEY root, const char* value);
// Removes "Main Folder Path" from both hives.
void forgetMainFolder();

// The names in folder (without "." and "..").
std::set<std::string> folderEntries(const std::string& folder);
std::string tempFolder();
bool pathExists(const std::string& path);
std::optional<std::string> readFile(const std::string& path);
bool writeFile(const std::string& path, const std::string& content);
bool makeFolders(const std::string& path);
// Deletes a folder tree; true when it is gone.
bool removeTree(const std::string& path);
std::string join(const std::string& folder, const std::string& name);

}  // namespace e2e
