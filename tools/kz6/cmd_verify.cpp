// kz6 verify FILE: decodes every member, checking CRC and length, without writing any file.
#include <cstdio>

#include "commands.h"
#include "form_walk.h"
#include "package/gzip_member.h"

namespace kz::tool {
namespace {

int runVerify(const std::string& path) {
  LoadedForm form;
  std::string error;
  if (!loadForm(path, form, error)) return fail(error);
  unsigned count = 0;
  const bool ok = walkForm(
      form,
      [&](ReaderContext& ctx, const PackageEntry& e, uint32_t bodyLength, std::string& why) {
        if (decodeMemberToFile(ctx, bodyLength, nullptr) != MemberOutcome::Decoded) {
          why = std::string(e.path) + ": " + describeDecodeFailure(lastDecodeFailure());
          return false;
        }
        ++count;
        return true;
      },
      error);
  if (!ok) return fail(error);
  std::printf("%u entries verified\n", count);
  return 0;
}

}  // namespace

void addVerifyCommand(CLI::App& app, int& exitCode) {
  auto* cmd = app.add_subcommand(
      "verify", "Decode every member of a form or an updater's package and check its CRC and length; writes nothing");
  auto path = std::make_shared<std::string>();
  cmd->add_option("FILE", *path, "A KZ6 form, or an executable that carries a package area")->required();
  cmd->callback([path, &exitCode] { exitCode = runVerify(*path); });
}

}  // namespace kz::tool
