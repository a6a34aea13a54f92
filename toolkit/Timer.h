// Periodic timer delivered through the message loop of the GUI thread.
#pragma once

#include <windows.h>

#include <cstdint>

#include "toolkit/Component.h"

namespace tk {

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  // While enabled and Interval is above 0 the timer fires; switching it off and on again
  // starts a fresh full interval.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  uint32_t Interval() const { return interval_; }
  void SetInterval(uint32_t interval);

  TNotifyEvent OnTimer;

 private:
  void Update();
  static void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD);

  bool enabled_ = true;
  uint32_t interval_ = 1000;
  UINT_PTR id_ = 0;
};

}  // namespace tk
