// Exception types of the toolkit and the library. Every error carries its exact user-facing text
// as UTF-16; what() gives the same text in UTF-8 for code that only knows std::exception.
#pragma once

#include <exception>
#include <string>

namespace tk {

// Base of every error raised by our code: the message is what the user reads. A std::exception
// of its own rather than a std::runtime_error, whose text type would bring a second string
// implementation into the program.
class Exception : public std::exception {
 public:
  explicit Exception(std::wstring message);
  const std::wstring& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return utf8_.c_str(); }

 private:
  std::wstring message_;
  std::string utf8_;
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
