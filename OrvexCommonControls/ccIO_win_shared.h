// What the Windows files of ccIO share: a file is written beside its name and moved into place.
#pragma once

#include <windows.h>

#include <string>

namespace ccio_win {

// A name beside the target that a file on its way to the target's name takes first.
std::wstring NameBeside(const std::wstring& target, unsigned attempt);
// The error says that a name is taken (by a file, a folder or a link).
bool NameTaken(DWORD error);
// Moves a finished file onto the target's name: a file or a link there is replaced, and what a
// link leads to is never written. On failure the finished file goes and the error is kept.
bool MoveIntoPlace(const std::wstring& finished, const std::wstring& target);

}  // namespace ccio_win
