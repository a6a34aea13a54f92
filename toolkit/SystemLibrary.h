// Libraries of the system folder, loaded at run time by their full path. The program runs from
// folders that other programs write into (a download folder, the temporary folder), and a library
// asked for by name alone is looked for in the program's own folder first: anything not among the
// libraries that the system always takes from its own folder is loaded through here instead, and
// the program's import table names none of them.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tk {

// Takes the program's own folder and the current folder out of the library search of this
// process, for every later load by name, the system's own included: only the system folder stays
// where the system has that choice, and the current folder goes where it has not. Called first
// thing by the program block.
void RestrictDllSearch();

// The system folder (System32), without a trailing backslash; empty when the system does not say.
std::wstring SystemFolder();

// The library of that plain file name ("version.dll") from the system folder, loaded once and
// kept until the process ends; null when it cannot be loaded or the name holds a folder.
HMODULE SystemLibrary(std::wstring_view fileName);

// An export of a system library as a typed function pointer; null when either is missing.
template <typename Fn>
Fn SystemFunction(std::wstring_view fileName, const char* name) {
  HMODULE module = SystemLibrary(fileName);
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)))
                : nullptr;
}

}  // namespace tk
