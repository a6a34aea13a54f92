#include "OrvexCommonControls/cvCountDown.h"

#include <windows.h>

#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/ccMath.h"

namespace {

constexpr wchar_t kZeroStartValue[] = L"StartValue must be higher than zero!";
constexpr uint32_t kZeroReplacement = 10;
// Up to this start value the time left is told in seconds, above it in minutes.
constexpr uint32_t kLongCountdown = 900000;

}  // namespace

TCountDown::TCountDown(tk::TComponent* owner) : tk::TComponent(owner) {
  Timer = new TOrvexTimer(this);
  Timer->Stop();
  Timer->OnTimer = [this](tk::TObject* Sender) { TimerTimer(Sender); };
  Timer->SetInterval(1000);
}

TCountDown::~TCountDown() {
  // Gone before this object is: a tick must never reach a half-destroyed countdown.
  delete Timer;
}

void TCountDown::Start() {
  FTimeLeft = FStartValue;
  Timer->Restart();
}

void TCountDown::Stop() {
  wasEnabled = Timer->Enabled();
  Timer->Stop();
}

bool TCountDown::Resume() {
  if (wasEnabled) Start();
  return wasEnabled;
}

void TCountDown::ResetTime() {
  FTimeLeft = FStartValue;
  Timer->Reset();
}

void TCountDown::Restart() {
  ResetTime();
  Timer->SetEnabled(true);
}

bool TCountDown::Enabled() const {
  return Timer->Enabled();
}

int32_t TCountDown::TimeLeftNice() const {
  if (FStartValue > kLongCountdown) return RoundHalfUp(FTimeLeft / 60000.0L);
  return RoundHalfUp(FTimeLeft / 1000.0L);
}

std::wstring TCountDown::TimeLeftS() const {
  return MilisecondsToTimeText(FTimeLeft);
}

void TCountDown::SetStartValue(uint32_t value) {
  if (value == 0) {
    MesajGeneric(kZeroStartValue, L"", MB_OK);
    value = kZeroReplacement;
  }
  if (value == FStartValue) return;
  FStartValue = value;
  FTimeLeft = value;
}

uint32_t TCountDown::Resolution() const {
  return Timer->Interval();
}

void TCountDown::SetResolution(uint32_t value) {
  Timer->SetInterval(value);
}

void TCountDown::TimerTimer(tk::TObject*) {
  Tick();
}

void TCountDown::Tick() {
  if (!Timer->Enabled()) return;
  // The time left is unsigned: a last step longer than what is left ends at zero, not below.
  const uint32_t step = Resolution();
  FTimeLeft = FTimeLeft > step ? FTimeLeft - step : 0;
  if (OnTick) OnTick(this);
  if (FTimeLeft == 0) {
    ResetTime();
    if (OnTimesUp) OnTimesUp(this);
  }
}
