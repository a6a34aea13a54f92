#include "OrvexCommonControls/cvPathEdit.h"

#include <shobjidl.h>

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "toolkit/BufferText.h"
#include "toolkit/Errors.h"
#include "toolkit/Handles.h"
#include "toolkit/ListBoxes.h"
#include "toolkit/Text.h"
#include "OrvexCommonControls/cShell.h"
#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/ccIO.h"

namespace {

constexpr wchar_t kPathEmpty[] = L"The path is empty!";
constexpr wchar_t kPathTooLong[] = L"Path is too long: \r\n";
constexpr wchar_t kInvalidCharacters[] = L"The path has invalid characters!";
constexpr wchar_t kInvalidPathChars[] = L"Invalid characters in path!";
constexpr wchar_t kDiskNotReady[] = L"Lock on folder failed. Disk not in drive!";
constexpr wchar_t kFolderMissing[] = L"Folder does not exist: ";
constexpr wchar_t kNothingSelected[] = L"No file/folder selected!";
constexpr wchar_t kNoFolderForFile[] =
    L"Cannot create the file. Please enter its full path, with a valid folder and a file name: "
    L"\r\n";

// The longest path text accepted, counting the backslash that Trail adds.
constexpr size_t kMaxFolderPath = 248;

// The browse button's folder pictures in 96-DPI units; the icon files hold the sizes that this
// scales to at 100, 125, 150 and 200 %.
constexpr int kFolderIconSize = 16;

constexpr unsigned kFolderPickerOptions =
    FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST | FOS_DEFAULTNOMINIMODE;

// Root of the absolute form of the path: C:\ for a drive, \\server\share\ for a network path.
std::wstring FullPathRoot(const std::wstring& path) {
  return PathRoot(FullPath(path));
}

// The checks a folder text must pass besides its length: the colon, the characters and the drive.
std::wstring FolderTextProblem(const std::wstring& text) {
  if (!HasNoStrayColon(text)) return kInvalidCharacters;
  if (!HasValidPathChars(text)) return kInvalidPathChars;
  const std::wstring root = FullPathRoot(text);
  if (root.empty() || !DriveIsReady(root)) return kDiskNotReady;
  return {};
}

// Drive-rooted (C:\...) or a network path (\\server\share\...).
bool IsAbsoluteFolder(const std::wstring& folder) {
  return (folder.size() >= 3 && folder[1] == L':' && folder[2] == L'\\') ||
         folder.starts_with(L"\\\\");
}

}  // namespace

TOrvexPathEdit::TOrvexPathEdit(tk::TComponent* owner) : tk::TGroupBox(owner) {
  SetBounds(0, 0, 350, 41);

  // The icons are loaded with the window, at the size its screen wants.
  imgList = new tk::TImageList(this, kFolderIconSize, kFolderIconSize);

  edtPath = new tk::TButtonedEdit(this);
  edtPath->Name = L"PathEdit";
  edtPath->SetParent(this);
  edtPath->SetImages(imgList);
  edtPath->SetWantReturn(true);
  edtPath->RightButton().SetVisible(true);
  edtPath->RightButton().SetImageIndex(0);
  edtPath->RightButton().SetHotImageIndex(1);
  edtPath->OnRightButtonClick = [this](tk::TObject* sender) { BrowseClick(sender); };
  edtPath->OnKeyPress = [this](tk::TObject* sender, wchar_t& key) {
    PathEditKeyPress(sender, key);
  };
  edtPath->OnClick = [this](tk::TObject*) { ColorizePath(); };
  edtPath->OnChange = [this](tk::TObject*) { UpdatePathState(); };

  btnApply = new tk::TButton(this);
  btnApply->Name = L"ButtonApply";
  btnApply->SetVisible(false);
  btnApply->SetEnabled(false);
  btnApply->SetBounds(0, 0, 48, 25);
  btnApply->SetHint(L"Apply changes");
  btnApply->SetCaption(L"Apply");
  btnApply->SetParent(this);
  btnApply->OnClick = [this](tk::TObject* sender) { ApplyClick(sender); };

  btnExplore = new tk::TButton(this);
  btnExplore->Name = L"ButtonExplore";
  btnExplore->SetBounds(0, 0, 28, 25);
  btnExplore->SetCaption(L"^");
  btnExplore->SetHint(L"Locate this file/folder in Windows Explorer");
  btnExplore->SetParent(this);
  btnExplore->OnClick = [this](tk::TObject* sender) { ExploreClick(sender); };

  btnCreate = new tk::TButton(this);
  btnCreate->Name = L"ButtonCreate";
  btnCreate->SetVisible(FShowCreate);
  btnCreate->SetEnabled(false);
  btnCreate->SetBounds(0, 0, 48, 25);
  btnCreate->SetHint(L"Create folder");
  btnCreate->SetCaption(L"Create");
  btnCreate->SetParent(this);
  btnCreate->OnClick = [this](tk::TObject* sender) { CreateClick(sender); };
}

