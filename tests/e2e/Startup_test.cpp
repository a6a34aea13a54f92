// Start-up of the real Uninstaller.exe: the copy into the temporary folder and the restart.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <vector>

#include "tests/support/BoxDriver.h"
#include "toolkit/Handles.h"
#include "tests/support/ProcessInfo.h"
#include "tests/support/SandboxGuard.h"
#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"
#include "tests/support/WindowWatch.h"

using namespace testing_support;

namespace {

const std::wstring kFormClass = L"TfrmMain";

// The system's message for an error code, as a program shows it: trailing blanks, line breaks
// and full stops cut.
std::wstring SystemText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message(text ? text : L"", length);
  if (text) ::LocalFree(text);
  while (!message.empty() && (message.back() <= L' ' || message.back() == L'.')) message.pop_back();
  return message;
}

// A process started with its own TMP and TEMP, everything else inherited.
Process StartWithTemp(const std::wstring& exe, const std::wstring& temp, const std::wstring& dir) {
  std::wstring env;
  for (const wchar_t* p = ::GetEnvironmentStringsW(); *p; p += wcslen(p) + 1) {
    std::wstring entry = p;
    if (_wcsnicmp(p, L"TMP=", 4) == 0 || _wcsnicmp(p, L"TEMP=", 5) == 0) continue;
    env += entry + L'\0';
  }
  env += L"TMP=" + temp + L'\0' + L"TEMP=" + temp + L'\0' + L'\0';
  std::wstring command = L"\"" + exe + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, env.data(), dir.c_str(), &si, &pi))
    throw std::runtime_error("cannot start");
  ::CloseHandle(pi.hThread);
  Process p;
  p.process = pi.hProcess;
  p.pid = pi.dwProcessId;
  return p;
}

class Startup : public ::testing::Test {
 protected:
  void SetUp() override {
    KillProcessesNamed(L"Uninstaller.exe");
    installDir_ = FreshFolder(L"startup\\Pelmor Wallpaper");
    exe_ = installDir_ + L"\\Uninstaller.exe";
    ASSERT_TRUE(::CopyFileW(UninstallerExe().c_str(), exe_.c_str(), FALSE));
    tempCopy_ = TempDir() + L"\\Uninstaller.exe";
    ::DeleteFileW(tempCopy_.c_str());
  }
  void TearDown() override {
    KillProcessesNamed(L"Uninstaller.exe");
    for (auto& box : OpenBoxes()) PressButton(box, L"OK");
    StoreInstallPath(L"");
    RemoveTree(L"C:\\orvex-tests\\startup");
  }

  // The product's stored installation folder (none for an empty text).
  static void StoreInstallPath(const std::wstring& folder) {
    Process setup =
        Start(FixtureExe(L"pelmor_install"),
              folder.empty() ? L"--remove" : L"--no-shortcuts --install-value " + QuoteArg(folder));
    ASSERT_TRUE(setup.WaitExit(60s));
    ASSERT_EQ(setup.ExitCode(), 0u);
  }

  // Starts the exe plainly and watches the screen from the first moment: only the restarted
  // copy shows anything, its window and the given number of error boxes, which are answered.
  void ExpectOnlyTheCopyShows(size_t errorBoxes) {
    WindowWatch watch;
    Process first = Start(exe_, L"", installDir_);
    DWORD copy = 0;
    HWND window = WaitForRestartedCopy(kFormClass, 60s, &copy);
    ASSERT_NE(window, nullptr);
    std::vector<MessageBoxInfo> answered;
    for (size_t i = 0; i < errorBoxes; ++i) {
      auto box = WaitForBox(60s, BoxFilter{copy, L""});
      ASSERT_TRUE(box.has_value());
      EXPECT_EQ(box->caption, L"Uninstaller - Error");
      answered.push_back(*box);
      PressButton(*box, L"OK");
      WaitForBoxClosed(box->hwnd, 30s);
    }
    ASSERT_TRUE(first.WaitExit(60s)) << "the first process hands over and ends";
    EXPECT_EQ(first.ExitCode(), 0u);
    const std::vector<SeenWindow> seen = watch.Stop();
    std::string all;
    for (const SeenWindow& w : seen)
      all += "\n  pid " + std::to_string(w.pid) + " " + Wide2Utf8(w.className) + " \"" +
             Wide2Utf8(w.caption) + "\"";
    EXPECT_TRUE(WindowWatch::Of(seen, first.pid).empty()) << "the first process showed:" << all;
    std::vector<std::wstring> classes;
    for (const SeenWindow& w : WindowWatch::Of(seen, copy)) classes.push_back(w.className);
    std::vector<std::wstring> expected{kFormClass};
    expected.insert(expected.end(), errorBoxes, L"#32770");
    EXPECT_EQ(classes, expected) << "seen:" << all;
    ::PostMessageW(window, WM_CLOSE, 0, 0);
  }

