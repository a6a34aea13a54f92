// What the tests share: the sandbox's locations, files, processes, windows and message pumping.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

using namespace std::chrono_literals;

// --- sandbox locations (Windows paths, ending without a backslash) ---
std::wstring SandboxDir();  // the run's sandbox folder (Z:\...\sandbox)
std::wstring TrashDir();    // the XDG trash that Wine's Recycle Bin writes to
std::wstring BinDir();      // the build folder holding Uninstaller.exe and fixtures
// The exe under test: BinDir()\Uninstaller.exe (the 64-bit twin), or the one named by
// ORVEX_UNINSTALLER_EXE (the shipped 32-bit exe, where 32-bit Wine runs it).
std::wstring UninstallerExe();
std::wstring FixtureExe(const std::wstring& name);  // BinDir()\name.exe
std::wstring ShellFolder(int csidl);                // a shell folder without trailing backslash
std::wstring DesktopDir();
std::wstring TempDir();  // GetTempPath without trailing backslash
// A new empty folder on drive C: for one test (removed by the caller or left for inspection).
std::wstring FreshFolder(const std::wstring& name);

// Lines that the stand-in browser / mail program recorded ("xdg-open" or "xdg-email").
std::vector<std::string> RecordedOpens(const std::wstring& tool);
// How many of them are that line.
size_t TimesRecorded(const std::wstring& tool, const std::wstring& line);
void ClearRecordedOpens();

// Points TMP and TEMP of this process, and so of the programs it starts, at another folder for
// the object's lifetime.
class TempFolderOverride {
 public:
  explicit TempFolderOverride(const std::wstring& folder);
  ~TempFolderOverride();
  TempFolderOverride(const TempFolderOverride&) = delete;
  TempFolderOverride& operator=(const TempFolderOverride&) = delete;

 private:
  std::optional<std::wstring> tmp_, temp_;
};

// --- files ---
bool FileExists(const std::wstring& path);
bool DirExists(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
void WriteUtf16File(const std::wstring& path, const std::wstring& text);  // no BOM
void MakeDirs(const std::wstring& path);
void RemoveTree(const std::wstring& path);
// A symbolic link named name in folder, leading to target (spelled relative to folder), made by
// the host's own tool: Wine's link call reports success and makes none. True once the link shows
// from this side, which needs a target that exists. Nothing of that name may show there yet; a
// link left dangling by an earlier run, which does not show, is replaced.
bool MakeHostLink(const std::wstring& folder, const std::wstring& name, const std::wstring& target);
// Removes such a link and never what it leads to: Wine's own delete call removes the target. The
// link must show (its target exists), so that its going can be watched.
bool RemoveHostLink(const std::wstring& folder, const std::wstring& name);
// The short (8.3) spelling of an existing path; empty when the system gives none.
std::wstring ShortPath(const std::wstring& path);
// Names (without folder) of the files that match a pattern such as C:\\x\\*.RTF.
std::vector<std::wstring> FilesMatching(const std::wstring& pattern);
// relative path -> content for every file below root ("sub\\a.txt"); folders end in "\\".
std::map<std::wstring, std::string> TreeListing(const std::wstring& root);

// --- processes and windows ---
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
// A visible top-level window of the class, optionally of one process.
HWND WaitForWindow(const std::wstring& className, std::chrono::milliseconds timeout, DWORD pid = 0);
std::vector<DWORD> ProcessesOfClass(const std::wstring& className);
// Visible shell windows (of any process) whose title is the given folder name.
std::vector<HWND> ShellWindowsTitled(const std::wstring& title);
// Processes whose image name ends in exeName (case-insensitive), with their command lines unknown.
std::vector<DWORD> ProcessesNamed(const std::wstring& exeName);
// Ends every process of that image name and waits a moment for each to go.
void KillProcessesNamed(const std::wstring& exeName);

// Dispatches this thread's messages until the predicate holds or the time runs out.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
// Dispatches this thread's messages until a reference timer of the interval has fired `ticks`
// times: as long as any timer of that interval that runs needs to fire as often, however busy
// the machine. For checks that something does not happen.
void PumpTicks(std::chrono::milliseconds interval, int ticks);
// Dispatches until nothing waits in this thread's queue: what was posted has been handled.
void PumpUntilIdle();
// Waits until every hand-over to the host's browser or mail program has been passed on (Wine's
// winebrowser has ended). Wine does not wait for the host program it starts, so a record may
// still come just after: wait for the records a check expects first, then for this, so that no
// further one can follow.
bool WaitForHandOvers(std::chrono::milliseconds timeout);

// --- the Linux side of the sandbox ---
// The Linux path of a Windows path (Wine's own conversion); empty when there is none.
std::string UnixPathOf(const std::wstring& path);
// Runs a shell command on the Linux side and waits for it; true when it ended with 0.
bool RunOnLinux(const std::string& command);
// Text in single quotes for that shell.
std::string ShellQuoted(const std::string& text);

std::wstring Narrow2Wide(const std::string& text);
// One command-line argument in double quotes, spelled so that the started program's argument
// parser gives back exactly the text (backslashes before a quote are doubled).
std::wstring QuoteArg(const std::wstring& text);
std::string Wide2Utf8(const std::wstring& text);

}  // namespace testing_support
