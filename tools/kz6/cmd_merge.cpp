// kz6 merge UPDATER FORM -o TARGET: the updater's merge command, run by the maker's build.
#include <cstdio>

#include "commands.h"
#include "package/merge_package.h"
#include "package/package_area.h"
#include "package_input.h"

namespace kz::tool {
namespace {

int runMerge(const std::string& updater, const std::string& form, const std::string& target) {
  if (!mergeSourceFits(form.c_str(), kInternalBufferSize)) {
    return fail(form + " is missing or not exactly " + std::to_string(kInternalBufferSize) + " bytes long");
  }
  const MergeFailure failure = mergePackage(updater.c_str(), form.c_str(), target.c_str(), kInternalBufferSize);
  if (failure != MergeFailure::None) return fail(std::string("merge failed: ") + describeMergeFailure(failure));
  std::printf("merged %s into %s\n", form.c_str(), target.c_str());
  return 0;
}

}  // namespace

void addMergeCommand(CLI::App& app, int& exitCode) {
  auto* cmd = app.add_subcommand(
      "merge", "Write a copy of UPDATER whose package area holds FORM, with the updater's own checks and layout");
  auto updater = std::make_shared<std::string>();
  auto form = std::make_shared<std::string>();
  auto target = std::make_shared<std::string>();
  cmd->add_option("UPDATER", *updater, "The updater executable (one package header)")->required();
  cmd->add_option("FORM", *form, "A KZ6 form of exactly the package capacity, as kz6 pack writes it")->required();
  cmd->add_option("-o,--output", *target, "The merged updater to write")->required();
  cmd->callback([updater, form, target, &exitCode] { exitCode = runMerge(*updater, *form, *target); });
}

}  // namespace kz::tool
