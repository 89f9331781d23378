// Win32 administrators' folders: a DACL given at creation, a handle held without delete sharing,
// and a removal that deletes reparse points themselves instead of walking into them.
#include "platform/admin_folders.h"

#include <windows.h>
#include <sddl.h>
#include <winternl.h>

#include <string>
#include <utility>
#include <vector>

namespace kz::platform {
namespace {

// Owner Administrators (O:BA); a protected DACL (D:P), so nothing is inherited from the user's
// temporary folder; full access (FA) for SYSTEM (SY) and Administrators (BA), inherited by the
// files (OI) and folders (CI) created inside.
constexpr char kAdminOnly[] = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

bool isLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

// Creates the folder and opens it in one call, as CreateDirectoryA does inside, so that no other
// folder can be put in its place between the creation and the open. NtCreateFile is looked up in
// ntdll, which every process has loaded.
HANDLE createAndOpen(const char* path, PSECURITY_DESCRIPTOR descriptor) {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  if (ntdll == nullptr) return INVALID_HANDLE_VALUE;
  const auto create = reinterpret_cast<decltype(&NtCreateFile)>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtCreateFile")));
  const auto toNtPath = reinterpret_cast<decltype(&RtlDosPathNameToNtPathName_U)>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlDosPathNameToNtPathName_U")));
  const auto freeString = reinterpret_cast<decltype(&RtlFreeUnicodeString)>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlFreeUnicodeString")));
  if (create == nullptr || toNtPath == nullptr || freeString == nullptr) return INVALID_HANDLE_VALUE;
  // The path is in the ANSI code page, as every other file call of the updater takes it.
  wchar_t wide[MAX_PATH] = {};
  if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, wide, MAX_PATH) == 0) return INVALID_HANDLE_VALUE;
  UNICODE_STRING ntPath{};
  if (!toNtPath(wide, &ntPath, nullptr, nullptr)) return INVALID_HANDLE_VALUE;
  // OBJ_CASE_INSENSITIVE: names compare as the Win32 calls compare them.
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &ntPath, OBJ_CASE_INSENSITIVE, nullptr, descriptor);
  IO_STATUS_BLOCK io{};
  HANDLE handle = nullptr;
  // FILE_LIST_DIRECTORY: an access to the folder's data, without which the share mode would not be
  // enforced; SYNCHRONIZE and FILE_SYNCHRONOUS_IO_NONALERT: an ordinary synchronous handle. No
  // FILE_SHARE_DELETE: nobody may rename or delete the folder while the handle is open. FILE_CREATE:
  // fails when anything of that name stands there, so no existing folder or link is ever opened.
  const NTSTATUS status = create(&handle, FILE_LIST_DIRECTORY | SYNCHRONIZE, &attributes, &io, nullptr,
                                 FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_CREATE,
                                 FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  freeString(&ntPath);
  return status >= 0 ? handle : INVALID_HANDLE_VALUE;
}

class Win32AdminFolders final : public AdminFolders {
 public:
  bool create(const char* path, bool held) override {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kAdminOnly, SDDL_REVISION_1, &descriptor, nullptr)) {
      return false;
    }
    HANDLE handle = createAndOpen(path, descriptor);
    LocalFree(descriptor);
    if (handle == INVALID_HANDLE_VALUE) return false;
    if (held) {
      held_.emplace_back(path, handle);
    } else {
      CloseHandle(handle);
    }
    return true;
  }

  void release(const char* path) override {
    for (auto it = held_.begin(); it != held_.end(); ++it) {
      if (it->first == path) {
        CloseHandle(it->second);
        held_.erase(it);
        return;
      }
    }
  }

  bool removeTree(const char* path) override {
    std::string folder = path;
    while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (!isLink(attributes)) removeEntries(folder);
    RemoveDirectoryA(folder.c_str());  // a junction or folder link goes by itself, its target stays
    return GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES;
  }

 private:
  // The entries of a folder that is no reparse point, deepest first. GetFileAttributesA and the
  // search both report a link's own attributes, so a link is never entered.
  static void removeEntries(const std::string& folder) {
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string entry = folder + "\\" + name;
      const DWORD attributes = found.dwFileAttributes;
      if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        if (!isLink(attributes)) removeEntries(entry);
        RemoveDirectoryA(entry.c_str());  // a junction or folder link: the link goes, its target stays
      } else {
        if (!isLink(attributes) && (attributes & FILE_ATTRIBUTE_READONLY) != 0) SetFileAttributesA(entry.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(entry.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }

  std::vector<std::pair<std::string, HANDLE>> held_;
};

}  // namespace

AdminFolders& nativeAdminFolders() {
  static Win32AdminFolders instance;
  return instance;
}

}  // namespace kz::platform
