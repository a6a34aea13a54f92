#include "toolkit/Errors.h"

#include "toolkit/Text.h"

namespace tk {

Exception::Exception(std::wstring message)
    : std::runtime_error(ToUtf8(message)), message_(std::move(message)) {}

EAssertionFailed::EAssertionFailed(const std::wstring& message, const std::wstring& module)
    : Exception(message + L" (" + module + L")") {}

void Assert(bool condition, const std::wstring& message, const std::wstring& module) {
  if (!condition) throw EAssertionFailed(message, module);
}

}  // namespace tk
