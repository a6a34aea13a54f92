#include "OrvexCommonControls/ccWinVersion.h"

#include <windows.h>

void GetWinVersion(int& major, int& minor) {
  major = 0;
  minor = 0;
  // RtlGetVersion is not subject to the manifest-based version lie of GetVersionEx.
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  if (!ntdll) return;
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(
      reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
  if (!rtlGetVersion) return;
  // The extended record (284 bytes) is accepted by every version of the call.
  OSVERSIONINFOEXW info{};
  static_assert(sizeof(info) == 284);
  info.dwOSVersionInfoSize = sizeof(info);
  if (rtlGetVersion(&info) != 0) return;
  major = static_cast<int>(info.dwMajorVersion);
  minor = static_cast<int>(info.dwMinorVersion);
}

int GetWinMajorVersion() {
  int major = 0;
  int minor = 0;
  GetWinVersion(major, minor);
  return major;
}

bool IsWindowsVistaUp() {
  return GetWinMajorVersion() > 5;
}
