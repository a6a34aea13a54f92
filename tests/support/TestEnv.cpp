#include "tests/support/TestEnv.h"

#include <algorithm>

#include <shlobj.h>
#include <tlhelp32.h>

#include <chrono>
#include <thread>

#include "tests/support/AppDriver.h"
#include "toolkit/Errors.h"
#include "toolkit/Text.h"

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

bool FileExists(const std::wstring& path) {
  DWORD a = ::GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExists(const std::wstring& path) {
  DWORD a = ::GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadFileBytes(const std::wstring& path) {
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw tk::Exception(L"cannot read " + path);
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(h, buffer, sizeof(buffer), &got, nullptr) && got) bytes.append(buffer, got);
  ::CloseHandle(h);
  return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  size_t slash = path.find_last_of(L'\\');
  if (slash != std::wstring::npos) MakeDirs(path.substr(0, slash));
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw tk::Exception(L"cannot write " + path);
  DWORD written = 0;
  ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(h);
}

void WriteUtf16File(const std::wstring& path, const std::wstring& text) {
  WriteFileBytes(
      path, std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)));
}

void MakeDirs(const std::wstring& path) {
  ::SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
}

void RemoveTree(const std::wstring& path) {
  // A link goes as a link: what it points to is never emptied through it.
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    if (!::RemoveDirectoryW(path.c_str())) ::DeleteFileW(path.c_str());
    return;
  }
  WIN32_FIND_DATAW fd{};
  HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &fd);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = fd.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring full = path + L"\\" + name;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(full);  // a link below is removed as a link, see above
      } else {
        ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(full.c_str());
      }
    } while (::FindNextFileW(find, &fd));
    ::FindClose(find);
  }
  ::RemoveDirectoryW(path.c_str());
}

static void ListInto(const std::wstring& root, const std::wstring& rel,
                     std::map<std::wstring, std::string>& out) {
  WIN32_FIND_DATAW fd{};
  std::wstring base = rel.empty() ? root : root + L"\\" + rel;
  HANDLE find = ::FindFirstFileW((base + L"\\*").c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    std::wstring sub = rel.empty() ? name : rel + L"\\" + name;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out[sub + L"\\"] = "";
      ListInto(root, sub, out);
    } else {
      out[sub] = ReadFileBytes(root + L"\\" + sub);
    }
  } while (::FindNextFileW(find, &fd));
  ::FindClose(find);
}

std::map<std::wstring, std::string> TreeListing(const std::wstring& root) {
  std::map<std::wstring, std::string> out;
  ListInto(root, L"", out);
  return out;
}

Process::~Process() {
  if (process) ::CloseHandle(process);
}

Process::Process(Process&& other) noexcept : process(other.process), pid(other.pid) {
  other.process = nullptr;
}

bool Process::WaitExit(std::chrono::milliseconds timeout) const {
  return process &&
         ::WaitForSingleObject(process, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

std::optional<DWORD> Process::ExitCode() const {
  DWORD code = 0;
  if (!process || !::GetExitCodeProcess(process, &code) || code == STILL_ACTIVE)
    return std::nullopt;
  return code;
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
  return PumpUntil([&] { return ::GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES; },
                   10s);
}

bool RemoveHostLink(const std::wstring& folder, const std::wstring& name) {
  const std::wstring link = folder + L"\\" + name;
  if (!RunOnLinux("cd " + ShellQuoted(UnixPathOf(folder)) + " && rm -f " +
                  ShellQuoted(Wide2Utf8(name))))
    return false;
  return PumpUntil([&] { return ::GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES; },
                   10s);
}

void Process::Kill() const {
  if (process) ::TerminateProcess(process, 99);
}

Process Start(const std::wstring& exe, const std::wstring& args, const std::wstring& workDir) {
  std::wstring command = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workDir.empty() ? nullptr : workDir.c_str(), &si, &pi))
    throw tk::Exception(L"cannot start " + exe + L" (system error " +
                        std::to_wstring(::GetLastError()) + L")");
  ::CloseHandle(pi.hThread);
  Process p;
  p.process = pi.hProcess;
  p.pid = pi.dwProcessId;
  return p;
}

