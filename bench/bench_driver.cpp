// The benchmarks' hands inside the sandbox; one measurement per start, printed as "name value".
//
//   bench_driver.exe startup EXE CLASS [ARG] start EXE plainly; ms until the restarted copy's
//                                            window of CLASS is visible, then the copy's peak
//                                            memory once it is idle; with ARG, EXE runs in place
//   bench_driver.exe tree FOLDER FILES KB    make a nested tree of FILES files of KB each
//   bench_driver.exe uninstall FOLDER        uninstall the product installed at FOLDER; ms from
//                                            Yes on the second question to the log, with its row
//                                            "Uninstall done.", saved on the desktop
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>

#include "tests/support/AppDriver.h"
#include "tests/support/BoxDriver.h"
#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

double MsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

int Fail(const char* why) {
  std::fprintf(stderr, "bench_driver: %s\n", why);
  return 1;
}

HWND WindowOfOtherProcess(const std::wstring& className, DWORD notPid, bool visible) {
  HWND window = nullptr;
  while ((window = ::FindWindowExW(nullptr, window, className.c_str(), nullptr))) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid != notPid && (!visible || ::IsWindowVisible(window))) return window;
  }
  return nullptr;
}

HWND VisibleWindowOfOtherProcess(const std::wstring& className, DWORD notPid) {
  return WindowOfOtherProcess(className, notPid, true);
}

double FileTimeMs(const FILETIME& time) {
  return static_cast<double>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) |
                             time.dwLowDateTime) /
         10000.0;
}

bool LastWriteTime(const std::wstring& file, FILETIME& time) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) return false;
  time = data.ftLastWriteTime;
  return true;
}

void CloseAndWait(HWND window, HANDLE process) {
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  ::WaitForSingleObject(process, 30000);
}

// With arguments the program runs in place: the window of the started process itself counts,
// which tells the restart's share of the start-up from the rest.
// Also where the time goes: from the start to the copy's process, to its window (the form
// created, not shown yet), to the window visible, to the window painted (the copy idle).
int Startup(const std::wstring& exe, const std::wstring& className, const std::wstring& args) {
  const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
  FILETIME startedAt{};
  ::GetSystemTimePreciseAsFileTime(&startedAt);
  const auto start = Clock::now();
  Process first = Start(exe, args, folder);
  HWND window = nullptr;
  std::optional<Clock::time_point> created;
  const DWORD notPid = args.empty() ? first.pid : 0;
  while (!(window = VisibleWindowOfOtherProcess(className, notPid))) {
    if (!created && WindowOfOtherProcess(className, notPid, false)) created = Clock::now();
    if (Clock::now() - start > 120s) return Fail("no window of the restarted copy");
    std::this_thread::sleep_for(1ms);
  }
  const auto shown = Clock::now();
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  HANDLE copy =
      ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, pid);
  if (!copy) return Fail("cannot open the restarted copy");
  FILETIME creation{}, exit{}, kernel{}, user{};
  if (::GetProcessTimes(copy, &creation, &exit, &kernel, &user))
    std::printf("copy_started_ms %.1f\n", FileTimeMs(creation) - FileTimeMs(startedAt));
  std::printf("form_created_ms %.1f\n", MsBetween(start, created.value_or(shown)));
  ::WaitForInputIdle(copy, 30000);
  // Idle means nothing left to do for the message loop: the window has painted.
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &ignored);
  std::printf("painted_ms %.1f\n", MsBetween(start, Clock::now()));
  // The peak is read once the copy has settled after its first paint.
  std::this_thread::sleep_for(300ms);
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  const bool measured = ::GetProcessMemoryInfo(copy, &counters, sizeof(counters)) != FALSE;
  std::printf("startup_ms %.1f\n", MsBetween(start, shown));
  if (measured)
    std::printf("peak_kb %llu\n",
                static_cast<unsigned long long>(counters.PeakWorkingSetSize / 1024));
  CloseAndWait(window, copy);
  first.WaitExit(30s);
  ::CloseHandle(copy);
  return measured ? 0 : Fail("no memory figures for the restarted copy");
}

