// Walking a form's entries the way the updater reads them, for the commands that only look.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "package/package_reader.h"
#include "package_input.h"

namespace kz::tool {

// Called for each NAME/BODY pair with the input at the start of the BODY's data. It may decode
// the member; the walk then continues at the end of the BODY. False stops the walk.
using EntryVisitor = std::function<bool(ReaderContext& ctx, const PackageEntry& entry, uint32_t bodyLength,
                                        std::string& error)>;

// False with a one-line reason when the form cannot be read as the updater would read it.
bool walkForm(const LoadedForm& form, const EntryVisitor& visit, std::string& error);

}  // namespace kz::tool
