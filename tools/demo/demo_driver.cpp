// demo_driver.exe: the demo's hands inside the sandbox. It installs the stand-in product, and
// either leaves the uninstall to a person or does it the way a person would, then checks what
// the uninstall left behind and ends with a one-line verdict.
//
//   demo_driver.exe install [OPTIONS]    install the product (and start it)
//   demo_driver.exe drive   [OPTIONS]    install, uninstall headless, check
//   demo_driver.exe check                check after an uninstall done by hand
//
// OPTIONS: --product-running starts the stand-in product after installing it;
//          --uninstaller PATH installs that Uninstaller.exe (default: the one beside the driver).
//
// Everything is written to stdout; the exit code is 0 only for a true verdict (check, drive).
#include <windows.h>

#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/AppDriver.h"
#include "tests/support/BoxDriver.h"
#include "tests/support/ProcessInfo.h"
#include "tests/support/RtfReader.h"
#include "tests/support/Screenshot.h"
#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

const std::wstring kFormClass = L"TfrmMain";
const std::wstring kProductClass = L"Pelmor.SingleInstanceMutex";
const std::wstring kShortcut = L"Pelmor Wallpaper Changer.lnk";
const std::wstring kLogPrefix = L"Pelmor Wallpaper Changer - uninstall confirmation ";
// The product's default place, as its setup proposes it.
const std::wstring kInstallDir = L"C:\\Pelmor Wallpaper";

void Say(const std::wstring& line) {
  std::printf("%s\n", Wide2Utf8(line).c_str());
  std::fflush(stdout);
}

std::wstring DataDir() {
  return ShellFolder(CSIDL_APPDATA) + L"\\Pelmor Wallpaper Changer";
}
std::wstring DesktopLink() {
  return DesktopDir() + L"\\" + kShortcut;
}
std::wstring StartMenuLink() {
  return ShellFolder(CSIDL_STARTMENU) + L"\\" + kShortcut;
}
// What the product held before the uninstall, kept where the sandbox lives, outside drive C:.
std::wstring ListingFile(const std::wstring& which) {
  return SandboxDir() + L"\\state\\demo-" + which + L".listing";
}

// --- listings: relative name and content of every file, saved for the check ---

std::string Escape(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    char hex[3];
    std::snprintf(hex, sizeof(hex), "%02x", c);
    out += hex;
  }
  return out;
}

std::string Unescape(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

void SaveListing(const std::wstring& which, const std::map<std::wstring, std::string>& listing) {
  std::string text;
  for (const auto& [name, content] : listing)
    text += Wide2Utf8(name) + "\t" + Escape(content) + "\n";
  WriteFileBytes(ListingFile(which), text);
}

std::map<std::wstring, std::string> LoadListing(const std::wstring& which) {
  std::map<std::wstring, std::string> listing;
  if (!FileExists(ListingFile(which))) return listing;
  const std::string text = ReadFileBytes(ListingFile(which));
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    const size_t tab = line.find('\t');
    if (tab != std::string::npos)
      listing[Narrow2Wide(line.substr(0, tab))] = Unescape(line.substr(tab + 1));
    start = end + 1;
  }
  return listing;
}

size_t CountFiles(const std::map<std::wstring, std::string>& listing) {
  size_t files = 0;
  for (const auto& entry : listing)
    if (entry.first.empty() || entry.first.back() != L'\\') ++files;
  return files;
}

// --- install ---

struct Options {
  bool productRunning = false;
  std::wstring uninstaller;  // empty: the installer's default
};

bool Install(const Options& options) {
  Say(L"installing the stand-in product:");
  std::wstring args = L"--install " + QuoteArg(kInstallDir) + L" --data " + QuoteArg(DataDir());
  if (!options.uninstaller.empty()) args += L" --uninstaller " + QuoteArg(options.uninstaller);
  Process setup = Start(FixtureExe(L"pelmor_install"), args);
  if (!setup.WaitExit(120s) || setup.ExitCode() != 0u) {
    Say(L"  the sandbox installer failed");
    return false;
  }
  const auto install = TreeListing(kInstallDir);
  const auto data = TreeListing(DataDir());
  SaveListing(L"install", install);
  SaveListing(L"data", data);
  Say(L"  installation folder " + kInstallDir + L"\\ (" + std::to_wstring(CountFiles(install)) +
      L" files)");
  Say(L"  data folder         " + DataDir() + L"\\ (" + std::to_wstring(CountFiles(data)) +
      L" files)");
  Say(L"  shortcuts           " + DesktopLink());
  Say(L"                      " + StartMenuLink());
  Say(L"  registry            HKCU\\Software\\OrvexDesign\\Pelmor Wallpaper Changer");
  if (options.productRunning) {
    Process product = Start(FixtureExe(L"pelmor_product"), L"--state min");
    if (!WaitForWindow(kProductClass, 60s, product.pid)) {
      Say(L"  the stand-in product did not open its window");
      return false;
    }
    Say(L"  the product is running (minimised)");
  }
  return true;
}

