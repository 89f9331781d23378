// Decodes a dialog template resource (the DIALOG and DIALOGEX forms) for tests of the resources.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kz::test {

struct DialogItem {
  uint32_t style = 0;
  uint32_t exStyle = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  uint32_t id = 0;
  std::string className;  // "Button", "Edit", "Static"... for the predefined class ordinals
  std::string text;
};

struct DialogTemplate {
  bool extended = false;
  uint32_t style = 0;
  uint32_t exStyle = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  std::string title;
  uint16_t pointSize = 0;
  std::string typeface;
  std::vector<DialogItem> items;  // in tab order
};

std::optional<DialogTemplate> parseDialogTemplate(const std::vector<uint8_t>& data);

}  // namespace kz::test
