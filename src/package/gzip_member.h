// The gzip member decoder: one gzip member (RFC 1952), or one PKZIP local entry, from the current
// reader's input into its output file, with the CRC-32 and length of the trailer checked.
//
// Calling order for one member: reset the counters and set the budget (resetMemberState), then
// readMemberHeader, open the output, decodeMember, closeOutput; decodeMemberToFile is that order,
// written once for every caller. On any fatal failure the decoder has already called abortEntry:
// the output is closed and deleted and the buffers are freed.
#pragma once

#include <cstdint>

#include "package/reader_context.h"

namespace kz {

// Why the last member failed. The updater never shows it; the host tool prints it.
enum class DecodeFailure {
  None,
  InputEnded,      // the input ended inside the member (or the budget was used up)
  HeaderRefused,   // not a gzip member or PK entry the decoder accepts
  OutOfMemory,     // "out of memory"
  FormatViolated,  // "invalid compressed data--format violated"
  LengthMismatch,  // "invalid compressed data--length mismatch" (stored PK entry)
  InvalidMethod,   // "internal error, invalid method"
  CrcError,        // "invalid compressed data--crc error"
  LengthError,     // "invalid compressed data--length error"
  WriteError,      // a window flush reported a write error
};

const char* describeDecodeFailure(DecodeFailure failure);
DecodeFailure lastDecodeFailure();

// Prepares the current reader for a member of budget bytes: counters to 0, abort flag cleared.
void resetMemberState(ReaderContext& ctx, uint32_t budget);

// Reads the member's header and returns its method, Refused when the member is not acceptable;
// the method is kept in ctx.method as well.
MemberMethod readMemberHeader();
// Decodes the member's data and checks its trailer. false when the decoder gave up; the entry has
// then been aborted.
bool decodeMember();

// What decodeMemberToFile made of one member. Why the decoder refused or gave up is
// lastDecodeFailure().
enum class MemberOutcome : uint8_t {
  Decoded,           // the output holds every decoded byte, flushed to the disk, and is closed
  HeaderRefused,     // readMemberHeader refused the member (or its input ended): no output opened
  OutputNotOpened,   // the output's folders or the output itself could not be created
  DecodeFailed,      // the decoder gave up: the output is closed and deleted, the buffers freed
  OutputIncomplete,  // decoded, but the close could not write the last bytes, or the file is short
};

enum class OutputFolders : uint8_t { MustExist, Create };

// Decodes the member at the current reader's input position, within budget input bytes, into
// outputPath (created, or replaced when it exists). ctx must be the current reader with its
// buffers and input in place. After a failure other than DecodeFailed a created output is left
// where it is: the caller decides whether it goes. A null outputPath discards the bytes (the
// null device, with no name that an abort could delete) and skips the file-size check.
MemberOutcome decodeMemberToFile(ReaderContext& ctx, uint32_t budget, const char* outputPath,
                                 OutputFolders folders = OutputFolders::MustExist);

// The CRC-32 of the member's output: reset before a member, add each flushed stretch, read at the
// trailer.
void resetMemberCrc();
void addToMemberCrc(const uint8_t* data, uint32_t count);
uint32_t memberCrc();

}  // namespace kz
