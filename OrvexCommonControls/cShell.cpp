#include "OrvexCommonControls/cShell.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "OrvexCommonControls/ccIO.h"
#include "toolkit/Handles.h"

void ExploreFolder(const std::wstring& folder) {
  if (!DirectoryExistMsg(folder)) return;
  ::ShellExecuteW(nullptr, L"explore", folder.c_str(), nullptr, nullptr, SW_SHOW);
}

bool LocateInExplorer(const std::wstring& path) {
  tk::UniquePIDL item(::ILCreateFromPathW(path.c_str()));
  if (!item) return false;
  return ::SHOpenFolderAndSelectItems(item.get(), 0, nullptr, 0) == S_OK;
}
