// What the end-to-end tests of the real Uninstaller.exe share: the sandbox product, starting the
// uninstaller as a person does, answering its boxes, reading its log, and breaking and mending
// the sandbox on purpose.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>

#include <knownfolders.h>

#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/AppDriver.h"
#include "tests/support/BoxDriver.h"
#include "tests/support/Files.h"
#include "tests/support/ProcessInfo.h"
#include "tests/support/Processes.h"
#include "tests/support/RtfReader.h"
#include "tests/support/SandboxGuard.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Screenshot.h"
#include "tests/support/Wait.h"
#include "toolkit/Handles.h"

namespace testing_support {

inline const std::wstring kFormClass = L"TfrmMain";
inline const std::wstring kProductClass = L"Pelmor.SingleInstanceMutex";
inline const std::wstring kShortcut = L"Pelmor Wallpaper Changer.lnk";
inline const std::wstring kLogPrefix = L"Pelmor Wallpaper Changer - uninstall confirmation ";
inline const std::wstring kFeedbackPage =
    L"https://www.example.com/help/install/uninstall-reason.html#soft";
inline const std::wstring kFeedbackRequest =
    L"Please tell us why you uninstalled the program so we can make it better.\r\n\r\n"
    L"CONSTRUCTIVE feedback is always appreciated.\r\n\r\nThank you.";
inline const std::wstring kStillRunning =
    L"Pelmor Wallpaper Changer is still running. Please shut it down NOW in order to uninstall "
    L"it properly!\r\n\r\nNote: If the application is not responding you can use the TaskManager "
    L"to kill it.\r\n\r\nWhen ready press OK to continue the uninstall process.";
inline const std::wstring kDebugText = L"Protected while uninstaller running in debugg mode";
inline constexpr COLORREF kBlack = RGB(0, 0, 0);
inline constexpr COLORREF kOrange = RGB(223, 88, 0);
// How long the self-delete script may take to remove the copy and itself.
inline constexpr auto kSelfDeleteLimit = 60s;

using Row = RichRow;
// A known folder's path; empty when the system has none.
std::wstring Known(const KNOWNFOLDERID& id);
// The letters in alternating case ("pRoGrAm"), for spellings that differ only in case.
std::wstring MixedCase(const std::wstring& text);
std::wstring Lower(std::wstring text);

// The rows of a completed uninstall of both folders, as the log file holds them; the closing rows
// are those of an uninstall that recycled every folder unless given.
std::vector<Row> CompletedRows(const std::wstring& install, const std::wstring& data,
                               const std::vector<Row>& middle,
                               const std::vector<Row>& closing = {
                                   {L"Files deleted to Recycle Bin.", kBlack},
                                   {L"Uninstall done.", kBlack}});
// The closing row for a folder left in place.
Row LeftInPlace(const std::wstring& folder);

std::vector<Row> RefusedRows(const std::wstring& folder, const std::wstring& blanks);

class UninstallerFixture : public ::testing::Test {
 protected:
  void SetUp() override;

  void TearDown() override;

  // Leaves the sandbox as the next test expects it, whatever this one left behind.
  void CleanUp();

  // --- the product ---

  // The sandbox installer puts the exe under test into the installation folder.
  void InstallProduct(const std::wstring& args);
  void InstallBoth();
  Process StartProduct(const std::wstring& args);

  // --- the uninstaller ---

  // Starts the installed uninstaller without parameters, as a person does, and returns the
  // window of the copy it restarts from the temporary folder.
  HWND StartUninstaller();
  HWND Button(const std::wstring& caption) const;
  HWND PathField() const;
  HWND Log() const;
  std::vector<std::wstring> LogRows() const;

  // Makes Uninstall usable without waiting for the countdown: typing the folder again (without
  // the backslash that the field shows, so that the text changes).
  void RetypePath(std::wstring text);
  void ClickUninstall();
  // Starts the uninstaller, types the installation folder (or the text given), clicks Uninstall
  // and says Yes to both questions, as a person who means it does.
  void StartAndApproveBoth(const std::wstring& typed = L"");

  // Every box stays modal to the main window: owned by it, and the window takes no input while
  // the box is open.
  void ExpectModal(const MessageBoxInfo& box) const;

  // Waits for the next box of the uninstaller, checks that it is modal, presses the button and
  // returns what it said.
  MessageBoxInfo Answer(const std::wstring& button, std::chrono::milliseconds timeout = 60s);

  bool Ended(std::chrono::milliseconds timeout = 60s) const;
  void CloseWindow();

  // The temporary copy and its script are gone once the script has run.
  void ExpectSelfDeleted();

  // --- what is left ---

  // The one uninstall log on the desktop, its name checked; empty when there is not one.
  std::wstring SavedLogPath() const;
  std::vector<Row> SavedLogRows() const;

  // A click on Uninstall while a box is open starts nothing: the disabled window takes no
  // input, and a click that reaches the handler all the same (one queued while the window was
  // frozen, say) is refused. The click is posted as the button would report it; a selection
  // posted to the log after it shows when the click has been handled.
  void ExpectUninstallClickIgnored();
  static std::wstring StartMenuShortcut();
  static std::wstring DesktopShortcut();

  // --- the whole-sandbox guard ---

  // Only these may change besides what the user confirmed: the log on the desktop, the
  // uninstaller's own temporary copy and script, and the product's two shortcuts (listed in the
  // second question).
  static void AllowTheUninstallersOwnFiles(SandboxGuard& guard);
  // The guard for a run in which the user confirms both of the product's folders.
  SandboxGuard GuardConfirmingBothFolders() const;
  // Compares the sandbox with the guard's listing, records the figure, and fails the test on a
  // lost file or an unexpected change.
  static GuardReport ExpectNothingElseChanged(const SandboxGuard& guard, const std::string& kind,
                                              const std::string& name);

  // --- breaking the sandbox on purpose, and mending it ---

  // Wine's Recycle Bin cannot take anything while its files folder is a file.
  static void BreakTrash();
  static void RestoreTrash();
  static std::wstring SavedDesktop();
  // A file where the desktop folder should be: nothing can be created on the desktop.
  static void BreakDesktop();
  static void RestoreDesktop();

  std::wstring root_, installDir_, dataDir_;
  HWND window_ = nullptr;
  DWORD pid_ = 0;
  tk::UniqueHandle process_;
};

}  // namespace testing_support
