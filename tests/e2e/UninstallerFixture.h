// What the end-to-end tests of the real Uninstaller.exe share: the sandbox product, starting the
// uninstaller as a person does, answering its boxes, reading its log, and breaking and mending
// the sandbox on purpose.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <regex>

#include "tests/support/AppDriver.h"
#include "tests/support/BoxDriver.h"
#include "toolkit/Handles.h"
#include "tests/support/ProcessInfo.h"
#include "tests/support/RtfReader.h"
#include "tests/support/Screenshot.h"
#include "tests/support/SandboxGuard.h"
#include "tests/support/TestEnv.h"

using namespace testing_support;

namespace {

const std::wstring kFormClass = L"TfrmMain";
const std::wstring kProductClass = L"Pelmor.SingleInstanceMutex";
const std::wstring kProductKey = L"Software\\OrvexDesign\\Pelmor Wallpaper Changer";
const std::wstring kShortcut = L"Pelmor Wallpaper Changer.lnk";
const std::wstring kLogPrefix = L"Pelmor Wallpaper Changer - uninstall confirmation ";
const std::wstring kFeedbackPage =
    L"https://www.example.com/help/install/uninstall-reason.html#soft";
const std::wstring kFeedbackRequest =
    L"Please tell us why you uninstalled the program so we can make it better.\r\n\r\n"
    L"CONSTRUCTIVE feedback is always appreciated.\r\n\r\nThank you.";
const std::wstring kStillRunning =
    L"Pelmor Wallpaper Changer is still running. Please shut it down NOW in order to uninstall "
    L"it properly!\r\n\r\nNote: If the application is not responding you can use the TaskManager "
    L"to kill it.\r\n\r\nWhen ready press OK to continue the uninstall process.";
const std::wstring kDebugText = L"Protected while uninstaller running in debugg mode";
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kOrange = RGB(223, 88, 0);
// How long the self-delete script may take to remove the copy and itself.
constexpr auto kSelfDeleteLimit = 60s;

struct Row {
  std::wstring text;
  COLORREF color;
  bool operator==(const Row& other) const = default;
};

inline void PrintTo(const Row& row, std::ostream* os) {
  *os << "\"" << Wide2Utf8(row.text) << "\" colour 0x" << std::hex << row.color;
}

inline std::wstring Known(const KNOWNFOLDERID& id) {
  tk::UniqueCoTaskString path;
  ::SHGetKnownFolderPath(id, 0, nullptr, path.put());
  return path.get() ? path.get() : L"";
}

inline std::wstring MixedCase(const std::wstring& text) {
  std::wstring out = text;
  bool upper = false;
  for (wchar_t& c : out)
    if (iswalpha(c)) {
      c = upper ? towupper(c) : towlower(c);
      upper = !upper;
    }
  return out;
}

inline std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = towlower(c);
  return text;
}

class UninstallerFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    CleanUp();
    root_ = FreshFolder(L"uninstall");
    installDir_ = root_ + L"\\Pelmor Wallpaper";
    dataDir_ = root_ + L"\\AppData\\Pelmor Wallpaper Changer";
  }

  void TearDown() override {
    CleanUp();
    RemoveTree(root_);
  }

  // Leaves the sandbox as the next test expects it, whatever this one left behind.
  void CleanUp() {
    KillProcessesNamed(L"Uninstaller.exe");
    KillProcessesNamed(L"pelmor_product.exe");
    for (HWND shell : ShellWindowsTitled(L"Pelmor Wallpaper"))
      ::PostMessageW(shell, WM_CLOSE, 0, 0);
    Process remove = Start(FixtureExe(L"pelmor_install"), L"--remove");
    remove.WaitExit(60s);
    RestoreTrash();
    RestoreDesktop();
    RemoveTree(TrashDir() + L"\\files");
    RemoveTree(TrashDir() + L"\\info");
    MakeDirs(TrashDir() + L"\\files");
    MakeDirs(TrashDir() + L"\\info");
    for (const std::wstring& log : FilesMatching(DesktopDir() + L"\\" + kLogPrefix + L"*"))
      ::DeleteFileW((DesktopDir() + L"\\" + log).c_str());
    for (const wchar_t* name : {L"\\Uninstaller.exe", L"\\Uninstaller.BAT", L"\\DebugMode"})
      ::DeleteFileW((TempDir() + name).c_str());
    ClearRecordedOpens();
  }

  // --- the product ---

  // The sandbox installer puts the exe under test into the installation folder.
  void InstallProduct(const std::wstring& args) {
    Process setup = Start(FixtureExe(L"pelmor_install"),
                          args + L" --uninstaller " + QuoteArg(UninstallerExe()));
    ASSERT_TRUE(setup.WaitExit(60s));
    ASSERT_EQ(setup.ExitCode(), 0u) << Wide2Utf8(args);
  }
  void InstallBoth() {
    InstallProduct(L"--install \"" + installDir_ + L"\" --data \"" + dataDir_ + L"\"");
  }
  Process StartProduct(const std::wstring& args) {
    Process product = Start(FixtureExe(L"pelmor_product"), args);
    EXPECT_NE(WaitForWindow(kProductClass, 30s, product.pid), nullptr);
    return product;
  }

  // --- the uninstaller ---

  // Starts the installed uninstaller without parameters, as a person does, and returns the
  // window of the copy it restarts from the temporary folder.
  HWND StartUninstaller() {
    // The installer puts a copy into the installation folder; where a test stores only registry
    // values, the user starts the one from the build folder.
    const std::wstring installed = installDir_ + L"\\Uninstaller.exe";
    const bool fromInstall = FileExists(installed);
    Process first = Start(fromInstall ? installed : UninstallerExe(), L"",
                          fromInstall ? installDir_ : BinDir());
    EXPECT_TRUE(first.WaitExit(60s)) << "the first process hands over and ends";
    HWND window = WaitForRestartedCopy(kFormClass, 60s, &pid_);
    if (!window) return nullptr;
    EXPECT_NE(pid_, first.pid);
    process_.reset(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid_));
    window_ = window;
    return window;
  }
  HWND Button(const std::wstring& caption) const { return FindButton(window_, caption); }
  HWND PathField() const { return FindDescendant(window_, L"Edit"); }
  HWND Log() const { return FindDescendant(window_, L"RICHEDIT50W"); }
  std::vector<std::wstring> LogRows() const {
    std::vector<std::wstring> rows = TextRows(Log());
    while (!rows.empty() && rows.back().empty()) rows.pop_back();
    return rows;
  }

  // Makes Uninstall usable without waiting for the countdown: typing the folder again (without
  // the backslash that the field shows, so that the text changes).
  void RetypePath(std::wstring text) {
    if (text.size() > 1 && text.back() == L'\\') text.pop_back();
    TypeText(PathField(), text);
    ASSERT_TRUE(WaitForEnabled(Button(L"Uninstall"), true, 10s));
  }
  void ClickUninstall() {
    HWND button = Button(L"Uninstall");
    ASSERT_TRUE(WaitForEnabled(button, true, 30s));
    ClickButton(button);
  }

  // Every box stays modal to the main window: owned by it, and the window takes no input while
  // the box is open.
  void ExpectModal(const MessageBoxInfo& box) const {
    EXPECT_EQ(::GetWindow(box.hwnd, GW_OWNER), window_) << "owner of " << Wide2Utf8(box.text);
    EXPECT_FALSE(::IsWindowEnabled(window_))
        << "main window enabled behind " << Wide2Utf8(box.text);
  }

  // Waits for the next box of the uninstaller, checks that it is modal, presses the button and
  // returns what it said.
  MessageBoxInfo Answer(const std::wstring& button, std::chrono::milliseconds timeout = 60s) {
    auto box = WaitForBox(timeout, BoxFilter{pid_, L""});
    if (!box) {
      ADD_FAILURE() << "no box came to press " << Wide2Utf8(button);
      return {};
    }
    ExpectModal(*box);
    EXPECT_TRUE(PressButton(*box, button)) << Wide2Utf8(box->text);
    WaitForBoxClosed(box->hwnd, 10s);
    return *box;
  }

  bool Ended(std::chrono::milliseconds timeout = 60s) const {
    return process_ && ::WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) ==
                           WAIT_OBJECT_0;
  }
  void CloseWindow() {
    ::PostMessageW(window_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Ended());
  }

  // The temporary copy and its script are gone once the script has run.
  void ExpectSelfDeleted() {
    EXPECT_TRUE(PumpUntil(
        [] {
          return !FileExists(TempDir() + L"\\Uninstaller.exe") &&
                 !FileExists(TempDir() + L"\\Uninstaller.BAT");
        },
        kSelfDeleteLimit));
  }

  // --- what is left ---

  // The one uninstall log on the desktop, its name checked; empty when there is not one.
  std::wstring SavedLogPath() const {
    const auto logs = FilesMatching(DesktopDir() + L"\\" + kLogPrefix + L"*");
    if (logs.size() != 1) {
      ADD_FAILURE() << logs.size() << " uninstall logs on the desktop";
      return {};
    }
    EXPECT_TRUE(std::regex_match(Wide2Utf8(logs[0]),
                                 std::regex("Pelmor Wallpaper Changer - uninstall confirmation "
                                            "[0-2][0-9]\\.[0-5][0-9]\\.[0-5][0-9]\\.RTF")))
        << Wide2Utf8(logs[0]);
    return DesktopDir() + L"\\" + logs[0];
  }
  std::vector<Row> SavedLogRows() const {
    const std::wstring log = SavedLogPath();
    if (log.empty()) return {};
    std::vector<Row> rows;
    for (const RtfParagraph& p : ReadRtfRows(ReadFileBytes(log)))
      rows.push_back(Row{p.text, p.color});
    return rows;
  }

  // A click on Uninstall while a box is open starts nothing: the disabled window takes no
  // input, and a click that reaches the handler all the same (one queued while the window was
  // frozen, say) is refused. The click is posted as the button would report it; a selection
  // posted to the log after it shows when the click has been handled.
  void ExpectUninstallClickIgnored() {
    const std::vector<std::wstring> before = LogRows();
    const size_t boxes = OpenBoxes(BoxFilter{pid_, L""}).size();
    HWND button = Button(L"Uninstall");
    ASSERT_NE(button, nullptr);
    ::PostMessageW(::GetParent(button), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED),
                   reinterpret_cast<LPARAM>(button));
    ::PostMessageW(Log(), EM_SETSEL, 1, 1);
    EXPECT_TRUE(WaitFor(
        [&] {
          DWORD_PTR selection = 0;
          ::SendMessageTimeoutW(Log(), EM_GETSEL, 0, 0, SMTO_NORMAL, 5000, &selection);
          return LOWORD(selection) == 1 && HIWORD(selection) == 1;
        },
        30s))
        << "the posted click was not handled";
    EXPECT_EQ(LogRows(), before) << "a second uninstall started";
    EXPECT_EQ(OpenBoxes(BoxFilter{pid_, L""}).size(), boxes) << "a second uninstall asked";
  }
  static std::wstring StartMenuShortcut() {
    return ShellFolder(CSIDL_STARTMENU) + L"\\" + kShortcut;
  }
  static std::wstring DesktopShortcut() { return DesktopDir() + L"\\" + kShortcut; }

  // --- the whole-sandbox guard ---

  // Only these may change besides what the user confirmed: the log on the desktop, the
  // uninstaller's own temporary copy and script, and the product's two shortcuts (listed in the
  // second question).
  static void AllowTheUninstallersOwnFiles(SandboxGuard& guard) {
    guard.AllowPrefix(DesktopDir() + L"\\" + kLogPrefix);
    guard.AllowFile(TempDir() + L"\\Uninstaller.exe");
    guard.AllowFile(TempDir() + L"\\Uninstaller.BAT");
    guard.AllowFile(DesktopShortcut());
    guard.AllowFile(StartMenuShortcut());
  }
  // The guard for a run in which the user confirms both of the product's folders.
  SandboxGuard GuardConfirmingBothFolders() const {
    SandboxGuard guard;
    AllowTheUninstallersOwnFiles(guard);
    guard.Confirm(installDir_);
    guard.Confirm(dataDir_);
    return guard;
  }
  // Compares the sandbox with the guard's listing, records the figure, and fails the test on a
  // lost file or an unexpected change.
  static GuardReport ExpectNothingElseChanged(const SandboxGuard& guard, const std::string& kind,
                                              const std::string& name) {
    const GuardReport report = guard.Check();
    RecordFigure(kind, name, report);
    EXPECT_TRUE(report.Clean()) << name << ": " << report.Describe();
    return report;
  }

  // --- breaking the sandbox on purpose, and mending it ---

  // Wine's Recycle Bin cannot take anything while its files folder is a file.
  static void BreakTrash() {
    RemoveTree(TrashDir() + L"\\files");
    WriteFileBytes(TrashDir() + L"\\files", "not a folder");
  }
  static void RestoreTrash() {
    if (FileExists(TrashDir() + L"\\files")) ::DeleteFileW((TrashDir() + L"\\files").c_str());
  }
  static std::wstring SavedDesktop() { return DesktopDir() + L".h8-saved"; }
  // A file where the desktop folder should be: nothing can be created on the desktop.
  static void BreakDesktop() {
    ASSERT_TRUE(::MoveFileW(DesktopDir().c_str(), SavedDesktop().c_str()));
    WriteFileBytes(DesktopDir(), "not a folder");
  }
  static void RestoreDesktop() {
    if (!DirExists(SavedDesktop())) return;
    ::DeleteFileW(DesktopDir().c_str());
    ::MoveFileW(SavedDesktop().c_str(), DesktopDir().c_str());
  }

  std::wstring root_, installDir_, dataDir_;
  HWND window_ = nullptr;
  DWORD pid_ = 0;
  tk::UniqueHandle process_;
};

// The rows of a completed uninstall of both folders, as the log file holds them.
inline std::vector<Row> CompletedRows(const std::wstring& install, const std::wstring& data,
                                      const std::vector<Row>& middle) {
  std::vector<Row> rows = {{L"Uninstall process started...", kBlack},
                           {L"User confirmation obtained.", kBlack},
                           {L" ", kBlack},
                           {L"The user approved deletion of: ", kBlack},
                           {L"   " + install, kBlack},
                           {L"   " + data, kBlack}};
  rows.insert(rows.end(), middle.begin(), middle.end());
  const std::vector<Row> summary = {{L" ", kBlack},
                                    {L" ", kBlack},
                                    {L"Files deleted to Recycle Bin.", kBlack},
                                    {L"Uninstall done.", kBlack},
                                    {L" ", kBlack}};
  rows.insert(rows.end(), summary.begin(), summary.end());
  return rows;
}

inline std::vector<Row> RefusedRows(const std::wstring& folder, const std::wstring& blanks) {
  return {{L" ", kBlack},
          {L"Deleting " + folder, kBlack},
          {L"  You are trying to delete a special folder!", kOrange},
          {blanks + L"To protect the integrity of your data, the current operation was aborted.",
           kBlack}};
}

}  // namespace
