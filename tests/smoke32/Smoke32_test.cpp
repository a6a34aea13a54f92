// The shipped exe is the 32-bit one: this 64-bit driver runs it end to end, from the plain start in
// the installation folder to the self-deleted temporary copy. tools/smoke32.sh builds the sandbox
// (a prefix that runs 32-bit programs), names the exe in ORVEX_SMOKE32_EXE and runs this program.
// Where 32-bit programs run under emulation every start of one takes about a minute, hence the
// long waits.
#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <thread>

#include "tests/support/AppDriver.h"
#include "tests/support/BoxDriver.h"
#include "tests/support/Screenshot.h"
#include "tests/support/Files.h"
#include "tests/support/ProcessInfo.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"

using namespace testing_support;

namespace {

constexpr auto kStartTime = 5min;  // one start of a 32-bit process, emulated
constexpr auto kBoxTime = 3min;
const std::wstring kFormClass = L"TfrmMain";
const std::wstring kShortcut = L"Pelmor Wallpaper Changer.lnk";
const std::wstring kLogPrefix = L"Pelmor Wallpaper Changer - uninstall confirmation ";

std::wstring EnvironmentText(const wchar_t* name) {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD n = ::GetEnvironmentVariableW(name, buffer, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : std::wstring();
}

bool AnyLineContains(const std::vector<std::string>& lines, const std::string& part) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.find(part) != std::string::npos; });
}

class Smoke32 : public ::testing::Test {
 protected:
  void SetUp() override {
    exe32_ = EnvironmentText(L"ORVEX_SMOKE32_EXE");
    ASSERT_FALSE(exe32_.empty()) << "ORVEX_SMOKE32_EXE names the shipped 32-bit exe";
    ASSERT_TRUE(FileExists(exe32_)) << Wide2Utf8(exe32_);
    root_ = FreshFolder(L"smoke32");
    installDir_ = root_ + L"\\Pelmor Wallpaper";
    dataDir_ = root_ + L"\\Pelmor data";
    desktopLink_ = DesktopDir() + L"\\" + kShortcut;
    startMenuLink_ = ShellFolder(CSIDL_STARTMENU) + L"\\" + kShortcut;
    ClearRecordedOpens();
  }

  void TearDown() override {
    if (HasFailure()) SaveWindowPng(::GetDesktopWindow(), SandboxDir() + L"\\smoke32-failure.png");
    for (auto& box : OpenBoxes()) PressButton(box, box.HasButton(L"No") ? L"No" : L"OK");
    KillProcessesNamed(L"Uninstaller.exe", kStartTime);
    RemoveTree(root_);
  }

  std::wstring exe32_, root_, installDir_, dataDir_, desktopLink_, startMenuLink_;
};

