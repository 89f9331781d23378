// kz6 pack DIR -o FORM: every file under DIR as a NAME/BODY pair, padded to the package capacity.
//
// The files are compressed on every core. Each file is one unit of work, taken largest first so
// that no core is left with one big file at the end; each result lands in its own slot, so the
// form's bytes never depend on the number of threads or on which thread compressed what.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <numeric>
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
  unsigned jobs = 0;  // 0: one thread per core
  bool noPad = false;
  bool best = false;
};

struct SourceFile {
  fs::path native;
  uint64_t size = 0;
  FormWriterEntry entry;
  MemberCompressor compressor = MemberCompressor::Libdeflate;
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
    f.size = it->file_size(ec);
    if (ec) break;
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
void packFile(SourceFile& f, bool best) {
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
  PackedMember packed = packMemberBest(data.data(), data.size(), best);
  f.entry.member = std::move(packed.bytes);
  f.compressor = packed.compressor;
  if (f.entry.member.empty()) f.error = "cannot compress " + f.native.string();
}

unsigned threadCount(unsigned jobs, size_t files) {
  unsigned count = jobs != 0 ? jobs : std::max(1u, std::thread::hardware_concurrency());
  if (files < count) count = static_cast<unsigned>(std::max<size_t>(files, 1));
  return count;
}

// Compresses every file on `threads` threads, largest first; shows progress when stderr is a terminal.
void packAll(std::vector<SourceFile>& files, unsigned threads, bool best) {
  std::vector<size_t> order(files.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return files[a].size > files[b].size; });
  uint64_t totalBytes = 0;
  for (const SourceFile& f : files) totalBytes += f.size;

  const bool showProgress = isatty(fileno(stderr)) != 0;
  std::atomic<size_t> next{0};
  std::mutex progress;
  size_t doneFiles = 0;
  uint64_t doneBytes = 0;
  auto worker = [&] {
    for (size_t i = next++; i < order.size(); i = next++) {
      SourceFile& f = files[order[i]];
      packFile(f, best);
      if (!showProgress) continue;
      std::lock_guard<std::mutex> lock(progress);
      ++doneFiles;
      doneBytes += f.size;
      std::fprintf(stderr, "\rkz6: compressed %zu/%zu files, %.1f of %.1f MB", doneFiles, files.size(),
                   static_cast<double>(doneBytes) / 1e6, static_cast<double>(totalBytes) / 1e6);
    }
  };
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < threads; ++t) pool.emplace_back(worker);
  worker();
  for (auto& t : pool) t.join();
  if (showProgress && !files.empty()) std::fprintf(stderr, "\n");
}

// Writes bytes to a temporary file beside path and moves it onto path only when complete.
bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
  const std::string temporary = path + ".kz6-" + std::to_string(getpid());
  std::FILE* out = platform::fileSystem().openFile(temporary.c_str(), "wb");
  if (out == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  if (std::fclose(out) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

int runPack(const PackOptions& o) {
  if (!fs::is_directory(o.folder)) return fail(o.folder + " is not a folder");
  if (o.capacity % 2 != 0) return fail("the capacity must be even");
  std::vector<SourceFile> files;
  std::string error;
  if (!collectFiles(o.folder, files, error)) return fail(error);
  packAll(files, threadCount(o.jobs, files.size()), o.best);
  std::vector<FormWriterEntry> entries;
  size_t zopfliMembers = 0;
  for (SourceFile& f : files) {
    if (!f.error.empty()) return fail(f.error);
    if (f.compressor == MemberCompressor::Zopfli) ++zopfliMembers;
    entries.push_back(std::move(f.entry));
  }
  std::vector<uint8_t> form = writeForm(kFormVersion611, entries);
  const size_t content = form.size();
  if (content > o.capacity) {
    return fail("the tree needs " + std::to_string(content) + " bytes, but the capacity is " +
                std::to_string(o.capacity) + " bytes: " + std::to_string(content - o.capacity) +
                " bytes over; nothing written");
  }
  if (!o.noPad && !padForm(form, o.capacity)) {
    return fail("the form of " + std::to_string(content) + " bytes cannot be padded to " + std::to_string(o.capacity));
  }
  if (!writeFileAtomically(o.output, form)) return fail("cannot write " + o.output);
  std::printf("packed %zu files into %s (%zu bytes)\n", entries.size(), o.output.c_str(), form.size());
  if (o.best) std::printf("Zopfli gave the smaller member for %zu of %zu files\n", zopfliMembers, entries.size());
  std::printf("content %zu bytes, %zu bytes left of the %u-byte capacity\n", content,
              static_cast<size_t>(o.capacity) - content, o.capacity);
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
  cmd->add_option("-j,--jobs", o->jobs, "Compressing threads (default: one per core); the form is the same for any number")
      ->check(CLI::Range(1u, 256u));
  cmd->add_flag("--best", o->best, "Also compress each file with Zopfli (much slower) and keep the smaller member");
  cmd->add_flag("--no-pad", o->noPad, "Do not fill the form up to the capacity");
  cmd->callback([o, &exitCode] { exitCode = runPack(*o); });
}

}  // namespace kz::tool
