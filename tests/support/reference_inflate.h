// A plainly written inflate engine, one input byte at a time through nextInputByte and a 32-bit
// bit buffer, that serves as the fast engine's oracle: for any input both must give the same
// result, read the same bytes and write the same bytes.
#pragma once

#include "package/inflate.h"

namespace kz::test {

// Same contract as kz::inflateMember; install it with kz::setInflateEngineForTesting.
InflateResult referenceInflateMember();

}  // namespace kz::test
