// The updater's reading order over a form, without writing any file.
#include "form_walk.h"

namespace kz::tool {

bool walkForm(const LoadedForm& form, const EntryVisitor& visit, std::string& error) {
  ReaderContext ctx{};
  if (!initReader(ctx)) {
    error = "out of memory";
    return false;
  }
  openMemoryInput(ctx, form.form());
  ctx.input.size = form.formSize;
  bool ok = true;
  uint32_t version = 0;
  if (!readFormHead(ctx, kKz6Type, version)) {
    error = "not a KZ6 form (FORM, KZ6 and VERS expected)";
    ok = false;
  } else if ((version >> 16) > kMaxFormMajor) {
    error = "form version " + std::to_string(version >> 16) + "." + std::to_string(version & 0xFFFF) +
            " is newer than 6";
    ok = false;
  }
  for (unsigned index = 1; ok; ++index) {
    uint8_t id[4];
    const uint32_t got = readBytes(ctx, id, 4);
    if (got != 4) {
      if (!inputAtEnd(ctx)) error = "the form ends inside a chunk id";
      ok = inputAtEnd(ctx);
      break;
    }
    if (loadBigEndian32(id) != kNameId) {
      if (!skipChunk(ctx)) {
        error = "the form ends inside a chunk length";
        ok = false;
      }
      continue;
    }
    PackageEntry entry{};
    uint32_t bodyId = 0;
    uint32_t bodyLength = 0;
    if (!readEntryName(ctx, entry)) {
      error = "entry " + std::to_string(index) + ": NAME refused (short, unterminated, too long or unsafe path)";
      ok = false;
    } else if (!readBigEndian32(ctx, bodyId) || bodyId != kBodyId || !readBigEndian32(ctx, bodyLength)) {
      error = std::string(entry.path) + ": NAME not followed by a BODY";
      ok = false;
    } else {
      const uint32_t start = ctx.input.position;
      ok = visit(ctx, entry, bodyLength, error);
      const uint64_t next = static_cast<uint64_t>(start) + bodyLength;
      seekInput(ctx, next > ctx.input.size ? ctx.input.size : static_cast<uint32_t>(next), SeekOrigin::Start);
    }
  }
  closeMemoryInput(ctx);
  destroyReader(ctx);
  return ok;
}

}  // namespace kz::tool
