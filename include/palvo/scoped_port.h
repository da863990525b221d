// A guard that installs one of the calling thread's ports (message box,
// window host, printer, spreadsheet writer or desk) for its life and puts the
// previous one back.
#pragma once

#include <memory>

#include "palvo/export.h"

namespace Palvo {

template <class Port, std::shared_ptr<Port> (*Install)(std::shared_ptr<Port>)>
class PALVO_API ScopedPort {
public:
    explicit ScopedPort(std::shared_ptr<Port> port) : previous_(Install(std::move(port))) {}
    ~ScopedPort() { Install(std::move(previous_)); }
    ScopedPort(const ScopedPort&) = delete;
    ScopedPort& operator=(const ScopedPort&) = delete;

private:
    std::shared_ptr<Port> previous_;
};

}  // namespace Palvo
