// Programs a test starts, finds, waits for and ends, and their top-level windows.
#pragma once

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

struct Process {
  HANDLE process = nullptr;
  DWORD pid = 0;
  ~Process();
  Process() = default;
  Process(Process&& other) noexcept;
  Process& operator=(Process&&) = delete;
  bool WaitExit(std::chrono::milliseconds timeout) const;
  std::optional<DWORD> ExitCode() const;
  void Kill() const;
};
// Starts exe with the argument text (already quoted as needed) in workDir (empty: inherit).
Process Start(const std::wstring& exe, const std::wstring& args = L"",
              const std::wstring& workDir = L"");
// This program's command-line arguments, its own name first.
std::vector<std::wstring> CommandLineArguments();
// One command-line argument in double quotes, spelled so that the started program's argument
// parser gives back exactly the text (backslashes before a quote are doubled).
std::wstring QuoteArg(const std::wstring& text);
// A visible top-level window of the class, optionally of one process.
HWND WaitForWindow(const std::wstring& className, std::chrono::milliseconds timeout, DWORD pid = 0);
std::vector<DWORD> ProcessesOfClass(const std::wstring& className);
// Visible shell windows (of any process) whose title is the given folder name.
std::vector<HWND> ShellWindowsTitled(const std::wstring& title);
// Processes whose image name ends in exeName (case-insensitive), with their command lines unknown.
std::vector<DWORD> ProcessesNamed(const std::wstring& exeName);
// Ends every process of that image name and waits up to `wait` for each to go.
void KillProcessesNamed(const std::wstring& exeName,
                        std::chrono::milliseconds wait = std::chrono::seconds(5));

}  // namespace testing_support
