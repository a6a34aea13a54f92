// Self-delete: the batch script's text, and end to end a copy of a small program that calls
// SelfDelete from a temporary folder (also one whose path holds a blank, &, ^ and %, and one the
// ANSI code page cannot spell) and is gone shortly after, together with its script. A file that
// stays locked makes the script give up and remove itself. While the exe is held, the script is
// looked at as it lies on disk and as it runs.
#include <gtest/gtest.h>

#include <windows.h>

#include <cctype>
#include <map>
#include <set>

#include <optional>
#include <vector>
#include <string>

#include "toolkit/Application.h"
#include "toolkit/Errors.h"
#include "toolkit/Handles.h"
#include "toolkit/SystemLibrary.h"
#include "tests/support/ProcessInfo.h"
#include "tests/support/SandboxGuard.h"
#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"
#include "OrvexCommonControls/ccCore.h"

using namespace testing_support;

namespace {

// The script pauses about a second between about sixty tries; these waits are far longer.
constexpr auto kGoneWithin = 90s;
constexpr auto kGiveUpWithin = 240s;

bool Contains(const std::wstring& text, const std::wstring& part) {
  return text.find(part) != std::wstring::npos;
}

// Runs a copy of the self-deleting program; its exit code once it has ended.
std::optional<DWORD> RunToItsEnd(const std::wstring& exe) {
  Process process = Start(exe);
  if (!process.WaitExit(60s)) return std::nullopt;
  return process.ExitCode();
}

// Copies the self-deleting program into folder as name and runs it; its exit code.
std::optional<DWORD> RunSelfDeleter(const std::wstring& folder, const std::wstring& name) {
  const std::wstring exe = folder + L"\\" + name;
  if (!::CopyFileW(FixtureExe(L"selfdeleter").c_str(), exe.c_str(), FALSE)) return std::nullopt;
  return RunToItsEnd(exe);
}

// A copy of the self-deleting program at exe, held open without delete sharing, so that its
// script cannot remove it while the handle lives; none when it could not be made.
tk::UniqueFile HeldCopy(const std::wstring& exe) {
  if (!::CopyFileW(FixtureExe(L"selfdeleter").c_str(), exe.c_str(), FALSE)) return {};
  return tk::UniqueFile(::CreateFileW(exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
}

// The script has paused twice, each pause a ping of its own.
bool TwoPausesSeen() {
  std::set<DWORD> pauses;
  return WaitUntil(
      [&] {
        for (DWORD pid : ProcessesNamed(L"ping.exe")) pauses.insert(pid);
        return pauses.size() >= 2;
      },
      30s);
}

// What is left in a folder, by name only: opening the files would hold them against deletion.
std::vector<std::wstring> NamesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return names;
}

std::string Listing(const std::wstring& folder) {
  std::string text;
  for (const auto& name : NamesIn(folder)) text += Wide2Utf8(name) + "; ";
  return text;
}

bool Gone(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool BothGone(const std::wstring& a, const std::wstring& b) {
  return Gone(a) && Gone(b);
}

// The interpreter that runs a script of this folder, found by its working folder.
std::optional<DWORD> ScriptProcessIn(const std::wstring& folder) {
  for (DWORD pid : ProcessesNamed(L"cmd.exe")) {
    auto info = ReadProcessStartInfo(pid);
    if (info && (info->currentDirectory == folder + L"\\" || info->currentDirectory == folder))
      return pid;
  }
  return std::nullopt;
}

}  // namespace

// --- the script's text ---

TEST(SelfDeleteScript, DeletesExeRetriesWithPauseAndLimitThenDeletesItself) {
  EXPECT_EQ(SelfDeleteScriptText(L"C:\\T\\Uninstaller.exe", L"C:\\T\\Uninstaller.BAT",
                                 L"C:\\W\\ping.exe"),
            L"@echo off\r\n"
            L"set /a tries=0\r\n"
            L":delete_exe\r\n"
            L"del /f /q \"C:\\T\\Uninstaller.exe\" >nul 2>&1\r\n"
            L"if not exist \"C:\\T\\Uninstaller.exe\" goto delete_script\r\n"
            L"set /a tries+=1\r\n"
            L"if %tries% geq 60 goto delete_script\r\n"
            L"\"C:\\W\\ping.exe\" -n 2 127.0.0.1 >nul 2>&1\r\n"
            L"goto delete_exe\r\n"
            L":delete_script\r\n"
            L"del /f /q \"C:\\T\\Uninstaller.BAT\"\r\n");
}

TEST(SelfDeleteScript, PercentIsDoubledAndOtherSpecialsStayQuoted) {
  const std::wstring text = SelfDeleteScriptText(L"C:\\a b & c ^d 50%\\%PATH%\\x.exe",
                                                 L"C:\\a b & c ^d 50%\\x.BAT", L"C:\\W\\ping.exe");
  EXPECT_TRUE(Contains(text, L"del /f /q \"C:\\a b & c ^d 50%%\\%%PATH%%\\x.exe\" >nul"));
  EXPECT_TRUE(Contains(text, L"if not exist \"C:\\a b & c ^d 50%%\\%%PATH%%\\x.exe\" goto"));
  EXPECT_TRUE(Contains(text, L"del /f /q \"C:\\a b & c ^d 50%%\\x.BAT\"\r\n"));
  // No single % is left in a path.
  EXPECT_FALSE(Contains(text, L"50%\\"));
}

TEST(SelfDeleteScript, EveryLineEndsInCrLf) {
  const std::wstring text = SelfDeleteScriptText(L"C:\\x.exe", L"C:\\x.BAT", L"C:\\W\\ping.exe");
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.substr(text.size() - 2), L"\r\n");
  for (size_t at = text.find(L'\n'); at != std::wstring::npos; at = text.find(L'\n', at + 1)) {
    ASSERT_GT(at, 0u);
    EXPECT_EQ(text[at - 1], L'\r') << at;
  }
}

// --- end to end ---

TEST(SelfDelete, CopyInTempFolderRemovesItselfAndItsScript) {
  const std::wstring temp = TempDir();
  const std::wstring exe = temp + L"\\sdplain.exe";
  ASSERT_EQ(RunSelfDeleter(temp, L"sdplain.exe"), 0u);
  EXPECT_TRUE(WaitUntil([&] { return BothGone(exe, temp + L"\\sdplain.BAT"); }, kGoneWithin))
      << "exe left: " << !Gone(exe);
}

TEST(SelfDelete, TempPathWithBlankAmpersandCaretAndPercent) {
  const std::wstring temp = FreshFolder(L"tmp & 100% ^x %PATH% y");
  TempFolderOverride override(temp);
  ASSERT_EQ(RunSelfDeleter(temp, L"sd special.exe"), 0u);
  EXPECT_TRUE(WaitUntil([&] { return NamesIn(temp).empty(); }, kGoneWithin))
      << "left: " << Listing(temp);
  RemoveTree(temp);
}

TEST(SelfDelete, TempPathThatTheAnsiCodePageCannotSpell) {
  const std::wstring temp = FreshFolder(L"tmp \u2603 \u0416 \u4E2D");
  // Without an ANSI spelling the script must name its files some other way.
  BOOL lossy = FALSE;
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, temp.c_str(), -1, nullptr, 0, nullptr,
                        &lossy);
  EXPECT_TRUE(lossy || ::GetACP() == CP_UTF8);
  TempFolderOverride override(temp);
  ASSERT_EQ(RunSelfDeleter(temp, L"sd\u00E9\u2603.exe"), 0u);
  EXPECT_TRUE(WaitUntil([&] { return NamesIn(temp).empty(); }, kGoneWithin))
      << "left: " << Listing(temp);
  RemoveTree(temp);
}

