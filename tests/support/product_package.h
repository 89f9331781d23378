// An update package made from a product's files: one KZ6 entry per present tracked file, under
// its relative path, inside a package area.
#pragma once

#include <cstdint>
#include <vector>

#include "support/product_fixtures.h"

namespace kz::test {

// The package area (header, size, form) that carries the files of layout.
std::vector<uint8_t> updatePackageOf(const ProductLayout& layout);

}  // namespace kz::test