HWND WaitForWindow(const std::wstring& className, std::chrono::milliseconds timeout, DWORD pid) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    HWND found = nullptr;
    while ((found = ::FindWindowExW(nullptr, found, className.c_str(), nullptr))) {
      DWORD owner = 0;
      ::GetWindowThreadProcessId(found, &owner);
      if ((!pid || owner == pid) && ::IsWindowVisible(found)) return found;
    }
    std::this_thread::sleep_for(50ms);
  } while (std::chrono::steady_clock::now() < deadline);
  return nullptr;
}

std::vector<DWORD> ProcessesOfClass(const std::wstring& className) {
  std::vector<DWORD> pids;
  HWND found = nullptr;
  while ((found = ::FindWindowExW(nullptr, found, className.c_str(), nullptr))) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(found, &owner);
    pids.push_back(owner);
  }
  return pids;
}

std::vector<DWORD> ProcessesNamed(const std::wstring& exeName) {
  std::vector<DWORD> pids;
  HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return pids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL ok = ::Process32FirstW(snap, &entry); ok; ok = ::Process32NextW(snap, &entry))
    if (::lstrcmpiW(entry.szExeFile, exeName.c_str()) == 0) pids.push_back(entry.th32ProcessID);
  ::CloseHandle(snap);
  return pids;
}

void KillProcessesNamed(const std::wstring& exeName) {
  for (DWORD pid : ProcessesNamed(exeName)) {
    if (HANDLE h = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
      ::TerminateProcess(h, 1);
      ::WaitForSingleObject(h, 5000);
      ::CloseHandle(h);
    }
  }
}

std::vector<std::wstring> FilesMatching(const std::wstring& pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW fd{};
  HANDLE find = ::FindFirstFileW(pattern.c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return names;
  do names.push_back(fd.cFileName);
  while (::FindNextFileW(find, &fd));
  ::FindClose(find);
  return names;
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

void PumpTicks(std::chrono::milliseconds interval, int ticks) {
  const UINT_PTR timer = ::SetTimer(nullptr, 0, static_cast<UINT>(interval.count()), nullptr);
  int fired = 0;
  while (fired < ticks) {
    MSG msg{};
    if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) {
      // Leave the quit request for whoever runs the loop.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (msg.message == WM_TIMER && !msg.hwnd && msg.wParam == timer) {
      ++fired;
      continue;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  ::KillTimer(nullptr, timer);
}

void PumpUntilIdle() {
  MSG msg{};
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

bool WaitForHandOvers(std::chrono::milliseconds timeout) {
  return PumpUntil([] { return ProcessesNamed(L"winebrowser.exe").empty(); }, timeout);
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
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!FileExists(done) || ReadFileBytes(done).empty()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    ::Sleep(20);
  }
  const bool ok = ReadFileBytes(done).rfind("0\n", 0) == 0;
  ::DeleteFileW(done.c_str());
  return ok;
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::wstring Narrow2Wide(const std::string& text) {
  return tk::FromUtf8(text);
}
std::string Wide2Utf8(const std::wstring& text) {
  return tk::ToUtf8(text);
}

std::wstring QuoteArg(const std::wstring& text) {
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : text) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

std::vector<HWND> ShellWindowsTitled(const std::wstring& title) {
  std::vector<HWND> found;
  HWND window = nullptr;
  while ((window = ::FindWindowExW(nullptr, window, L"ExplorerWClass", nullptr)))
    if (::IsWindowVisible(window) && TextOf(window) == title) found.push_back(window);
  return found;
}

std::wstring ShortPath(const std::wstring& path) {
  wchar_t buffer[32768] = {};
  const DWORD length = ::GetShortPathNameW(path.c_str(), buffer, 32768);
  return length > 0 && length < 32768 ? std::wstring(buffer, length) : std::wstring();
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
