#include "UninstallerForm.h"

#include "ccCore.h"

TfrmMain* frmMain = nullptr;

TfrmMain::TfrmMain(TComponent* owner) : TForm(owner, L"TfrmMain") {
  Name = L"frmMain";
  SetClientSize(682, 314);
  SetPosition(346, 310);
  SetToolWindowBorder(true);
  SetAlphaBlendValue(245);
  SetScreenSnap(true);
  Font().Name = L"Arial";
  Font().Height = 11;
  SetVisible(true);
}

void TfrmMain::CreateControls() {}

void TfrmMain::FormCreate() {
  AppName = L"Uninstaller";
  InstanceMutexName = L"Pelmor.SingleInstanceMutex";
  SetCaption(L"Pelmor Wallpaper Changer uninstaller - This program is provided \"as is\"");
}
