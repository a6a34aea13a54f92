#include "tests/support/ProcessInfo.h"

#include "tests/support/Files.h"
#include "tests/support/Wait.h"

#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstring>

#include "toolkit/Handles.h"

namespace testing_support {
namespace {

// The documented part of RTL_USER_PROCESS_PARAMETERS stops before the current folder; this is
// its real layout up to the fields we read (the start-up record's flags and show mode).
struct ProcessParameters {
  ULONG MaximumLength;
  ULONG Length;
  ULONG Flags;
  ULONG DebugFlags;
  HANDLE ConsoleHandle;
  ULONG ConsoleFlags;
  HANDLE StdInput;
  HANDLE StdOutput;
  HANDLE StdError;
  UNICODE_STRING CurrentDirectoryPath;
  HANDLE CurrentDirectoryHandle;
  UNICODE_STRING DllPath;
  UNICODE_STRING ImagePathName;
  UNICODE_STRING CommandLine;
  PVOID Environment;
  ULONG StartingX;
  ULONG StartingY;
  ULONG CountX;
  ULONG CountY;
  ULONG CountCharsX;
  ULONG CountCharsY;
  ULONG FillAttribute;
  ULONG WindowFlags;
  ULONG ShowWindowFlags;
};

// The same records as a 32-bit process holds them.
struct UnicodeString32 {
  USHORT Length;
  USHORT MaximumLength;
  ULONG Buffer;
};
struct ProcessParameters32 {
  ULONG MaximumLength;
  ULONG Length;
  ULONG Flags;
  ULONG DebugFlags;
  ULONG ConsoleHandle;
  ULONG ConsoleFlags;
  ULONG StdInput;
  ULONG StdOutput;
  ULONG StdError;
  UnicodeString32 CurrentDirectoryPath;
  ULONG CurrentDirectoryHandle;
  UnicodeString32 DllPath;
  UnicodeString32 ImagePathName;
  UnicodeString32 CommandLine;
  ULONG Environment;
  ULONG StartingX;
  ULONG StartingY;
  ULONG CountX;
  ULONG CountY;
  ULONG CountCharsX;
  ULONG CountCharsY;
  ULONG FillAttribute;
  ULONG WindowFlags;
  ULONG ShowWindowFlags;
};
constexpr size_t kPeb32ParametersOffset = 0x10;

std::wstring ReadRemoteString(HANDLE process, const void* address, USHORT bytes) {
  std::wstring text(bytes / sizeof(wchar_t), L'\0');
  SIZE_T got = 0;
  if (bytes && !::ReadProcessMemory(process, address, text.data(), bytes, &got)) return {};
  return text;
}

template <typename T>
bool ReadRemote(HANDLE process, const void* address, T& value) {
  SIZE_T got = 0;
  return ::ReadProcessMemory(process, address, &value, sizeof(value), &got) && got == sizeof(value);
}

using QueryFn = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);

QueryFn QueryInformation() {
  return reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
}

std::optional<ProcessStartInfo> Read32(HANDLE process, ULONG_PTR peb32) {
  ULONG parametersAddress = 0;
  ProcessParameters32 params{};
  if (!ReadRemote(process, reinterpret_cast<const void*>(peb32 + kPeb32ParametersOffset),
                  parametersAddress) ||
      !ReadRemote(process, reinterpret_cast<const void*>(static_cast<ULONG_PTR>(parametersAddress)),
                  params))
    return std::nullopt;
  const auto text = [&](const UnicodeString32& s) {
    return ReadRemoteString(
        process, reinterpret_cast<const void*>(static_cast<ULONG_PTR>(s.Buffer)), s.Length);
  };
  return ProcessStartInfo{text(params.CommandLine), text(params.CurrentDirectoryPath),
                          text(params.ImagePathName), params.WindowFlags, params.ShowWindowFlags};
}

std::optional<ProcessStartInfo> Read64(HANDLE process, QueryFn query) {
  PROCESS_BASIC_INFORMATION basic{};
  PEB peb{};
  ProcessParameters params{};
  if (query(process, ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0 ||
      !ReadRemote(process, basic.PebBaseAddress, peb) ||
      !ReadRemote(process, peb.ProcessParameters, params))
    return std::nullopt;
  const auto text = [&](const UNICODE_STRING& s) {
    return ReadRemoteString(process, s.Buffer, s.Length);
  };
  return ProcessStartInfo{text(params.CommandLine), text(params.CurrentDirectoryPath),
                          text(params.ImagePathName), params.WindowFlags, params.ShowWindowFlags};
}

std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  return std::wstring(buffer, ::GetTempPathW(MAX_PATH + 1, buffer));
}

// Where a 32-bit process keeps its 32-bit environment block. Windows answers its address when
// asked for the process's WoW64 information. Wine answers only that it is one (1) and gives its
// 64-bit block as the process's own, with the 32-bit block one page above it, the one the process
// keeps current (its current folder, say); that block is taken only when it names the same image
// base as the 64-bit one.
ULONG_PTR Peb32Address(HANDLE process, QueryFn query) {
  // A 32-bit reader reads only its own kind, whose records are its own.
  if constexpr (sizeof(void*) == 4) return 0;
  ULONG_PTR answer = 0;
  if (query(process, ProcessWow64Information, &answer, sizeof(answer), nullptr) != 0 || !answer)
    return 0;
  constexpr ULONG_PTR kLowestAddress = 0x10000;
  if (answer >= kLowestAddress) return answer;
  PROCESS_BASIC_INFORMATION basic{};
  if (query(process, ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0) return 0;
  const auto peb64 = reinterpret_cast<ULONG_PTR>(basic.PebBaseAddress);
  constexpr ULONG_PTR kPage = 0x1000, kPeb64ImageBase = 0x10, kPeb32ImageBase = 0x08;
  ULONG_PTR imageBase64 = 0;
  ULONG imageBase32 = 0;
  if (!ReadRemote(process, reinterpret_cast<const void*>(peb64 + kPeb64ImageBase), imageBase64) ||
      !ReadRemote(process, reinterpret_cast<const void*>(peb64 + kPage + kPeb32ImageBase),
                  imageBase32) ||
      imageBase64 != imageBase32)
    return 0;
  return peb64 + kPage;
}

}  // namespace

std::optional<ProcessStartInfo> ReadProcessStartInfo(DWORD pid) {
  tk::UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
  const QueryFn query = QueryInformation();
  if (!process || !query) return std::nullopt;
  // A 32-bit process has a 32-bit environment block of its own, with 32-bit records.
  if (const ULONG_PTR peb32 = Peb32Address(process.get(), query))
    return Read32(process.get(), peb32);
  return Read64(process.get(), query);
}

std::vector<std::wstring> RunFolders() {
  std::vector<std::wstring> folders;
  const std::wstring temp = TempFolder();
  WIN32_FIND_DATAW found{};
  tk::UniqueFindHandle search(::FindFirstFileW((temp + kRunFolderPrefix + L"*").c_str(), &found));
  if (!search) return folders;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      folders.push_back(temp + found.cFileName);
  } while (::FindNextFileW(search.get(), &found));
  return folders;
}

