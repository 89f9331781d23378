// Update packages from product layouts, built with the form fixtures.
#include "support/product_package.h"

#include "support/form_fixtures.h"

namespace kz::test {

std::vector<uint8_t> updatePackageOf(const ProductLayout& layout) {
  FormBuilder form;
  for (int row = 0; row < kTrackedFileCount; ++row) {
    if (!layout.files[row].present) continue;
    form.file(FormFile(kTrackedRows[row].relativePath, productFileBytes(row, layout.files[row])));
  }
  return packageAreaOf(form.bytes());
}

}  // namespace kz::test
