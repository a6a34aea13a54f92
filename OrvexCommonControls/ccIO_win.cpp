#include <windows.h>

#include "ccIO.h"

std::wstring GetTempFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
  return std::wstring(buffer, length);
}

bool FileCopyTo(const std::wstring& source, const std::wstring& destFolder, bool overwrite) {
  size_t slash = source.find_last_of(L"\\/:");
  std::wstring name = slash == std::wstring::npos ? source : source.substr(slash + 1);
  std::wstring target = destFolder + name;
  return ::CopyFileW(source.c_str(), target.c_str(), overwrite ? FALSE : TRUE) != FALSE;
}
