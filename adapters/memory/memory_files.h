// Files the headless controls "load": pictures, icons and cursors.
#pragma once

#include <string>

namespace Palvo::memory::detail {

/// A picture or cursor "loads" when the file can be opened for reading.
/// Throws Palvo::Error 53 otherwise.
void requireReadable(const std::string& path);

}  // namespace Palvo::memory::detail