  std::wstring installDir_;
  std::wstring exe_;
  std::wstring tempCopy_;
};

TEST_F(Startup, PlainStartRestartsFromTemporaryCopyWithUninstallArgument) {
  Process first = Start(exe_, L"", installDir_);
  ASSERT_TRUE(first.WaitExit(60s)) << "the first process must end without user interaction";
  EXPECT_EQ(first.ExitCode(), 0u);
  EXPECT_TRUE(FileExists(tempCopy_));

  HWND window = WaitForWindow(kFormClass, 60s);
  ASSERT_NE(window, nullptr) << "the restarted copy shows the main window";
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  EXPECT_NE(pid, first.pid);
  auto info = ReadProcessStartInfo(pid);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(_wcsicmp(info->imagePath.c_str(), tempCopy_.c_str()), 0) << Wide2Utf8(info->imagePath);
  EXPECT_NE(info->commandLine.find(L"\" uninstall"), std::wstring::npos)
      << Wide2Utf8(info->commandLine);
  EXPECT_EQ(info->commandLine.substr(info->commandLine.size() - 10), L" uninstall");
  // The copy must not hold the folder it is about to remove as its working folder.
  EXPECT_NE(_wcsnicmp(info->currentDirectory.c_str(), installDir_.c_str(), installDir_.size()), 0)
      << Wide2Utf8(info->currentDirectory);
  EXPECT_TRUE(OpenBoxes().empty());
  ::PostMessageW(window, WM_CLOSE, 0, 0);
}

TEST_F(Startup, OnlyTheCopyShowsItsWindow) {
  StoreInstallPath(installDir_);
  ExpectOnlyTheCopyShows(0);
}

// An impatient second click: the second start finds the running uninstaller, brings its window
// forward and ends, without a box and without a copy of its own.
TEST_F(Startup, SecondStartHalfASecondLaterOpensNoSecondWindow) {
  StoreInstallPath(installDir_);
  Process first = Start(exe_, L"", installDir_);
  ::Sleep(500);  // the user's second click, half a second after the first
  Process second = Start(exe_, L"", installDir_);
  DWORD copy = 0;
  const HWND window = WaitForRestartedCopy(kFormClass, 60s, &copy);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(first.WaitExit(60s));
  ASSERT_TRUE(second.WaitExit(60s)) << "the second start ends by itself";
  // A start that hands over has started its copy before it ends.
  EXPECT_EQ(ProcessesNamed(L"Uninstaller.exe"), std::vector<DWORD>{copy}) << "one uninstaller";
  EXPECT_TRUE(OpenBoxes().empty());
  ::PostMessageW(window, WM_CLOSE, 0, 0);
}

TEST_F(Startup, OnlyTheCopyReportsAMissingFolder) {
  StoreInstallPath(L"C:\\orvex-tests\\startup\\Moved Away");
  ExpectOnlyTheCopyShows(1);
}

