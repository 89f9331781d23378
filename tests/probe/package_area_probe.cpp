// A minimal program that carries the package area, built in every preset (the Windows ones too)
// so that the link-time check proves the area survives each toolchain: one marker, full capacity.
// Run with a folder, it extracts its own package there, as the updater does.
#include <cstdio>

#include "package/extract_package.h"
#include "package/package_area.h"

int main(int argc, char** argv) {
  const uint32_t size = kz::packageSizeOf(kz::packageArea());
  std::printf("package size %u\n", static_cast<unsigned>(size));
  if (argc < 2) return 0;
  const bool ok = kz::extractPackage(kz::packageArea(), argv[1]);
  std::printf("extraction %s\n", ok ? "succeeded" : "failed");
  return ok ? 0 : 1;
}
