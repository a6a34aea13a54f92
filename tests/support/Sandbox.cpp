#include "tests/support/Sandbox.h"

#include <windows.h>
#include <shlobj.h>

#include <optional>

#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Wait.h"

namespace testing_support {

// A program run in a sandbox other than its build's own (the 32-bit smoke run) is told so through
// ORVEX_SANDBOX_DIR, spelled as Wine sees it.
std::wstring SandboxDir() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD n = ::GetEnvironmentVariableW(L"ORVEX_SANDBOX_DIR", buffer, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : std::wstring(ORVEX_SANDBOX_DIR);
}

std::wstring TrashDir() {
  return SandboxDir() + L"\\xdg\\Trash";
}

std::wstring BinDir() {
  return ORVEX_BIN_DIR;
}

std::wstring UninstallerExe() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD n = ::GetEnvironmentVariableW(L"ORVEX_UNINSTALLER_EXE", buffer, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : BinDir() + L"\\Uninstaller.exe";
}

std::wstring FixtureExe(const std::wstring& name) {
  return BinDir() + L"\\" + name + L".exe";
}

std::wstring ShellFolder(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  ::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer);
  return buffer;
}

std::wstring DesktopDir() {
  return ShellFolder(CSIDL_DESKTOPDIRECTORY);
}

bool StoreProductValue(const wchar_t* name, unsigned long type, const std::wstring& text) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, kProductKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
    return false;
  if (type == REG_NONE) {
    ::RegDeleteValueW(key, name);
  } else if (type == REG_DWORD) {
    const DWORD value = 3;
    ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
  } else {
    std::wstring bytes = text;
    bytes.push_back(L'\0');
    if (type == REG_MULTI_SZ) bytes.push_back(L'\0');
    ::RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                     static_cast<DWORD>(bytes.size() * sizeof(wchar_t)));
  }
  ::RegCloseKey(key);
  return true;
}

std::wstring TempDir() {
  wchar_t buffer[MAX_PATH + 1] = {};
  DWORD n = ::GetTempPathW(MAX_PATH + 1, buffer);
  std::wstring path(buffer, n);
  if (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

std::wstring FreshFolder(const std::wstring& name) {
  std::wstring path = L"C:\\orvex-tests\\" + name;
  RemoveTree(path);
  MakeDirs(path);
  return path;
}

std::vector<std::string> RecordedOpens(const std::wstring& tool) {
  std::wstring log = SandboxDir() + L"\\state\\" + tool + L".log";
  std::vector<std::string> lines;
  if (!FileExists(log)) return lines;
  std::string all = ReadFileBytes(log);
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find('\n', start);
    if (end == std::string::npos) end = all.size();
    lines.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

size_t TimesRecorded(const std::wstring& tool, const std::wstring& line) {
  const auto lines = RecordedOpens(tool);
  return static_cast<size_t>(std::count(lines.begin(), lines.end(), Wide2Utf8(line)));
}

void ClearRecordedOpens() {
  ::DeleteFileW((SandboxDir() + L"\\state\\xdg-open.log").c_str());
  ::DeleteFileW((SandboxDir() + L"\\state\\xdg-email.log").c_str());
}

bool MakeHostLink(const std::wstring& folder, const std::wstring& name,
                  const std::wstring& target) {
  const std::wstring link = folder + L"\\" + name;
  std::wstring unixTarget = target;
  for (wchar_t& c : unixTarget)
    if (c == L'\\') c = L'/';
  if (!RunOnLinux("cd " + ShellQuoted(UnixPathOf(folder)) + " && ln -sfn " +
                  ShellQuoted(Wide2Utf8(unixTarget)) + " " + ShellQuoted(Wide2Utf8(name))))
    return false;
  return WaitUntil([&] { return ::GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES; },
                   10s);
}

bool RemoveHostLink(const std::wstring& folder, const std::wstring& name) {
  const std::wstring link = folder + L"\\" + name;
  if (!RunOnLinux("cd " + ShellQuoted(UnixPathOf(folder)) + " && rm -f " +
                  ShellQuoted(Wide2Utf8(name))))
    return false;
  return WaitUntil([&] { return ::GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES; },
                   10s);
}

bool WaitForHandOvers(std::chrono::milliseconds timeout) {
  return WaitUntil([] { return ProcessesNamed(L"winebrowser.exe").empty(); }, timeout);
}

// Wine's own export: the Linux path of a Windows one.
std::string UnixPathOf(const std::wstring& path) {
  using Convert = char*(CDECL*)(const wchar_t*);
  const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* unix = convert ? convert(path.c_str()) : nullptr;
  if (!unix) return {};
  std::string text = unix;
  ::HeapFree(::GetProcessHeap(), 0, unix);
  return text;
}

// A Linux shell command, run through Wine; true when it ended with 0. Wine gives no handle to
// wait on for a Linux process, so the command leaves its exit status in a file once it is done.
bool RunOnLinux(const std::string& command) {
  const std::wstring done = SandboxDir() + L"\\state\\linux-command.done";
  ::DeleteFileW(done.c_str());
  const std::string doneUnix = UnixPathOf(done);
  if (doneUnix.empty()) return false;
  std::wstring line =
      L"/bin/sh -c " +
      QuoteArg(Narrow2Wide("(" + command + "); echo $? > " + ShellQuoted(doneUnix)));
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(L"Z:\\bin\\sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi))
    return false;
  if (pi.hThread) ::CloseHandle(pi.hThread);
  if (pi.hProcess) ::CloseHandle(pi.hProcess);
  if (!WaitUntil([&] { return FileExists(done) && !ReadFileBytes(done).empty(); }, 60s))
    return false;
  const bool ok = ReadFileBytes(done).rfind("0\n", 0) == 0;
  ::DeleteFileW(done.c_str());
  return ok;
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

namespace {

std::optional<std::wstring> Environment(const wchar_t* name) {
  wchar_t buffer[4096] = {};
  const DWORD length = ::GetEnvironmentVariableW(name, buffer, 4096);
  if (length == 0 || length >= 4096) return std::nullopt;
  return std::wstring(buffer, length);
}

}  // namespace

TempFolderOverride::TempFolderOverride(const std::wstring& folder)
    : tmp_(Environment(L"TMP")), temp_(Environment(L"TEMP")) {
  ::SetEnvironmentVariableW(L"TMP", folder.c_str());
  ::SetEnvironmentVariableW(L"TEMP", folder.c_str());
}

TempFolderOverride::~TempFolderOverride() {
  ::SetEnvironmentVariableW(L"TMP", tmp_ ? tmp_->c_str() : nullptr);
  ::SetEnvironmentVariableW(L"TEMP", temp_ ? temp_->c_str() : nullptr);
}

}  // namespace testing_support
