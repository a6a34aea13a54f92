// Stands in for a system function that this program's own code calls, by rewriting the slot of
// the program's import table through which those calls go (the product's libraries are linked
// into each test program and fixture, so their calls use the program's table).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// The slot through which this program calls `function` of `dll` (case-insensitive name, such as
// "shell32.dll"); null when the program does not import it by name.
void** ImportSlot(const char* dll, const char* function);

// Puts `replacement` into the slot for as long as it lives, then the function found there before.
class ImportPatch {
 public:
  ImportPatch(const char* dll, const char* function, void* replacement);
  ~ImportPatch();
  ImportPatch(const ImportPatch&) = delete;
  ImportPatch& operator=(const ImportPatch&) = delete;

  // The replacement is what the program calls now.
  bool Installed() const;
  // What the slot held before: the real function, to pass calls on to.
  void* Original() const { return original_; }

 private:
  void** slot_ = nullptr;
  void* original_ = nullptr;
  void* replacement_ = nullptr;
  bool installed_ = false;
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

  bool Installed() const { return patch_.Installed(); }
  const std::vector<ShellExecuteCall>& Calls() const { return calls_; }
  std::vector<std::wstring> Files() const;

 private:
  static HINSTANCE WINAPI Record(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                                 LPCWSTR directory, INT show);
  ImportPatch patch_;
  std::vector<ShellExecuteCall> calls_;
};

}  // namespace testing_support
