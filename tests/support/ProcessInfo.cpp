#include "ProcessInfo.h"

#include <winternl.h>

#include "Handles.h"

namespace testing_support {
namespace {

// The documented part of RTL_USER_PROCESS_PARAMETERS stops before the current folder; this is
// its real layout up to the fields we read.
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
};

std::wstring ReadRemoteString(HANDLE process, const UNICODE_STRING& s) {
  std::wstring text(s.Length / sizeof(wchar_t), L'\0');
  SIZE_T got = 0;
  if (s.Length && !::ReadProcessMemory(process, s.Buffer, text.data(), s.Length, &got)) return {};
  return text;
}

}  // namespace

std::optional<ProcessStartInfo> ReadProcessStartInfo(DWORD pid) {
  tk::UniqueHandle process(
      ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
  if (!process) return std::nullopt;
  using QueryFn = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
  auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION basic{};
  if (!query || query(process.get(), ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0)
    return std::nullopt;
  PEB peb{};
  SIZE_T got = 0;
  if (!::ReadProcessMemory(process.get(), basic.PebBaseAddress, &peb, sizeof(peb), &got))
    return std::nullopt;
  ProcessParameters params{};
  if (!::ReadProcessMemory(process.get(), peb.ProcessParameters, &params, sizeof(params), &got))
    return std::nullopt;
  ProcessStartInfo info;
  info.commandLine = ReadRemoteString(process.get(), params.CommandLine);
  info.currentDirectory = ReadRemoteString(process.get(), params.CurrentDirectoryPath);
  info.imagePath = ReadRemoteString(process.get(), params.ImagePathName);
  return info;
}

}  // namespace testing_support
