// The test seam of the platform services: each service's guard installs a replacement that its
// accessor hands out, guards nest and come off in reverse order, and each service has a seam of
// its own, so that replacing one leaves every other native.
#include "platform/service_override.h"

#include <gtest/gtest.h>

#include <array>

#include "platform/admin_folders.h"
#include "platform/file_probe.h"
#include "platform/file_version.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/message_format.h"
#include "platform/path_service.h"
#include "platform/registry.h"
#include "platform/shell_move.h"

namespace kz::platform {
namespace {

// Replacements that are only told apart by their addresses: none of their calls is made.
struct StubProbe final : FileProbe {
  bool openExclusively(const char*) override { return false; }
};
struct StubVersions final : FileVersions {
  uint64_t productVersion(const char*) override { return 0; }
};
struct StubBoxes final : MessageBoxService {
  int32_t show(const char*, const char*, uint32_t) override { return 0; }
};
struct StubFormatter final : MessageFormatter {
  std::string format(const char*, std::initializer_list<const char*>) override { return {}; }
};
struct StubPaths final : PathService {
  const char* nextChar(const char* p) override { return p; }
  bool append(char*, const char*) override { return false; }
  bool addBackslash(char*) override { return false; }
  void removeBackslash(char*) override {}
  void removeFileSpec(char*) override {}
  bool renameExtension(char*, const char*) override { return false; }
};
struct StubRegistry final : Registry {
  uint32_t readString(RegistryRoot, const char*, const char*, char*, uint32_t&) override { return 0; }
  uint32_t setString(RegistryRoot, const char*, const char*, const char*) override { return 0; }
  uint32_t deleteValue(RegistryRoot, const char*, const char*) override { return 0; }
};
struct StubMover final : ShellMover {
  bool moveFile(const char*, const char*, void*) override { return false; }
};
struct StubFolders final : ForwardingAdminFolders {
  StubFolders() : ForwardingAdminFolders(nativeAdminFolders()) {}
};
struct StubFiles final : ForwardingFileSystem {
  StubFiles() : ForwardingFileSystem(nativeFileSystem()) {}
};

// Which of the nine services hand out something other than their native implementation, in the
// order of the seams below.
std::array<bool, 9> replacedServices() {
  return {&fileSystem() != &nativeFileSystem(),   &fileProbe() != &nativeFileProbe(),
          &fileVersions() != &nativeFileVersions(), &messageBoxService() != &nativeMessageBoxService(),
          &messageFormatter() != &nativeMessageFormatter(), &pathService() != &nativePathService(),
          &registry() != &nativeRegistry(),        &shellMover() != &nativeShellMover(),
          &adminFolders() != &nativeAdminFolders()};
}

// One service's seam: its guard by the name the tests use, its accessor, its native service, a
// replacement, and its place in replacedServices().
template <class Guard, class Service, Service& (*Current)(), Service& (*Native)(), class Stub, size_t Index>
struct Seam {
  using GuardType = Guard;
  using StubType = Stub;
  static Service& current() { return Current(); }
  static Service& native() { return Native(); }
  static constexpr size_t kIndex = Index;
};

// Named, so that each case's name says which service it is about.
struct FileSystemSeam : Seam<ScopedFileSystem, FileSystem, fileSystem, nativeFileSystem, StubFiles, 0> {};
struct FileProbeSeam : Seam<ScopedFileProbe, FileProbe, fileProbe, nativeFileProbe, StubProbe, 1> {};
struct FileVersionsSeam
    : Seam<ScopedFileVersions, FileVersions, fileVersions, nativeFileVersions, StubVersions, 2> {};
struct MessageBoxSeam
    : Seam<ScopedMessageBoxService, MessageBoxService, messageBoxService, nativeMessageBoxService, StubBoxes, 3> {};
struct MessageFormatterSeam
    : Seam<ScopedMessageFormatter, MessageFormatter, messageFormatter, nativeMessageFormatter, StubFormatter, 4> {};
struct PathServiceSeam : Seam<ScopedPathService, PathService, pathService, nativePathService, StubPaths, 5> {};
struct RegistrySeam : Seam<ScopedRegistry, Registry, registry, nativeRegistry, StubRegistry, 6> {};
struct ShellMoverSeam : Seam<ScopedShellMover, ShellMover, shellMover, nativeShellMover, StubMover, 7> {};
struct AdminFoldersSeam
    : Seam<ScopedAdminFolders, AdminFolders, adminFolders, nativeAdminFolders, StubFolders, 8> {};

using Seams = ::testing::Types<FileSystemSeam, FileProbeSeam, FileVersionsSeam, MessageBoxSeam, MessageFormatterSeam,
                               PathServiceSeam, RegistrySeam, ShellMoverSeam, AdminFoldersSeam>;

template <class S>
class ServiceOverride : public ::testing::Test {};
TYPED_TEST_SUITE(ServiceOverride, Seams);

// Without a guard the accessor is the native service; each guard's replacement is handed out for
// its lifetime, and its end puts back the one it replaced, down to the native service.
TYPED_TEST(ServiceOverride, ReplacementsNestAndComeOffInReverseOrder) {
  using S = TypeParam;
  ASSERT_EQ(&S::current(), &S::native());
  typename S::StubType outer;
  typename S::StubType inner;
  {
    typename S::GuardType outerGuard(outer);
    EXPECT_EQ(&S::current(), &outer);
    {
      typename S::GuardType innerGuard(inner);
      EXPECT_EQ(&S::current(), &inner);
    }
    EXPECT_EQ(&S::current(), &outer);
  }
  EXPECT_EQ(&S::current(), &S::native());
}

// A replacement of one service changes no other service's accessor.
TYPED_TEST(ServiceOverride, ReplacesOnlyItsOwnService) {
  using S = TypeParam;
  std::array<bool, 9> expected{};
  ASSERT_EQ(replacedServices(), expected);
  typename S::StubType replacement;
  typename S::GuardType guard(replacement);
  expected[S::kIndex] = true;
  EXPECT_EQ(replacedServices(), expected);
}

}  // namespace
}  // namespace kz::platform
