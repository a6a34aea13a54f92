// The periodic timer with the restart operations the countdown needs.
#pragma once

#include "toolkit/Timer.h"

class TOrvexTimer : public tk::TTimer {
 public:
  explicit TOrvexTimer(tk::TComponent* owner);

  // Runs the timer; its next tick comes one full Interval from now.
  void Restart();
  // Restart when running; a stopped timer stays stopped.
  void Reset();
  void Stop();
};