int Tree(const std::wstring& root, int files, int kilobytes) {
  // About as deep and wide as a real installation: 20 folders of 10 sub-folders each.
  const std::string content(static_cast<size_t>(kilobytes) * 1024, 'p');
  const int perFolder = (files + 199) / 200;
  int made = 0;
  for (int a = 0; a < 20 && made < files; ++a)
    for (int b = 0; b < 10 && made < files; ++b) {
      const std::wstring folder =
          root + L"\\part" + std::to_wstring(a) + L"\\sub" + std::to_wstring(b);
      MakeDirs(folder);
      for (int f = 0; f < perFolder && made < files; ++f, ++made)
        WriteFileBytes(folder + L"\\file" + std::to_wstring(f) + L".dat", content);
    }
  std::printf("tree_files %d\n", made);
  return made == files ? 0 : 1;
}

bool LogHasRow(HWND log, const std::wstring& row) {
  for (const std::wstring& line : TextRows(log))
    if (line == row) return true;
  return false;
}

int Uninstall(const std::wstring& installDir) {
  Process first = Start(installDir + L"\\Uninstaller.exe", L"", installDir);
  HWND form = nullptr;
  if (!WaitUntil(
          [&] { return (form = VisibleWindowOfOtherProcess(L"TfrmMain", first.pid)) != nullptr; },
          120s))
    return Fail("no main window");
  DWORD pid = 0;
  ::GetWindowThreadProcessId(form, &pid);
  HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
  HWND uninstall = FindButton(form, L"Uninstall");
  HWND log = FindDescendant(form, L"RICHEDIT50W");
  if (!uninstall || !log || !WaitForEnabled(uninstall, true, 60s))
    return Fail("Uninstall not usable");
  ClickButton(uninstall);
  const BoxFilter ofCopy{pid, L""};
  if (!AnswerBox(120s, L"Yes", ofCopy)) return Fail("no first question");
  auto second = WaitForBox(120s, ofCopy);
  if (!second) return Fail("no second question");
  FILETIME yes{};
  ::GetSystemTimePreciseAsFileTime(&yes);
  PressButton(*second, L"Yes");
  if (!WaitUntil([&] { return LogHasRow(log, L"Uninstall done."); }, 30min))
    return Fail("no row \"Uninstall done.\"");
  // The window answers only once the uninstaller waits for messages again (in the box that
  // follows), and the wait above looks every 50 ms: the end is read from the saved log instead,
  // the last thing the uninstall writes, whose time the file system keeps.
  // Earlier runs' logs may lie there too: this run's is the newest.
  double saved = 0;
  for (const std::wstring& name : FilesMatching(DesktopDir() + L"\\*uninstall confirmation*.RTF")) {
    FILETIME written{};
    if (LastWriteTime(DesktopDir() + L"\\" + name, written))
      saved = std::max(saved, FileTimeMs(written));
  }
  if (saved < FileTimeMs(yes)) return Fail("no uninstall log saved on the desktop");
  std::printf("uninstall_ms %.1f\n", saved - FileTimeMs(yes));
  AnswerBox(120s, L"OK", ofCopy);
  ::WaitForSingleObject(process, 120000);
  ::CloseHandle(process);
  WaitUntil([] { return !FileExists(TempDir() + L"\\Uninstaller.exe"); }, 90s);
  return DirExists(installDir) ? Fail("the installation folder is still there") : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"startup" && (argc == 4 || argc == 5))
    return Startup(argv[2], argv[3], argc == 5 ? argv[4] : L"");
  if (mode == L"tree" && argc == 5) return Tree(argv[2], std::stoi(argv[3]), std::stoi(argv[4]));
  if (mode == L"uninstall" && argc == 3) return Uninstall(argv[2]);
  std::fprintf(stderr,
               "usage: bench_driver.exe startup EXE CLASS | tree FOLDER FILES KB | "
               "uninstall FOLDER\n");
  return 2;
}
