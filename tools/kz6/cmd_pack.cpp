// kz6 pack DIR -o FORM: every file under DIR as a NAME/BODY pair, padded to the package capacity.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>

#include "commands.h"
#include "gzip_writer.h"
#include "package/form_writer.h"
#include "package/package_area.h"
#include "package_input.h"
#include "platform/files.h"

namespace kz::tool {
namespace {

namespace fs = std::filesystem;

struct PackOptions {
  std::string folder;
  std::string output;
  uint32_t capacity = kInternalBufferSize;
  bool noPad = false;
};

struct SourceFile {
  fs::path native;
  FormWriterEntry entry;
  std::string error;
};

// The files of the tree in a stable order: by their backslash-separated relative path, bytewise.
bool collectFiles(const fs::path& root, std::vector<SourceFile>& files, std::string& error) {
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    SourceFile f;
    f.native = it->path();
    std::string rel = fs::relative(it->path(), root, ec).generic_string();
    std::replace(rel.begin(), rel.end(), '/', '\\');
    if (rel.size() >= kEntryPathSize || !isSafeEntryPath(rel.c_str())) {
      error = "cannot carry " + rel + ": the updater refuses this path (too long, ':', device name, or a trailing dot or space)";
      return false;
    }
    f.entry.path = rel;
    files.push_back(std::move(f));
  }
  if (ec) {
    error = "cannot walk " + root.string() + ": " + ec.message();
    return false;
  }
  std::sort(files.begin(), files.end(), [](const SourceFile& a, const SourceFile& b) { return a.entry.path < b.entry.path; });
  return true;
}

// Reads, stamps and compresses one file.
void packFile(SourceFile& f) {
  struct stat st {};
  if (stat(f.native.c_str(), &st) != 0) {
    f.error = "cannot stat " + f.native.string();
    return;
  }
  if (st.st_mtime < 0 || st.st_mtime > 0xFFFFFFFFLL) {
    f.error = f.native.string() + ": last-write time outside 1970..2106";
    return;
  }
  std::vector<uint8_t> data;
  if (!readWholeFile(f.native.string(), data)) {
    f.error = "cannot read " + f.native.string();
    return;
  }
  if (data.size() > 0xFFFFFFFFu) {
    f.error = f.native.string() + " is 4 GiB or larger";
    return;
  }
  const uint32_t attributes = platform::fileSystem().fileAttributes(f.native.c_str());
  f.entry.attributes = platform::kAttrArchive | (attributes != platform::kInvalidAttributes ? attributes & platform::kAttrReadOnly : 0);
  f.entry.time = static_cast<uint32_t>(st.st_mtime) & ~1u;  // rounded down to an even second
  f.entry.uncompressedSize = static_cast<uint32_t>(data.size());
  f.entry.member = packMember(data.data(), data.size());
  if (f.entry.member.empty()) f.error = "cannot compress " + f.native.string();
}

// Compresses every file, on every core; libdeflate's level 12 is slow and the files are independent.
void packAll(std::vector<SourceFile>& files) {
  const bool showProgress = isatty(fileno(stderr)) != 0;
  std::atomic<size_t> next{0};
  std::atomic<size_t> done{0};
  std::mutex printing;
  auto worker = [&] {
    for (size_t i = next++; i < files.size(); i = next++) {
      packFile(files[i]);
      const size_t finished = ++done;
      if (showProgress) {
        std::lock_guard<std::mutex> lock(printing);
        std::fprintf(stderr, "\rkz6: compressing %zu/%zu files", finished, files.size());
      }
    }
  };
  const unsigned count = std::max(1u, std::min(std::thread::hardware_concurrency(), 8u));
  std::vector<std::thread> threads;
  for (unsigned t = 1; t < count; ++t) threads.emplace_back(worker);
  worker();
  for (auto& t : threads) t.join();
  if (showProgress && !files.empty()) std::fprintf(stderr, "\n");
}

int runPack(const PackOptions& o) {
  if (!fs::is_directory(o.folder)) return fail(o.folder + " is not a folder");
  if (o.capacity % 2 != 0) return fail("the capacity must be even");
  std::vector<SourceFile> files;
  std::string error;
  if (!collectFiles(o.folder, files, error)) return fail(error);
  packAll(files);
  std::vector<FormWriterEntry> entries;
  for (SourceFile& f : files) {
    if (!f.error.empty()) return fail(f.error);
    entries.push_back(std::move(f.entry));
  }
  std::vector<uint8_t> form = writeForm(kFormVersion611, entries);
  if (form.size() > o.capacity) {
    return fail("the tree needs " + std::to_string(form.size()) + " bytes, but the capacity is " +
                std::to_string(o.capacity) + " bytes");
  }
  if (!o.noPad && !padForm(form, o.capacity)) {
    return fail("the form of " + std::to_string(form.size()) + " bytes cannot be padded to " + std::to_string(o.capacity));
  }
  std::FILE* out = platform::fileSystem().openFile(o.output.c_str(), "wb");
  if (out == nullptr) return fail("cannot create " + o.output);
  const bool written = std::fwrite(form.data(), 1, form.size(), out) == form.size();
  if (std::fclose(out) != 0 || !written) {
    platform::fileSystem().deleteFile(o.output.c_str());
    return fail("cannot write " + o.output);
  }
  std::printf("packed %zu files into %s (%zu bytes)\n", entries.size(), o.output.c_str(), form.size());
  return 0;
}

}  // namespace

void addPackCommand(CLI::App& app, int& exitCode) {
  auto* cmd = app.add_subcommand(
      "pack", "Pack every file under DIR into a KZ6 form (VERS 6.11, libdeflate level 12), padded to the capacity");
  auto o = std::make_shared<PackOptions>();
  cmd->add_option("DIR", o->folder, "The tree to pack; paths are stored relative to it")->required();
  cmd->add_option("-o,--output", o->output, "The form file to write")->required();
  cmd->add_option("--capacity", o->capacity, "The package capacity in bytes, form head included")
      ->default_val(kInternalBufferSize);
  cmd->add_flag("--no-pad", o->noPad, "Do not fill the form up to the capacity");
  cmd->callback([o, &exitCode] { exitCode = runPack(*o); });
}

}  // namespace kz::tool
