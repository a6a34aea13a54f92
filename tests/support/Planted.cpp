#include "tests/support/Planted.h"

#include <windows.h>

#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"

namespace testing_support {

const std::vector<std::wstring>& PlantedNames() {
  static const std::vector<std::wstring> names = {
      L"version.dll",   L"msimg32.dll", L"msftedit.dll",
      L"comdlg32.dll",  L"uxtheme.dll", L"windowscodecs.dll",
      L"riched20.dll",  L"dwmapi.dll",  L"propsys.dll",
      L"cryptbase.dll", L"winmm.dll",   L"userenv.dll",
      L"secur32.dll",   L"profapi.dll", L"textinputframework.dll"};
  return names;
}

bool Plant(const std::wstring& folder, const std::vector<std::wstring>& names) {
  // Beside the exe under test: a library of the other bitness would be passed over unloaded.
  const std::wstring exe = UninstallerExe();
  const std::wstring library = exe.substr(0, exe.rfind(L'\\')) + L"\\planted.dll";
  bool ok = true;
  for (const std::wstring& name : names)
    ok = ::CopyFileW(library.c_str(), (folder + L"\\" + name).c_str(), FALSE) && ok;
  return ok;
}

void RemovePlanted(const std::wstring& folder, const std::vector<std::wstring>& names) {
  for (const std::wstring& name : names) ::DeleteFileW((folder + L"\\" + name).c_str());
}

std::vector<PlantedLoad> PlantedLoads() {
  const std::wstring folder = ORVEX_PLANTED_MARKERS;
  std::vector<PlantedLoad> loads;
  for (const std::wstring& name : FilesMatching(folder + L"\\*.txt")) {
    const std::string bytes = ReadFileBytes(folder + L"\\" + name);
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()),
                            bytes.size() / sizeof(wchar_t));
    const size_t end = text.find(L"\r\n");
    const size_t next = end == std::wstring::npos ? text.size() : end + 2;
    std::wstring program = text.substr(next);
    if (program.size() >= 2 && program.ends_with(L"\r\n")) program.resize(program.size() - 2);
    loads.push_back(PlantedLoad{text.substr(0, end), program});
  }
  return loads;
}

void RemoveMarkers() {
  RemoveTree(ORVEX_PLANTED_MARKERS);
}

}  // namespace testing_support
