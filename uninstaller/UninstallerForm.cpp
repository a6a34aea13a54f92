#include "uninstaller/UninstallerForm.h"

#include <windows.h>

#include <algorithm>
#include <optional>

#include "toolkit/Image.h"
#include "toolkit/Errors.h"
#include "toolkit/Handles.h"
#include "OrvexCommonControls/InternetLabel.h"
#include "uninstaller/PmConstants.h"
#include "uninstaller/SharedUninstaller.h"
#include "OrvexCommonControls/cExecuteShell.h"
#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/ccIO.h"
#include "OrvexCommonControls/ccRegistry.h"
#include "OrvexCommonControls/cvCountDown.h"
#include "OrvexCommonControls/cvPathEdit.h"
#include "OrvexCommonControls/cvRichLog.h"

TfrmMain* frmMain = nullptr;

namespace {

constexpr wchar_t kUninstallerFormModule[] = L"UninstallerForm";
constexpr wchar_t kAppName[] = L"Uninstaller";
constexpr wchar_t kProductWindowClass[] = L"Pelmor.SingleInstanceMutex";
constexpr wchar_t kDebugDataFolder[] = L"Protected while uninstaller running in debugg mode";

// Pages of the product web site.
constexpr wchar_t kDiscountPage[] = L"/order/uninstall_discount.html";
constexpr wchar_t kFeedbackPage[] = L"/help/install/uninstall-reason.html#soft";
constexpr wchar_t kResetHelpPage[] = L"/help/support-advanced_topics/index.html";

constexpr wchar_t kResetIniHint[] =
    L"If you have problems with the program, reinstalling to fix the problem is not necessary. "
    L"\r\nInstead to we recommend to follow the 'Reset program to factory default' procedure.";
constexpr wchar_t kFeedbackHint[] =
    L"It is important for us to understand why you don't like the program so we can "
    L"fix/improve it!\r\nYou will benefit from this too.";
constexpr wchar_t kUninstallHint[] =
    L"When possible the application will send the files to RecycleBin";

constexpr const wchar_t* kDisclaimer[] = {
    L"",
    L"Please tell us why you want to uninstall the program.",
    L"Any constructive critics will help us to improve the program so you can enjoy it.",
    L"",
    L"",
    L"Disclaimer ",
    L"",
    L"This program is provided \"AS IS\" without warranty of any kind, either express or implied,",
    L"including but not limited to the implied warranties of merchantability and/or fitness for a "
    L"particular purpose.",
    L"By using the software you TOTALLY agree with the conditions.",
};

constexpr wchar_t kStillRunningWarning[] =
    L" is still running. Please shut it down NOW in order to uninstall it properly!\r\n\r\n"
    L"Note: If the application is not responding you can use the TaskManager to kill it.\r\n\r\n"
    L"When ready press OK to continue the uninstall process.";
constexpr wchar_t kFolderLocked[] =
    L"This folder is locked by a 3rd party application. Please try to delete it manually.";
constexpr wchar_t kLogBlocked[] =
    L"The uninstaller was blocked from creating the uninstall log on your desktop! Some "
    L"overzealous antivirus programs misbehave by blocking legitimate applications.";
constexpr wchar_t kFeedbackRequest[] =
    L"Please tell us why you uninstalled the program so we can make it better. CRLF CRLF "
    L"CONSTRUCTIVE feedback is always appreciated. CRLF CRLF Thank you.";
constexpr wchar_t kAbortedInstallRow[] =
    L"   To protect the integrity of your data, the current operation was aborted.";
constexpr wchar_t kAbortedDataRow[] =
    L"  To protect the integrity of your data, the current operation was aborted.";

// The logo resource holds the picture at twice its design size (tools/make-art.py), so that it is
// made smaller, never larger, on screens scaled up to 200 %.
constexpr UINT kLogoDpi = 192;

// Pause after the first confirmation, with the window frozen, so that the discount is seen.
constexpr DWORD kDiscountPauseMs = 3000;

std::wstring Product() {
  return kProductName;
}

std::wstring WebPage(const wchar_t* path) {
  return std::wstring(ProductWebSite) + path;
}

void OpenInShell(const std::wstring& target) {
  ExecuteShell(target, L"", true, SW_SHOWNORMAL);
}

// The marker itself counts, not what a link of that name would lead to.
bool DebugModeOn() {
  return IsFile(AppFolder() + kDebugModeFile, false);
}

// Widens a label to its text (never below its laid-out width), as an auto-sized label does: a
// font wider than the one the layout was made with must not cut the text.
void FitWidthToText(tk::TLabel& label) {
  HWND window = label.Handle();
  if (!window) return;
  tk::UniqueWindowDC dc(window);
  tk::UniqueSelectObject font(dc.get(),
                              reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0)));
  SIZE text{};
  const std::wstring caption = label.Caption();
  ::GetTextExtentPoint32W(dc.get(), caption.c_str(), static_cast<int>(caption.size()), &text);
  const int width = ::MulDiv(text.cx, 96, static_cast<int>(label.Dpi())) + 1;
  if (width > label.Width()) label.SetWidth(width);
}

}  // namespace