// --- the uninstall, as a person does it ---

class Drive {
 public:
  bool Run(bool productRunning) {
    if (!StartFromInstallFolder()) return false;
    HWND uninstall = FindButton(form_, L"Uninstall");
    if (!uninstall) return Fail(L"the window has no Uninstall button");
    Say(L"waiting for the countdown that enables Uninstall...");
    const auto shown = std::chrono::steady_clock::now();
    if (!WaitForEnabled(uninstall, true, 60s)) return Fail(L"the Uninstall button stayed disabled");
    Say(L"  enabled after " + Seconds(std::chrono::steady_clock::now() - shown));
    SaveWindowPng(form_, SandboxDir() + L"\\demo-before.png");
    Say(L"screenshot before: " + SandboxDir() + L"\\demo-before.png");

    Say(L"pressing Uninstall");
    ClickButton(uninstall);
    if (!Answer(L"Yes")) return false;
    if (productRunning && !CloseProductWhenWarned()) return false;
    if (!Answer(L"Yes")) return false;
    auto feedback = WaitForBox(3min, BoxFilter{pid_, L""});
    if (!feedback) return Fail(L"no invitation to give feedback came");
    ShowLogBehind(*feedback);
    Say(L"box \"" + feedback->caption + L"\": " + OneLine(feedback->text));
    Say(L"  pressing OK");
    PressButton(*feedback, L"OK");
    if (::WaitForSingleObject(process_, 120000) != WAIT_OBJECT_0)
      return Fail(L"the uninstaller did not end");
    Say(L"the uninstaller ended");
    return true;
  }
  ~Drive() {
    if (process_) ::CloseHandle(process_);
  }

 private:
  // The window to drive is the restarted copy's, known by what the copy is: the uninstaller in
  // the temporary folder, started with "uninstall".
  bool StartFromInstallFolder() {
    Say(L"starting " + kInstallDir + L"\\Uninstaller.exe without parameters, as a user does");
    Process first = Start(kInstallDir + L"\\Uninstaller.exe", L"", kInstallDir);
    form_ = WaitForRestartedCopy(kFormClass, 120s, &pid_);
    if (!form_) return Fail(L"no window of a restarted copy in the temporary folder appeared");
    process_ = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid_);
    if (!first.WaitExit(60s)) return Fail(L"the first process did not hand over and end");
    const auto copy = ReadProcessStartInfo(pid_);
    Say(L"  the first process ended; the window belongs to the copy " +
        (copy ? copy->commandLine : L"(unreadable)"));
    return true;
  }

  bool Answer(const std::wstring& button) {
    auto box = WaitForBox(3min, BoxFilter{pid_, L""});
    if (!box) return Fail(L"no box came to press " + button);
    Say(L"box \"" + box->caption + L"\": " + OneLine(box->text));
    Say(L"  pressing " + button);
    PressButton(*box, button);
    WaitForBoxClosed(box->hwnd, 30s);
    return true;
  }

  bool CloseProductWhenWarned() {
    auto warning = WaitForBox(3min, BoxFilter{pid_, L""});
    if (!warning) return Fail(L"no warning about the running product came");
    Say(L"box \"" + warning->caption + L"\": " + OneLine(warning->text));
    HWND product = ::FindWindowW(kProductClass.c_str(), nullptr);
    if (product) {
      Say(L"  the product's window was brought forward; closing the product as asked");
      ::PostMessageW(product, WM_CLOSE, 0, 0);
      WaitUntil([&] { return ::FindWindowW(kProductClass.c_str(), nullptr) == nullptr; }, 30s);
    }
    Say(L"  pressing OK");
    PressButton(*warning, L"OK");
    WaitForBoxClosed(warning->hwnd, 30s);
    return true;
  }

  // The last box stands in front of the window; moved aside, the screenshot shows the whole log.
  void ShowLogBehind(const MessageBoxInfo& box) {
    RECT rect{};
    ::GetWindowRect(box.hwnd, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    ::SetWindowPos(box.hwnd, nullptr, ::GetSystemMetrics(SM_CXSCREEN) - width,
                   ::GetSystemMetrics(SM_CYSCREEN) - height, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PaintAndWaitUntilStill(form_, 10s);
    SaveWindowPng(form_, SandboxDir() + L"\\demo-after.png");
    Say(L"screenshot after: " + SandboxDir() + L"\\demo-after.png");
    Say(L"rows of the log pane:");
    for (const std::wstring& row : TextRows(FindDescendant(form_, L"RICHEDIT50W")))
      Say(L"  | " + row);
  }

  static std::wstring OneLine(std::wstring text) {
    for (size_t at; (at = text.find(L"\r\n")) != std::wstring::npos;) text.replace(at, 2, L" / ");
    return text;
  }
  static std::wstring Seconds(std::chrono::steady_clock::duration d) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
    return std::to_wstring(ms / 1000) + L"." + std::to_wstring(ms % 1000 / 100) + L" s";
  }
  static bool Fail(const std::wstring& why) {
    Say(L"  problem: " + why);
    return false;
  }

  HWND form_ = nullptr;
  DWORD pid_ = 0;
  HANDLE process_ = nullptr;
};

