// The demo's steps on the Windows side: merge the update into a copy of the updater, run it over
// the installed product, press Install, and leave the finished dialog open for its screenshot.
#include "demo.h"

#include <cstdio>
#include <string>

#include "scenario.h"
#include "system.h"

namespace e2e {

int runDemoInstall(const std::string& updater, const std::string& root) {
  Env env;
  env.updater = updater;
  env.root = root;
  const std::string folder = join(root, "Update");
  makeFolders(folder);
  const std::string copy = join(folder, "kestrome_update.exe");
  CopyFileA(updater.c_str(), copy.c_str(), FALSE);

  Process merge;
  if (!merge.start(copy, "MERGE_KZ6_FILE:\"" + join(root, "update.kz6") + "\"")) return 1;
  HWND box = waitMessageBox(merge.id(), kMergeCaption);
  if (box == nullptr) return 1;
  // The box's text as the user reads it: a "merge: " line of output for each of its lines (the
  // demo drops the carriage returns).
  const std::string message = itemText(box, kMessageText);
  size_t start = 0;
  for (size_t end; (end = message.find('\n', start)) != std::string::npos; start = end + 1) {
    std::printf("merge: %s\n", message.substr(start, end - start).c_str());
  }
  std::printf("merge: %s\n", message.substr(start).c_str());
  press(box, IDOK);
  merge.waitExit();
  const std::string merged = join(folder, "kaem_update611.exe");
  if (!pathExists(merged)) return 1;

  setRegistryString(HKEY_LOCAL_MACHINE, kMainFolderValue, join(root, "Kestrome"));
  static Process update;  // left running: the dialog stays open for its screenshot
  HWND dialog = openMainDialog(env, update, merged);
  if (dialog == nullptr) return 1;
  press(dialog, KZ_IDC_INSTALL);
  const std::string log = waitRunEnd(dialog, 120000);
  writeFile(join(root, "log.txt"), log);
  RECT rect{};
  GetWindowRect(dialog, &rect);
  writeFile(join(root, "rect.txt"), std::to_string(rect.right - rect.left) + "x" + std::to_string(rect.bottom - rect.top) +
                                        "+" + std::to_string(rect.left) + "+" + std::to_string(rect.top));
  return log.find(kInstallCompleted) != std::string::npos && env.check.failures() == 0 ? 0 : 1;
}

int closeDemoDialog() {
  HWND dialog = FindWindowA("#32770", kTitle);
  if (dialog == nullptr) return 1;
  press(dialog, KZ_IDC_QUIT);
  return waitUntil([&] { return !IsWindow(dialog); }) ? 0 : 1;
}

}  // namespace e2e
