#include "src/print/progress.h"

#include <chrono>

namespace Palvo::print {

namespace {
using Clock = std::chrono::steady_clock;
// often enough for a smooth animation, rarely enough to cost nothing
constexpr auto kPumpEvery = std::chrono::milliseconds(40);

struct ThreadState {
    std::string text;
    std::function<void()> pump;
    Clock::time_point last{};
};

ThreadState& state() {
    thread_local ThreadState s;
    return s;
}
}  // namespace

void setProgressText(const std::string& text) {
    state().text = text;
    state().last = {};  // the window shows a new step at once
    letEventsRun();
}

const std::string& progressText() { return state().text; }

void letEventsRun() {
    ThreadState& s = state();
    if (!s.pump) return;
    const auto now = Clock::now();
    if (now - s.last < kPumpEvery) return;
    s.last = now;
    s.pump();
}

ScopedEventPump::ScopedEventPump(std::function<void()> pump) : previous_(std::move(state().pump)) {
    state().pump = std::move(pump);
    state().last = {};
}

ScopedEventPump::~ScopedEventPump() { state().pump = std::move(previous_); }

}  // namespace Palvo::print
