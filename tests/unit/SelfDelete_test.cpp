// Self-delete: the batch script's text, and end to end a copy of a small program that calls
// SelfDelete from a temporary folder (also one whose path holds a blank, &, ^ and %, and one the
// ANSI code page cannot spell) and is gone shortly after, together with its script. A file that
// stays locked makes the script give up and remove itself.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>

#include <optional>
#include <vector>
#include <string>

#include "Application.h"
#include "Errors.h"
#include "Handles.h"
#include "ProcessInfo.h"
#include "SandboxGuard.h"
#include "TestEnv.h"
#include "ccCore.h"

using namespace testing_support;

namespace {

// The script pauses about a second between about sixty tries; these waits are far longer.
constexpr auto kGoneWithin = 90s;
constexpr auto kGiveUpWithin = 240s;

bool Contains(const std::wstring& text, const std::wstring& part) {
  return text.find(part) != std::wstring::npos;
}

std::optional<std::wstring> Environment(const wchar_t* name) {
  wchar_t buffer[4096] = {};
  const DWORD length = ::GetEnvironmentVariableW(name, buffer, 4096);
  if (length == 0 || length >= 4096) return std::nullopt;
  return std::wstring(buffer, length);
}

// Points TMP and TEMP of this process, and so of the programs it starts, at another folder.
class TempFolderOverride {
 public:
  explicit TempFolderOverride(const std::wstring& folder)
      : tmp_(Environment(L"TMP")), temp_(Environment(L"TEMP")) {
    ::SetEnvironmentVariableW(L"TMP", folder.c_str());
    ::SetEnvironmentVariableW(L"TEMP", folder.c_str());
  }
  ~TempFolderOverride() {
    ::SetEnvironmentVariableW(L"TMP", tmp_ ? tmp_->c_str() : nullptr);
    ::SetEnvironmentVariableW(L"TEMP", temp_ ? temp_->c_str() : nullptr);
  }
  TempFolderOverride(const TempFolderOverride&) = delete;
  TempFolderOverride& operator=(const TempFolderOverride&) = delete;

