// The program block: keep the library search out of the program's folder, prepare the
// application, move the run into a copy in the temporary folder when started plainly, create the
// main form and run the message loop.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <new>
#include <typeinfo>
#include <utility>
#include <vector>

#include "toolkit/Application.h"
#include "toolkit/Errors.h"
#include "toolkit/Handles.h"
#include "toolkit/Text.h"
#include "toolkit/SystemLibrary.h"
#include "uninstaller/SharedUninstaller.h"
#include "uninstaller/UninstallerForm.h"
#include "OrvexCommonControls/cExecuteShell.h"
#include "OrvexCommonControls/cWindow.h"
#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/ccIO.h"

namespace {

int ParamCount() {
  int count = 0;
  tk::UniqueLocalPtr<LPWSTR> args(::CommandLineToArgvW(::GetCommandLineW(), &count));
  return count > 0 ? count - 1 : 0;
}

// A process whose current folder lies inside a folder keeps that folder from being removed, and
// the restarted copy inherits the folder it was started from, often the installation folder. The
// copy works in the temporary folder: the programs it starts (the browser that it hands a page
// to, say) keep their folder after it has ended, and its run folder must be free to go.
void LeaveWorkingFolder() {
  const std::wstring folder = OwnRunFolder().empty() ? AppFolder() : GetTempFolder();
  ::SetCurrentDirectoryW(folder.c_str());
}

// One uninstaller of the product at a time. The run owns a named mutex: the first process until it
// has started its copy, the copy, which waits for it to be given up, until it ends. A start that
// finds the run owned by another brings that run's window forward and ends.
constexpr wchar_t kRunMutexName[] = L"Local\\OrvexDesign.Pelmor.Uninstaller.Run";
// Set by a copy in the same step as it starts waiting for the run: the process that started it
// gives the run up only then, so that no other start finds the run free in between.
constexpr wchar_t kCopyWaitsEventName[] = L"Local\\OrvexDesign.Pelmor.Uninstaller.CopyWaits";
// How long a copy waits for the process that started it to give the run up.
constexpr DWORD kHandOverMs = 10000;
// How long a second start waits for the running uninstaller's window to appear.
constexpr DWORD kRunningWindowMs = 10000;

class RunGuard {
 public:
  // True when this process now owns the run, after waiting at most waitMs for another to end it.
  // A wait (the copy's) tells the process that started it that it waits.
  bool Take(DWORD waitMs) {
    mutex_.reset(::CreateMutexW(nullptr, FALSE, kRunMutexName));
    // Without a mutex there is no telling: the run goes on, as it did before there was one.
    if (!mutex_) return true;
    copyWaits_.reset(::CreateEventW(nullptr, FALSE, FALSE, kCopyWaitsEventName));
    const DWORD result = waitMs && copyWaits_
                             ? ::SignalObjectAndWait(copyWaits_.get(), mutex_.get(), waitMs, FALSE)
                             : ::WaitForSingleObject(mutex_.get(), waitMs);
    owned_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    return owned_;
  }
  void GiveUp() {
    if (std::exchange(owned_, false)) ::ReleaseMutex(mutex_.get());
  }
  // Gives the run up once the copy this process started waits for it, or after waitMs.
  void HandOver(DWORD waitMs) {
    if (owned_ && copyWaits_) ::WaitForSingleObject(copyWaits_.get(), waitMs);
    GiveUp();
  }
  ~RunGuard() { GiveUp(); }

 private:
  tk::UniqueHandle mutex_;
  tk::UniqueHandle copyWaits_;
  bool owned_ = false;
};

RunGuard& TheRun() {
  static RunGuard run;
  return run;
}

void BringRunningUninstallerForward() {
  const ULONGLONG until = ::GetTickCount64() + kRunningWindowMs;
  for (;;) {
    const HWND window = FindWindowByClass(kMainFormClass);
    if (window && ::IsWindowVisible(window)) {
      ActivateWindow(window);
      return;
    }
    if (::GetTickCount64() >= until) return;
    ::Sleep(50);
  }
}

}  // namespace

// Every exception stops at the message-dispatch boundary, so the runtime's verbose terminate
// handler, which would name the exception's type, has nothing to say; replacing it keeps its
// symbol demangler, a sixth of the program's size, out of the executable.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
  std::abort();
}
}  // namespace __gnu_cxx