// The first process only hands over: it loads none of what windows need (the common controls,
// the rich edit, the imaging component, the themes, the display driver), so the copy starts
// without waiting for them and has the machine to itself, and still opens its window.
TEST_F(Startup, FirstProcessHandsOverWithoutLoadingWhatWindowsNeed) {
  StoreInstallPath(installDir_);
  const std::vector<std::wstring> loaded = LibrariesLoadedDuringRun(exe_, L"", installDir_, 60s);
  ASSERT_NE(std::find(loaded.begin(), loaded.end(), L"kernel32.dll"), loaded.end())
      << "every library the first process loaded is seen";
  ASSERT_NE(std::find(loaded.begin(), loaded.end(), L"shell32.dll"), loaded.end());
  for (const wchar_t* unwanted : {L"comctl32.dll", L"msftedit.dll", L"riched20.dll",
                                  L"windowscodecs.dll", L"uxtheme.dll", L"winex11.drv"})
    EXPECT_EQ(std::find(loaded.begin(), loaded.end(), unwanted), loaded.end())
        << Wide2Utf8(unwanted) << " was loaded by the first process";
  DWORD copy = 0;
  HWND window = WaitForRestartedCopy(kFormClass, 60s, &copy);
  ASSERT_NE(window, nullptr) << "the copy opens its window all the same";
  // The logo is decoded for the first paint, which may follow the window's showing.
  const auto copyLoadedThem = [copy] {
    std::vector<std::wstring> inCopy;
    for (const LoadedModule& module : LoadedModules(copy))
      inCopy.push_back(ModuleFileName(module.path));
    const auto has = [&](const wchar_t* name) {
      return std::find(inCopy.begin(), inCopy.end(), name) != inCopy.end();
    };
    return has(L"comctl32.dll") && has(L"msftedit.dll") && has(L"windowscodecs.dll");
  };
  EXPECT_TRUE(WaitUntil(copyLoadedThem, 30s)) << "the copy, which shows the window, loads them";
  ::PostMessageW(window, WM_CLOSE, 0, 0);
}

TEST_F(Startup, StartedFromTheTemporaryFolderRestartsItselfWithUninstall) {
  // Copying the exe onto itself fails; the file is there all the same and is started again.
  ASSERT_TRUE(::CopyFileW(exe_.c_str(), tempCopy_.c_str(), FALSE));
  const std::string before = ReadFileBytes(tempCopy_);
  Process first = Start(tempCopy_, L"", TempDir());
  DWORD copy = 0;
  HWND window = WaitForRestartedCopy(kFormClass, 60s, &copy);
  ASSERT_NE(window, nullptr) << "restarted from the temporary folder";
  EXPECT_NE(copy, first.pid);
  ASSERT_TRUE(first.WaitExit(60s));
  EXPECT_EQ(first.ExitCode(), 0u);
  EXPECT_EQ(ReadFileBytes(tempCopy_), before);
  ::PostMessageW(window, WM_CLOSE, 0, 0);
}