void TOrvexPathEdit::LoadFolderIcons() {
  const int size = Scale(kFolderIconSize);
  if (imgList->Count() > 0 && imgList->Width() == size && imgList->Height() == size) return;
  imgList->SetSize(size, size);
  // A program built without the folder icons still gets a picture on the browse button: the
  // shell's own folder icons, or at worst an empty image that keeps the indices in place.
  const HINSTANCE module = ::GetModuleHandleW(nullptr);
  const struct {
    const wchar_t* resource;
    SHSTOCKICONID stock;
  } icons[] = {{L"xFOLDER", SIID_FOLDER}, {L"xFOLDER_OPEN", SIID_FOLDEROPEN}};
  for (const auto& icon : icons) {
    if (imgList->AddResourceIcon(module, icon.resource) < 0 &&
        imgList->AddStockIcon(icon.stock) < 0)
      imgList->AddBlank();
  }
  if (edtPath) edtPath->RightButton().Invalidate();
}

SIZE TOrvexPathEdit::FolderIconSize() const {
  if (imgList->Count() == 0) return SIZE{0, 0};
  return SIZE{imgList->Width(), imgList->Height()};
}

void TOrvexPathEdit::DpiChanged() {
  LoadFolderIcons();
  tk::TGroupBox::DpiChanged();
}

void TOrvexPathEdit::CreateWnd() {
  tk::TGroupBox::CreateWnd();
  // The window may sit on a screen of another DPI than the one the pictures were taken for.
  LoadFolderIcons();
  if (!Initialized) {
    Initialized = true;
    ApplyInputType();
  }
  AlignControls();
}

void TOrvexPathEdit::AlignControls() {
  if (!HandleAllocated() || !edtPath) return;
  const RECT area = DisplayRect96();
  const int height = area.bottom - area.top;
  // Right-aligned buttons with one unit of margin around each: locate, Create, Apply.
  int right = area.right;
  for (tk::TButton* button : {btnExplore, btnCreate, btnApply}) {
    if (!button->Visible()) continue;
    const int width = button->Width();
    right -= 1;
    button->SetBounds(right - width, area.top + 1, width, std::max(0, height - 2));
    right -= width + 1;
  }
  const int left = area.left + 1;
  edtPath->SetBounds(left, area.top + 2, std::max(0, right - 1 - left), std::max(0, height - 3));
}

// --- validation ---

std::wstring TOrvexPathEdit::PathHasValidChars() const {
  const std::wstring text = edtPath->Text();
  if (text.empty()) return kPathEmpty;
  // A text of 248 that already ends in a backslash passes: it names a folder of 247 characters,
  // the same folder that passes when typed without the backslash. Its root is found below without
  // any length limit.
  if (Trail(text).size() > kMaxFolderPath) return kPathTooLong + text;
  if (FInputType == itFolder) return FolderTextProblem(text);
  const std::wstring name = FileNamePart(text, psBackslashColon);
  if (!std::all_of(name.begin(), name.end(), IsFileNameChar)) return kInvalidCharacters;
  return {};
}

std::wstring TOrvexPathEdit::PathIsValid() const {
  std::wstring problem = PathHasValidChars();
  if (problem.empty() && FInputType == itFolder) {
    const std::wstring text = edtPath->Text();
    if (!FolderExists(text, true)) problem = kFolderMissing + text;
  }
  return problem;
}

bool TOrvexPathEdit::PathIsValidMsg() const {
  const std::wstring problem = PathIsValid();
  if (!problem.empty()) MesajError(problem);
  return problem.empty();
}

// --- properties ---

std::wstring TOrvexPathEdit::Path() const {
  const std::wstring text = edtPath->Text();
  if (FInputType == itFolder && !text.empty())
    return Trail(tk::Trim(text, tk::TrimOpt::SpacesAndControls));
  return text;
}

void TOrvexPathEdit::SetPath(const std::wstring& value) {
  if (Loading() || FInputType == itFile)
    edtPath->SetText(value);
  else
    edtPath->SetText(Trail(value));
}

bool TOrvexPathEdit::IsReadOnly() const {
  return edtPath->ReadOnly();
}

void TOrvexPathEdit::SetIsReadOnly(bool value) {
  edtPath->SetReadOnly(value);
}

void TOrvexPathEdit::SetInputType(TInputType value) {
  FInputType = value;
  ApplyInputType();
}

void TOrvexPathEdit::SetShowCreateBtn(bool value) {
  FShowCreate = value;
  btnCreate->SetVisible(value);
  AlignControls();
}

void TOrvexPathEdit::SetShowOpenSrc(bool value) {
  FOpenSrc = value;
  btnExplore->SetVisible(value);
  AlignControls();
}

void TOrvexPathEdit::SetEnabled(bool enabled) {
  tk::TGroupBox::SetEnabled(enabled);
  edtPath->SetEnabled(enabled);
  btnCreate->SetEnabled(enabled);
}

// --- state ---

void TOrvexPathEdit::ColorizePath() {
  if (Loading()) return;
  const std::wstring path = Path();
  const bool exists = FInputType == itFile ? IsFile(path) : FolderExists(path, true);
  edtPath->SetColor(exists ? clPathExists : clPathMissing);
}

