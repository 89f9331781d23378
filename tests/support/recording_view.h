// A DialogView that keeps what the Windows dialog would show: log text, title, each control's
// caption, enabled state, the focus, every beep and every question asked.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "app/dialog_view.h"

namespace kz::test {

class RecordingView final : public DialogView {
 public:
  RecordingView();

  std::string logText() override { return log; }
  void setLogText(const char* text) override { log = text; ++logWrites; }
  void setTitle(const char* text) override { title = text; }
  void enableControl(int id, bool on) override { enabled[id] = on; }
  bool controlEnabled(int id) override { return enabled[id]; }
  std::string controlText(int id) override { return captions[id]; }
  void setControlText(int id, const char* text) override { captions[id] = text; }
  void focusControl(int id) override { focus = id; }
  void beep(uint32_t type) override { beeps.push_back(type); }
  bool askYesNo(const char* text, const char* caption) override {
    questions.push_back(std::string(caption) + "|" + text);
    return answerYes;
  }
  void close(int result) override { closedWith = result; }
  void* windowHandle() override { return nullptr; }

  std::string log;
  int logWrites = 0;
  std::string title;
  std::map<int, bool> enabled;
  std::map<int, std::string> captions;
  int focus = 0;
  std::vector<uint32_t> beeps;
  std::vector<std::string> questions;
  bool answerYes = false;
  int closedWith = 0;  // 0 while the dialog is open
};

}  // namespace kz::test
