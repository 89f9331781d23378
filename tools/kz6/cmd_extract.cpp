// kz6 extract FILE -C DIR: the updater's own extraction of a form or an updater's package.
#include <cstdio>

#include "commands.h"
#include "package/extract_package.h"
#include "package/folders.h"
#include "package/gzip_member.h"
#include "package/package_area.h"
#include "package_input.h"

namespace kz::tool {
namespace {

int runExtract(const std::string& path, const std::string& folder) {
  LoadedForm form;
  std::string error;
  if (!loadForm(path, form, error)) return fail(error);
  if (!makeFolders(folder.c_str())) return fail("cannot create " + folder);
  const bool ok = form.fromUpdater ? extractPackage(form.file.data() + form.formOffset - kPackageFormOffset, folder.c_str())
                                   : extractForm(form.form(), form.formSize, folder.c_str());
  if (!ok) {
    const DecodeFailure why = lastDecodeFailure();
    return fail("extraction failed" +
                (why == DecodeFailure::None ? std::string() : std::string(": ") + describeDecodeFailure(why)));
  }
  return 0;
}

}  // namespace

void addExtractCommand(CLI::App& app, int& exitCode) {
  auto* cmd = app.add_subcommand(
      "extract", "Extract a form or an updater's package into DIR exactly as the updater does");
  auto path = std::make_shared<std::string>();
  auto folder = std::make_shared<std::string>();
  cmd->add_option("FILE", *path, "A KZ6 form, or an executable that carries a package area")->required();
  cmd->add_option("-C,--directory", *folder, "The folder to extract into (created when missing)")->required();
  cmd->callback([path, folder, &exitCode] { exitCode = runExtract(*path, *folder); });
}

}  // namespace kz::tool
