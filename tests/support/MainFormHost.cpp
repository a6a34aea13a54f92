#include "tests/support/MainFormHost.h"

#include <windows.h>

#include "OrvexCommonControls/ccCore.h"
#include "uninstaller/UninstallerForm.h"

namespace testing_support {

void OpenMainForm() {
  frmMain = new TfrmMain(nullptr);
  frmMain->CreateForm(true);
}

void CloseMainForm() {
  delete frmMain;
  frmMain = nullptr;
  // The main form asks the loop to end when it goes; the next test's form must not see that.
  MSG quit{};
  while (::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  AppName = kInitialAppName;
  InstanceMutexName.clear();
}

}  // namespace testing_support
