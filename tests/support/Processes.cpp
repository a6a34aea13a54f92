#include "tests/support/Processes.h"

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <thread>

#include "tests/support/AppDriver.h"
#include "tests/support/Wait.h"
#include "toolkit/Errors.h"
#include "toolkit/Handles.h"

namespace testing_support {

Process::~Process() {
  if (process) ::CloseHandle(process);
}

Process::Process(Process&& other) noexcept : process(other.process), pid(other.pid) {
  other.process = nullptr;
}

bool Process::WaitExit(std::chrono::milliseconds timeout) const {
  return process &&
         ::WaitForSingleObject(process, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

std::optional<DWORD> Process::ExitCode() const {
  DWORD code = 0;
  if (!process || !::GetExitCodeProcess(process, &code) || code == STILL_ACTIVE)
    return std::nullopt;
  return code;
}

void Process::Kill() const {
  if (process) ::TerminateProcess(process, 99);
}

Process Start(const std::wstring& exe, const std::wstring& args, const std::wstring& workDir) {
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  // Wine fails the start with ERROR_INTERNAL_ERROR when the new process ends before it has
  // finished starting, which happens now and then while 32-bit programs run emulated beside it:
  // none of the program's own code ran, so it is started again. Any other failure is the test's.
  DWORD error = ERROR_INTERNAL_ERROR;
  for (int attempt = 0; attempt < 3 && error == ERROR_INTERNAL_ERROR; ++attempt) {
    std::wstring command = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
    error = ::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             workDir.empty() ? nullptr : workDir.c_str(), &si, &pi)
                ? ERROR_SUCCESS
                : ::GetLastError();
  }
  if (error != ERROR_SUCCESS)
    throw tk::Exception(L"cannot start " + exe + L" (system error " + std::to_wstring(error) +
                        L")");
  ::CloseHandle(pi.hThread);
  Process p;
  p.process = pi.hProcess;
  p.pid = pi.dwProcessId;
  return p;
}

HWND WaitForWindow(const std::wstring& className, std::chrono::milliseconds timeout, DWORD pid) {
  HWND window = nullptr;
  WaitUntil(
      [&] {
        while ((window = ::FindWindowExW(nullptr, window, className.c_str(), nullptr))) {
          DWORD owner = 0;
          ::GetWindowThreadProcessId(window, &owner);
          if ((!pid || owner == pid) && ::IsWindowVisible(window)) return true;
        }
        return false;
      },
      timeout, 50ms);
  return window;
}

std::vector<DWORD> ProcessesOfClass(const std::wstring& className) {
  std::vector<DWORD> pids;
  HWND found = nullptr;
  while ((found = ::FindWindowExW(nullptr, found, className.c_str(), nullptr))) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(found, &owner);
    pids.push_back(owner);
  }
  return pids;
}

std::vector<DWORD> ProcessesNamed(const std::wstring& exeName) {
  std::vector<DWORD> pids;
  HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return pids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL ok = ::Process32FirstW(snap, &entry); ok; ok = ::Process32NextW(snap, &entry))
    if (::lstrcmpiW(entry.szExeFile, exeName.c_str()) == 0) pids.push_back(entry.th32ProcessID);
  ::CloseHandle(snap);
  return pids;
}

void KillProcessesNamed(const std::wstring& exeName, std::chrono::milliseconds wait) {
  for (DWORD pid : ProcessesNamed(exeName)) {
    if (HANDLE h = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
      ::TerminateProcess(h, 1);
      ::WaitForSingleObject(h, static_cast<DWORD>(wait.count()));
      ::CloseHandle(h);
    }
  }
}

std::wstring QuoteArg(const std::wstring& text) {
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : text) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

std::vector<HWND> ShellWindowsTitled(const std::wstring& title) {
  std::vector<HWND> found;
  HWND window = nullptr;
  while ((window = ::FindWindowExW(nullptr, window, L"ExplorerWClass", nullptr)))
    if (::IsWindowVisible(window) && TextOf(window) == title) found.push_back(window);
  return found;
}

std::vector<std::wstring> CommandLineArguments() {
  int count = 0;
  tk::UniqueLocalPtr<LPWSTR> argv(::CommandLineToArgvW(::GetCommandLineW(), &count));
  if (!argv) return {};
  return std::vector<std::wstring>(argv.get(), argv.get() + count);
}

}  // namespace testing_support
