// The system's own words for an error code.
#pragma once

#include <windows.h>

#include <string>

namespace tk {

// FormatMessage text for code, with trailing blanks, control characters and full stops removed.
std::wstring SystemErrorText(DWORD code);

}  // namespace tk
