// Win32 administrators' folders: a DACL given at creation, a handle held without delete sharing,
// and a removal that deletes reparse points themselves instead of walking into them.
#include "platform/admin_folders.h"

#include <windows.h>
#include <sddl.h>

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

class Win32AdminFolders final : public AdminFolders {
 public:
  bool create(const char* path) override {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kAdminOnly, SDDL_REVISION_1, &descriptor, nullptr)) {
      return false;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const BOOL created = CreateDirectoryA(path, &attributes);
    LocalFree(descriptor);
    return created != FALSE;
  }

  bool hold(const char* path) override {
    // FILE_LIST_DIRECTORY: an access to the folder's data, without which the share mode below
    // would not be enforced. No FILE_SHARE_DELETE: nobody may rename or delete the folder while
    // the handle is open. FILE_FLAG_BACKUP_SEMANTICS: needed to open a folder at all.
    // FILE_FLAG_OPEN_REPARSE_POINT: a junction in the folder's place is opened itself, not followed.
    HANDLE handle = CreateFileA(path, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        isLink(info.dwFileAttributes)) {
      CloseHandle(handle);
      return false;
    }
    held_.emplace_back(path, handle);
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
        RemoveDirectoryA(entry.c_str());
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
