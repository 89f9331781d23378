// Dialog template decoding; a template that runs past its data is refused.
#include "dialog_template.h"

namespace kz::test {
namespace {

class Cursor {
 public:
  explicit Cursor(const std::vector<uint8_t>& data) : data_(data) {}
  bool ok() const { return ok_; }
  uint16_t u16() {
    if (at_ + 2 > data_.size()) { ok_ = false; return 0; }
    const uint16_t v = static_cast<uint16_t>(data_[at_] | (data_[at_ + 1] << 8));
    at_ += 2;
    return v;
  }
  uint32_t u32() { const uint32_t lo = u16(); return lo | (static_cast<uint32_t>(u16()) << 16); }
  int16_t s16() { return static_cast<int16_t>(u16()); }
  void alignDword() { at_ = (at_ + 3) & ~size_t{3}; }
  void skip(size_t n) { at_ += n; if (at_ > data_.size()) ok_ = false; }
  std::string wideZ() {
    std::string out;
    while (ok_) {
      const uint16_t c = u16();
      if (c == 0) break;
      out += static_cast<char>(c);
    }
    return out;
  }
  // A name or ordinal field: nothing, 0xFFFF and a number, or a string.
  std::string nameOrOrdinal() {
    const uint16_t first = u16();
    if (first == 0) return "";
    if (first == 0xFFFF) return ordinalName(u16());
    std::string out(1, static_cast<char>(first));
    return out + wideZ();
  }

 private:
  static std::string ordinalName(uint16_t ordinal) {
    switch (ordinal) {
      case 0x80: return "Button";
      case 0x81: return "Edit";
      case 0x82: return "Static";
      case 0x83: return "ListBox";
      case 0x84: return "ScrollBar";
      case 0x85: return "ComboBox";
      default: return "#" + std::to_string(ordinal);
    }
  }
  const std::vector<uint8_t>& data_;
  size_t at_ = 0;
  bool ok_ = true;
};

constexpr uint32_t kSetFont = 0x40;

}  // namespace

std::optional<DialogTemplate> parseDialogTemplate(const std::vector<uint8_t>& data) {
  Cursor in(data);
  DialogTemplate t;
  const uint16_t version = in.u16();
  const uint16_t signature = in.u16();
  t.extended = version == 1 && signature == 0xFFFF;
  uint16_t count = 0;
  if (t.extended) {
    in.u32();  // help id
    t.exStyle = in.u32();
    t.style = in.u32();
  } else {
    t.style = static_cast<uint32_t>(version) | (static_cast<uint32_t>(signature) << 16);
    t.exStyle = in.u32();
  }
  count = in.u16();
  t.x = in.s16(); t.y = in.s16(); t.cx = in.s16(); t.cy = in.s16();
  in.nameOrOrdinal();  // menu
  in.nameOrOrdinal();  // class
  t.title = in.wideZ();
  if (t.style & kSetFont) {
    t.pointSize = in.u16();
    if (t.extended) { in.u16(); in.skip(2); }  // weight, italic and character set
    t.typeface = in.wideZ();
  }
  for (uint16_t i = 0; i < count && in.ok(); ++i) {
    in.alignDword();
    DialogItem item;
    if (t.extended) {
      in.u32();  // help id
      item.exStyle = in.u32();
      item.style = in.u32();
    } else {
      item.style = in.u32();
      item.exStyle = in.u32();
    }
    item.x = in.s16(); item.y = in.s16(); item.cx = in.s16(); item.cy = in.s16();
    item.id = t.extended ? in.u32() : in.u16();
    item.className = in.nameOrOrdinal();
    item.text = in.nameOrOrdinal();
    in.skip(in.u16());  // creation data
    t.items.push_back(item);
  }
  if (!in.ok()) return std::nullopt;
  return t;
}

}  // namespace kz::test
