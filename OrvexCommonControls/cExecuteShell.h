// Hands programs, files, folders, web pages and mail links to the Windows shell.
#pragma once

#include <string>

// Opens fileName (a path, a web address or a mail link) with the verb "open"; a file gets its own
// folder as working folder. True when the shell's result is above 32. A failure is shown with
// MesajError in the words of ShellExecuteErrorText when showErrors is set.
bool ExecuteShell(const std::wstring& fileName, const std::wstring& parameters, bool showErrors,
                  int showMode);

// The user's words for a failing result (0..32) of ShellExecute on fileName.
std::wstring ShellExecuteErrorText(int result, const std::wstring& fileName);

// Starts fileName with parameters through the shell ("open"), without waiting. On failure shows
// the system's text for the error when showErrors is set.
bool ExecuteProgram(const std::wstring& fileName, const std::wstring& parameters, bool showErrors,
                    int showMode);