 private:
  std::optional<std::wstring> tmp_, temp_;
};

// Copies the self-deleting program into folder as name and runs it; its exit code.
std::optional<DWORD> RunSelfDeleter(const std::wstring& folder, const std::wstring& name) {
  const std::wstring exe = folder + L"\\" + name;
  if (!::CopyFileW(FixtureExe(L"selfdeleter").c_str(), exe.c_str(), FALSE)) return std::nullopt;
  Process process = Start(exe);
  if (!process.WaitExit(60s)) return std::nullopt;
  return process.ExitCode();
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

bool BothGone(const std::wstring& a, const std::wstring& b) { return Gone(a) && Gone(b); }

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
  EXPECT_EQ(SelfDeleteScriptText(L"C:\\T\\Uninstaller.exe", L"C:\\T\\Uninstaller.BAT"),
            L"@echo off\r\n"
            L"set /a tries=0\r\n"
            L":delete_exe\r\n"
            L"del /f /q \"C:\\T\\Uninstaller.exe\" >nul 2>&1\r\n"
            L"if not exist \"C:\\T\\Uninstaller.exe\" goto delete_script\r\n"
            L"set /a tries+=1\r\n"
            L"if %tries% geq 60 goto delete_script\r\n"
            L"ping -n 2 127.0.0.1 >nul 2>&1\r\n"
            L"goto delete_exe\r\n"
            L":delete_script\r\n"
            L"del /f /q \"C:\\T\\Uninstaller.BAT\"\r\n");
}

TEST(SelfDeleteScript, PercentIsDoubledAndOtherSpecialsStayQuoted) {
  const std::wstring text =
      SelfDeleteScriptText(L"C:\\a b & c ^d 50%\\%PATH%\\x.exe", L"C:\\a b & c ^d 50%\\x.BAT");
  EXPECT_TRUE(Contains(text, L"del /f /q \"C:\\a b & c ^d 50%%\\%%PATH%%\\x.exe\" >nul"));
  EXPECT_TRUE(Contains(text, L"if not exist \"C:\\a b & c ^d 50%%\\%%PATH%%\\x.exe\" goto"));
  EXPECT_TRUE(Contains(text, L"del /f /q \"C:\\a b & c ^d 50%%\\x.BAT\"\r\n"));
  // No single % is left in a path.
  EXPECT_FALSE(Contains(text, L"50%\\"));
}

TEST(SelfDeleteScript, EveryLineEndsInCrLf) {
  const std::wstring text = SelfDeleteScriptText(L"C:\\x.exe", L"C:\\x.BAT");
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
  EXPECT_TRUE(PumpUntil([&] { return BothGone(exe, temp + L"\\sdplain.BAT"); }, kGoneWithin))
      << "exe left: " << !Gone(exe);
}

TEST(SelfDelete, TempPathWithBlankAmpersandCaretAndPercent) {
  const std::wstring temp = FreshFolder(L"tmp & 100% ^x %PATH% y");
  TempFolderOverride override(temp);
  ASSERT_EQ(RunSelfDeleter(temp, L"sd special.exe"), 0u);
  EXPECT_TRUE(PumpUntil([&] { return NamesIn(temp).empty(); }, kGoneWithin))
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
  EXPECT_TRUE(PumpUntil([&] { return NamesIn(temp).empty(); }, kGoneWithin))
      << "left: " << Listing(temp);
  RemoveTree(temp);
}

TEST(SelfDelete, TempPathWithAccentsThatAnsiCanSpell) {
  // ANSI can write these, but the interpreter reads a batch file in another code page.
  const std::wstring temp = FreshFolder(L"tmp caf\u00E9 na\u00EFve");
  TempFolderOverride override(temp);
  ASSERT_EQ(RunSelfDeleter(temp, L"sd\u00E9.exe"), 0u);
  EXPECT_TRUE(PumpUntil([&] { return NamesIn(temp).empty(); }, kGoneWithin))
      << "left: " << Listing(temp);
  RemoveTree(temp);
}

TEST(SelfDelete, ReadOnlyCopyIsRemovedToo) {
  const std::wstring temp = FreshFolder(L"tmp readonly");
  TempFolderOverride override(temp);
  const std::wstring exe = temp + L"\\sdro.exe";
  ASSERT_TRUE(::CopyFileW(FixtureExe(L"selfdeleter").c_str(), exe.c_str(), FALSE));
  ASSERT_TRUE(::SetFileAttributesW(exe.c_str(), FILE_ATTRIBUTE_READONLY));
  Process process = Start(exe);
  ASSERT_TRUE(process.WaitExit(60s));
  EXPECT_EQ(process.ExitCode(), 0u);
  EXPECT_TRUE(PumpUntil([&] { return NamesIn(temp).empty(); }, kGoneWithin))
      << "left: " << Listing(temp);
  RemoveTree(temp);
}

TEST(SelfDelete, LockedExeIsDeletedOnceReleased) {
  const std::wstring temp = FreshFolder(L"tmp release");
  TempFolderOverride override(temp);
  const std::wstring exe = temp + L"\\sdrelease.exe";
  const std::wstring script = temp + L"\\sdrelease.BAT";
  ASSERT_TRUE(::CopyFileW(FixtureExe(L"selfdeleter").c_str(), exe.c_str(), FALSE));
  // Held without FILE_SHARE_DELETE, the file cannot be deleted while this handle is open.
  tk::UniqueFile lock(::CreateFileW(exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(lock);
  SandboxGuard guard;
  guard.AllowFile(script);
  Process process = Start(exe);
  ASSERT_TRUE(process.WaitExit(60s));
  EXPECT_EQ(process.ExitCode(), 0u);
  // The script keeps trying while the lock holds: it pauses between tries, each pause a ping of
  // its own, and after two of them both files are still there.
  ASSERT_TRUE(PumpUntil([&] { return ScriptProcessIn(temp).has_value(); }, 30s));
  std::set<DWORD> pauses;
  ASSERT_TRUE(PumpUntil(
      [&] {
        for (DWORD pid : ProcessesNamed(L"ping.exe")) pauses.insert(pid);
        return pauses.size() >= 2;
      },
      30s));
  EXPECT_FALSE(Gone(exe));
  EXPECT_FALSE(Gone(script));
  lock.reset();
  EXPECT_TRUE(PumpUntil([&] { return BothGone(exe, script); }, kGoneWithin));
  RemoveTree(temp);
}

TEST(SelfDelete, ScriptRunsInTheTempFolderAndGivesUpOnALockedExe) {
  const std::wstring temp = FreshFolder(L"tmp locked");
  TempFolderOverride override(temp);
  // a.b.exe gives the script a.BAT: the script's name replaces the short name's last extension.
  const std::wstring exe = temp + L"\\sd.locked.exe";
  const std::wstring script = temp + L"\\sd.BAT";
  ASSERT_TRUE(::CopyFileW(FixtureExe(L"selfdeleter").c_str(), exe.c_str(), FALSE));
  tk::UniqueFile lock(::CreateFileW(exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(lock);
  SandboxGuard guard;
  guard.AllowFile(script);
  Process process = Start(exe);
  ASSERT_TRUE(process.WaitExit(60s));
  EXPECT_EQ(process.ExitCode(), 0u);

  std::optional<DWORD> pid;
  ASSERT_TRUE(PumpUntil([&] { return (pid = ScriptProcessIn(temp)).has_value(); }, 30s));
  EXPECT_FALSE(Gone(script));
  if (auto info = ReadProcessStartInfo(*pid)) {
    EXPECT_TRUE(Contains(info->commandLine, L"\"sd.BAT\"")) << Wide2Utf8(info->commandLine);
    EXPECT_FALSE(Contains(info->commandLine, temp)) << Wide2Utf8(info->commandLine);
  }
  tk::UniqueHandle script_process(::OpenProcess(SYNCHRONIZE, FALSE, *pid));
  ASSERT_TRUE(script_process);

  // Locked for good: the script gives up, removes itself and ends.
  EXPECT_TRUE(PumpUntil([&] { return Gone(script); }, kGiveUpWithin));
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
    EXPECT_EQ(e.Message().rfind(L"Cannot create file \"" + missing + L"\\SelfDelete_test.BAT\". ",
                                0),
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
