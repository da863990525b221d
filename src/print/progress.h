// The thread's progress text of the spreadsheet jobs and the hook through
// which a long job lets the progress window follow it and the host handle
// its events.
#pragma once

#include <functional>
#include <string>

namespace Palvo::print {

void setProgressText(const std::string& text);
const std::string& progressText();

/// Runs the installed hook when some time passed since it last ran; cheap
/// enough for every few rows. Does nothing without a hook.
void letEventsRun();

/// Installs the calling thread's hook for the life of the guard.
class ScopedEventPump {
public:
    explicit ScopedEventPump(std::function<void()> pump);
    ~ScopedEventPump();
    ScopedEventPump(const ScopedEventPump&) = delete;
    ScopedEventPump& operator=(const ScopedEventPump&) = delete;

private:
    std::function<void()> previous_;
};

}  // namespace Palvo::print