void TOrvexPathEdit::UpdatePathState() {
  ColorizePath();
  btnCreate->SetEnabled(PathHasValidChars().empty());
  btnApply->SetEnabled(PathIsValid().empty());
  if (btnApply->Visible() != FShowApply) {
    btnApply->SetVisible(FShowApply);
    AlignControls();
  }
  // The directory partner follows only where someone listens to the path: the handler finds it
  // showing the new folder already.
  if (OnPathChanged) {
    UpdateDirectoryPartner();
    OnPathChanged(this);
  }
  UpdateFileListPartner();
}

void TOrvexPathEdit::UpdateDirectoryPartner() {
  if (!FDirListBox) return;
  const std::wstring path = Path();
  if (!FolderExists(path, true)) return;
  // The partner's own listeners hear of the user's choices in it, not of the path typed here.
  tk::TNotifyEvent detached = std::exchange(FDirListBox->OnChange, nullptr);
  tk::ScopeExit restore([&] { FDirListBox->OnChange = std::move(detached); });
  FDirListBox->SetDirectory(path);
}

void TOrvexPathEdit::UpdateFileListPartner() {
  if (!FFileList || FInputType != itFolder) return;
  FFileList->SetDirectory(PathIsValid().empty() ? Path() : GetMyDocuments());
}

void TOrvexPathEdit::ApplyInputType() {
  ColorizePath();
  const bool folder = FInputType == itFolder;
  edtPath->RightButton().SetHint(folder ? L"Browse for a folder" : L"Browse for a file");
  btnExplore->SetHint(folder ? L"Locate this folder in Windows Explorer"
                             : L"Locate this file in Windows Explorer");
  SetCaption(folder ? L"Folder" : L"File");
}

void TOrvexPathEdit::Click() {
  ColorizePath();
  tk::TGroupBox::Click();
}

// --- actions ---

void TOrvexPathEdit::BrowseClick(tk::TObject*) {
  std::wstring path = Path();
  if (FInputType == itFolder) {
    if (SelectAFolder(path, FOpenDlgTitle, kFolderPickerOptions)) SetPath(path);
  } else {
    try {
      if (PromptToLoadFile(path, FFileFilter, FOpenDlgTitle, L"")) SetPath(path);
    } catch (const tk::EArgumentException&) {
      // The system takes no folder from what was typed (too long, a control character), so the
      // dialog is given none to start in and no name in its box: it opens where it would for an
      // empty field, and the text stays until the user chooses a file.
      std::wstring chosen;
      if (PromptToLoadFile(chosen, FFileFilter, FOpenDlgTitle, L"")) SetPath(chosen);
    }
  }
}

void TOrvexPathEdit::PathEditKeyPress(tk::TObject*, wchar_t& Key) {
  KeyPress(Key);
  if (Key != L'\r') return;
  if (btnCreate->Visible() && btnCreate->Enabled()) CreateClick(this);
  if (OnPressEnter) OnPressEnter(this);
}

std::wstring TOrvexPathEdit::FileCreationProblem() const {
  const std::wstring path = Path();
  const std::wstring folder = FolderPart(path, psBackslash);
  const std::wstring name = FileNamePart(path, psBackslash);
  if (tk::Trim(name, tk::TrimOpt::SpacesAndControls).empty() || !IsAbsoluteFolder(folder) ||
      tk::HasControlChar(folder) || !FolderTextProblem(folder).empty())
    return kNoFolderForFile + path;
  return {};
}

void TOrvexPathEdit::CreateClick(tk::TObject*) {
  std::wstring problem = PathHasValidChars();
  if (problem.empty() && FInputType == itFile) problem = FileCreationProblem();
  // A text of blanks passes the character checks but names no folder at all.
  if (problem.empty() && Path().empty()) problem = kPathEmpty;
  if (!problem.empty()) {
    MesajError(problem);
    return;
  }
  CreateTarget();
  UpdatePathState();
  if (OnCreateFolder) OnCreateFolder(this);
}

void TOrvexPathEdit::CreateTarget() {
  try {
    if (FInputType == itFolder)
      ForceDirectoriesMsg(Path());
    else
      StringToFile(Path(), L"", false, false);
  } catch (const tk::EAssertionFailed&) {
    throw;
  } catch (const tk::Exception& e) {
    // What the user typed was refused by the platform (a control character, a name too long
    // to create): tell them, as any other refusal of their input.
    MesajError(e.Message());
  }
}

void TOrvexPathEdit::ApplyClick(tk::TObject*) {
  btnApply->SetEnabled(false);
  if (OnApplyButton) OnApplyButton(btnApply);
}

void TOrvexPathEdit::ExploreClick(tk::TObject*) {
  const std::wstring path = Path();
  if (path.empty()) {
    MesajError(kNothingSelected);
    return;
  }
  if (FInputType == itFile)
    (void)LocateInExplorer(path);
  else
    ExploreFolder(path);
}
