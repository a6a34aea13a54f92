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
    RemoveWhatRunsLeft();
  }
  void TearDown() override {
    KillProcessesNamed(L"Uninstaller.exe");
    RemoveWhatRunsLeft();
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
  StoreInstallPath(installDir_);
  Process first = Start(exe_, L"", installDir_);
  ASSERT_TRUE(first.WaitExit(60s)) << "the first process must end without user interaction";
  EXPECT_EQ(first.ExitCode(), 0u);
  ASSERT_EQ(RunFolders().size(), 1u) << "the copy's folder of its own";
  EXPECT_TRUE(FileExists(RunFolders()[0] + L"\\Uninstaller.exe"));
  EXPECT_FALSE(FileExists(tempCopy_)) << "nothing beside the temporary folder's other files";

  HWND window = WaitForWindow(kFormClass, 60s);
  ASSERT_NE(window, nullptr) << "the restarted copy shows the main window";
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  EXPECT_NE(pid, first.pid);
  auto info = ReadProcessStartInfo(pid);
  ASSERT_TRUE(info.has_value());
  EXPECT_TRUE(IsCopyInRunFolder(info->imagePath)) << Wide2Utf8(info->imagePath);
  EXPECT_NE(info->commandLine.find(L"\" uninstall"), std::wstring::npos)
      << Wide2Utf8(info->commandLine);
  EXPECT_EQ(info->commandLine.substr(info->commandLine.size() - 10), L" uninstall");
  // The copy must not hold the folder it is about to remove as its working folder.
  EXPECT_NE(_wcsnicmp(info->currentDirectory.c_str(), installDir_.c_str(), installDir_.size()), 0)
      << Wide2Utf8(info->currentDirectory);
  EXPECT_TRUE(OpenBoxes().empty());
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  // Closed without an uninstall, the copy leaves nothing of the run behind either.
  EXPECT_TRUE(WaitUntil([] { return RunsLeftNothing(); }, 90s));
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

// What others put where copies once went (a file that is no program at the copy's name, a
// folder at the script's) is neither started nor changed: the run makes its copy in a folder of
// its own.
TEST_F(Startup, FilesAtTheTemporaryFoldersOwnNamesAreNeitherStartedNorChanged) {
  StoreInstallPath(installDir_);
  WriteFileBytes(tempCopy_, "this is no program");
  const std::wstring scriptFolder = TempDir() + L"\\Uninstaller.BAT";
  MakeDirs(scriptFolder);
  WriteFileBytes(scriptFolder + L"\\keep.txt", "keep");
  tk::ScopeExit remove([&] { RemoveTree(scriptFolder); });
  Process first = Start(exe_, L"", installDir_);
  DWORD copy = 0;
  HWND window = WaitForRestartedCopy(kFormClass, 60s, &copy);
  ASSERT_NE(window, nullptr) << "the run's own copy runs the uninstall";
  ASSERT_TRUE(first.WaitExit(60s));
  EXPECT_TRUE(OpenBoxes().empty());
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitUntil([] { return RunsLeftNothing(); }, 90s));
  EXPECT_EQ(ReadFileBytes(tempCopy_), "this is no program");
  EXPECT_EQ(ReadFileBytes(scriptFolder + L"\\keep.txt"), "keep");
}

// A run killed before its end leaves its folder; the next run removes it, and only what is
// plainly one of its own: a folder of that kind of name that holds something else, and a link
// of such a name, stay as they are.
TEST_F(Startup, FoldersLeftByKilledRunsGoAndOnlyThose) {
  StoreInstallPath(installDir_);
  Process killed = Start(exe_, L"", installDir_);
  DWORD copy = 0;
  ASSERT_NE(WaitForRestartedCopy(kFormClass, 60s, &copy), nullptr);
  ASSERT_TRUE(killed.WaitExit(60s));
  KillProcessesNamed(L"Uninstaller.exe");
  const std::vector<std::wstring> left = RunFolders();
  ASSERT_EQ(left.size(), 1u);
  const std::wstring someoneElses = TempDir() + L"\\" + kRunFolderPrefix + L"0000ABCD";
  MakeDirs(someoneElses);
  WriteFileBytes(someoneElses + L"\\Uninstaller.exe", "not ours alone");
  WriteFileBytes(someoneElses + L"\\notes.txt", "keep");
  const std::wstring victim = FreshFolder(L"startup\\linked");
  WriteFileBytes(victim + L"\\Uninstaller.exe", "keep");
  const std::string link = UnixPathOf(TempDir()) + "/" + Wide2Utf8(kRunFolderPrefix) + "0000BEEF";
  ASSERT_TRUE(RunOnLinux("ln -sfn " + ShellQuoted(UnixPathOf(victim)) + " " + ShellQuoted(link)));
  tk::ScopeExit mend([&] { RunOnLinux("rm -f " + ShellQuoted(link)); });

  Process next = Start(exe_, L"", installDir_);
  HWND window = WaitForRestartedCopy(kFormClass, 60s, &copy);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(next.WaitExit(60s));
  EXPECT_FALSE(DirExists(left[0])) << "the killed run's folder";
  EXPECT_EQ(ReadFileBytes(someoneElses + L"\\notes.txt"), "keep");
  EXPECT_EQ(ReadFileBytes(someoneElses + L"\\Uninstaller.exe"), "not ours alone");
  EXPECT_EQ(ReadFileBytes(victim + L"\\Uninstaller.exe"), "keep") << "through the link";
  ::PostMessageW(window, WM_CLOSE, 0, 0);
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

}  // namespace