// --- free routines ---

void CheckFileName(const std::wstring& name) {
  if (!IsValidFileName(name)) throw tk::Exception(name + L" filename is invalid!");
}

void CheckProductName() {
  CheckFileName(Product());
}

std::wstring UninstallLogName(const std::wstring& desktopFolder, const std::wstring& time) {
  return desktopFolder + Product() + L" - uninstall confirmation " + time + L".RTF";
}

std::wstring DeletionQuestion(const std::wstring& installFolder, const std::wstring& dataFolder) {
  return L"Do you approve deletion of the following items?\r\n " + installFolder + L"\r\n " +
         dataFolder + L"\r\n  Desktop icon\r\n  Start menu icon\r\n\r\n" +
         L"If you are not sure, you can also delete them manually.";
}

// --- creation ---

TfrmMain::TfrmMain(tk::TComponent* owner) : tk::TForm(owner, kMainFormClass) {
  Name = L"frmMain";
  SetClientSize(682, 314);
  SetPosition(346, 310);
  SetToolWindowBorder(true);
  SetAlphaBlendValue(245);
  SetScreenSnap(true);
  SetFont({.Name = L"Arial", .Height = 11, .Color = tk::clWindowText});
  SetVisible(true);
}

void TfrmMain::CreateControls() {
  // The layout's settings are applied as they are, before any handler may react to them.
  SetLoading(true);
  CreateLogoColumn();
  Panel1 = new tk::TPanel(this);
  Panel1->Name = L"Panel1";
  Panel1->SetCaption(L"Panel1");
  Panel1->SetBounds(196, 0, 486, 314);
  Panel1->SetParent(this);
  CreateDiscountLabels();
  CreateLog();
  CreateButtons();
  CountDown = new TCountDown(this);
  CountDown->Name = L"CountDown";
  CountDown->SetStartValue(7000);
  CountDown->OnTimesUp = [this](tk::TObject* Sender) { CountDownTimesUp(Sender); };
  SetLoading(false);
}

void TfrmMain::CreateLogoColumn() {
  imgLogo = new tk::TImage(this);
  imgLogo->Name = L"imgLogo";
  imgLogo->SetBounds(0, 0, 196, 314);
  imgLogo->SetCenter(true);
  imgLogo->LoadFromResource(L"LOGO", RT_RCDATA, kLogoDpi);
  imgLogo->SetAccessibleName(Product());
  imgLogo->OnClick = [this](tk::TObject* Sender) { imgLogoClick(Sender); };
  imgLogo->SetParent(this);

  lblVersion = new tk::TLabel(this);
  lblVersion->Name = L"lblVersion";
  lblVersion->SetBounds(29, 299, 122, 13);
  lblVersion->SetCaption(L"Uninstaller version: v0.0.0");
  lblVersion->SetFont({.Name = L"MS Sans Serif", .Height = 11, .Color = tk::clSilver});
  lblVersion->SetParent(this);
}

