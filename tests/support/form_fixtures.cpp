// KZ6 forms and package areas for tests.
#include "support/form_fixtures.h"

#include <zlib.h>

#include "package/package_area.h"
#include "support/header_fixtures.h"

namespace kz::test {

Bytes gzipMemberOf(const Bytes& content) { return wrapGzip(rawDeflate(content, 9, Z_DEFAULT_STRATEGY), content); }

Bytes textOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

FormWriterEntry writerEntryOf(const FormFile& file) {
  FormWriterEntry e;
  e.path = file.path;
  e.attributes = file.attributes;
  e.time = file.time;
  e.uncompressedSize = static_cast<uint32_t>(file.content.size());
  e.member = gzipMemberOf(file.content);
  e.note = file.note;
  return e;
}

FormBuilder::FormBuilder(uint32_t version, uint32_t type) : type_(type) {
  const Bytes vers = {static_cast<uint8_t>(version >> 24), static_cast<uint8_t>(version >> 16),
                      static_cast<uint8_t>(version >> 8), static_cast<uint8_t>(version)};
  chunk(kVersId, vers);
}

FormBuilder& FormBuilder::file(const FormFile& f) {
  const FormWriterEntry e = writerEntryOf(f);
  name(nameData(e.path, e.attributes, e.time, static_cast<uint32_t>(e.member.size()), e.uncompressedSize, e.note));
  return body(e.member);
}

FormBuilder& FormBuilder::name(const Bytes& data) { return chunk(kNameId, data); }
FormBuilder& FormBuilder::body(const Bytes& member) { return chunk(kBodyId, member); }

FormBuilder& FormBuilder::chunk(uint32_t id, const Bytes& data) {
  appendChunk(chunks_, id, data.data(), static_cast<uint32_t>(data.size()));
  return *this;
}

FormBuilder& FormBuilder::chunkHead(uint32_t id, uint32_t length) {
  appendBigEndian32(chunks_, id);
  appendBigEndian32(chunks_, length);
  return *this;
}

FormBuilder& FormBuilder::raw(const Bytes& bytes) {
  chunks_.insert(chunks_.end(), bytes.begin(), bytes.end());
  return *this;
}

Bytes FormBuilder::bytes() const {
  Bytes form;
  appendBigEndian32(form, kFormId);
  appendBigEndian32(form, static_cast<uint32_t>(4 + chunks_.size()));
  appendBigEndian32(form, type_);
  form.insert(form.end(), chunks_.begin(), chunks_.end());
  return form;
}

Bytes nameData(const std::string& path, uint32_t attributes, uint32_t time, uint32_t storedSize,
               uint32_t uncompressedSize, const std::string& note) {
  return encodeNameData(attributes, time, storedSize, uncompressedSize, path.c_str(), note.c_str());
}

Bytes packageAreaOf(const Bytes& form, uint32_t capacity) {
  return packageAreaOf(form, capacity, static_cast<uint32_t>(form.size()));
}

Bytes packageAreaOf(const Bytes& form, uint32_t capacity, uint32_t sizeField) {
  Bytes area;
  placeHeader(area, 0, sampleHeader());
  putLe32(area, sizeField);
  area.insert(area.end(), form.begin(), form.end());
  if (area.size() < kPackageFormOffset + static_cast<size_t>(capacity)) area.resize(kPackageFormOffset + capacity, 0);
  return area;
}

}  // namespace kz::test
