// Line executor port: runs or syntax-checks one line of script code.
#pragma once

#include <memory>
#include <string>

#include "palvo/export.h"

namespace Palvo {

class PALVO_API LineExecutor {
public:
    virtual ~LineExecutor();
    /// Compiles the line (checkOnly) or compiles and runs it. Returns true on
    /// success; on failure, message receives the reason. Never throws for bad code.
    virtual bool executeLine(const std::string& code, bool checkOnly, std::string& message) = 0;
};

/// Installs the process's line executor (nullptr removes it). The executor is
/// shared by all threads and must serialise its own calls.
PALVO_API void installLineExecutor(std::shared_ptr<LineExecutor> executor);
/// The installed line executor, or nullptr.
PALVO_API std::shared_ptr<LineExecutor> installedLineExecutor();

}  // namespace Palvo
