// Puts a function of the test's own in place of one that this program imports from a DLL, for as
// long as the object lives, so that what the program hands to the system can be read on its way
// there (the replacement passes the call on through Original()).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace testing_support {

class ImportHook {
 public:
  ImportHook(const char* dll, const char* function, void* replacement);
  ~ImportHook();
  ImportHook(const ImportHook&) = delete;
  ImportHook& operator=(const ImportHook&) = delete;

  // False when the program does not import the function from that DLL.
  bool Installed() const { return slot_ != nullptr; }
  void* Original() const { return original_; }

 private:
  void** slot_ = nullptr;
  void* original_ = nullptr;
};

// Every ShellExecuteW call this program makes while the recorder lives, as the shell receives it;
// the calls go on to the shell. One recorder at a time.
struct ShellExecuteCall {
  HWND owner = nullptr;
  std::optional<std::wstring> verb, file, parameters, directory;  // nothing for a null pointer
  int show = 0;
};

class ShellExecuteRecorder {
 public:
  ShellExecuteRecorder();
  ~ShellExecuteRecorder();
  ShellExecuteRecorder(const ShellExecuteRecorder&) = delete;
  ShellExecuteRecorder& operator=(const ShellExecuteRecorder&) = delete;

  bool Installed() const { return hook_.Installed(); }
  const std::vector<ShellExecuteCall>& Calls() const { return calls_; }
  std::vector<std::wstring> Files() const;

 private:
  static HINSTANCE WINAPI Record(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                                 LPCWSTR directory, INT show);
  ImportHook hook_;
  std::vector<ShellExecuteCall> calls_;
};

}  // namespace testing_support
