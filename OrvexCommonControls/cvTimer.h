// The periodic timer with the restart operations the countdown needs.
#pragma once

#include "Timer.h"

class TOrvexTimer : public TTimer {
 public:
  explicit TOrvexTimer(TComponent* owner);

  // Runs the timer; its next tick comes one full Interval from now.
  void Restart();
  // Restart when running; a stopped timer stays stopped.
  void Reset();
  void Stop();
};
