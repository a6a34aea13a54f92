#include "cExecuteShell.h"

#include <windows.h>
#include <shellapi.h>

#include "ccCore.h"
#include "../toolkit/SysError.h"

bool ExecuteProgram(const std::wstring& fileName, const std::wstring& parameters, bool showErrors,
                    int showMode) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_DDEWAIT;
  info.hwnd = ::GetActiveWindow();
  info.lpVerb = L"open";
  info.lpFile = fileName.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = showMode;
  if (::ShellExecuteExW(&info)) {
    if (info.hProcess) ::CloseHandle(info.hProcess);
    return true;
  }
  if (showErrors) {
    DWORD code = ::GetLastError();
    MesajInfo(tk::SystemErrorText(code));
  }
  return false;
}