// The standard library's own errors (a position past a text's end, say) are programming errors,
// reported like ours. Its versions raise them with a second, copy-on-write string type and its
// classes, a tenth of the program's size; every one of them is defined here, so that none of
// those is linked in.
namespace std {
namespace {
[[noreturn]] void ThrowInternal(const char* what) {
  throw tk::Exception(L"Internal error: " + tk::FromUtf8(what ? what : ""));
}
}  // namespace
void __throw_bad_alloc() {
  throw bad_alloc();
}
void __throw_bad_array_new_length() {
  throw bad_array_new_length();
}
void __throw_bad_cast() {
  throw bad_cast();
}
void __throw_bad_typeid() {
  throw bad_typeid();
}
void __throw_bad_exception() {
  throw bad_exception();
}
void __throw_logic_error(const char* what) {
  ThrowInternal(what);
}
void __throw_domain_error(const char* what) {
  ThrowInternal(what);
}
void __throw_invalid_argument(const char* what) {
  ThrowInternal(what);
}
void __throw_length_error(const char* what) {
  ThrowInternal(what);
}
void __throw_out_of_range(const char* what) {
  ThrowInternal(what);
}
void __throw_out_of_range_fmt(const char* what, ...) {
  ThrowInternal(what);
}
void __throw_runtime_error(const char* what) {
  ThrowInternal(what);
}
void __throw_range_error(const char* what) {
  ThrowInternal(what);
}
void __throw_overflow_error(const char* what) {
  ThrowInternal(what);
}
void __throw_underflow_error(const char* what) {
  ThrowInternal(what);
}
}  // namespace std

// The copy goes into a folder that this run makes new under the temporary folder, so that no
// file that others put into the temporary folder lies beside it, where the system's libraries
// look for the libraries they load by name. What killed runs left there goes first: no
// uninstaller of the product runs while this one owns the run.
void RestartFromTempCopy() {
  if (RunningInDevFolder() || ParamCount() > 0) return;
  const std::wstring exe = AppExeName();
  const std::wstring temp = GetTempFolder();
  const std::vector<std::wstring> ownFiles = RunFolderFileNames();
  RemoveLeftRunFolders(temp, kRunFolderPrefix, ownFiles);
  const std::wstring folder = CreateRunFolder(temp, kRunFolderPrefix);
  const std::wstring copy = folder + FileNamePart(exe, psAll);
  if (folder.empty() || !FileCopyTo(exe, folder, false) || !IsRegularFile(copy)) {
    if (!folder.empty()) RemoveLeftRunFolders(temp, kRunFolderPrefix, ownFiles);
    MesajError(
        L"Cannot create temporary copy! Most probable cause: your antivirus is blocking it.");
  } else {
    const std::wstring marker = AppFolder() + kDebugModeFile;
    if (IsFile(marker, false)) ::CopyFileW(marker.c_str(), (folder + kDebugModeFile).c_str(), TRUE);
    // The copy waits for the run to be given up before it shows its window.
    if (ExecuteProgram(copy, L"uninstall", true, SW_SHOWNORMAL))
      TheRun().HandOver(kHandOverMs);
    else
      RemoveLeftRunFolders(temp, kRunFolderPrefix, ownFiles);
    TheRun().GiveUp();
  }
  tk::App().Terminate();
}

// A copy that ends without an uninstall leaves nothing in the temporary folder either.
void RemoveRunFolderAtEnd() {
  const std::wstring folder = PrepareRunFolderRemoval();
  if (!folder.empty()) ScheduleSelfDelete(folder);
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Before any library is loaded by name: the program runs from folders that others write into.
  tk::RestrictDllSearch();
  tk::Application& app = tk::App();
  app.Initialize();
  app.SetTitle(L"Uninstaller");
  tk::Guarded(LeaveWorkingFolder);
  // A start with parameters is normally the copy, whose first process still owns the run.
  if (!TheRun().Take(ParamCount() > 0 ? kHandOverMs : 0)) {
    tk::Guarded(BringRunningUninstallerForward);
    return 0;
  }
  tk::Guarded(RestartFromTempCopy);
  frmMain = new TfrmMain(nullptr);
  tk::Guarded([] { frmMain->CreateForm(true); });
  int code = app.Run();
  delete frmMain;
  frmMain = nullptr;
  tk::Guarded(RemoveRunFolderAtEnd);
  AppName.clear();
  InstanceMutexName.clear();
  return code;
}
