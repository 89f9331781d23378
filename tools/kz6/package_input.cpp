// Finding the form in a form file or in an updater's package area.
#include "package_input.h"

#include <cstdio>
#include <cstring>

#include "package/package_area.h"
#include "package/package_header.h"
#include "platform/files.h"

namespace kz::tool {

int fail(const std::string& text) {
  std::fprintf(stderr, "kz6: %s\n", text.c_str());
  return 1;
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
  std::FILE* f = platform::fileSystem().openFile(path.c_str(), "rb");
  if (f == nullptr) return false;
  bytes.clear();
  uint8_t chunk[1 << 16];
  size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  const bool ok = std::ferror(f) == 0;
  std::fclose(f);
  return ok;
}

bool loadForm(const std::string& path, LoadedForm& out, std::string& error) {
  if (!readWholeFile(path, out.file)) {
    error = "cannot read " + path;
    return false;
  }
  if (out.file.size() > 0xFFFFFFFFu) {
    error = path + " is 4 GiB or larger";
    return false;
  }
  if (out.file.size() >= 4 && std::memcmp(out.file.data(), "FORM", 4) == 0) {
    out.formOffset = 0;
    out.formSize = static_cast<uint32_t>(out.file.size());
    return true;
  }
  uint32_t offset = 0;
  const uint16_t code = findPackageHeader(path.c_str(), offset);
  if (code != 0) {
    error = path + " is neither a form nor a file with one package header (search code " +
            std::to_string(code) + ")";
    return false;
  }
  if (out.file.size() - offset < kPackageFormOffset) {
    error = path + " ends inside its package area";
    return false;
  }
  out.fromUpdater = true;
  out.formOffset = offset + kPackageFormOffset;
  out.formSize = packageSizeOf(out.file.data() + offset);
  if (out.formSize > out.file.size() - out.formOffset) {
    error = path + ": the package size exceeds the file";
    return false;
  }
  if (out.formSize == 0) {
    error = path + " carries no package (package size 0)";
    return false;
  }
  return true;
}

}  // namespace kz::tool
