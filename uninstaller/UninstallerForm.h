// The uninstaller's only window.
#pragma once

#include "../toolkit/Form.h"

class TfrmMain : public TForm {
 public:
  explicit TfrmMain(TComponent* owner);

 protected:
  void CreateControls() override;
  void FormCreate() override;
};

extern TfrmMain* frmMain;