void TfrmMain::CreateDiscountLabels() {
  lblDiscount = new tk::TLabel(this);
  lblDiscount->Name = L"lblDiscount";
  lblDiscount->SetBounds(4, 4, 478, 24);
  lblDiscount->SetCaption(L"Huge discount for you!");
  lblDiscount->SetCentered(true);
  lblDiscount->SetFont({.Name = L"Arial", .Height = 21, .Style = tk::fsBold});
  lblDiscount->SetTransparent(false);
  lblDiscount->SetColor(8388863);
  lblDiscount->SetVisible(false);
  lblDiscount->SetParent(Panel1);

  inetDiscount = new TInternetLabel(this);
  inetDiscount->Name = L"inetDiscount";
  inetDiscount->SetBounds(4, 31, 478, 13);
  inetDiscount->SetCaption(L"Click here");
  inetDiscount->SetCentered(true);
  tk::TFontSpec linkFont = inetDiscount->Font();
  linkFont.Name = L"Tahoma";
  linkFont.Height = 11;
  inetDiscount->SetFont(linkFont);
  inetDiscount->SetNotVisitedColor(tk::clBlue);
  inetDiscount->SetVisitedColor(tk::clPurple);
  inetDiscount->SetOverColor(tk::clRed);
  inetDiscount->SetLinkHint(false);
  inetDiscount->SetVisible(false);
  inetDiscount->SetParent(Panel1);
}

void TfrmMain::CreateLog() {
  mmoLog = new TRichLog(this);
  mmoLog->Name = L"mmoLog";
  mmoLog->SetBounds(4, 50, 478, 167);
  mmoLog->SetColor(Panel1->Color());
  mmoLog->SetScrollBars(tk::ssVertical);
  mmoLog->SetWordWrap(false);
  mmoLog->SetMaxLength(2147483632);
  mmoLog->SetReadOnly(true);
  mmoLog->SetAccessibleName(L"Log");
  for (const wchar_t* row : kDisclaimer) mmoLog->Lines().Add(row);
  mmoLog->SetParent(Panel1);

  edtPath = new TOrvexPathEdit(this);
  edtPath->Name = L"edtPath";
  edtPath->SetBounds(4, 223, 478, 41);
  edtPath->SetCaption(L"Folder");
  edtPath->SetInputType(itFolder);
  edtPath->SetShowCreateBtn(false);
  edtPath->OnPathChanged = [this](tk::TObject* Sender) { edtPathPathChanged(Sender); };
  edtPath->SetParent(Panel1);
}

void TfrmMain::CreateButtons() {
  btnUninstall = new tk::TButton(this);
  btnUninstall->Name = L"btnUninstall";
  btnUninstall->SetBounds(4, 280, 68, 25);
  btnUninstall->SetCaption(L"Uninstall");
  btnUninstall->SetEnabled(false);
  btnUninstall->SetHint(kUninstallHint);
  btnUninstall->OnClick = [this](tk::TObject* Sender) { btnUninstallClick(Sender); };
  btnUninstall->SetParent(Panel1);

  btnResetIni = new tk::TButton(this);
  btnResetIni->Name = L"btnResetIni";
  btnResetIni->SetBounds(80, 280, 214, 25);
  btnResetIni->SetCaption(L"How to reset program to factory default?");
  btnResetIni->SetHint(kResetIniHint);
  btnResetIni->OnClick = [this](tk::TObject* Sender) { btnResetIniClick(Sender); };
  btnResetIni->SetParent(Panel1);

  btnFeedback = new tk::TButton(this);
  btnFeedback->Name = L"btnFeedback";
  btnFeedback->SetBounds(386, 272, 94, 37);
  btnFeedback->SetCaption(L"Send feedback");
  btnFeedback->SetWordWrap(true);
  btnFeedback->SetDefault(true);
  btnFeedback->SetHint(kFeedbackHint);
  btnFeedback->OnClick = [this](tk::TObject* Sender) { btnFeedbackClick(Sender); };
  btnFeedback->SetParent(Panel1);
}

