// The package area itself: the one block of initialised data that the maker's merge fills in.
//
// A freshly built program carries the header and an empty package (size 0). The header's marker
// is written here and nowhere else in the program: the search joins its key from two halves.
#include "package/package_area.h"

namespace kz {
namespace {

struct PackageAreaImage {
  uint8_t header[kPackageHeaderSize];
  uint8_t packageSize[4];
  uint8_t form[kInternalBufferSize];
};
static_assert(sizeof(PackageAreaImage) == kPackageAreaSize, "the area has no padding");

// Not const: a constant could be folded into the code that reads it, or merged with equal data.
PackageAreaImage g_packageArea = {
    {
        '[', 'P', 'I', 'D', '_', 'H', 'E', 'A', 'D', 'E', 'R', '_', 'I', 'D', ']', 0,  // marker
        0, 0, 0, 0, 0, 0, 0xF0, 0x3F,                                                  // headerVersion 1.0
        1, 0, 0, 0,                                                                    // productNumber 1
        'R', 'V', 0, 0,                                                                // productCode
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                                // reserved
        0x71, 0x3D, 0x0A, 0xD7, 0xA3, 0x70, 0x18, 0x40,                                // productVersion 6.11
        0, 0, 0, 0,                                                                    // installValue1
        0, 0, 0, 0,                                                                    // installValue2
        0, 0, 0, 0,                                                                    // transientValue
        0, 0, 0, 0,                                                                    // installValue3
    },
    {0, 0, 0, 0},  // package size: no package until merged
    {},
};

// Read through a volatile pointer, so that no access can be resolved at build time.
const uint8_t* const volatile g_packageAreaAddress = g_packageArea.header;

}  // namespace

const uint8_t* packageArea() { return g_packageAreaAddress; }

}  // namespace kz
