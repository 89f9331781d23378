// The Windows side of the platform boundary, run inside the driver under Wine: what the native
// tests prove of the POSIX stand-in, proved here of the Win32 calls themselves.
#include <windows.h>

#include "platform/message_format.h"
#include "platform/path_service.h"
#include "scenario.h"

namespace e2e {

// FormatMessageA with fewer arguments than inserts: each insert without an argument (or with a
// null one) is left as it stands, and nothing is read past the arguments given.
E2E_SCENARIO(win32_message_formatter_keeps_missing_inserts) {
  kz::platform::MessageFormatter& formatter = kz::platform::nativeMessageFormatter();
  env.check.equal(formatter.format("a %1 b %2 c %12.", {"x"}), "a x b %2 c %12.", "one argument for three inserts");
  env.check.equal(formatter.format("%1%n%2", {}), "%1\r\n%2", "no arguments");
  env.check.equal(formatter.format("[%2|%1]", {nullptr, "y"}), "[y|%1]", "a null argument");
  env.check.equal(formatter.format("%1 %%", {"v6.11"}), "v6.11 %", "a full set");
}

// The shell's path helpers under the process's code page, 1252 here (the runner sets no locale):
// byte 0x5C is a backslash wherever it stands.
E2E_SCENARIO(win32_path_service_joins) {
  kz::platform::PathService& paths = kz::platform::nativePathService();
  char path[MAX_PATH] = "C:\\Kestrome";
  env.check.that(paths.append(path, "bin\\lib01.dll"), "append");
  env.check.equal(path, "C:\\Kestrome\\bin\\lib01.dll", "joined with one backslash");
  char root[MAX_PATH] = "K:\\";
  paths.removeBackslash(root);
  env.check.equal(root, "K:\\", "a root keeps its backslash");
  char file[MAX_PATH] = "K:\\a.b";
  paths.removeFileSpec(file);
  env.check.equal(file, "K:\\", "a file in a root leaves the root");
  char full[MAX_PATH] = {};
  for (int i = 0; i < MAX_PATH - 1; ++i) full[i] = 'x';
  env.check.that(!paths.addBackslash(full) && full[MAX_PATH - 2] == 'x' && full[MAX_PATH - 1] == '\0',
                 "no backslash past the buffer's end");
  char longer[MAX_PATH] = "C:\\folder";
  const std::string tail(MAX_PATH - 5, 'y');
  env.check.that(!paths.append(longer, tail.c_str()), "a join that does not fit fails");
  env.check.equal(longer, "C:\\folder", "and leaves the path as it was");
}

// Under code page 932 (the runner sets a Japanese locale) "表", 0x95 0x5C, is one character: its
// second byte is no backslash to any of the helpers or to the character walk.
E2E_SCENARIO(win32_path_service_double_byte) {
  if (!env.check.equal(static_cast<long long>(GetACP()), 932, "the system code page")) return;
  kz::platform::PathService& paths = kz::platform::nativePathService();
  char joined[MAX_PATH] = "C:\\\x95\x5C";
  env.check.that(paths.append(joined, "bin"), "append");
  env.check.equal(joined, "C:\\\x95\x5C\\bin", "a separator after the character");
  char added[MAX_PATH] = "C:\\\x95\x5C";
  env.check.that(paths.addBackslash(added), "add a backslash");
  env.check.equal(added, "C:\\\x95\x5C\\", "a backslash after the character");
  char kept[MAX_PATH] = "C:\\\x95\x5C";
  paths.removeBackslash(kept);
  env.check.equal(kept, "C:\\\x95\x5C", "the character keeps its second byte");
  char removed[MAX_PATH] = "C:\\\x95\x5C\\";
  paths.removeBackslash(removed);
  env.check.equal(removed, "C:\\\x95\x5C", "only the real backslash goes");
  char inFolder[MAX_PATH] = "C:\\\x95\x5C\\a.b";
  paths.removeFileSpec(inFolder);
  env.check.equal(inFolder, "C:\\\x95\x5C", "the folder of a file inside it");
  env.check.that(!kz::platform::endsWithBackslash("C:\\\x95\x5C"), "the walk sees no trailing backslash");
  env.check.equal(static_cast<long long>(kz::platform::parentCut("\x95\x5C\\name")), 2, "the parent ends after it");
}

}  // namespace e2e
