// Hands programs, files, folders, web pages and mail links to the Windows shell.
#pragma once

#include <string>

// Starts fileName with parameters through the shell ("open"), without waiting. On failure shows
// the system's text for the error when showErrors is set.
bool ExecuteProgram(const std::wstring& fileName, const std::wstring& parameters, bool showErrors,
                    int showMode);
