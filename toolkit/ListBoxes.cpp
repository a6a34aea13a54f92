#include "toolkit/ListBoxes.h"

#include <algorithm>
#include <utility>

#include "toolkit/Handles.h"
#include "toolkit/StringList.h"

namespace tk {

namespace {

std::wstring JoinName(const std::wstring& folder, const std::wstring& name) {
  if (folder.empty() || folder.back() == L'\\') return folder + name;
  return folder + L'\\' + name;
}

// Names directly in the folder that match the pattern: its folders, or its files.
void CollectNames(const std::wstring& folder, const std::wstring& pattern, bool folders,
                  std::vector<std::wstring>& names) {
  if (folder.empty() || pattern.empty()) return;
  WIN32_FIND_DATAW data{};
  UniqueFindHandle find(::FindFirstFileW(JoinName(folder, pattern).c_str(), &data));
  if (!find) return;
  do {
    const std::wstring name = data.cFileName;
    const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isFolder != folders || name == L"." || name == L"..") continue;
    names.push_back(name);
  } while (::FindNextFileW(find.get(), &data));
}

// In the user's order; a name that two patterns both matched is listed once.
std::vector<std::wstring> SortedNames(std::vector<std::wstring> names) {
  std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
    const int order = LocaleCompare(a, b, false);
    return order != 0 ? order < 0 : a < b;
  });
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

}  // namespace

// --- TCustomListBox ---

TCustomListBox::TCustomListBox(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 145, 97);
  SetColor(clWindow);
}

void TCustomListBox::FillCreateParams(CreateParams& params) {
  params.ClassName = L"LISTBOX";
  params.Style =
      WS_CHILD | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT;
  params.ExStyle = WS_EX_CLIENTEDGE;
}

void TCustomListBox::CreateWnd() {
  FillWindow();
}

int TCustomListBox::ItemIndex() const {
  if (!HandleAllocated()) return -1;
  return static_cast<int>(::SendMessageW(Handle(), LB_GETCURSEL, 0, 0));
}

void TCustomListBox::SetItemIndex(int index) {
  if (HandleAllocated()) ::SendMessageW(Handle(), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void TCustomListBox::SetItems(std::vector<std::wstring> items) {
  items_ = std::move(items);
  FillWindow();
}

void TCustomListBox::FillWindow() {
  if (!HandleAllocated()) return;
  HWND list = Handle();
  ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (const std::wstring& item : items_)
    ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  Invalidate();
}

bool TCustomListBox::CommandNotify(WORD code) {
  if (code != LBN_DBLCLK) return false;
  DblClick();
  return true;
}

// --- TDirectoryListBox ---

TDirectoryListBox::TDirectoryListBox(TComponent* owner) : TCustomListBox(owner) {}

void TDirectoryListBox::SetDirectory(const std::wstring& folder) {
  const bool changed = folder != directory_;
  directory_ = folder;
  Update();
  if (changed && OnChange) OnChange(this);
}

void TDirectoryListBox::Update() {
  std::vector<std::wstring> names;
  CollectNames(directory_, L"*", true, names);
  SetItems(SortedNames(std::move(names)));
}

std::wstring TDirectoryListBox::ItemFolder(int index) const {
  return JoinName(directory_, Items().at(static_cast<size_t>(index)));
}

void TDirectoryListBox::DblClick() {
  const int index = ItemIndex();
  if (index >= 0 && index < Count()) SetDirectory(ItemFolder(index));
}

// --- TFileListBox ---

TFileListBox::TFileListBox(TComponent* owner) : TCustomListBox(owner) {}

void TFileListBox::SetDirectory(const std::wstring& folder) {
  directory_ = folder;
  Update();
}

void TFileListBox::SetMask(const std::wstring& mask) {
  mask_ = mask;
  Update();
}

void TFileListBox::Update() {
  std::vector<std::wstring> names;
  size_t start = 0;
  while (start <= mask_.size()) {
    size_t end = mask_.find(L';', start);
    if (end == std::wstring::npos) end = mask_.size();
    CollectNames(directory_, mask_.substr(start, end - start), false, names);
    start = end + 1;
  }
  SetItems(SortedNames(std::move(names)));
}

}  // namespace tk