// A copy in a folder of its own names nothing above that folder: its script holds no absolute
// path to it (a temporary folder without a short form would leave the copy for good), and the
// folder goes with the copy and the script.
TEST(SelfDelete, RunFolderGoesWithTheCopyAndTheScriptNamesNoPathAboveIt) {
  const std::wstring temp = FreshFolder(L"tmp Jos\u00E9 \u2603");
  TempFolderOverride override(temp);
  const std::wstring folder = temp + L"\\Run-0123ABCD";
  MakeDirs(folder);
  const std::wstring exe = folder + L"\\sdrun.exe";
  tk::UniqueFile lock = HeldCopy(exe);
  ASSERT_TRUE(lock);
  Process process = Start(exe, L"--run-folder");
  ASSERT_TRUE(process.WaitExit(60s));
  EXPECT_EQ(process.ExitCode(), 0u);
  std::string script = ReadFileBytes(folder + L".BAT");
  for (char& c : script) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_NE(script.find("run-0123abcd\\sdrun.exe"), std::string::npos) << script;
  EXPECT_EQ(script.find("orvex-tests"), std::string::npos) << script;
  lock.reset();
  EXPECT_TRUE(WaitUntil([&] { return NamesIn(temp).empty(); }, kGoneWithin))
      << "left: " << Listing(temp);
  RemoveTree(temp);
}

