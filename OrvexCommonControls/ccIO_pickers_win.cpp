// ccIO's file and folder pickers on Windows: the modern dialogs, the classic ones where they fail.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "toolkit/Application.h"
#include "toolkit/BufferText.h"
#include "toolkit/Errors.h"
#include "toolkit/Handles.h"
#include "toolkit/SysError.h"
#include "toolkit/SystemLibrary.h"
#include "toolkit/Text.h"
#include "OrvexCommonControls/ccIO.h"
#include "OrvexCommonControls/ccWinVersion.h"

// --- pickers ---

namespace {

// The drive part of a path: "C:" or "\\server\share"; empty when it has none.
std::wstring DrivePart(const std::wstring& path) {
  if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2);
  if (path.rfind(L"\\\\", 0) == 0) {
    std::wstring root = PathRoot(path);
    while (!root.empty() && root.back() == L'\\') root.pop_back();
    return root;
  }
  return L"";
}

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED && data) ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}

// The dialogs move the process into the folder the user browsed to, and a process's working
// folder cannot be deleted; the uninstaller must never hold the folder it is about to remove.
class KeepWorkingFolder {
 public:
  KeepWorkingFolder() {
    const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
    saved_.resize(needed);
    saved_.resize(::GetCurrentDirectoryW(needed, saved_.data()));
  }
  KeepWorkingFolder(const KeepWorkingFolder&) = delete;
  KeepWorkingFolder& operator=(const KeepWorkingFolder&) = delete;
  ~KeepWorkingFolder() {
    if (!saved_.empty()) ::SetCurrentDirectoryW(saved_.c_str());
  }

 private:
  std::wstring saved_;
};

std::wstring FilterBuffer(const std::wstring& filter) {
  std::wstring buffer = filter.empty() ? std::wstring(L"All files (*.*)|*.*") : filter;
  for (wchar_t& c : buffer)
    if (c == L'|') c = L'\0';
  buffer.push_back(L'\0');
  buffer.push_back(L'\0');
  return buffer;
}

}  // namespace

bool SelectAFolderModern(std::wstring& folder, const std::wstring& title, unsigned options) {
  tk::ComInit com;
  KeepWorkingFolder workingFolder;
  tk::ComPtr<IFileOpenDialog> dialog;
  if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(dialog.put()))))
    return false;
  dialog->SetOptions(options);
  if (!folder.empty()) {
    tk::ComPtr<IShellItem> start;
    if (SUCCEEDED(
            ::SHCreateItemFromParsingName(folder.c_str(), nullptr, IID_PPV_ARGS(start.put()))))
      dialog->SetDefaultFolder(start.get());
    dialog->SetFileName(folder.c_str());
  }
  if (!title.empty()) dialog->SetTitle(title.c_str());
  if (FAILED(dialog->Show(tk::App().MainFormHandle()))) return false;
  tk::ComPtr<IShellItem> chosen;
  if (FAILED(dialog->GetResult(chosen.put()))) return false;
  wchar_t* name = nullptr;
  if (FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &name))) return false;
  tk::UniqueCoTaskString owned(name);
  folder = Trail(name);
  return true;
}

bool SelectAFolderClassic(std::wstring& folder) {
  tk::ComInit com;
  KeepWorkingFolder workingFolder;
  const std::wstring drive = DrivePart(folder);
  if (!FolderExists(folder, true)) folder.clear();
  tk::UniquePIDL root;
  if (!drive.empty()) root.reset(::ILCreateFromPathW(Trail(drive).c_str()));

  BROWSEINFOW info{};
  info.hwndOwner = tk::App().MainFormHandle();
  info.pidlRoot = root.get();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
  info.lpfn = BrowseCallback;
  info.lParam = folder.empty() ? 0 : reinterpret_cast<LPARAM>(folder.c_str());
  tk::UniquePIDL chosen(::SHBrowseForFolderW(&info));
  if (!chosen) return false;
  wchar_t path[MAX_PATH] = {};
  if (!::SHGetPathFromIDListW(chosen.get(), path)) return false;
  folder = Trail(path);
  return true;
}

bool SelectAFolder(std::wstring& folder, const std::wstring& title, unsigned options) {
  if (IsWindowsVistaUp()) return SelectAFolderModern(folder, title, options);
  return SelectAFolderClassic(folder);
}

bool PromptToLoadFile(std::wstring& fileName, const std::wstring& filter, const std::wstring& title,
                      const std::wstring& initialFolder) {
  std::wstring folder = initialFolder;
  if (folder.empty()) folder = IsFolder(fileName) ? fileName : ExtractPath(fileName, true);
  return PromptFileDialog(fileName, false, filter, L"", title, folder);
}

namespace {

// The file dialogs' library is loaded when a dialog is first wanted: linked in, it would be loaded
// with every start, together with the printing libraries it depends on.
BOOL ShowFileDialog(OPENFILENAMEW& ofn, bool save) {
  using Dialog = BOOL(WINAPI*)(OPENFILENAMEW*);
  const auto show =
      tk::SystemFunction<Dialog>(L"comdlg32.dll", save ? "GetSaveFileNameW" : "GetOpenFileNameW");
  if (!show) throw tk::Exception(L"The file dialogs (comdlg32.dll) are not available.");
  return show(&ofn);
}

}  // namespace

bool PromptFileDialog(std::wstring& fileName, bool save, const std::wstring& filter,
                      const std::wstring& defaultExt, const std::wstring& title,
                      const std::wstring& initialFolder) {
  const std::wstring folder = initialFolder.empty() ? AppDataFolder() : initialFolder;
  const std::wstring filters = FilterBuffer(filter);
  // Room for any path the dialog may hand back, long-path prefixed ones included.
  std::wstring buffer(32768, L'\0');
  // A folder in the file-name box would make the dialog open in that folder's parent with the
  // folder offered as a file name; left out, the dialog opens where it should.
  if (!IsFolder(fileName))
    fileName.copy(buffer.data(), std::min(fileName.size(), buffer.size() - 1));
  std::wstring extension = defaultExt;
  if (!extension.empty() && extension[0] == L'.') extension.erase(0, 1);

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = tk::App().MainFormHandle();
  ofn.lpstrFilter = filters.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrInitialDir = folder.c_str();
  ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
  ofn.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_FORCESHOWHIDDEN |
              (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  KeepWorkingFolder workingFolder;
  const BOOL confirmed = ShowFileDialog(ofn, save);
  if (!confirmed) return false;
  fileName = buffer.c_str();
  return true;
}
