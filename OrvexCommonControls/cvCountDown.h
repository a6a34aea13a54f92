// A millisecond countdown that steps every Resolution ms and reports each step and the time-up.
// It keeps counting (and reporting time-ups) until stopped.
#pragma once

#include <cstdint>
#include <string>

#include "Component.h"
#include "cvTimer.h"

class TCountDown : public TComponent {
 public:
  explicit TCountDown(TComponent* owner);
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

  TNotifyEvent OnTimesUp;
  TNotifyEvent OnTick;

 private:
  void TimerTimer(TObject* Sender);
  void Tick();

  bool wasEnabled = false;
  TOrvexTimer* Timer = nullptr;
  uint32_t FStartValue = 10000;
  uint32_t FTimeLeft = 10000;
};
