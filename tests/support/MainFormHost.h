// The program's main window built inside a test process, exactly as the program builds it, and
// taken down again so that the next test starts from nothing.
#pragma once

namespace testing_support {

// frmMain made and created as the main form (its creation steps run, boxes included).
void OpenMainForm();
// frmMain destroyed, the quit request it leaves for the loop taken back, and the application
// names it set reset.
void CloseMainForm();

}  // namespace testing_support
