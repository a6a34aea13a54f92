#include "OrvexCommonControls/cExecuteShell.h"

#include <windows.h>
#include <shellapi.h>

#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/ccIO.h"
#include "toolkit/Application.h"
#include "toolkit/Errors.h"
#include "toolkit/Handles.h"
#include "toolkit/Text.h"
#include "toolkit/SysError.h"

std::wstring ShellExecuteErrorText(int result, const std::wstring& fileName) {
  switch (result) {
    case 0:
      return L"The operating system is out of memory or resources.";
    case 2:
      return L"Exe file not found!" + fileName;
    case 3:
      return L"Path not found!";
    case 5:
      return L"The operating system denied access! Do you have admin rights?";
    case 8:
      return L"Out of memory!";
    case 12:
      return L"Application was designed for a different operating system.";
    case 13:
      return L"Application was designed for MS-DOS 4.0";
    case 15:
      return L"Attempt to load a real-mode program.";
    case 16:
      return L"Attempt to load a second instance of an application with non-readonly data "
             L"segments.";
    case 19:
      return L"Attempt to load a compressed application file.";
    case 20:
      return L"Dynamic-link library (DLL) file failure.";
    case 26:
      return L"A sharing violation occurred!";
    case 27:
      return L"The file name association is incomplete or invalid!";
    case 28:
      return L"The DDE transaction could not be completed because the request timed out!";
    case 29:
      return L"The DDE transaction failed!";
    case 30:
      return L"The DDE transaction could not be completed because other DDE transactions were "
             L"being processed!";
    case 31:
      return L"There is no application associated with the given file name extension!";
    case 32:
      return L"The specified DLL was not found!";
    default:
      return L"ShellExecute error " + tk::DecimalText(result);
  }
}

namespace {

// A path of MAX_PATH characters or more as the shell can take it: its short form where that is
// shorter than the limit, else as it is.
std::wstring ShellSpelling(const std::wstring& fileName) {
  if (fileName.size() < MAX_PATH) return fileName;
  const std::wstring shortForm = ShortPath(fileName);
  return !shortForm.empty() && shortForm.size() < MAX_PATH ? shortForm : fileName;
}

}  // namespace

bool ExecuteShell(const std::wstring& fileName, const std::wstring& parameters, bool showErrors,
                  int showMode) {
  // The shell may hand the file to an extension that wants COM on this thread.
  tk::ComInit com;
  const std::wstring target = ShellSpelling(fileName);
  // A web address holds slashes, which make it an invalid path: it gets no working folder; nor
  // does a path too long for the folder step, which would raise.
  const std::wstring folder = target.size() < MAX_PATH ? ExtractPath(target, true) : L"";
  const INT_PTR result = reinterpret_cast<INT_PTR>(::ShellExecuteW(
      nullptr, L"open", target.c_str(), parameters.empty() ? nullptr : parameters.c_str(),
      folder.empty() ? nullptr : folder.c_str(), showMode));
  if (result > 32) return true;
  if (showErrors) MesajError(ShellExecuteErrorText(static_cast<int>(result), fileName));
  return false;
}

bool ExecuteProgram(const std::wstring& fileName, const std::wstring& parameters, bool showErrors,
                    int showMode) {
  // The shell requires COM for ShellExecuteEx, and the first process of a run has none of its
  // own. A thread that has none gets the multithreaded kind: the single-threaded one makes a
  // hidden window, which would connect a process that shows nothing to the display. A thread
  // that has an apartment keeps it.
  tk::ComInit com(COINIT_MULTITHREADED | COINIT_DISABLE_OLE1DDE);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  // The shell would show a box of its own for a failed start before ours ("Error", unowned);
  // the failure is ours to report, once, or not at all.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_DDEWAIT | SEE_MASK_FLAG_NO_UI;
  info.hwnd = tk::App().DialogOwner();
  info.lpVerb = L"open";
  info.lpFile = fileName.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = showMode;
  if (::ShellExecuteExW(&info)) {
    // Not waited for: the program runs on its own.
    tk::UniqueHandle started(info.hProcess);
    return true;
  }
  if (showErrors) {
    DWORD code = ::GetLastError();
    MesajInfo(tk::SystemErrorText(code));
  }
  return false;
}