bool RunsLeftNothing() {
  WIN32_FIND_DATAW found{};
  tk::UniqueFindHandle search(
      ::FindFirstFileW((TempFolder() + kRunFolderPrefix + L"*").c_str(), &found));
  return !search;
}

void RemoveWhatRunsLeft() {
  for (const std::wstring& left : FilesMatching(TempFolder() + kRunFolderPrefix + L"*"))
    RemoveTree(TempFolder() + left);
}

bool IsCopyInRunFolder(const std::wstring& path, const std::wstring& exeName) {
  // The temporary folder may be set in its short form; the system names the image in its long.
  for (const std::wstring& folder : RunFolders()) {
    const std::wstring copy = folder + L"\\" + exeName;
    wchar_t longCopy[32768] = {};
    if (_wcsicmp(path.c_str(), copy.c_str()) == 0 ||
        (::GetLongPathNameW(copy.c_str(), longCopy, 32768) &&
         _wcsicmp(path.c_str(), longCopy) == 0))
      return true;
  }
  return false;
}

bool IsRestartedCopy(DWORD pid, const std::wstring& exeName) {
  const auto info = ReadProcessStartInfo(pid);
  if (!info) return false;
  const std::wstring& line = info->commandLine;
  const std::wstring argument = L" uninstall";
  return IsCopyInRunFolder(info->imagePath, exeName) && line.size() > argument.size() &&
         line.compare(line.size() - argument.size(), argument.size(), argument) == 0;
}

