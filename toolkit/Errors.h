// Exception types of the toolkit and the library. Every error carries its exact user-facing text
// as UTF-16; what() gives the same text in UTF-8 for code that only knows std::exception.
#pragma once

#include <stdexcept>
#include <string>

namespace tk {

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);
// Appends a whole number in decimal, a leading "-" for negatives and no grouping, to narrow or
// wide text. Ours rather than the runtime's, whose wide-text conversion brings a whole
// formatted-printing engine along.
template <typename Text>
void AppendDecimal(Text& out, long long value) {
  // Works on the magnitude as unsigned, so the most negative value needs no special case.
  unsigned long long magnitude = static_cast<unsigned long long>(value);
  if (value < 0) {
    magnitude = 0ULL - magnitude;
    out += '-';
  }
  typename Text::value_type digits[20];
  int count = 0;
  do digits[count++] = static_cast<typename Text::value_type>('0' + magnitude % 10);
  while ((magnitude /= 10) > 0);
  while (count > 0) out += digits[--count];
}

std::wstring DecimalText(long long value);

// Base of every error raised by our code: the message is what the user reads.
class Exception : public std::runtime_error {
 public:
  explicit Exception(std::wstring message);
  const std::wstring& Message() const noexcept { return message_; }

 private:
  std::wstring message_;
};

// A programming error detected by an assertion; the text holds the message and the module name.
class EAssertionFailed : public Exception {
 public:
  EAssertionFailed(const std::wstring& message, const std::wstring& module);
};

// A file could not be created (or replaced).
class EFCreateError : public Exception {
  using Exception::Exception;
};

// A file could not be opened for reading.
class EFOpenError : public Exception {
  using Exception::Exception;
};

// Reading or writing an open file failed.
class EInOutError : public Exception {
  using Exception::Exception;
};

// A registry value exists but cannot be read as asked.
class ERegistryException : public Exception {
  using Exception::Exception;
};

// Malformed path or argument handed to a path routine.
class EArgumentException : public Exception {
  using Exception::Exception;
};

// A number does not fit the range it must be written into.
class ERangeError : public Exception {
  using Exception::Exception;
};

// Raises EAssertionFailed(message, module) unless the condition holds.
void Assert(bool condition, const std::wstring& message, const std::wstring& module);

}  // namespace tk