void TfrmMain::FormCreate() {
  AppName = kAppName;
  InstanceMutexName = kProductWindowClass;
  inetDiscount->SetLink(WebPage(kDiscountPage));
  lblVersion->SetCaption(L"Uninstaller version: " + GetAppVersion());
  FitWidthToText(*lblVersion);
  // The version sits over the logo's column; it must not disappear behind the picture.
  if (lblVersion->HandleAllocated())
    ::SetWindowPos(lblVersion->Handle(), HWND_TOP, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (DebugModeOn())
    SetCaption(AppExeName());
  else
    SetCaption(Product() + L" uninstaller - This program is provided \"as is\"");
  mmoLog->AddEmptyRow();
  ShowInstallFolder();
  CheckProductName();
}

void TfrmMain::ShowInstallFolder() {
  const std::wstring folder = ReadInstallPath();
  if (folder.empty()) {
    Show();
    mmoLog->AddEmptyRow();
    edtPath->SetPath(L"Cannot detect installation folder! Please enter the path here manually.");
    mmoLog->AddWarn(L"Cannot detect installation folder!");
    mmoLog->AddWarn(
        L"Unless changed by user, the default path should be \"C:\\Pelmor Wallpaper\\\"");
    return;
  }
  edtPath->SetPath(folder);
  btnUninstall->SetEnabled(false);
  if (!FolderExists(folder, true)) {
    Show();
    mmoLog->AddEmptyRow();
    MesajError(
        L"Original installation folder does not exist. CRLF Probably moved or deleted "
        L"manually.\r\nFolder: " +
        folder);
    mmoLog->AddWarn(L"Folder to be entered manually by user.");
  }
  CountDown->Start();
}

// --- path field and countdown ---

void TfrmMain::edtPathPathChanged(tk::TObject*) {
  btnUninstall->SetEnabled(edtPath->PathIsValid().empty());
}

void TfrmMain::CountDownTimesUp(tk::TObject*) {
  btnUninstall->SetEnabled(true);
}

// --- the uninstall ---

void TfrmMain::btnUninstallClick(tk::TObject*) {
  if (FUninstalling) return;
  FUninstalling = true;
  tk::ScopeExit done([this] {
    FUninstalling = false;
    FProtectedFolders.reset();
  });
  const std::wstring installFolder = edtPath->Path();
  const std::wstring dataFolder =
      DebugModeOn() ? std::wstring(kDebugDataFolder) : ReadAppDataPath();
  mmoLog->Clear();
  mmoLog->AddInfo(L"Uninstall process started...");
  if (!ConfirmUninstall(installFolder)) return;
  mmoLog->AddInfo(L"User confirmation obtained.");
  ShowDiscountAndPause();
  WaitUntilProductCloses();
  if (!MesajYesNo(DeletionQuestion(installFolder, dataFolder))) {
    mmoLog->AddMsg(L"Uninstall process aborted by user.");
    return;
  }
  mmoLog->AddEmptyRow();
  mmoLog->AddInfo(L"The user approved deletion of: ");
  mmoLog->AddInfo(L"   " + installFolder);
  mmoLog->AddInfo(L"   " + dataFolder);
  std::vector<TFolderRemoval> removals{RemoveInstallFolder(installFolder)};
  if (FolderExists(dataFolder, true)) removals.push_back(RemoveFolder(dataFolder, kAbortedDataRow));
  RemoveShortcuts();
  LogSummary(removals);
  CheckProductName();
  SaveLog();
  AskForFeedback();
  edtPath->SetPath(L"");
  SelfDelete(PrepareRunFolderRemoval());
}

bool TfrmMain::ConfirmUninstall(const std::wstring& installFolder) {
  if (!DirectoryExistMsg(installFolder)) {
    mmoLog->AddWarn(L"Folder does not exist: " + installFolder);
    mmoLog->AddInfo(L"Uninstall process aborted.");
    return false;
  }
  if (!MesajYesNo(L"Are you sure you want to uninstall " + Product() + L"?")) {
    mmoLog->AddInfo(L"Uninstall process aborted by user.");
    return false;
  }
  return true;
}

void TfrmMain::ShowDiscountAndPause() {
  lblDiscount->SetVisible(true);
  inetDiscount->SetVisible(true);
  Repaint();
  // The pause is spent reading the folders that no uninstall may remove.
  const ULONGLONG start = ::GetTickCount64();
  FProtectedFolders = ProtectedFolders::Read();
  const ULONGLONG spent = ::GetTickCount64() - start;
  if (spent < kDiscountPauseMs) ::Sleep(static_cast<DWORD>(kDiscountPauseMs - spent));
}

bool TfrmMain::IsProtected(const std::wstring& folder) const {
  return FProtectedFolders ? FProtectedFolders->Protect(folder) : IsProtectedFolder(folder);
}

void TfrmMain::WaitUntilProductCloses() {
  tk::Assert(!InstanceMutexName.empty(), L"InstanceMutexName is empty!", kUninstallerFormModule);
  while (ActivateRunningInstance()) {
    mmoLog->Lines().Add(Product() + L" is running. Please shut it down.");
    MesajWarning(Product() + kStillRunningWarning);
  }
}

// Folders that must not go to the Recycle Bin whole are refused with the special-folder rows:
// besides the shell's special folders also drive roots, folders that hold special folders, the
// profile and Downloads, links and relative paths (IsProtectedFolder).
void TfrmMain::RefuseProtectedFolder(const std::wstring& folder, const wchar_t* abortedRow) {
  mmoLog->AddEmptyRow();
  mmoLog->AddInfo(L"Deleting " + folder);
  mmoLog->AddWarn(L"  You are trying to delete a special folder!");
  mmoLog->AddInfo(abortedRow);
}

TfrmMain::TFolderRemoval TfrmMain::RemoveFolder(const std::wstring& folder,
                                                const wchar_t* abortedRow) {
  if (IsProtected(folder)) {
    RefuseProtectedFolder(folder, abortedRow);
    return {folder, std::nullopt};
  }
  return {folder, RecycleFolder(folder)};
}

// The installation folder that could not be removed is the user's to delete by hand.
TfrmMain::TFolderRemoval TfrmMain::RemoveInstallFolder(const std::wstring& folder) {
  const TFolderRemoval removal = RemoveFolder(folder, kAbortedInstallRow);
  if (removal.outcome == TRecycleOutcome::Failed) {
    MesajInfo(folder + L"\r\n" + kFolderLocked);
    mmoLog->AddMsg(L"The user will manually delete the folder: " + folder);
    OpenInShell(folder);
  }
  return removal;
}

// The operation tells what became of the folder (RecycleItemOutcome); the rows only say it.
TRecycleOutcome TfrmMain::RecycleFolder(const std::wstring& folder) {
  const TRecycleOutcome outcome = RecycleItemOutcome(folder, true, false, false);
  switch (outcome) {
    case TRecycleOutcome::Recycled:
      mmoLog->AddInfo(L"Folder " + folder + L" deleted to RecycleBin.");
      break;
    case TRecycleOutcome::DeletedForGood:
      mmoLog->AddWarn(L"Folder " + folder +
                      L" was deleted permanently: the Recycle Bin could not take it.");
      break;
    case TRecycleOutcome::Unknown:
      mmoLog->AddWarn(L"Folder " + folder +
                      L" removed. Whether the Recycle Bin took it could not be read.");
      break;
    case TRecycleOutcome::Declined:
      mmoLog->AddWarn(L"Folder " + folder +
                      L" not deleted: the Recycle Bin could not take it, and deleting it "
                      L"permanently was declined.");
      if (HoldsLink(folder))
        mmoLog->AddWarn(
            L"  It holds links: it is not deleted for good, so that what they lead to "
            L"stays.");
      break;
    case TRecycleOutcome::Failed:
      mmoLog->AddWarn(L"Folder " + folder +
                      L" not deleted. Probably another application is locking the folder.");
      break;
  }
  return outcome;
}

// The closing rows say what is true of this uninstall: the Recycle Bin row only when every
// folder removed went there, "Uninstall done." only when no folder was left in place.
void TfrmMain::LogSummary(const std::vector<TFolderRemoval>& removals) {
  const auto any = [&removals](auto test) {
    return std::any_of(removals.begin(), removals.end(), test);
  };
  const auto outcomeIs = [](TRecycleOutcome wanted) {
    return [wanted](const TFolderRemoval& removal) { return removal.outcome == wanted; };
  };
  const auto left = [](const TFolderRemoval& removal) {
    return !removal.outcome || removal.outcome == TRecycleOutcome::Declined ||
           removal.outcome == TRecycleOutcome::Failed;
  };
  mmoLog->AddEmptyRow();
  mmoLog->AddEmptyRow();
  if (any(outcomeIs(TRecycleOutcome::DeletedForGood)))
    mmoLog->AddWarn(L"Some files were deleted permanently, not to the Recycle Bin.");
  else if (any(outcomeIs(TRecycleOutcome::Unknown)))
    mmoLog->AddWarn(L"Whether the Recycle Bin took every file could not be read.");
  else if (any(outcomeIs(TRecycleOutcome::Recycled)))
    mmoLog->AddInfo(L"Files deleted to Recycle Bin.");
  if (!any(left)) mmoLog->AddInfo(L"Uninstall done.");
  for (const TFolderRemoval& removal : removals)
    if (left(removal)) mmoLog->AddWarn(L"Uninstall incomplete. Still in place: " + removal.folder);
  mmoLog->AddEmptyRow();
}

void TfrmMain::RemoveShortcuts() {
  if (DeleteDesktopShortcut(Product())) mmoLog->Lines().Add(L"Desktop icon removed.");
  if (DeleteStartMenuShortcut(Product())) mmoLog->Lines().Add(L"Start menu icon removed.");
}

void TfrmMain::SaveLog() {
  const std::wstring desktop = GetDesktopFolder();
  try {
    // Without a desktop folder the name would be relative and the log would land wherever the
    // current folder happens to be.
    if (desktop.empty()) throw tk::EFCreateError(L"No desktop folder");
    mmoLog->SaveAsRtf(UninstallLogName(desktop, TimeToFileNameStr(NowLocal())));
  } catch (const tk::EFCreateError&) {
    MesajInfo(kLogBlocked);
  }
}

void TfrmMain::AskForFeedback() {
  if (FeedbackSent) return;
  MesajInfo(kFeedbackRequest);
  OpenInShell(WebPage(kFeedbackPage));
}

// --- feedback and help ---

void TfrmMain::btnFeedbackClick(tk::TObject*) {
  OpenInShell(std::wstring(L"mailto:") + SupportEmail);
  OpenInShell(WebPage(kFeedbackPage));
  FeedbackSent = true;
}

void TfrmMain::btnResetIniClick(tk::TObject*) {
  OpenInShell(WebPage(kResetHelpPage));
}

void TfrmMain::imgLogoClick(tk::TObject*) {
  OpenInShell(WebPage(kFeedbackPage));
}
