// Path edit control: a captioned frame in which the user types or browses for one file or folder
// path, with the field coloured by whether the path exists, a Create button enabled for a
// well-formed path, an optional Apply button enabled for a fully valid one, and a locate button
// that shows the path in a shell window. Optional partner list boxes follow the path: a
// directory list box shows the folders of a typed existing folder, and a file list box the files
// of a valid folder (of the user's Documents otherwise).
#pragma once

#include <string>

#include "toolkit/Controls.h"
#include "toolkit/EditControls.h"
#include "toolkit/GroupBox.h"
#include "toolkit/ImageList.h"

namespace tk {
class TDirectoryListBox;
class TFileListBox;
}  // namespace tk

enum TInputType { itFile = 0, itFolder = 1 };

class TOrvexPathEdit : public tk::TGroupBox {
 public:
  explicit TOrvexPathEdit(tk::TComponent* owner);

  // Empty when the edit text is a well-formed path, otherwise the first problem found.
  std::wstring PathHasValidChars() const;
  // PathHasValidChars, and in folder mode also that the folder exists.
  std::wstring PathIsValid() const;
  // PathIsValid, showing the problem in an error box; true when there is none.
  bool PathIsValidMsg() const;

  // Partners, referred to and not owned: each must outlive the control or be cleared first.
  tk::TFileListBox* FileListBox() const { return FFileList; }
  void SetFileListBox(tk::TFileListBox* value) { FFileList = value; }
  tk::TDirectoryListBox* Directory() const { return FDirListBox; }
  void SetDirectory(tk::TDirectoryListBox* value) { FDirListBox = value; }

  // In folder mode the text trimmed of blanks, with a trailing backslash (empty stays empty).
  std::wstring Path() const;
  void SetPath(const std::wstring& value);

  const std::wstring& FileFilter() const { return FFileFilter; }
  void SetFileFilter(const std::wstring& value) { FFileFilter = value; }
  const std::wstring& OpenDlgTitle() const { return FOpenDlgTitle; }
  void SetOpenDlgTitle(const std::wstring& value) { FOpenDlgTitle = value; }
  bool IsReadOnly() const;
  void SetIsReadOnly(bool value);
  TInputType InputType() const { return FInputType; }
  void SetInputType(TInputType value);
  bool ShowCreateBtn() const { return FShowCreate; }
  void SetShowCreateBtn(bool value);
  bool ShowOpenSrc() const { return FOpenSrc; }
  void SetShowOpenSrc(bool value);
  // Only stored: the Apply button appears or hides at the next change of the text.
  bool ShowApplyBtn() const { return FShowApply; }
  void SetShowApplyBtn(bool value) { FShowApply = value; }

  // Size of the folder pictures that the browse button draws now: made for the control's DPI,
  // drawn as they are. Zero while there are none.
  SIZE FolderIconSize() const;

  // The frame, the field and the Create button follow; the locate and Apply buttons keep theirs.
  void SetEnabled(bool enabled) override;
  // The folder pictures are taken again at the size for the new DPI.
  void DpiChanged() override;
  // A click on the frame also colours the field afresh.
  void Click() override;

  tk::TNotifyEvent OnPressEnter;
  tk::TNotifyEvent OnPathChanged;
  tk::TNotifyEvent OnCreateFolder;
  tk::TNotifyEvent OnApplyButton;  // the sender is the Apply button

 protected:
  void CreateWnd() override;
  void AlignControls() override;

 private:
  // Fills the image list with the folder pictures at the size for the control's DPI, unless it
  // holds them at that size already.
  void LoadFolderIcons();
  void ApplyInputType();
  void ColorizePath();
  void UpdatePathState();
  void UpdateDirectoryPartner();
  void UpdateFileListPartner();
  void BrowseClick(tk::TObject* Sender);
  void PathEditKeyPress(tk::TObject* Sender, wchar_t& Key);
  void CreateClick(tk::TObject* Sender);
  void ApplyClick(tk::TObject* Sender);
  void ExploreClick(tk::TObject* Sender);
  // Why the Create action cannot make the file of a file-mode path; empty when it can.
  std::wstring FileCreationProblem() const;
  void CreateTarget();

  bool Initialized = false;
  tk::TButton* btnApply;
  tk::TButton* btnCreate;
  tk::TButton* btnExplore;
  tk::TButtonedEdit* edtPath = nullptr;
  tk::TDirectoryListBox* FDirListBox = nullptr;
  tk::TImageList* imgList;
  tk::TFileListBox* FFileList = nullptr;
  TInputType FInputType = itFolder;
  std::wstring FFileFilter;
  std::wstring FOpenDlgTitle;
  bool FOpenSrc = true;
  bool FShowApply = false;
  bool FShowCreate = true;
};

// Background colours of the field: the path exists / does not exist.
inline constexpr tk::TColor clPathExists = 0xCCFFCC;
inline constexpr tk::TColor clPathMissing = 0xD0D0FF;
