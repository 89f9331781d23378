// Builders for KZ6 forms and package areas, well-formed or damaged on purpose, for tests,
// fuzz seeds and benchmarks. Members are compressed by zlib, independently of the decoder.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "package/form_format.h"
#include "package/form_writer.h"
#include "support/gzip_fixtures.h"

namespace kz::test {

// A gzip member of content as the package carries it: flags 0, time 0, OS 11, zlib level 9.
Bytes gzipMemberOf(const Bytes& content);
Bytes textOf(const std::string& text);

// One file of a form as tests describe it.
struct FormFile {
  FormFile(std::string p, Bytes c, uint32_t a = 0x20, uint32_t t = 1600000000, std::string n = "")
      : path(std::move(p)), content(std::move(c)), attributes(a), time(t), note(std::move(n)) {}
  std::string path;
  Bytes content;
  uint32_t attributes;
  uint32_t time;  // 1600000000 by default: an even second
  std::string note;
};

FormWriterEntry writerEntryOf(const FormFile& file);

// Builds a form chunk by chunk; bytes() adds the FORM head with the right length.
class FormBuilder {
 public:
  explicit FormBuilder(uint32_t version = kFormVersion611, uint32_t type = kKz6Type);
  // A well-formed NAME/BODY pair.
  FormBuilder& file(const FormFile& file);
  // NAME data as given (length taken from it, padded to even).
  FormBuilder& name(const Bytes& data);
  FormBuilder& body(const Bytes& member);
  FormBuilder& chunk(uint32_t id, const Bytes& data);
  // A chunk head whose length says what it likes, without data.
  FormBuilder& chunkHead(uint32_t id, uint32_t length);
  // Bytes appended as they stand (stray bytes, damaged chunks).
  FormBuilder& raw(const Bytes& bytes);
  Bytes bytes() const;

 private:
  uint32_t type_;
  Bytes chunks_;
};

// NAME data with these fields (path and note NUL-terminated, padded to even).
Bytes nameData(const std::string& path, uint32_t attributes = 0x20, uint32_t time = 1600000000,
               uint32_t storedSize = 0, uint32_t uncompressedSize = 0, const std::string& note = "");

// A package area holding form: the sample header, the size field (form's size unless given), the
// form, then zero bytes up to capacity (at least the form's size).
Bytes packageAreaOf(const Bytes& form, uint32_t capacity = 0);
Bytes packageAreaOf(const Bytes& form, uint32_t capacity, uint32_t sizeField);

}  // namespace kz::test
