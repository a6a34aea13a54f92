// Runs a call that may show message boxes on this thread while a thread of its own answers every
// box of this process that opens meanwhile, and tells which boxes were shown, in order.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tests/support/BoxDriver.h"

namespace testing_support {

// The first box is answered with `button`. A box that does not close on it (the button is not
// there) and every further box are closed with their own first button: a call that shows other
// or more boxes than its test expects then returns, and the test fails on what it was shown
// instead of hanging.
std::vector<MessageBoxInfo> BoxesDuring(const std::function<void()>& call,
                                        const std::wstring& button);

}  // namespace testing_support
