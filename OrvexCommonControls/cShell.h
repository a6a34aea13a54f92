// Shell windows: show a folder, or show the folder that holds a file with that file selected.
#pragma once

#include <string>

// Opens the folder in a shell window (verb "explore"). A missing folder gets DirectoryExistMsg's
// box and nothing else; a shell failure after that is silent.
void ExploreFolder(const std::wstring& folder);

// Opens the folder that holds path with that one item selected. False, without a word, when the
// shell cannot resolve the path or does not open the window.
bool LocateInExplorer(const std::wstring& path);
