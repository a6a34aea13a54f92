#include "toolkit/Errors.h"

#include "toolkit/Text.h"

namespace tk {

Exception::Exception(std::wstring message)
    : message_(std::move(message)), utf8_(ToUtf8(message_)) {}

EAssertionFailed::EAssertionFailed(const std::wstring& message, const std::wstring& module)
    : Exception(message + L" (" + module + L")") {}

void Assert(bool condition, const std::wstring& message, const std::wstring& module) {
  if (!condition) throw EAssertionFailed(message, module);
}

}  // namespace tk
