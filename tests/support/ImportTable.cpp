#include "tests/support/ImportTable.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>

namespace testing_support {
namespace {

bool WriteSlot(void** slot, void* value) {
  DWORD previous = 0;
  if (!::VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &previous)) return false;
  *slot = value;
  DWORD ignored = 0;
  ::VirtualProtect(slot, sizeof(void*), previous, &ignored);
  return true;
}

}  // namespace

void** ImportSlot(const char* dll, const char* function) {
  auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!imports.VirtualAddress) return nullptr;
  for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       entry->Name; ++entry) {
    if (_stricmp(reinterpret_cast<const char*>(base + entry->Name), dll) != 0) continue;
    // The names stay in the lookup table; the address table beside it is what calls go through.
    const DWORD namesAt = entry->OriginalFirstThunk ? entry->OriginalFirstThunk : entry->FirstThunk;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + namesAt);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
        return reinterpret_cast<void**>(&slots->u1.Function);
    }
  }
  return nullptr;
}

ImportPatch::ImportPatch(const char* dll, const char* function, void* replacement)
    : slot_(ImportSlot(dll, function)), replacement_(replacement) {
  if (!slot_) return;
  original_ = *slot_;
  installed_ = WriteSlot(slot_, replacement_);
}

ImportPatch::~ImportPatch() {
  if (installed_) WriteSlot(slot_, original_);
}

bool ImportPatch::Installed() const {
  return installed_ && *slot_ == replacement_;
}

namespace {
ShellExecuteRecorder* recorder = nullptr;
std::optional<std::wstring> Text(LPCWSTR text) {
  return text ? std::optional<std::wstring>(text) : std::nullopt;
}
}  // namespace

ShellExecuteRecorder::ShellExecuteRecorder()
    : patch_("shell32.dll", "ShellExecuteW", reinterpret_cast<void*>(&Record)) {
  recorder = this;
}

ShellExecuteRecorder::~ShellExecuteRecorder() {
  recorder = nullptr;
}

std::vector<std::wstring> ShellExecuteRecorder::Files() const {
  std::vector<std::wstring> files;
  for (const ShellExecuteCall& call : calls_) files.push_back(call.file.value_or(L"(null)"));
  return files;
}

HINSTANCE WINAPI ShellExecuteRecorder::Record(HWND owner, LPCWSTR verb, LPCWSTR file,
                                              LPCWSTR parameters, LPCWSTR directory, INT show) {
  recorder->calls_.push_back(
      ShellExecuteCall{owner, Text(verb), Text(file), Text(parameters), Text(directory), show});
  return reinterpret_cast<decltype(&::ShellExecuteW)>(recorder->patch_.Original())(
      owner, verb, file, parameters, directory, show);
}

}  // namespace testing_support
