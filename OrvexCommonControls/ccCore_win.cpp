// The parts of ccCore that talk to Windows: message boxes, locale, the running executable and its
// version. What the program does with its own file (its name, the development-folder test, the
// self-delete) stands on ccIO and lives in ccCore_self_win.cpp.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "OrvexCommonControls/ccCore.h"
#include "toolkit/Application.h"
#include "toolkit/BufferText.h"
#include "toolkit/Errors.h"
#include "toolkit/SystemLibrary.h"
#include "toolkit/Text.h"

int MesajGeneric(const std::wstring& text, const std::wstring& caption, unsigned flags) {
  if (text.empty()) return 0;
  const std::wstring& title = caption.empty() ? AppName : caption;
  return tk::App().ShowMessageBox(CRLFToEnter(text), title, flags);
}

void MesajInfo(const std::wstring& text, const std::wstring& caption) {
  MesajGeneric(text, caption, MB_ICONINFORMATION);
}

void MesajWarning(const std::wstring& text) {
  MesajGeneric(text, AppName + L" - Warning", MB_ICONWARNING);
}

void MesajError(const std::wstring& text) {
  MesajGeneric(text, AppName + L" - Error", MB_ICONERROR);
}

bool MesajYesNo(const std::wstring& text, const std::wstring& caption) {
  if (text.empty()) throw tk::Exception(L"No message provided for MesajYesNo() !");
  return MesajGeneric(text, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

wchar_t LocaleDecimalSeparator() {
  wchar_t buffer[8] = {};
  if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 8) > 1) return buffer[0];
  return L'.';
}

std::wstring Real2Str(double value, int decimals) {
  return Real2StrSep(value, decimals, LocaleDecimalSeparator());
}

std::wstring MilisecondsToTimeText(uint32_t milliseconds) {
  return MilisecondsToTimeTextSep(milliseconds, LocaleDecimalSeparator());
}

std::wstring AppExeName() {
  return tk::GrowingBufferText(
      [](wchar_t* buffer, DWORD size) { return ::GetModuleFileNameW(nullptr, buffer, size); });
}

// --- version text ---

bool GetFileVersionFixed(const std::wstring& fileName, TFixedFileInfo& block) {
  using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
  using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
  using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
  const auto getSize = tk::SystemFunction<SizeFn>(L"version.dll", "GetFileVersionInfoSizeW");
  const auto getInfo = tk::SystemFunction<InfoFn>(L"version.dll", "GetFileVersionInfoW");
  const auto query = tk::SystemFunction<QueryFn>(L"version.dll", "VerQueryValueW");
  if (!getSize || !getInfo || !query) return false;
  DWORD ignored = 0;
  const DWORD size = getSize(fileName.c_str(), &ignored);
  if (size == 0) return false;
  std::vector<BYTE> data(size);
  if (!getInfo(fileName.c_str(), 0, size, data.data())) return false;
  void* root = nullptr;
  UINT length = 0;
  if (!query(data.data(), L"\\", &root, &length) || !root || length != sizeof(TFixedFileInfo))
    return false;
  std::memcpy(&block, root, sizeof(TFixedFileInfo));
  return true;
}

std::wstring GetAppVersion() {
  TFixedFileInfo block{};
  if (!GetFileVersionFixed(AppExeName(), block)) return L"0";
  return tk::DecimalText(HIWORD(block.dwFileVersionMS)) + L"." +
         tk::DecimalText(LOWORD(block.dwFileVersionMS)) + L"." +
         tk::DecimalText(HIWORD(block.dwFileVersionLS));
}