// A copy left by an earlier run that cannot be overwritten (another program holds it open for
// reading only) is started instead. It carries a mark after its last byte, which Windows ignores.
TEST_F(Startup, StaleCopyIsStartedWhenItCannotBeOverwritten) {
  const std::string stale = ReadFileBytes(exe_) + "STALE COPY FROM AN EARLIER RUN";
  WriteFileBytes(tempCopy_, stale);
  tk::UniqueFile holder(::CreateFileW(tempCopy_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);
  Process first = Start(exe_, L"", installDir_);
  DWORD copy = 0;
  HWND window = WaitForRestartedCopy(kFormClass, 60s, &copy);
  ASSERT_NE(window, nullptr) << "the stale copy runs the uninstall";
  ASSERT_TRUE(first.WaitExit(60s));
  EXPECT_EQ(ReadFileBytes(tempCopy_), stale) << "the copy was not overwritten";
  EXPECT_TRUE(OpenBoxes().empty());
  ::PostMessageW(window, WM_CLOSE, 0, 0);
}

// A file at the copy's place that is no program: the start fails, the system's own words for it
// are shown once, captioned before the application has its name, and the program ends.
TEST_F(Startup, CopyThatCannotBeStartedShowsTheSystemsTextAndEnds) {
  WriteFileBytes(tempCopy_, "this is no program");
  tk::UniqueFile holder(::CreateFileW(tempCopy_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);
  Process first = Start(exe_, L"", installDir_);
  auto box = WaitForBox(60s, BoxFilter{first.pid, L""});
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->caption, L"? Empty AppName");
  EXPECT_EQ(box->icon, BoxIcon::Information);
  EXPECT_EQ(box->ButtonList(), L"OK");
  // The system's text for a file that is not a program, as the system words it.
  std::vector<std::wstring> expected;
  for (DWORD code : {ERROR_BAD_EXE_FORMAT, ERROR_FILE_NOT_FOUND, ERROR_EXE_MACHINE_TYPE_MISMATCH})
    expected.push_back(SystemText(code));
  EXPECT_NE(std::find(expected.begin(), expected.end(), box->text), expected.end())
      << Wide2Utf8(box->text);
  EXPECT_FALSE(box->text.empty());
  const wchar_t last = box->text.back();
  EXPECT_TRUE(last != L'.' && last != L' ' && last >= L' ') << "trailing stops and blanks go";
  ASSERT_TRUE(PressButton(*box, L"OK"));
  ASSERT_TRUE(first.WaitExit(30s)) << "the program ends after the box";
  EXPECT_TRUE(ProcessesOfClass(kFormClass).empty()) << "no window anywhere";
}

TEST_F(Startup, AnyParameterRunsInPlaceWithoutCopy) {
  for (const std::wstring arg : {L"uninstall", L"whatever"}) {
    Process p = Start(exe_, arg, installDir_);
    HWND window = WaitForWindow(kFormClass, 60s, p.pid);
    ASSERT_NE(window, nullptr) << "window opens in the started process for " << Wide2Utf8(arg);
    EXPECT_FALSE(FileExists(tempCopy_));
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(p.WaitExit(30s));
    EXPECT_EQ(p.ExitCode(), 0u);
  }
}

TEST_F(Startup, ProjectFileBesideExeRunsInPlace) {
  WriteFileBytes(installDir_ + L"\\Uninstaller.dpr", "program Uninstaller;");
  Process p = Start(exe_, L"", installDir_);
  HWND window = WaitForWindow(kFormClass, 60s, p.pid);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(FileExists(tempCopy_));
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(p.WaitExit(30s));
}

// The copy cannot be made: the one error box, captioned before the application has its name,
// then the end, with no second process and nothing changed.
void ExpectCopyErrorAndEnd(const Process& p, const std::string& kind, const std::string& name,
                           const SandboxGuard& guard) {
  auto box = WaitForBox(60s, BoxFilter{p.pid, L""});
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->caption, L"? Empty AppName - Error");
  EXPECT_EQ(box->text,
            L"Cannot create temporary copy! Most probable cause: your antivirus is blocking it.");
  EXPECT_EQ(box->icon, BoxIcon::Error);
  EXPECT_EQ(box->ButtonList(), L"OK");
  ASSERT_TRUE(PressButton(*box, L"OK"));
  ASSERT_TRUE(p.WaitExit(30s)) << "the program ends after the box";
  EXPECT_TRUE(OpenBoxes(BoxFilter{p.pid, L""}).empty());
  EXPECT_TRUE(ProcessesOfClass(kFormClass).empty()) << "no second process was started";
  const GuardReport report = guard.Check();
  RecordFigure(kind, name, report);
  EXPECT_TRUE(report.Clean()) << report.Describe();
}

TEST_F(Startup, UnwritableTemporaryFolderShowsOneErrorAndEnds) {
  // A temporary folder that does not exist cannot take the copy, and no earlier copy is there.
  const SandboxGuard guard;
  Process p = StartWithTemp(exe_, L"C:\\orvex-tests\\startup\\no-such-temp", installDir_);
  ExpectCopyErrorAndEnd(p, "fault", "temporary folder not writable", guard);
}

// A folder of the copy's name in the temporary folder is no copy: it is not opened, and the user
// hears why nothing else happens.
TEST_F(Startup, FolderWhereTheCopyGoesShowsTheCopyErrorAndEnds) {
  MakeDirs(tempCopy_ + L"\\inside");
  WriteFileBytes(tempCopy_ + L"\\inside\\keep.txt", "keep");
  tk::ScopeExit remove([&] { RemoveTree(tempCopy_); });
  const SandboxGuard guard;
  Process p = Start(exe_, L"", installDir_);
  ExpectCopyErrorAndEnd(p, "hostile", "folder at the temporary copy's name", guard);
  EXPECT_TRUE(ShellWindowsTitled(L"Uninstaller.exe").empty()) << "the folder was opened";
}

}  // namespace