HWND WaitForRestartedCopy(const std::wstring& windowClass, std::chrono::milliseconds timeout,
                          DWORD* pid) {
  HWND window = nullptr;
  WaitUntil(
      [&] {
        while ((window = ::FindWindowExW(nullptr, window, windowClass.c_str(), nullptr))) {
          DWORD owner = 0;
          ::GetWindowThreadProcessId(window, &owner);
          if (::IsWindowVisible(window) && IsRestartedCopy(owner)) {
            if (pid) *pid = owner;
            return true;
          }
        }
        return false;
      },
      timeout, 50ms);
  return window;
}

std::vector<LoadedModule> LoadedModules(DWORD pid) {
  std::vector<LoadedModule> modules;
  tk::UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
  if (!process) return modules;
  // The module list of every bitness: Wine's tool-help snapshot of a 32-bit process taken from a
  // 64-bit one fails, its list of the process's modules does not.
  std::vector<HMODULE> handles(512);
  DWORD bytes = 0;
  if (!::EnumProcessModulesEx(process.get(), handles.data(),
                              static_cast<DWORD>(handles.size() * sizeof(HMODULE)), &bytes,
                              LIST_MODULES_ALL))
    return modules;
  handles.resize(std::min<size_t>(handles.size(), bytes / sizeof(HMODULE)));
  // Wine writes its mark where a DOS stub would begin, just after the DOS header.
  static constexpr char kMark[] = "Wine builtin DLL";
  for (HMODULE module : handles) {
    wchar_t path[MAX_PATH * 2] = {};
    if (!::GetModuleFileNameExW(process.get(), module, path, MAX_PATH * 2)) continue;
    char stub[sizeof(kMark) - 1] = {};
    SIZE_T read = 0;
    const bool marked = ::ReadProcessMemory(process.get(), reinterpret_cast<BYTE*>(module) + 0x40,
                                            stub, sizeof(stub), &read) &&
                        read == sizeof(stub) && std::memcmp(stub, kMark, sizeof(stub)) == 0;
    modules.push_back(LoadedModule{path, marked});
  }
  return modules;
}

}  // namespace testing_support

namespace testing_support {

std::wstring ModuleFileName(const std::wstring& path) {
  std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
  for (wchar_t& c : name) c = static_cast<wchar_t>(::towlower(c));
  return name;
}

namespace {

// The file a debug event names by its handle, which the debugger is to close.
std::wstring FileNameOfHandle(HANDLE file) {
  if (!file) return {};
  tk::UniqueHandle owned(file);
  wchar_t path[MAX_PATH * 2] = {};
  const DWORD length = ::GetFinalPathNameByHandleW(file, path, MAX_PATH * 2, 0);
  return length > 0 && length < MAX_PATH * 2 ? ModuleFileName(path) : std::wstring();
}

}  // namespace

std::vector<std::wstring> LibrariesLoadedDuringRun(const std::wstring& exe,
                                                   const std::wstring& args,
                                                   const std::wstring& workDir,
                                                   std::chrono::milliseconds timeout) {
  std::wstring command = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE,
                        DEBUG_ONLY_THIS_PROCESS, nullptr,
                        workDir.empty() ? nullptr : workDir.c_str(), &si, &pi))
    return {};
  tk::UniqueHandle process(pi.hProcess);
  tk::UniqueHandle thread(pi.hThread);
  std::vector<std::wstring> libraries;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    DEBUG_EVENT event{};
    if (!::WaitForDebugEvent(&event, 1000)) {
      if (std::chrono::steady_clock::now() < deadline) continue;
      ::TerminateProcess(process.get(), 1);
      ::DebugActiveProcessStop(pi.dwProcessId);
      return {};
    }
    DWORD status = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case CREATE_PROCESS_DEBUG_EVENT:
        // The program's own file, whose handle the debugger is to close.
        if (event.u.CreateProcessInfo.hFile) ::CloseHandle(event.u.CreateProcessInfo.hFile);
        break;
      case LOAD_DLL_DEBUG_EVENT:
        if (std::wstring name = FileNameOfHandle(event.u.LoadDll.hFile); !name.empty())
          libraries.push_back(name);
        break;
      case EXCEPTION_DEBUG_EVENT:
        // The loader's breakpoint is the debugger's to pass; the program's own exceptions are
        // the program's to handle.
        if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
          status = DBG_EXCEPTION_NOT_HANDLED;
        break;
      default:
        break;
    }
    const bool ended = event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT;
    ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    if (ended) return libraries;
  }
}

}  // namespace testing_support
