// A portable reader of the fixed version information in a PE file's version resource.
//
// It walks the headers, the section table and the resource directory (type RT_VERSION, then the
// first name and the first language) to the VS_VERSIONINFO block, and accepts its VS_FIXEDFILEINFO
// only when the block's key and the record's signature are right. Every offset and length is
// checked against the bytes given before it is used; a malformed file is refused, never trusted.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kz::platform {

struct FixedVersionInfo {
  uint32_t fileVersionMS = 0;
  uint32_t fileVersionLS = 0;
  uint32_t productVersionMS = 0;
  uint32_t productVersionLS = 0;

  uint64_t productVersion() const { return (uint64_t{productVersionMS} << 32) | productVersionLS; }
};

enum class PeVersionStatus : uint8_t {
  Found,
  NotPe,          // no MZ or PE signature, or headers cut short
  NoResources,    // the file has no resource directory
  NoVersion,      // the resource directory holds no version resource
  Malformed,      // a structure points outside the file or fails its check
};

inline constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BDu;

PeVersionStatus readPeVersion(const uint8_t* data, size_t size, FixedVersionInfo& info);

}  // namespace kz::platform
