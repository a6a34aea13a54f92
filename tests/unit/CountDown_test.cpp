// TOrvexTimer and TCountDown driven by real timers through this thread's message loop.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/BoxDriver.h"
#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"
#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/cvCountDown.h"
#include "OrvexCommonControls/cvTimer.h"

using namespace testing_support;

namespace {

constexpr auto kCountDownPatience = 20s;

// What the countdown reported, in order: "tick <time left>" and "up <time left>".
struct EventLog {
  std::vector<std::wstring> lines;
  int ticks = 0;
  int timeUps = 0;

  void Attach(TCountDown& countDown) {
    countDown.OnTick = [this, &countDown](tk::TObject* Sender) {
      EXPECT_EQ(Sender, &countDown);
      ++ticks;
      lines.push_back(L"tick " + std::to_wstring(countDown.TimeLeft()));
    };
    countDown.OnTimesUp = [this, &countDown](tk::TObject* Sender) {
      EXPECT_EQ(Sender, &countDown);
      ++timeUps;
      lines.push_back(L"up " + std::to_wstring(countDown.TimeLeft()));
    };
  }
};

std::vector<std::wstring> Lines(std::initializer_list<const wchar_t*> items) {
  return std::vector<std::wstring>(items.begin(), items.end());
}

// A short scaled copy of the main form's countdown (7000 ms in steps of 1000 ms).
std::unique_ptr<TCountDown> ShortCountDown(uint32_t startValue = 700, uint32_t resolution = 100) {
  auto countDown = std::make_unique<TCountDown>(nullptr);
  countDown->SetStartValue(startValue);
  countDown->SetResolution(resolution);
  return countDown;
}

}  // namespace

// --- TOrvexTimer ---

TEST(OrvexTimer, RestartRunsAndStopStops) {
  TOrvexTimer timer(nullptr);
  timer.Stop();
  EXPECT_FALSE(timer.Enabled());
  timer.Restart();
  EXPECT_TRUE(timer.Enabled());
  timer.Restart();
  EXPECT_TRUE(timer.Enabled());
  timer.Stop();
  EXPECT_FALSE(timer.Enabled());
}

TEST(OrvexTimer, ResetKeepsAStoppedTimerStopped) {
  TOrvexTimer timer(nullptr);
  timer.SetInterval(20);
  int fired = 0;
  timer.OnTimer = [&fired](tk::TObject*) { ++fired; };
  timer.Stop();
  timer.Reset();
  EXPECT_FALSE(timer.Enabled());
  PumpTicks(20ms, 10);
  EXPECT_EQ(fired, 0);
}

TEST(OrvexTimer, ResetKeepsARunningTimerFiring) {
  TOrvexTimer timer(nullptr);
  timer.SetInterval(20);
  int fired = 0;
  timer.OnTimer = [&fired](tk::TObject* Sender) {
    EXPECT_NE(Sender, nullptr);
    ++fired;
  };
  timer.Restart();
  timer.Reset();
  EXPECT_TRUE(timer.Enabled());
  EXPECT_TRUE(WaitUntil([&] { return fired >= 2; }, kCountDownPatience));
  timer.Stop();
}

// --- construction and properties ---

TEST(CountDown, NewCountDownIsStoppedWithDefaults) {
  TCountDown countDown(nullptr);
  EXPECT_FALSE(countDown.Enabled());
  EXPECT_EQ(countDown.StartValue(), 10000u);
  EXPECT_EQ(countDown.TimeLeft(), 10000u);
  EXPECT_EQ(countDown.Resolution(), 1000u);
  EXPECT_EQ(countDown.TimeLeftNice(), 10);
  int events = 0;
  countDown.OnTick = [&events](tk::TObject*) { ++events; };
  countDown.OnTimesUp = [&events](tk::TObject*) { ++events; };
  countDown.SetResolution(20);
  PumpTicks(20ms, 10);
  EXPECT_EQ(events, 0);
  EXPECT_EQ(countDown.TimeLeft(), 10000u);
}

