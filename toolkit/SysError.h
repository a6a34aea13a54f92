// The system's own words for an error code.
#pragma once

#include <windows.h>

#include <string>

namespace tk {

// FormatMessage text for code, with trailing blanks, control characters and full stops removed.
std::wstring SystemErrorText(DWORD code);
// What failed on which file, then the system's words: Cannot create file "C:\x.rtf". Access is
// denied
std::wstring FileErrorText(const wchar_t* what, const std::wstring& fileName, DWORD code);

}  // namespace tk
