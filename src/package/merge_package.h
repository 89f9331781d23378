// The merge command: recognising it on the command line, and writing a copy of an updater whose
// package area holds a given KZ6 form.
#pragma once

#include <cstdint>

namespace kz {

// Finds "MERGE_KZ6_FILE:" (any letter case) at the start of the command line or after a space,
// followed by a double-quoted path of 1 to 259 characters. True and the path in sourcePath
// (260 bytes); otherwise false and sourcePath empty. The search restarts at every space; a
// keyword without a well-formed path ends it.
bool parseMergeCommand(const char* commandLine, char* sourcePath);

// Whether the file exists and is exactly the capacity of a package area's form part.
bool mergeSourceFits(const char* sourcePath, uint32_t capacity);

// Why a merge failed; the updater shows one message for all of them, the host tool names them.
enum class MergeFailure {
  None,
  HeaderNotFound,    // the marker is absent from the updater, or there more than once
  TargetIsInput,     // the target is the updater or the source itself
  OpenFailed,        // one of the files cannot be opened or created
  UpdaterTooShort,   // the updater ends inside its package area
  ReadFailed,
  WriteFailed,
  ReplaceFailed,     // the finished copy cannot be moved onto the target
};

const char* describeMergeFailure(MergeFailure failure);

// Writes targetPath: the updater's bytes up to the end of its PackageHeader, the capacity as the
// package size, the capacity bytes of the source, then the rest of the updater. The copy is
// written to a temporary file beside the target and moved onto it only when complete, so a failed
// merge leaves an existing target as it was and no partial file behind. An empty target path, or
// a target that is the updater or the source, is refused before anything is written.
MergeFailure mergePackage(const char* modulePath, const char* sourcePath, const char* targetPath,
                          uint32_t capacity);

}  // namespace kz
