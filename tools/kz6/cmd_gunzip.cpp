// kz6 gunzip IN -o OUT: decodes the single gzip member or PK local entry that makes up IN, through
// the updater's own decoder, with IN's size as the budget. On failure OUT does not exist.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "commands.h"
#include "package/gzip_member.h"
#include "package/reader_context.h"
#include "platform/files.h"

namespace kz::tool {
namespace {

int runGunzip(const std::string& inPath, const std::string& outPath) {
  // The whole file in one read: the member is decoded from memory, as the updater decodes from
  // its package area.
  std::ifstream in(inPath, std::ios::binary | std::ios::ate);
  if (!in) {
    std::fprintf(stderr, "kz6 gunzip: cannot read %s\n", inPath.c_str());
    return 2;
  }
  const std::streamoff length = in.tellg();
  std::vector<uint8_t> body(length > 0 ? static_cast<size_t>(length) : 0);
  in.seekg(0);
  if (length < 0 || !in.read(reinterpret_cast<char*>(body.data()), static_cast<std::streamsize>(body.size()))) {
    std::fprintf(stderr, "kz6 gunzip: cannot read %s\n", inPath.c_str());
    return 2;
  }
  if (body.size() > 0xFFFFFFFFu) {
    std::fprintf(stderr, "kz6 gunzip: %s is too large for one member\n", inPath.c_str());
    return 2;
  }
  const auto size = static_cast<uint32_t>(body.size());

  ReaderContext ctx{};
  if (!initReader(ctx)) {
    std::fprintf(stderr, "kz6 gunzip: out of memory\n");
    return 1;
  }
  openMemoryInput(ctx, body.data());
  ctx.input.size = size;
  const MemberOutcome outcome = decodeMemberToFile(ctx, size, outPath.c_str());
  closeMemoryInput(ctx);
  destroyReader(ctx);
  if (outcome != MemberOutcome::Decoded) {
    const char* reason = describeDecodeFailure(lastDecodeFailure());
    if (outcome == MemberOutcome::OutputNotOpened) reason = "cannot create the output file";
    if (outcome == MemberOutcome::OutputIncomplete) reason = "cannot write the output file";
    // The decoder has deleted a partial output it gave up on; an incomplete one, or a file that
    // stood there before, goes too, as the updater's own extraction deletes the entry's path after
    // a failure.
    platform::fileSystem().deleteFile(outPath.c_str());
    std::fprintf(stderr, "kz6 gunzip: %s\n", reason);
    return 1;
  }
  return 0;
}

}  // namespace

void addGunzipCommand(CLI::App& app, int& exitCode) {
  auto* cmd = app.add_subcommand("gunzip", "Decode one gzip member or PK local entry with the updater's decoder");
  auto inPath = std::make_shared<std::string>();
  auto outPath = std::make_shared<std::string>();
  cmd->add_option("IN", *inPath, "a file holding exactly one gzip member or PK local entry")->required();
  cmd->add_option("-o,--output", *outPath, "the decoded file to write")->required();
  cmd->callback([inPath, outPath, &exitCode] { exitCode = runGunzip(*inPath, *outPath); });
}

}  // namespace kz::tool
