// Folders for what the elevated updater writes and later installs: made so that only
// administrators can change them, held open while they are in use, and removed without following
// a link out of them.
//
// On Windows a private folder gets a protected DACL, full control for SYSTEM and Administrators
// and nothing for anyone else, inherited by everything created in it, with Administrators as
// owner; the POSIX stand-in gives the folder mode 0700.
#pragma once

#include "platform/service_override.h"

namespace kz::platform {

class AdminFolders {
 public:
  virtual ~AdminFolders() = default;
  // Creates the folder with the private DACL from the start (never a folder fixed up later). False
  // when the folder cannot be created with it, or when anything of that name stands there already;
  // then there is no new folder. With held, the folder is opened by the creation itself and kept
  // open without delete sharing, so that it can be neither renamed nor deleted, nor swapped for
  // another folder of the same name, until released.
  virtual bool create(const char* path, bool held) = 0;
  // Closes the hold on the folder, when there is one.
  virtual void release(const char* path) = 0;
  // Deletes the folder and everything in it for good. A reparse point met on the way (a junction
  // or a symbolic link) is removed itself and never followed. True when the folder is gone.
  virtual bool removeTree(const char* path) = 0;
};

AdminFolders& nativeAdminFolders();
inline AdminFolders& adminFolders() { return currentService(nativeAdminFolders); }

using ScopedAdminFolders = ScopedOverride<AdminFolders>;

// Forwards every call to another service; tests derive from it and override the calls they watch.
class ForwardingAdminFolders : public AdminFolders {
 public:
  explicit ForwardingAdminFolders(AdminFolders& inner) : inner_(inner) {}
  bool create(const char* p, bool h) override { return inner_.create(p, h); }
  void release(const char* p) override { inner_.release(p); }
  bool removeTree(const char* p) override { return inner_.removeTree(p); }

 protected:
  AdminFolders& inner_;
};

}  // namespace kz::platform