TEST_F(Smoke32, ShippedExeUninstallsSandboxProduct) {
  // The product as its setup leaves it, with the shipped exe in its installation folder.
  Process setup =
      Start(FixtureExe(L"pelmor_install"), L"--install \"" + installDir_ + L"\" --data \"" +
                                               dataDir_ + L"\" --uninstaller \"" + exe32_ + L"\"");
  ASSERT_TRUE(setup.WaitExit(2min));
  ASSERT_EQ(setup.ExitCode(), 0u);
  const auto installFiles = TreeListing(installDir_);
  const auto dataFiles = TreeListing(dataDir_);
  ASSERT_TRUE(installFiles.count(L"Uninstaller.exe"));
  ASSERT_FALSE(dataFiles.empty());
  ASSERT_TRUE(FileExists(desktopLink_));
  ASSERT_TRUE(FileExists(startMenuLink_));

  // A plain start, as from the installation folder: the copy in the temporary folder takes over.
  Process first = Start(installDir_ + L"\\Uninstaller.exe", L"", installDir_);
  HWND form = WaitForWindow(kFormClass, kStartTime);
  ASSERT_NE(form, nullptr) << "the restarted copy shows the main window";
  DWORD pid = 0;
  ::GetWindowThreadProcessId(form, &pid);
  EXPECT_NE(pid, first.pid);
  ASSERT_TRUE(first.WaitExit(kStartTime)) << "the first process ends by itself";
  EXPECT_EQ(first.ExitCode(), 0u);
  HANDLE copy = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  ASSERT_NE(copy, nullptr);
  std::unique_ptr<void, decltype(&::CloseHandle)> copyHandle(copy, &::CloseHandle);
  BOOL wow64 = FALSE;
  ASSERT_TRUE(::IsWow64Process(copy, &wow64));
  EXPECT_TRUE(wow64) << "the copy runs as a 32-bit process";
  wchar_t image[MAX_PATH] = {};
  DWORD imageLength = MAX_PATH;
  ASSERT_TRUE(::QueryFullProcessImageNameW(copy, 0, image, &imageLength));
  EXPECT_TRUE(IsCopyInRunFolder(image)) << Wide2Utf8(image);

  // The countdown enables the button a few seconds after the window opens.
  HWND uninstall = FindButton(form, L"Uninstall");
  ASSERT_NE(uninstall, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(uninstall) != FALSE; }, 2min));
  SaveWindowPng(form, SandboxDir() + L"\\main-window-32.png");
  ASSERT_TRUE(::PostMessageW(uninstall, BM_CLICK, 0, 0));

  const BoxFilter ofCopy{pid, L""};
  auto sure = AnswerBox(kBoxTime, L"Yes", ofCopy);
  ASSERT_TRUE(sure.has_value()) << "first confirmation";
  EXPECT_EQ(sure->text, L"Are you sure you want to uninstall Pelmor Wallpaper Changer?");
  ASSERT_TRUE(WaitForBoxClosed(sure->hwnd, 1min));
  auto approve = AnswerBox(kBoxTime, L"Yes", ofCopy);
  ASSERT_TRUE(approve.has_value()) << "second confirmation";
  EXPECT_EQ(approve->text.rfind(L"Do you approve deletion of the following items?", 0), 0u)
      << Wide2Utf8(approve->text);
  EXPECT_NE(approve->text.find(installDir_), std::wstring::npos) << Wide2Utf8(approve->text);
  EXPECT_NE(approve->text.find(dataDir_), std::wstring::npos) << Wide2Utf8(approve->text);
  ASSERT_TRUE(WaitForBoxClosed(approve->hwnd, 1min));
  auto feedback = AnswerBox(kBoxTime, L"OK", ofCopy);
  ASSERT_TRUE(feedback.has_value()) << "feedback invitation";
  EXPECT_EQ(feedback->text.rfind(L"Please tell us why you uninstalled the program", 0), 0u)
      << Wide2Utf8(feedback->text);
  ASSERT_EQ(::WaitForSingleObject(
                copy, static_cast<DWORD>(std::chrono::milliseconds(kStartTime).count())),
            WAIT_OBJECT_0)
      << "the copy ends after the uninstall";
  DWORD exitCode = 1;
  ASSERT_TRUE(::GetExitCodeProcess(copy, &exitCode));
  EXPECT_EQ(exitCode, 0u);

  // Both folders in the Recycle Bin, whole.
  EXPECT_FALSE(DirExists(installDir_));
  EXPECT_FALSE(DirExists(dataDir_));
  EXPECT_EQ(TreeListing(TrashDir() + L"\\files\\Pelmor Wallpaper"), installFiles);
  EXPECT_EQ(TreeListing(TrashDir() + L"\\files\\Pelmor data"), dataFiles);
  EXPECT_TRUE(FileExists(TrashDir() + L"\\info\\Pelmor Wallpaper.trashinfo"));
  EXPECT_TRUE(FileExists(TrashDir() + L"\\info\\Pelmor data.trashinfo"));

  EXPECT_FALSE(FileExists(desktopLink_));
  EXPECT_FALSE(FileExists(startMenuLink_));

  const auto logs = FilesMatching(DesktopDir() + L"\\" + kLogPrefix + L"*.RTF");
  ASSERT_EQ(logs.size(), 1u) << "one uninstall log on the desktop";
  const std::string rtf = ReadFileBytes(DesktopDir() + L"\\" + logs[0]);
  EXPECT_EQ(rtf.rfind("{\\rtf", 0), 0u);
  EXPECT_NE(rtf.find("Uninstall done."), std::string::npos);
  EXPECT_NE(rtf.find("Files deleted to Recycle Bin."), std::string::npos);

  // The browser hand-off and the self-delete script each start one more process of their own.
  EXPECT_TRUE(WaitUntil(
      [] {
        return AnyLineContains(RecordedOpens(L"xdg-open"),
                               "/help/install/uninstall-reason.html#soft");
      },
      kStartTime))
      << "feedback page requested";
  EXPECT_TRUE(WaitUntil([] { return RunsLeftNothing(); }, kStartTime))
      << "the temporary copy, its script and their folder delete themselves";
}

}  // namespace
