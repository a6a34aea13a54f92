#include "toolkit/SystemLibrary.h"

#include <string>
#include <vector>

#include "toolkit/BufferText.h"
#include "toolkit/Handles.h"

namespace tk {
namespace {

// Looked up at run time: the call, and the load flags that go with it, came with an update of
// Vista and 7 (KB2533623), and plain Vista and 7 have neither.
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

SetDefaultDllDirectoriesFn SetDefaultDllDirectoriesCall() {
  static const auto call = [] {
    HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    return kernel32 ? reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
                          ::GetProcAddress(kernel32, "SetDefaultDllDirectories")))
                    : nullptr;
  }();
  return call;
}

// A name that cannot reach outside the system folder: no folder part, no drive, no "..".
bool IsPlainFileName(std::wstring_view name) {
  return !name.empty() && name != L"." && name != L".." &&
         name.find_first_of(L"\\/:") == std::wstring_view::npos;
}

bool SameName(std::wstring_view a, std::wstring_view b) {
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

HMODULE LoadFromSystemFolder(std::wstring_view fileName) {
  std::wstring path = SystemFolder();
  if (path.empty()) return nullptr;
  if (path.back() != L'\\') path += L'\\';
  path += fileName;
  // The library's own imports are looked for in the system folder too: with the search flags
  // where the system has them, by the library's own folder coming first where it has not.
  const DWORD flags =
      SetDefaultDllDirectoriesCall() ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH;
  return ::LoadLibraryExW(path.c_str(), nullptr, flags);
}

struct Loaded {
  std::wstring fileName;
  HMODULE module;
};

}  // namespace

std::wstring SystemFolder() {
  return GrowingBufferText([](wchar_t* buffer, DWORD size) {
    return ::GetSystemDirectoryW(buffer, static_cast<UINT>(size));
  });
}

void RestrictDllSearch() {
  const auto setDefaultDllDirectories = SetDefaultDllDirectoriesCall();
  if (setDefaultDllDirectories && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  ::SetDllDirectoryW(L"");
}

HMODULE SystemLibrary(std::wstring_view fileName) {
  if (!IsPlainFileName(fileName)) return nullptr;
  static SRWLOCK lock = SRWLOCK_INIT;
  // Never freed: windows of a class that a library registers (the rich edit's) may live until
  // the process ends.
  static std::vector<Loaded> loaded;
  ::AcquireSRWLockExclusive(&lock);
  ScopeExit release([] { ::ReleaseSRWLockExclusive(&lock); });
  for (const Loaded& entry : loaded)
    if (SameName(entry.fileName, fileName)) return entry.module;
  HMODULE module = LoadFromSystemFolder(fileName);
  if (module) loaded.push_back(Loaded{std::wstring(fileName), module});
  return module;
}

}  // namespace tk
