// Reads another process's command line, current folder and start-up record from its process
// parameters.
#pragma once

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// The uninstaller's copy runs from a folder that its run makes in the temporary folder: its
// kRunFolderPrefix and eight hexadecimal digits.
#include "uninstaller/SharedUninstaller.h"

namespace testing_support {

struct ProcessStartInfo {
  std::wstring commandLine;
  std::wstring currentDirectory;
  std::wstring imagePath;
  // The start-up record it was given: STARTUPINFO's dwFlags and wShowWindow.
  ULONG windowFlags = 0;
  ULONG showWindow = 0;
};

// Works for 64-bit and 32-bit processes alike.
std::optional<ProcessStartInfo> ReadProcessStartInfo(DWORD pid);

// The run folders in the temporary folder now (full paths).
std::vector<std::wstring> RunFolders();
// No run folder and no self-delete script of one is left in the temporary folder.
bool RunsLeftNothing();
// Removes what runs left there (a test's clearing up).
void RemoveWhatRunsLeft();
// The path is exeName in a run folder of the temporary folder (in its short or long form).
bool IsCopyInRunFolder(const std::wstring& path, const std::wstring& exeName = L"Uninstaller.exe");
// The uninstaller's restarted copy is known by what it is, not by being the first window of its
// class: a process whose image is exeName in a run folder and whose command line ends in the
// single argument "uninstall".
bool IsRestartedCopy(DWORD pid, const std::wstring& exeName = L"Uninstaller.exe");
// The copy's visible window of that class, once there (null when the time runs out); pid gets
// the copy's process id.
HWND WaitForRestartedCopy(const std::wstring& windowClass, std::chrono::milliseconds timeout,
                          DWORD* pid = nullptr);

struct LoadedModule {
  std::wstring path;  // as the loader names it
  bool wineBuiltin;   // the image bears the mark of Wine's own builds ("Wine builtin DLL")
};
// The modules loaded in a running process, its own image among them (none when the process
// cannot be read).
std::vector<LoadedModule> LoadedModules(DWORD pid);

// A module's file name as the lists below give it: lower case, no folder.
std::wstring ModuleFileName(const std::wstring& path);

// Runs exe with the argument text in workDir as its debugger, so that no load escapes however
// briefly the process lives, and returns the file name (lower case, no folder) of every library
// it loaded until it ended; the processes it starts run on their own. Empty when it could not be
// started or did not end within the time.
std::vector<std::wstring> LibrariesLoadedDuringRun(const std::wstring& exe,
                                                   const std::wstring& args,
                                                   const std::wstring& workDir,
                                                   std::chrono::milliseconds timeout);

}  // namespace testing_support
