// kz6 merge UPDATER FORM -o TARGET: the updater's merge command, run by the maker's build.
//
// An updater that carries an Authenticode signature is refused: the copy would carry a signature
// over other bytes. With --strip-signature the copy is made from the updater without its
// certificate table, so that it can be signed again.
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "commands.h"
#include "package/merge_package.h"
#include "package/package_area.h"
#include "package_input.h"
#include "pe_signature.h"
#include "platform/files.h"

namespace kz::tool {
namespace {

struct MergeOptions {
  std::string updater;
  std::string form;
  std::string target;
  bool stripSignature = false;
};

bool writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = platform::fileSystem().openFile(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && written;
}

// The merged copy's CheckSum, set again over its new bytes.
bool refreshChecksum(const std::string& path, uint64_t checksumOffset) {
  std::vector<uint8_t> bytes;
  if (!readWholeFile(path, bytes) || checksumOffset + 4 > bytes.size()) return false;
  storeLittle32(bytes.data() + checksumOffset, peChecksum(bytes, checksumOffset));
  const std::string temporary = path + ".kz6-" + std::to_string(getpid());
  if (!writeWholeFile(temporary, bytes) || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

int runMerge(const MergeOptions& o) {
  if (!mergeSourceFits(o.form.c_str(), kInternalBufferSize)) {
    return fail(o.form + " is missing or not exactly " + std::to_string(kInternalBufferSize) + " bytes long");
  }
  std::vector<uint8_t> updater;
  if (!readWholeFile(o.updater, updater)) return fail("cannot read " + o.updater);
  PeLayout layout;
  std::string error;
  if (!readPeLayout(updater, layout, error)) return fail(o.updater + ": " + error);

  std::string module = o.updater;
  std::string stripped;
  if (layout.signedFile()) {
    if (!o.stripSignature) {
      return fail(o.updater + " carries an Authenticode signature (certificate table at offset " +
                  std::to_string(layout.certificateOffset) + ", " + std::to_string(layout.certificateSize) +
                  " bytes) that would not match the merged copy; merge with --strip-signature and sign the copy again");
    }
    std::vector<uint8_t> unsignedImage;
    if (!withoutCertificateTable(updater, layout, unsignedImage, error)) return fail(o.updater + ": " + error);
    stripped = o.target + ".unsigned-" + std::to_string(getpid());
    if (!writeWholeFile(stripped, unsignedImage)) {
      std::remove(stripped.c_str());
      return fail("cannot write " + stripped);
    }
    module = stripped;
  }
  const MergeFailure failure = mergePackage(module.c_str(), o.form.c_str(), o.target.c_str(), kInternalBufferSize);
  if (!stripped.empty()) std::remove(stripped.c_str());
  if (failure != MergeFailure::None) return fail(std::string("merge failed: ") + describeMergeFailure(failure));
  if (!stripped.empty() && loadLittle32(updater.data() + layout.checksumOffset) != 0 &&
      !refreshChecksum(o.target, layout.checksumOffset)) {
    std::remove(o.target.c_str());
    return fail("cannot set the checksum of " + o.target);
  }
  std::printf("merged %s into %s\n", o.form.c_str(), o.target.c_str());
  if (!stripped.empty()) {
    std::printf("the signature of %s was left out (%u bytes); sign %s again\n", o.updater.c_str(),
                layout.certificateSize, o.target.c_str());
  }
  return 0;
}

}  // namespace

void addMergeCommand(CLI::App& app, int& exitCode) {
  auto* cmd = app.add_subcommand(
      "merge", "Write a copy of UPDATER whose package area holds FORM, with the updater's own checks and layout");
  auto o = std::make_shared<MergeOptions>();
  cmd->add_option("UPDATER", o->updater, "The updater executable (one package header)")->required();
  cmd->add_option("FORM", o->form, "A KZ6 form of exactly the package capacity, as kz6 pack writes it")->required();
  cmd->add_option("-o,--output", o->target, "The merged updater to write")->required();
  cmd->add_flag("--strip-signature", o->stripSignature,
                "Merge a signed updater: the copy leaves out the certificate table (and its directory entry), "
                "ready to be signed again");
  cmd->callback([o, &exitCode] { exitCode = runMerge(*o); });
}

}  // namespace kz::tool
