// Serialising KZ6 forms and filling them up to a package area's capacity.
#include "package/form_writer.h"

namespace kz {
namespace {

constexpr size_t kFormHeadSize = 12;
constexpr size_t kChunkHeadSize = 8;

void storeBigEndian32(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value >> 24);
  p[1] = static_cast<uint8_t>(value >> 16);
  p[2] = static_cast<uint8_t>(value >> 8);
  p[3] = static_cast<uint8_t>(value);
}

void updateFormLength(std::vector<uint8_t>& form) {
  storeBigEndian32(form.data() + 4, static_cast<uint32_t>(form.size() - 8));
}

// The offset of the last NAME chunk's head, or 0 when the form has none. Walks the chunks by
// their lengths, as a reader does.
size_t lastNameChunk(const std::vector<uint8_t>& form) {
  size_t last = 0;
  size_t at = kFormHeadSize;
  while (at + kChunkHeadSize <= form.size()) {
    if (loadBigEndian32(form.data() + at) == kNameId) last = at;
    at += kChunkHeadSize + loadBigEndian32(form.data() + at + 4);
  }
  return last;
}

}  // namespace

std::vector<uint8_t> writeForm(uint32_t version, const std::vector<FormWriterEntry>& entries) {
  std::vector<uint8_t> form;
  appendBigEndian32(form, kFormId);
  appendBigEndian32(form, 0);
  appendBigEndian32(form, kKz6Type);
  const uint8_t vers[4] = {static_cast<uint8_t>(version >> 24), static_cast<uint8_t>(version >> 16),
                           static_cast<uint8_t>(version >> 8), static_cast<uint8_t>(version)};
  appendChunk(form, kVersId, vers, 4);
  for (const FormWriterEntry& e : entries) {
    const std::vector<uint8_t> name =
        encodeNameData(e.attributes, e.time, static_cast<uint32_t>(e.member.size()), e.uncompressedSize,
                       e.path.c_str(), e.note.c_str());
    appendChunk(form, kNameId, name.data(), static_cast<uint32_t>(name.size()));
    appendChunk(form, kBodyId, e.member.data(), static_cast<uint32_t>(e.member.size()));
  }
  updateFormLength(form);
  return form;
}

bool padForm(std::vector<uint8_t>& form, uint32_t capacity) {
  if (form.size() > capacity || (capacity & 1u) != 0 || form.size() < kFormHeadSize) return false;
  const size_t left = capacity - form.size();
  if (left == 4 || left == 6) {
    const size_t name = lastNameChunk(form);
    if (name == 0) return false;
    const uint32_t length = loadBigEndian32(form.data() + name + 4);
    const auto end = form.begin() + static_cast<long>(name + kChunkHeadSize + length);
    form.insert(end, left, 0);
    storeBigEndian32(form.data() + name + 4, length + static_cast<uint32_t>(left));
  } else if (left == 2) {
    form.insert(form.end(), 2, 0);
  } else if (left >= kChunkHeadSize) {
    appendBigEndian32(form, kPadId);
    appendBigEndian32(form, static_cast<uint32_t>(left - kChunkHeadSize));
    form.resize(capacity, 0);
  }
  updateFormLength(form);
  return true;
}

}  // namespace kz
