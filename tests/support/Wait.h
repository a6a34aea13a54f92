// Waiting in tests: for a condition, with a deadline, while this thread's messages are handled.
#pragma once

#include <chrono>
#include <functional>

namespace testing_support {

using namespace std::chrono_literals;

// How long a test waits for what should come at once: long enough for a busy machine.
inline constexpr auto kPatience = 15s;

// Waits until the predicate holds or the time runs out, looking every `interval` and handling
// this thread's messages meanwhile (its windows, and calls sent to them, keep working). The one
// way a test waits for a condition.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval = 20ms);
// Dispatches this thread's messages until a reference timer of the interval has fired `ticks`
// times: as long as any timer of that interval that runs needs to fire as often, however busy
// the machine. For checks that something does not happen.
void PumpTicks(std::chrono::milliseconds interval, int ticks);
// Dispatches until nothing waits in this thread's queue: what was posted has been handled.
void PumpUntilIdle();

}  // namespace testing_support