TEST(CountDown, OwnsItsInnerTimer) {
  tk::TComponent owner(nullptr);
  auto* countDown = new TCountDown(&owner);
  ASSERT_EQ(owner.ComponentCount(), 1);
  EXPECT_EQ(owner.Components(0), countDown);
  ASSERT_EQ(countDown->ComponentCount(), 1);
  EXPECT_NE(dynamic_cast<TOrvexTimer*>(countDown->Components(0)), nullptr);
}

TEST(CountDown, ResolutionIsTheTimerInterval) {
  TCountDown countDown(nullptr);
  countDown.SetResolution(250);
  EXPECT_EQ(countDown.Resolution(), 250u);
  auto* timer = dynamic_cast<TOrvexTimer*>(countDown.Components(0));
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->Interval(), 250u);
}

// --- counting ---

TEST(CountDown, CountsDownToZeroThenStartsOverFromTheStartValue) {
  auto countDown = ShortCountDown();
  EventLog log;
  log.Attach(*countDown);
  countDown->OnTimesUp = [&log, &countDown, up = countDown->OnTimesUp](tk::TObject* Sender) {
    up(Sender);
    // Still running after a time-up: it never stops by itself.
    EXPECT_TRUE(countDown->Enabled());
    if (log.timeUps == 2) countDown->Stop();
  };
  countDown->Start();
  EXPECT_TRUE(countDown->Enabled());
  EXPECT_EQ(countDown->TimeLeft(), 700u);
  ASSERT_TRUE(WaitUntil([&] { return log.timeUps == 2; }, kCountDownPatience));
  const auto round = Lines({L"tick 600", L"tick 500", L"tick 400", L"tick 300", L"tick 200",
                            L"tick 100", L"tick 0", L"up 700"});
  std::vector<std::wstring> expected = round;
  expected.insert(expected.end(), round.begin(), round.end());
  EXPECT_EQ(log.lines, expected);
  EXPECT_FALSE(countDown->Enabled());
  EXPECT_EQ(countDown->TimeLeft(), 700u);
}

TEST(CountDown, StartValueNotAMultipleOfResolutionEndsAtZeroWithoutWrapping) {
  auto countDown = ShortCountDown(250, 100);
  EventLog log;
  log.Attach(*countDown);
  countDown->OnTimesUp = [&log, &countDown, up = countDown->OnTimesUp](tk::TObject* Sender) {
    up(Sender);
    countDown->Stop();
  };
  countDown->Start();
  ASSERT_TRUE(WaitUntil([&] { return log.timeUps == 1; }, kCountDownPatience));
  EXPECT_EQ(log.lines, Lines({L"tick 150", L"tick 50", L"tick 0", L"up 250"}));
}

TEST(CountDown, StopKeepsTimeLeftAndResumeStartsFromTheFullValue) {
  auto countDown = ShortCountDown();
  EventLog log;
  log.Attach(*countDown);
  countDown->OnTick = [&log, &countDown, tick = countDown->OnTick](tk::TObject* Sender) {
    tick(Sender);
    if (log.ticks == 2) countDown->Stop();
  };
  countDown->Start();
  ASSERT_TRUE(WaitUntil([&] { return log.ticks == 2; }, kCountDownPatience));
  // No tick arrives after the stop.
  PumpTicks(100ms, 4);
  EXPECT_EQ(log.lines, Lines({L"tick 600", L"tick 500"}));
  EXPECT_FALSE(countDown->Enabled());
  EXPECT_EQ(countDown->TimeLeft(), 500u);

  EXPECT_TRUE(countDown->Resume());
  EXPECT_TRUE(countDown->Enabled());
  EXPECT_EQ(countDown->TimeLeft(), 700u);
  ASSERT_TRUE(WaitUntil([&] { return log.ticks == 3; }, kCountDownPatience));
  EXPECT_EQ(log.lines.back(), L"tick 600");
  countDown->Stop();
}

