// Paths and folders: one vocabulary for folder paths (always ending in a backslash), validity,
// existence, creation, shell folders, the protected-folder list, drives, the Recycle Bin and
// small text files.
#pragma once

#include <string>

// The user's temporary folder, ending in a backslash.
std::wstring GetTempFolder();
// Copies source into destFolder (which must end in a backslash) under its own file name.
bool FileCopyTo(const std::wstring& source, const std::wstring& destFolder, bool overwrite);
