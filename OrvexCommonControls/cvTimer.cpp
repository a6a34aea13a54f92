#include "OrvexCommonControls/cvTimer.h"

TOrvexTimer::TOrvexTimer(tk::TComponent* owner) : tk::TTimer(owner) {}

void TOrvexTimer::Restart() {
  // Off and on again is what makes the platform timer begin a fresh period.
  SetEnabled(false);
  SetEnabled(true);
}

void TOrvexTimer::Reset() {
  if (Enabled()) Restart();
}

void TOrvexTimer::Stop() {
  SetEnabled(false);
}