TEST(CountDown, ResumeWithoutARunningStopDoesNothing) {
  TCountDown fresh(nullptr);
  EXPECT_FALSE(fresh.Resume());
  EXPECT_FALSE(fresh.Enabled());

  // A stop of a countdown that was not running gives nothing to resume either.
  auto stopped = ShortCountDown();
  stopped->Stop();
  EXPECT_FALSE(stopped->Resume());
  EXPECT_FALSE(stopped->Enabled());
  EXPECT_EQ(stopped->TimeLeft(), 700u);
}

TEST(CountDown, EnabledFollowsStopAndRestart) {
  auto countDown = ShortCountDown();
  countDown->Restart();
  EXPECT_TRUE(countDown->Enabled());
  countDown->Stop();
  EXPECT_FALSE(countDown->Enabled());
  countDown->Restart();
  EXPECT_TRUE(countDown->Enabled());
  countDown->Stop();
}

// Runs the countdown (700 ms in steps of 100) for two ticks and stops it there, 500 ms left.
static void StopAfterTwoTicks(TCountDown& countDown, EventLog& log) {
  log.Attach(countDown);
  countDown.OnTick = [&log, &countDown, tick = countDown.OnTick](tk::TObject* Sender) {
    tick(Sender);
    if (log.ticks == 2) countDown.Stop();
  };
  countDown.Start();
  ASSERT_TRUE(WaitUntil([&] { return log.ticks == 2; }, kCountDownPatience));
  ASSERT_EQ(countDown.TimeLeft(), 500u);
}

TEST(CountDown, RestartAndResetTimeReloadTheStartValue) {
  auto countDown = ShortCountDown();
  EventLog log;
  ASSERT_NO_FATAL_FAILURE(StopAfterTwoTicks(*countDown, log));

  // A stopped countdown is only reloaded, not started.
  countDown->ResetTime();
  EXPECT_EQ(countDown->TimeLeft(), 700u);
  EXPECT_FALSE(countDown->Enabled());

  countDown->Restart();
  EXPECT_TRUE(countDown->Enabled());
  ASSERT_TRUE(WaitUntil([&] { return log.ticks == 3; }, kCountDownPatience));
  EXPECT_EQ(log.lines.back(), L"tick 600");
  countDown->Stop();
}

TEST(CountDown, DestroyingARunningCountDownFiresNothingMore) {
  int events = 0;
  {
    auto countDown = ShortCountDown(700, 20);
    countDown->OnTick = [&events](tk::TObject*) { ++events; };
    countDown->OnTimesUp = [&events](tk::TObject*) { ++events; };
    countDown->Start();
    ASSERT_TRUE(WaitUntil([&] { return events > 0; }, kCountDownPatience));
  }
  const int before = events;
  PumpTicks(20ms, 15);
  EXPECT_EQ(events, before);
}

// --- start value ---

TEST(CountDown, SettingTheCurrentStartValueKeepsTheTimeLeft) {
  auto countDown = ShortCountDown();
  EventLog log;
  ASSERT_NO_FATAL_FAILURE(StopAfterTwoTicks(*countDown, log));

  countDown->SetStartValue(700);
  EXPECT_EQ(countDown->TimeLeft(), 500u);

  // A new value reloads the time left but leaves the timer alone.
  countDown->SetStartValue(800);
  EXPECT_EQ(countDown->StartValue(), 800u);
  EXPECT_EQ(countDown->TimeLeft(), 800u);
  EXPECT_FALSE(countDown->Enabled());
}

TEST(CountDown, NewStartValueWhileRunningKeepsStepping) {
  auto countDown = ShortCountDown(10000, 100);
  EventLog log;
  log.Attach(*countDown);
  countDown->Start();
  ASSERT_TRUE(WaitUntil([&] { return log.ticks == 1; }, kCountDownPatience));
  countDown->SetStartValue(300);
  EXPECT_TRUE(countDown->Enabled());
  EXPECT_EQ(countDown->TimeLeft(), 300u);
  ASSERT_TRUE(WaitUntil([&] { return log.timeUps == 1; }, kCountDownPatience));
  countDown->Stop();
  EXPECT_EQ(log.lines, Lines({L"tick 9900", L"tick 200", L"tick 100", L"tick 0", L"up 300"}));
}

