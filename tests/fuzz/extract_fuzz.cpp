// Fuzzes extraction: arbitrary bytes as a KZ6 form, extracted into a fresh temporary folder. Every
// call that creates, changes or deletes a file or folder must name a path inside that folder, the
// folder beside it must stay untouched, and the current directory must come back.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "package/extract_package.h"
#include "platform/files.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Stops the run at the first call that would reach outside the work folder.
class Confinement : public kz::platform::ForwardingFileSystem {
 public:
  explicit Confinement(fs::path work) : ForwardingFileSystem(kz::platform::nativeFileSystem()), work_(std::move(work)) {}

  bool createDirectory(const char* p) override { return check(p) && inner_.createDirectory(p); }
  bool deleteFile(const char* p) override { return check(p) && inner_.deleteFile(p); }
  bool setFileAttributes(const char* p, uint32_t a) override { return check(p) && inner_.setFileAttributes(p, a); }
  bool setFileTime(const char* p, int64_t t) override { return check(p) && inner_.setFileTime(p, t); }
  std::FILE* openFile(const char* p, const char* m) override { return check(p) ? inner_.openFile(p, m) : nullptr; }
  bool moveFile(const char*, const char*) override { return fail("moveFile"); }

 private:
  bool check(const char* path) {
    std::string native(path);
    for (char& c : native) {
      if (c == '\\') c = '/';
    }
    const fs::path resolved = fs::weakly_canonical(fs::absolute(native));
    const auto rel = resolved.lexically_relative(work_);
    if (rel.empty() || *rel.begin() == ".." || rel == ".") return fail(path);
    return true;
  }
  static bool fail(const std::string& what) {
    std::fprintf(stderr, "extraction reached outside its folder: %s\n", what.c_str());
    std::abort();
  }
  fs::path work_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static kz::test::TempDir sandbox;
  static const fs::path start = fs::current_path();
  const fs::path work = sandbox.path() / "work";
  fs::create_directory(work);
  fs::create_directory(sandbox.path() / "beside");
  {
    Confinement confinement(fs::weakly_canonical(work));
    kz::platform::ScopedFileSystem scope(confinement);
    kz::extractForm(data, static_cast<uint32_t>(size), work.string().c_str());
  }
  if (fs::current_path() != start || !kz::test::treeOf(sandbox.path() / "beside").empty()) std::abort();
  // A fresh folder for the next input; read-only entries must become writable to go.
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(work, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(work, ec);
  return 0;
}
