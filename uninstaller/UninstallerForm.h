// The uninstaller's only window: logo, version, log pane, the installation folder and the buttons
// that uninstall the product, ask for feedback and explain how to reset the product.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "toolkit/Form.h"
#include "OrvexCommonControls/ccIO.h"
#include "uninstaller/SharedUninstaller.h"

namespace tk {
class TImage;
class TLabel;
class TPanel;
class TButton;
}  // namespace tk
class TCountDown;
class TRichLog;
class TOrvexPathEdit;
class TInternetLabel;

// The main window's class: another start of the uninstaller finds the running one by it.
inline constexpr wchar_t kMainFormClass[] = L"TfrmMain";

class TfrmMain : public tk::TForm {
 public:
  explicit TfrmMain(tk::TComponent* owner);

  tk::TImage* imgLogo = nullptr;
  tk::TLabel* lblVersion = nullptr;
  TCountDown* CountDown = nullptr;
  tk::TPanel* Panel1 = nullptr;
  TRichLog* mmoLog = nullptr;
  TOrvexPathEdit* edtPath = nullptr;
  tk::TButton* btnUninstall = nullptr;
  tk::TButton* btnResetIni = nullptr;
  tk::TButton* btnFeedback = nullptr;
  tk::TLabel* lblDiscount = nullptr;
  TInternetLabel* inetDiscount = nullptr;

  void btnUninstallClick(tk::TObject* Sender);
  void btnFeedbackClick(tk::TObject* Sender);
  void imgLogoClick(tk::TObject* Sender);
  void edtPathPathChanged(tk::TObject* Sender);
  void btnResetIniClick(tk::TObject* Sender);
  void CountDownTimesUp(tk::TObject* Sender);

 protected:
  void CreateControls() override;
  void FormCreate() override;
  // Not while an uninstall runs: it ends by itself, with its log saved.
  bool CanClose() override { return !FUninstalling; }

 private:
  void CreateLogoColumn();
  void CreateDiscountLabels();
  void CreateLog();
  void CreateButtons();
  void ShowInstallFolder();
  // Steps of the uninstall.
  bool ConfirmUninstall(const std::wstring& installFolder);
  void ShowDiscountAndPause();
  void WaitUntilProductCloses();
  // What became of a folder the uninstall was to remove; none when it was refused as protected.
  struct TFolderRemoval {
    std::wstring folder;
    std::optional<TRecycleOutcome> outcome;
  };
  // Refused with the special-folder rows (abortedRow last) when protected, else recycled.
  TFolderRemoval RemoveFolder(const std::wstring& folder, const wchar_t* abortedRow);
  TFolderRemoval RemoveInstallFolder(const std::wstring& folder);
  void RefuseProtectedFolder(const std::wstring& folder, const wchar_t* abortedRow);
  void RemoveShortcuts();
  void LogSummary(const std::vector<TFolderRemoval>& removals);
  void SaveLog();
  void AskForFeedback();
  TRecycleOutcome RecycleFolder(const std::wstring& folder);
  bool IsProtected(const std::wstring& folder) const;

  bool FeedbackSent = false;
  // An uninstall is under way: a second click (one queued while the window was frozen, say)
  // starts nothing.
  bool FUninstalling = false;
  // The folders no uninstall may remove, read once per uninstall while the discount shows.
  std::optional<ProtectedFolders> FProtectedFolders;
};

extern TfrmMain* frmMain;

// Raises tk::Exception "<name> filename is invalid!" unless every character of name may stand in
// a Windows file name (wildcards included among the refused ones).
void CheckFileName(const std::wstring& name);
// CheckFileName of the product name: "Pelmor Wallpaper Changer filename is invalid!".
void CheckProductName();
// The log file that a completed uninstall saves on the desktop at the given time "hh.mm.ss".
std::wstring UninstallLogName(const std::wstring& desktopFolder, const std::wstring& time);
// The question of the second confirmation.
std::wstring DeletionQuestion(const std::wstring& installFolder, const std::wstring& dataFolder);