// --- the check ---

std::string TrashInfoPath(const std::wstring& name) {
  const std::wstring info = TrashDir() + L"\\info\\" + name + L".trashinfo";
  if (!FileExists(info)) return {};
  const std::string text = ReadFileBytes(info);
  const size_t at = text.find("Path=");
  if (at == std::string::npos) return {};
  return text.substr(at + 5, text.find('\n', at) - at - 5);
}

bool CheckFolder(const std::wstring& which, const std::wstring& folder,
                 std::vector<std::wstring>& faults) {
  const auto before = LoadListing(which);
  const std::wstring name = folder.substr(folder.find_last_of(L'\\') + 1);
  const std::wstring inTrash = TrashDir() + L"\\files\\" + name;
  bool ok = true;
  if (before.empty()) {
    faults.push_back(L"no listing of the " + which + L" folder from the install");
    ok = false;
  }
  if (DirExists(folder)) {
    faults.push_back(folder + L" is still there");
    ok = false;
  }
  const auto after =
      DirExists(inTrash) ? TreeListing(inTrash) : std::map<std::wstring, std::string>{};
  if (after != before) {
    faults.push_back(L"the trash does not hold the " + which + L" folder whole");
    ok = false;
  }
  Say(L"  " + which + L" folder: " + (DirExists(inTrash) ? inTrash : L"(not in the trash)") +
      L", " + std::to_wstring(CountFiles(after)) + L" of " + std::to_wstring(CountFiles(before)) +
      L" files byte for byte; original path recorded: " + Narrow2Wide(TrashInfoPath(name)));
  return ok;
}

bool Check(std::vector<std::wstring> faults = {}) {
  Say(L"where the folders went (Wine's Recycle Bin is the sandbox's XDG trash " + TrashDir() +
      L"):");
  CheckFolder(L"install", kInstallDir, faults);
  CheckFolder(L"data", DataDir(), faults);
  for (const std::wstring& link : {DesktopLink(), StartMenuLink()}) {
    const bool there = FileExists(link);
    Say(L"  shortcut " + link + (there ? L": still there" : L": gone"));
    if (there) faults.push_back(L"shortcut left: " + link);
  }
  const auto logs = FilesMatching(DesktopDir() + L"\\" + kLogPrefix + L"*.RTF");
  if (logs.size() == 1) {
    const std::wstring log = DesktopDir() + L"\\" + logs[0];
    Say(L"  log file " + log);
    bool done = false;
    for (const RtfParagraph& row : ReadRtfRows(ReadFileBytes(log)))
      done = done || row.text == L"Uninstall done.";
    if (!done) faults.push_back(L"the log file has no row \"Uninstall done.\"");
  } else {
    faults.push_back(std::to_wstring(logs.size()) + L" uninstall logs on the desktop, not one");
  }
  Say(L"  waiting for the temporary copy to delete itself with its script and folder...");
  const bool gone = WaitUntil([] { return RunsLeftNothing(); }, 90s);
  for (const std::wstring& folder : RunFolders()) Say(L"  " + folder + L": still there");
  if (!gone)
    faults.push_back(L"the temporary copy's folder is still there");
  else
    Say(L"  " + TempDir() + L"\\" + kRunFolderPrefix + L"...: gone");
  for (const std::string& page : RecordedOpens(L"xdg-open"))
    Say(L"  page requested: " + Narrow2Wide(page));

  if (faults.empty()) {
    Say(L"VERDICT: TRUE - both folders are in the trash whole, the shortcuts are gone, the log "
        L"file exists and the temporary copy removed itself");
    return true;
  }
  std::wstring all;
  for (const std::wstring& fault : faults) all += (all.empty() ? L"" : L"; ") + fault;
  Say(L"VERDICT: FALSE - " + all);
  return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  Options options;
  for (int i = 2; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--product-running")
      options.productRunning = true;
    else if (arg == L"--uninstaller" && i + 1 < argc)
      options.uninstaller = argv[++i];
  }
  if (mode == L"install") return Install(options) ? 0 : 1;
  if (mode == L"check") return Check() ? 0 : 1;
  if (mode == L"drive") {
    if (!Install(options)) {
      Say(L"VERDICT: FALSE - the product could not be installed");
      return 1;
    }
    std::vector<std::wstring> faults;
    if (!Drive().Run(options.productRunning))
      faults.push_back(L"the uninstall did not go as a person expects");
    return Check(faults) ? 0 : 1;
  }
  std::fprintf(stderr, "usage: demo_driver.exe install|drive|check [--product-running]\n");
  return 2;
}
