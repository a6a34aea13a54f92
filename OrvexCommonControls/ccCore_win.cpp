// The parts of ccCore that talk to Windows: message boxes, locale, the running executable.
#include <windows.h>

#include "ccCore.h"
#include "ccIO.h"
#include "../toolkit/Errors.h"

int MesajGeneric(const std::wstring& text, const std::wstring& caption, unsigned flags) {
  if (text.empty()) return 0;
  const std::wstring& title = caption.empty() ? AppName : caption;
  return ::MessageBoxW(::GetActiveWindow(), CRLFToEnter(text).c_str(), title.c_str(), flags);
}

void MesajInfo(const std::wstring& text, const std::wstring& caption) {
  MesajGeneric(text, caption, MB_ICONINFORMATION);
}

void MesajWarning(const std::wstring& text) {
  MesajGeneric(text, AppName + L" - Warning", MB_ICONWARNING);
}

void MesajError(const std::wstring& text) { MesajGeneric(text, AppName + L" - Error", MB_ICONERROR); }

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
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

bool RunningInDevFolder() {
  std::wstring project = AppExeName();
  size_t dot = project.find_last_of(L".\\/:");
  if (dot != std::wstring::npos && project[dot] == L'.') project.resize(dot);
  project += L".dpr";
  // GetFileAttributes follows symbolic links.
  DWORD attributes = ::GetFileAttributesW(project.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
