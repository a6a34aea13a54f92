// Application name, message boxes, small text helpers, time texts, version text, self-delete and
// the development-folder test. The text helpers and the script's text are portable (ccCore.cpp);
// what talks to Windows lives in ccCore_win.cpp, except what the program does with its own file
// (its short name, the development-folder test, the self-delete), which stands on ccIO and lives
// in ccCore_self_win.cpp.
#pragma once

#include <cstdint>
#include <string>

// Caption stem of every message box; "Uninstaller" once the main form exists.
extern std::wstring AppName;
// Window class name of the product's main window, looked for by the running-product check.
extern std::wstring InstanceMutexName;

inline constexpr wchar_t kInitialAppName[] = L"? Empty AppName";

// --- message boxes (MessageBoxW semantics, owned by the application's active window) ---
int MesajGeneric(const std::wstring& text, const std::wstring& caption, unsigned flags);
void MesajInfo(const std::wstring& text, const std::wstring& caption = L"");
void MesajWarning(const std::wstring& text);
void MesajError(const std::wstring& text);
bool MesajYesNo(const std::wstring& text, const std::wstring& caption = L"");

// --- text helpers (portable) ---
std::wstring CRLFToEnter(const std::wstring& text);
std::wstring ReplaceEnters(const std::wstring& text, const std::wstring& replacement);
std::wstring ReplaceChar(const std::wstring& text, wchar_t find, wchar_t replacement);
void ReplaceCharInPlace(std::wstring& text, wchar_t find, wchar_t replacement);
std::wstring RemoveLowChars(const std::wstring& text);
std::wstring CopyTo(const std::wstring& text, int from, int to);  // 1-based, both inclusive
std::wstring LastChar(const std::wstring& text);
int LastPos(wchar_t c, const std::wstring& text);                          // 1-based, 0 when absent
int PosInsensitive(const std::wstring& needle, const std::wstring& text);  // ASCII case folding
std::wstring UpperCaseAscii(const std::wstring& text);

// --- numbers and durations ---
// Real2Str with the user's decimal separator; Real2StrSep is its portable core.
std::wstring Real2Str(double value, int decimals);
std::wstring Real2StrSep(double value, int decimals, wchar_t separator);
wchar_t LocaleDecimalSeparator();
std::wstring SecondsToTimeText(uint32_t seconds);
std::wstring MilisecondsToTimeText(uint32_t milliseconds);
std::wstring MilisecondsToTimeTextSep(uint32_t milliseconds, wchar_t separator);

// --- version text and self-delete ---
// The platform's 52-byte fixed version record, field for field.
struct TFixedFileInfo {
  uint32_t dwSignature, dwStrucVersion, dwFileVersionMS, dwFileVersionLS, dwProductVersionMS,
      dwProductVersionLS, dwFileFlagsMask, dwFileFlags, dwFileOS, dwFileType, dwFileSubtype,
      dwFileDateMS, dwFileDateLS;
};
static_assert(sizeof(TFixedFileInfo) == 52);

std::wstring AppShortName();
bool GetFileVersionFixed(const std::wstring& fileName, TFixedFileInfo& block);
std::wstring GetAppVersion();
// Text a batch script can hold exactly: the interpreter reads the file in the console's code
// page and it is written in the ANSI one, so only printable ASCII means the same to both, and
// only what is not a double quote can stand between double quotes.
bool BatchWritable(const std::wstring& text);
// The batch script that deletes exePath once it is free, pausing with the ping program at
// pingPath between tries, then deletes itself and, when one is given, the then empty folder
// (portable text). Programs are named by their full path. A path that is empty or not
// BatchWritable is left out with the lines that use it.
std::wstring SelfDeleteScriptText(const std::wstring& exePath, const std::wstring& scriptPath,
                                  const std::wstring& pingPath, const std::wstring& folder = L"");
// Starts the script that deletes the running executable once its process has ended; a second
// call does nothing. The script lies in the temporary folder, its working folder. With a run
// folder (the executable's own folder, one that CreateRunFolder made under the temporary
// folder), the script is named after that folder and removes it as well once it is empty, naming
// everything relative to the temporary folder, whose own name, which a script may be unable to
// hold, never appears. Without one, the script is AppShortName + ".BAT" and names the executable
// by its full path.
void ScheduleSelfDelete(const std::wstring& runFolder = L"");
// ScheduleSelfDelete, then the application is asked to terminate.
void SelfDelete(const std::wstring& runFolder = L"");

// --- start-up ---
bool RunningInDevFolder();
// Full path of the running executable.
std::wstring AppExeName();