TEST(SelfDelete, TempPathWithAccentsThatAnsiCanSpell) {
  // ANSI can write these, but the interpreter reads a batch file in another code page.
  const std::wstring temp = FreshFolder(L"tmp caf\u00E9 na\u00EFve");
  TempFolderOverride override(temp);
  ASSERT_EQ(RunSelfDeleter(temp, L"sd\u00E9.exe"), 0u);
  EXPECT_TRUE(WaitUntil([&] { return NamesIn(temp).empty(); }, kGoneWithin))
      << "left: " << Listing(temp);
  RemoveTree(temp);
}

TEST(SelfDelete, ReadOnlyCopyIsRemovedToo) {
  const std::wstring temp = FreshFolder(L"tmp readonly");
  TempFolderOverride override(temp);
  const std::wstring exe = temp + L"\\sdro.exe";
  ASSERT_TRUE(::CopyFileW(FixtureExe(L"selfdeleter").c_str(), exe.c_str(), FALSE));
  ASSERT_TRUE(::SetFileAttributesW(exe.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(RunToItsEnd(exe), 0u);
  EXPECT_TRUE(WaitUntil([&] { return NamesIn(temp).empty(); }, kGoneWithin))
      << "left: " << Listing(temp);
  RemoveTree(temp);
}

TEST(SelfDelete, LockedExeIsDeletedOnceReleased) {
  const std::wstring temp = FreshFolder(L"tmp release");
  TempFolderOverride override(temp);
  const std::wstring exe = temp + L"\\sdrelease.exe";
  const std::wstring script = temp + L"\\sdrelease.BAT";
  // Held without FILE_SHARE_DELETE, the file cannot be deleted while this handle is open.
  tk::UniqueFile lock = HeldCopy(exe);
  ASSERT_TRUE(lock);
  SandboxGuard guard;
  guard.AllowFile(script);
  EXPECT_EQ(RunToItsEnd(exe), 0u);
  // The script keeps trying while the lock holds: it pauses between tries, each pause a ping of
  // its own, and after two of them both files are still there.
  ASSERT_TRUE(WaitUntil([&] { return ScriptProcessIn(temp).has_value(); }, 30s));
  ASSERT_TRUE(TwoPausesSeen());
  EXPECT_FALSE(Gone(exe));
  EXPECT_FALSE(Gone(script));
  lock.reset();
  EXPECT_TRUE(WaitUntil([&] { return BothGone(exe, script); }, kGoneWithin));
  RemoveTree(temp);
}

// Programs of the names the script uses, planted in the temporary folder (its working folder),
// are never run; the folder's name holds a full-width quote, which a code page bends into '"'.
TEST(SelfDelete, ProgramsPlantedInTheTempFolderAreNeverRun) {
  const std::wstring temp = FreshFolder(L"tmp \uFF02planted\uFF02");
  TempFolderOverride override(temp);
  const std::wstring exe = temp + L"\\sdplanted.exe";
  const std::wstring marker = temp + L"\\planted-ran.txt";
  for (const wchar_t* name : {L"\\ping.bat", L"\\ping.cmd", L"\\del.bat", L"\\cmd.bat"})
    WriteFileBytes(temp + name, "@echo ran > planted-ran.txt\r\n");
  // Held for two pauses, so that the script reaches its pause program while planted ones wait.
  tk::UniqueFile lock = HeldCopy(exe);
  ASSERT_TRUE(lock);
  SandboxGuard guard;
  guard.AllowFile(exe);
  guard.AllowFile(temp + L"\\sdplanted.BAT");
  EXPECT_EQ(RunToItsEnd(exe), 0u);
  EXPECT_TRUE(TwoPausesSeen()) << "the system's ping did not run";
  lock.reset();
  EXPECT_TRUE(WaitUntil([&] { return BothGone(exe, temp + L"\\sdplanted.BAT"); }, kGoneWithin))
      << "left: " << Listing(temp);
  EXPECT_FALSE(FileExists(marker)) << "a planted program ran";
  const GuardReport report = guard.Check();
  RecordFigure("hostile", "programs planted in the temporary folder", report);
  EXPECT_TRUE(report.Clean()) << report.Describe();
  RemoveTree(temp);
}

TEST(SelfDelete, ScriptRunsInTheTempFolderAndGivesUpOnALockedExe) {
  const std::wstring temp = FreshFolder(L"tmp locked");
  TempFolderOverride override(temp);
  // a.b.exe gives the script a.BAT: the script's name replaces the short name's last extension.
  const std::wstring exe = temp + L"\\sd.locked.exe";
  const std::wstring script = temp + L"\\sd.BAT";
  tk::UniqueFile lock = HeldCopy(exe);
  ASSERT_TRUE(lock);
  SandboxGuard guard;
  guard.AllowFile(script);
  EXPECT_EQ(RunToItsEnd(exe), 0u);

  std::optional<DWORD> pid;
  ASSERT_TRUE(WaitUntil([&] { return (pid = ScriptProcessIn(temp)).has_value(); }, 30s));
  EXPECT_FALSE(Gone(script));
  if (auto info = ReadProcessStartInfo(*pid)) {
    // Named by a path, the script is the one in the working folder whatever PATH holds.
    EXPECT_TRUE(Contains(info->commandLine, L"\".\\sd.BAT\"")) << Wide2Utf8(info->commandLine);
    EXPECT_FALSE(Contains(info->commandLine, temp)) << Wide2Utf8(info->commandLine);
  }
  tk::UniqueHandle script_process(::OpenProcess(SYNCHRONIZE, FALSE, *pid));
  ASSERT_TRUE(script_process);

  // Locked for good: the script gives up, removes itself and ends.
  EXPECT_TRUE(WaitUntil([&] { return Gone(script); }, kGiveUpWithin));
  EXPECT_EQ(::WaitForSingleObject(script_process.get(), 30000), WAIT_OBJECT_0);
  EXPECT_FALSE(Gone(exe));
  const GuardReport report = guard.Check();
  RecordFigure("fault", "exe that the self-delete script cannot remove", report);
  EXPECT_TRUE(report.Clean()) << report.Describe();
  lock.reset();
  RemoveTree(temp);
}

TEST(SelfDelete, UnwritableTempFolderRaisesCreateErrorAndDoesNotTerminate) {
  const std::wstring parent = FreshFolder(L"tmp unwritable");
  const std::wstring missing = parent + L"\\no such folder";
  TempFolderOverride override(missing);
  try {
    SelfDelete();
    ADD_FAILURE() << "no error raised";
  } catch (const tk::EFCreateError& e) {
    EXPECT_EQ(e.Message().rfind(L"Cannot create file \"" + missing + L"\\unit_tests.BAT\". ", 0),
              0u)
        << Wide2Utf8(e.Message());
  }
  EXPECT_FALSE(tk::App().Terminated());
  MSG quit{};
  EXPECT_FALSE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_FALSE(ScriptProcessIn(missing).has_value());
  EXPECT_FALSE(DirExists(missing));
  RemoveTree(parent);
}

// --- the script as the system runs it ---

namespace {

// A copy of the self-deleting program in a temporary folder of its own, held open so that its
// script keeps trying (and stays there to be looked at) until Release.
class HeldSelfDeleter {
 public:
  explicit HeldSelfDeleter(const std::wstring& name)
      : temp_(FreshFolder(L"tmp " + name)),
        override_(temp_),
        exe_(temp_ + L"\\" + name + L".exe"),
        script_(temp_ + L"\\" + name + L".BAT") {}
  ~HeldSelfDeleter() {
    lock_.reset();
    WaitUntil([&] { return BothGone(exe_, script_); }, kGoneWithin);
    RemoveTree(temp_);
  }
  HeldSelfDeleter(const HeldSelfDeleter&) = delete;
  HeldSelfDeleter& operator=(const HeldSelfDeleter&) = delete;

  // Runs a copy of the fixture to its end; the script's interpreter, once it runs.
  std::optional<DWORD> Run(const std::wstring& fixture = L"selfdeleter",
                           const std::wstring& arguments = L"") {
    if (!::CopyFileW(FixtureExe(fixture).c_str(), exe_.c_str(), FALSE)) return std::nullopt;
    lock_.reset(::CreateFileW(exe_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr));
    if (!lock_) return std::nullopt;
    Process process = Start(exe_, arguments);
    if (!process.WaitExit(60s) || process.ExitCode() != 0u) return std::nullopt;
    std::optional<DWORD> pid;
    WaitUntil([&] { return (pid = ScriptProcessIn(temp_)).has_value(); }, 30s);
    return pid;
  }
  void Release() { lock_.reset(); }

  const std::wstring& Exe() const { return exe_; }
  const std::wstring& Script() const { return script_; }

 private:
  std::wstring temp_;
  TempFolderOverride override_;
  std::wstring exe_, script_;
  tk::UniqueFile lock_;
};

// Whether a process started at a priority class runs at it here.
bool PlatformKeepsPriorityClasses() {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  wchar_t system[MAX_PATH] = {};
  ::GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring interpreter = std::wstring(system) + L"\\cmd.exe";
  std::wstring command = L"cmd.exe /c exit";
  if (!::CreateProcessW(interpreter.c_str(), command.data(), nullptr, nullptr, FALSE,
                        IDLE_PRIORITY_CLASS | CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &started))
    return false;
  const DWORD priority = ::GetPriorityClass(started.hProcess);
  ::TerminateProcess(started.hProcess, 0);
  ::CloseHandle(started.hThread);
  ::CloseHandle(started.hProcess);
  return priority == IDLE_PRIORITY_CLASS;
}

// name=value lines, the values decimal numbers.
std::map<std::string, unsigned long> Record(const std::string& text) {
  std::map<std::string, unsigned long> values;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    const size_t equals = line.find('=');
    if (equals != std::string::npos)
      values[line.substr(0, equals)] = std::stoul(line.substr(equals + 1));
    start = end + 1;
  }
  return values;
}

}  // namespace

TEST(SelfDelete, ScriptFileIsAnsiTextWithCrLfThatReplacesOneLeftByAnEarlierRun) {
  HeldSelfDeleter run(L"sdbytes");
  // Longer than the new script, so that a file written over without truncation keeps its tail.
  std::string stale;
  for (int i = 0; i < 200; ++i) stale += "rem stale line from an earlier run\r\n";
  WriteFileBytes(run.Script(), stale);

  ASSERT_TRUE(run.Run().has_value()) << "the script did not start";
  // The exe is held: the script is still there, as the system wrote it.
  const std::string bytes = ReadFileBytes(run.Script());
  const std::wstring text =
      SelfDeleteScriptText(run.Exe(), run.Script(), tk::SystemFolder() + L"\\ping.exe");
  EXPECT_EQ(bytes, Wide2Utf8(text)) << "every path here is ASCII, spelled alike in ANSI";
  EXPECT_EQ(bytes.find("stale"), std::string::npos);
  EXPECT_EQ(bytes.rfind("@echo off\r\n", 0), 0u) << "no byte-order mark before the first line";
  EXPECT_EQ(bytes.find('\0'), std::string::npos) << "one byte a character";
  for (size_t at = bytes.find('\n'); at != std::string::npos; at = bytes.find('\n', at + 1))
    EXPECT_TRUE(at > 0 && bytes[at - 1] == '\r') << "bare line feed at " << at;
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");

  run.Release();
  EXPECT_TRUE(WaitUntil([&] { return BothGone(run.Exe(), run.Script()); }, kGoneWithin));
}

TEST(SelfDelete, ScriptProcessRunsHiddenAtIdlePriority) {
  const std::wstring records = FreshFolder(L"selfdelete records");
  const std::wstring record = records + L"\\start.txt";
  HeldSelfDeleter run(L"sdhidden");
  const std::optional<DWORD> pid = run.Run(L"selfdeleter", QuoteArg(record));
  ASSERT_TRUE(pid.has_value()) << "the script did not start";

  // The running interpreter's start-up record, as the system keeps it. (Wine gives a script started
  // from a program without a console no window to show or hide.)
  const auto info = ReadProcessStartInfo(*pid);
  ASSERT_TRUE(info.has_value());
  EXPECT_TRUE(info->windowFlags & STARTF_USESHOWWINDOW) << info->windowFlags;
  EXPECT_EQ(info->showWindow, static_cast<ULONG>(SW_HIDE));
  tk::UniqueHandle script(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, *pid));
  ASSERT_TRUE(script);
  const DWORD priority = ::GetPriorityClass(script.get());
  if (PlatformKeepsPriorityClasses()) {
    EXPECT_EQ(priority, static_cast<DWORD>(IDLE_PRIORITY_CLASS));
  }

  // What the system was asked for: Wine starts every process at normal priority whatever it is
  // asked, so the request itself is what shows the idle class there.
  const std::map<std::string, unsigned long> asked = Record(ReadFileBytes(record));
  const unsigned long classes = IDLE_PRIORITY_CLASS | BELOW_NORMAL_PRIORITY_CLASS |
                                NORMAL_PRIORITY_CLASS | ABOVE_NORMAL_PRIORITY_CLASS |
                                HIGH_PRIORITY_CLASS | REALTIME_PRIORITY_CLASS;
  ASSERT_EQ(asked.count("flags"), 1u) << ReadFileBytes(record);
  EXPECT_EQ(asked.at("flags") & classes, static_cast<unsigned long>(IDLE_PRIORITY_CLASS));
  EXPECT_EQ(asked.at("inherit"), 0u);
  EXPECT_EQ(asked.at("environment"), 0u) << "the default environment";
  EXPECT_EQ(asked.at("startflags") & STARTF_USESHOWWINDOW,
            static_cast<unsigned long>(STARTF_USESHOWWINDOW));
  EXPECT_EQ(asked.at("show"), static_cast<unsigned long>(SW_HIDE));

  run.Release();
  EXPECT_TRUE(WaitUntil([&] { return BothGone(run.Exe(), run.Script()); }, kGoneWithin));
  RemoveTree(records);
}
