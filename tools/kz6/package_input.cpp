// Finding the form in a form file or in an updater's package area.
#include "package_input.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "package/package_area.h"
#include "package/package_header.h"
#include "pe_signature.h"
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

PackageHeaderStatus findHeaderOutsideSignature(const std::string& path, const std::vector<uint8_t>& bytes,
                                               uint32_t& offset, uint32_t& imageEnd, std::string& error) {
  PeLayout layout;
  if (!readPeLayout(bytes, layout, error)) return PackageHeaderStatus::AccessFailed;
  imageEnd = static_cast<uint32_t>(bytes.size());
  if (!layout.signedFile()) return findPackageHeader(path.c_str(), offset);
  // A signature is appended after the image, and its blob may hold any bytes, the marker's
  // included: the search runs over the image alone, in a copy without the certificate table.
  imageEnd = layout.certificateOffset;
  std::error_code ec;
  std::string name = (std::filesystem::temp_directory_path(ec) / "kz6-image-XXXXXX").string();
  const int fd = ec ? -1 : mkstemp(name.data());
  if (fd < 0) {
    error = "cannot create a temporary file";
    return PackageHeaderStatus::AccessFailed;
  }
  size_t written = 0;
  while (written < imageEnd) {
    const ssize_t n = write(fd, bytes.data() + written, imageEnd - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  close(fd);
  const PackageHeaderStatus code =
      written == imageEnd ? findPackageHeader(name.c_str(), offset) : PackageHeaderStatus::ShortRead;
  std::remove(name.c_str());
  return code;
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
  uint32_t imageEnd = 0;
  std::string why;
  const PackageHeaderStatus code = findHeaderOutsideSignature(path, out.file, offset, imageEnd, why);
  if (!why.empty()) {
    error = path + ": " + why;
    return false;
  }
  if (code != PackageHeaderStatus::Ok) {
    error = path + " is neither a form nor a file with one package header (search code " +
            std::to_string(static_cast<unsigned>(code)) + ")";
    return false;
  }
  if (imageEnd - offset < kPackageFormOffset) {
    error = path + " ends inside its package area";
    return false;
  }
  out.fromUpdater = true;
  out.formOffset = offset + kPackageFormOffset;
  out.formSize = packageSizeOf(out.file.data() + offset);
  if (out.formSize > imageEnd - out.formOffset) {
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
