// List boxes of a folder's contents: the folders below one folder, which the user opens with a
// double click, and the files of one folder that match a mask. Both are the platform's LISTBOX
// window, and both read the disk whenever their folder is set and on Update; neither ever moves
// the process's working folder.
#pragma once

#include <string>
#include <vector>

#include "toolkit/Controls.h"

namespace tk {

// A LISTBOX window and its rows. The rows are kept while there is no window and go into the
// window when it is made.
class TCustomListBox : public TWinControl {
 public:
  explicit TCustomListBox(TComponent* owner);

  const std::vector<std::wstring>& Items() const { return items_; }
  int Count() const { return static_cast<int>(items_.size()); }
  // The selected row, -1 when none is (or there is no window yet).
  int ItemIndex() const;
  void SetItemIndex(int index);

 protected:
  void FillCreateParams(CreateParams& params) override;
  void CreateWnd() override;
  bool CommandNotify(WORD code) override;
  // A double click on the list.
  virtual void DblClick() {}
  void SetItems(std::vector<std::wstring> items);

 private:
  void FillWindow();

  std::vector<std::wstring> items_;
};

// The folders directly below Directory, by name in the user's order. A double click opens the
// selected one, which becomes Directory.
class TDirectoryListBox : public TCustomListBox {
 public:
  explicit TDirectoryListBox(TComponent* owner);

  // Empty until set: no rows.
  const std::wstring& Directory() const { return directory_; }
  // Lists the folder's folders; OnChange follows when the folder differs from the one before.
  void SetDirectory(const std::wstring& folder);
  // Reads the folder again.
  void Update();
  // Directory joined to the name of one row.
  std::wstring ItemFolder(int index) const;

  TNotifyEvent OnChange;

 protected:
  void DblClick() override;

 private:
  std::wstring directory_;
};

// The files (no folders) directly in Directory that match Mask, by name in the user's order.
class TFileListBox : public TCustomListBox {
 public:
  explicit TFileListBox(TComponent* owner);

  const std::wstring& Directory() const { return directory_; }
  void SetDirectory(const std::wstring& folder);
  // Wildcard patterns separated by ';', such as "*.txt;*.rtf"; "*.*" lists every file.
  const std::wstring& Mask() const { return mask_; }
  void SetMask(const std::wstring& mask);
  // Reads the folder again.
  void Update();

 private:
  std::wstring directory_;
  std::wstring mask_ = L"*.*";
};

}  // namespace tk
