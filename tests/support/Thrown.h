// Reading what a test expected to be thrown.
#pragma once

#include <string>

namespace testing_support {

// The message of the exception of type E that `action` throws; "<nothing thrown>" when it
// returns normally. An exception of another type passes through and fails the test.
template <class E, class F>
std::wstring ThrownMessage(F action) {
  try {
    action();
  } catch (const E& e) {
    return e.Message();
  }
  return L"<nothing thrown>";
}

}  // namespace testing_support