TEST(CountDown, ZeroStartValueIsRefusedWithAMessageAndBecomesTenMilliseconds) {
  AppName = L"CountDownTest";
  TCountDown countDown(nullptr);
  std::optional<MessageBoxInfo> box;
  std::thread answer([&box] {
    box = AnswerBox(15s, L"OK", BoxFilter{::GetCurrentProcessId(), L""});
  });
  countDown.SetStartValue(0);
  answer.join();
  ASSERT_TRUE(box.has_value()) << "no message box appeared";
  EXPECT_EQ(box->caption, L"CountDownTest");
  EXPECT_EQ(box->text, L"StartValue must be higher than zero!");
  EXPECT_EQ(box->ButtonList(), L"OK");
  for (BoxIcon stock : {BoxIcon::Information, BoxIcon::Warning, BoxIcon::Error, BoxIcon::Question})
    EXPECT_NE(box->icon, stock) << "a plain box shows no icon";
  EXPECT_EQ(countDown.StartValue(), 10u);
  EXPECT_EQ(countDown.TimeLeft(), 10u);
  EXPECT_FALSE(countDown.Enabled());
}

// --- time left as numbers and text ---

TEST(CountDown, TimeLeftNiceSwitchesToMinutesAboveFifteenMinutes) {
  TCountDown countDown(nullptr);
  countDown.SetStartValue(900000);
  EXPECT_EQ(countDown.TimeLeftNice(), 900);
  countDown.SetStartValue(900001);
  EXPECT_EQ(countDown.TimeLeftNice(), 15);
  countDown.SetStartValue(7000);
  EXPECT_EQ(countDown.TimeLeftNice(), 7);
  countDown.SetStartValue(1800000);
  EXPECT_EQ(countDown.TimeLeftNice(), 30);
}

TEST(CountDown, TimeLeftNiceRoundsHalfSecondsUp) {
  // 1600 - 100 leaves 1500 ms (2 s); 1599 - 100 leaves 1499 ms (1 s).
  for (auto [start, expected] : {std::pair{1600u, 2}, std::pair{1599u, 1}}) {
    auto countDown = ShortCountDown(start, 100);
    std::optional<int32_t> nice;
    countDown->OnTick = [&nice, &countDown](tk::TObject*) {
      countDown->Stop();
      nice = countDown->TimeLeftNice();
    };
    countDown->Start();
    ASSERT_TRUE(WaitUntil([&] { return nice.has_value(); }, kCountDownPatience));
    EXPECT_EQ(*nice, expected) << "start value " << start;
  }
}

TEST(CountDown, TimeLeftSReadsAsText) {
  const std::wstring sep(1, LocaleDecimalSeparator());
  TCountDown countDown(nullptr);
  EXPECT_EQ(countDown.TimeLeftS(), L"10sec");
  countDown.SetStartValue(7000);
  EXPECT_EQ(countDown.TimeLeftS(), L"7sec");
  countDown.SetStartValue(7500);
  EXPECT_EQ(countDown.TimeLeftS(), L"7" + sep + L"5sec");
  countDown.SetStartValue(500);
  EXPECT_EQ(countDown.TimeLeftS(), L"500ms");
  countDown.SetStartValue(90000);
  EXPECT_EQ(countDown.TimeLeftS(), L"1m 30s");
}

TEST(CountDown, TimeLeftSAtTheLastStepIsZeroMilliseconds) {
  auto countDown = ShortCountDown(200, 100);
  std::vector<std::wstring> texts;
  countDown->OnTick = [&texts, &countDown](tk::TObject*) {
    texts.push_back(countDown->TimeLeftS());
  };
  countDown->OnTimesUp = [&countDown](tk::TObject*) { countDown->Stop(); };
  countDown->Start();
  ASSERT_TRUE(WaitUntil([&] { return !countDown->Enabled(); }, kCountDownPatience));
  EXPECT_EQ(texts, Lines({L"100ms", L"0ms"}));
}
