// Registry and file helpers of the driver, on the plain Win32 calls.
#include "system.h"

#include <shlwapi.h>

#include <vector>

namespace e2e {

bool setRegistryString(HKEY root, const char* value, const std::string& text) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(root, kProductKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG result = RegSetValueExA(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                     static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

void deleteRegistryValue(HKEY root, const char* value) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, kProductKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, value);
  RegCloseKey(key);
}

std::optional<std::string> readRegistryString(HKEY root, const char* value) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, kProductKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
  DWORD size = 0;
  LONG result = RegQueryValueExA(key, value, nullptr, nullptr, nullptr, &size);
  std::vector<char> data(size + 1, '\0');
  if (result == ERROR_SUCCESS) {
    result = RegQueryValueExA(key, value, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size);
  }
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return std::nullopt;
  return std::string(data.data());
}

void forgetMainFolder() {
  deleteRegistryValue(HKEY_LOCAL_MACHINE, kMainFolderValue);
  deleteRegistryValue(HKEY_CURRENT_USER, kMainFolderValue);
}

std::set<std::string> folderEntries(const std::string& folder) {
  std::set<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(join(folder, "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = data.cFileName;
    if (name != "." && name != "..") names.insert(name);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return names;
}

std::string tempFolder() {
  char buffer[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, buffer);
  return buffer;
}

bool pathExists(const std::string& path) { return PathFileExistsA(path.c_str()) != FALSE; }

std::optional<std::string> readFile(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string content;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) content.append(buffer, got);
  CloseHandle(file);
  return content;
}

bool writeFile(const std::string& path, const std::string& content) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == content.size();
}

bool makeFolders(const std::string& path) {
  for (size_t i = 3; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\') CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
  }
  return pathExists(path);
}

bool removeTree(const std::string& path) {
  for (const std::string& name : folderEntries(path)) {
    const std::string child = join(path, name);
    const DWORD attributes = GetFileAttributesA(child.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      removeTree(child);
    } else {
      SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(child.c_str());
    }
  }
  RemoveDirectoryA(path.c_str());
  return !pathExists(path);
}

std::string join(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '\\') return folder + name;
  return folder + "\\" + name;
}

}  // namespace e2e
