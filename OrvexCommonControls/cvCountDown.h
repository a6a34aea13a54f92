// A millisecond countdown that steps every Resolution ms and reports each step and the time-up.
// It keeps counting (and reporting time-ups) until stopped.
#pragma once

#include <cstdint>
#include <string>

#include "toolkit/Component.h"
#include "OrvexCommonControls/cvTimer.h"

class TCountDown : public tk::TComponent {
 public:
  explicit TCountDown(tk::TComponent* owner);
  ~TCountDown() override;

  void Start();
  void Stop();
  // Starts again from the full start value when the countdown ran at the last Stop.
  bool Resume();
  void ResetTime();
  void Restart();
  bool Enabled() const;
  // Whole seconds, or whole minutes when the start value is above 15 minutes.
  int32_t TimeLeftNice() const;
  std::wstring TimeLeftS() const;

  uint32_t StartValue() const { return FStartValue; }
  void SetStartValue(uint32_t value);
  uint32_t Resolution() const;
  void SetResolution(uint32_t value);
  uint32_t TimeLeft() const { return FTimeLeft; }

  tk::TNotifyEvent OnTimesUp;
  tk::TNotifyEvent OnTick;

 private:
  void TimerTimer(tk::TObject* Sender);
  void Tick();

  bool wasEnabled = false;
  TOrvexTimer* Timer = nullptr;
  uint32_t FStartValue = 10000;
  uint32_t FTimeLeft = 10000;
};
