#include "toolkit/Timer.h"

#include <unordered_map>

#include "toolkit/Application.h"

namespace tk {

namespace {
std::unordered_map<UINT_PTR, TTimer*>& Timers() {
  static std::unordered_map<UINT_PTR, TTimer*> timers;
  return timers;
}
}  // namespace

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
  Update();
}

TTimer::~TTimer() {
  enabled_ = false;
  Update();
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Update();
}

void TTimer::SetInterval(uint32_t interval) {
  if (interval == interval_) return;
  interval_ = interval;
  Update();
}

void TTimer::Update() {
  if (id_) {
    ::KillTimer(nullptr, id_);
    Timers().erase(id_);
    id_ = 0;
  }
  if (enabled_ && interval_ > 0) {
    id_ = ::SetTimer(nullptr, 0, interval_, TimerProc);
    if (id_) Timers()[id_] = this;
  }
}

void CALLBACK TTimer::TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  auto found = Timers().find(id);
  if (found == Timers().end()) return;
  TTimer* timer = found->second;
  Guarded([timer] {
    if (timer->OnTimer) timer->OnTimer(timer);
  });
}

}  // namespace tk
