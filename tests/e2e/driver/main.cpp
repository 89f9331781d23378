// The end-to-end driver: `kz_e2e_driver <scenario> <updater.exe> <scratch folder>` runs one scenario
// and exits 0 when every expectation held; `kz_e2e_driver prepare-prefix` configures a fresh prefix;
// `kz_e2e_driver list` prints the scenario names; `demo-install <updater.exe> <folder>` and
// `demo-close` are the demo's steps.
#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <string>

#include "demo.h"
#include "scenario.h"
#include "system.h"

namespace {

// Without a window manager Wine waits about two seconds each time it hides a window; an
// unmanaged X11 driver does not.
int preparePrefix() {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\X11 Driver", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    std::printf("cannot open the X11 driver key\n");
    return 1;
  }
  const char managed[] = "N";
  const LONG result = RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(managed), 2);
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? 0 : 1;
}

// Ends every updater left running by an earlier scenario that failed or was stopped, so that its
// single-instance mutex cannot turn this scenario's updater into a second instance.
void endLeftoverUpdaters() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    const std::string name = entry.szExeFile;
    if (lstrcmpiA(name.c_str(), "kestrome_update.exe") != 0 && lstrcmpiA(name.c_str(), "kaem_update611.exe") != 0) {
      continue;
    }
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
      TerminateProcess(process, 98);
      WaitForSingleObject(process, 5000);
      CloseHandle(process);
    }
  }
  CloseHandle(snapshot);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]) == "prepare-prefix") return preparePrefix();
  if (argc >= 2 && std::string(argv[1]) == "list") {
    e2e::listScenarios();
    return 0;
  }
  if (argc >= 2 && std::string(argv[1]) == "demo-close") return e2e::closeDemoDialog();
  if (argc >= 4 && std::string(argv[1]) == "demo-install") return e2e::runDemoInstall(argv[2], argv[3]);
  if (argc < 4) {
    std::printf("usage: kz_e2e_driver <scenario> <updater.exe> <scratch folder>\n");
    return 2;
  }
  const e2e::Scenario* scenario = e2e::findScenario(argv[1]);
  if (scenario == nullptr) {
    std::printf("unknown scenario %s\n", argv[1]);
    return 2;
  }
  e2e::Env env;
  env.updater = argv[2];
  env.root = argv[3];
  endLeftoverUpdaters();
  e2e::forgetMainFolder();
  scenario->run(env);
  endLeftoverUpdaters();
  return env.check.failures() == 0 ? 0 : 1;
}
