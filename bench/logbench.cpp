// The log pane's own cost: 10,000 rows through the levelled methods on a real window, then the
// whole pane saved as rich text. One run per start; prints "rows_ms N" and "save_ms N".
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "toolkit/Application.h"
#include "toolkit/Form.h"
#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/ccIO.h"
#include "OrvexCommonControls/cvRichLog.h"

namespace {

double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int rows = argc > 1 ? std::stoi(argv[1]) : 10000;
  AppName = L"LogBench";
  tk::App().Initialize();
  auto host = std::make_unique<tk::TForm>(nullptr, L"LogBenchHost");
  host->SetClientSize(520, 320);
  host->CreateForm(false);
  host->Show();
  auto log = std::make_unique<TRichLog>(nullptr);
  log->Name = L"mmoLog";
  log->SetBounds(4, 4, 480, 280);
  log->SetParent(host.get());
  tk::App().ProcessMessages();

  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < rows; ++i) {
    const std::wstring text = L"Row " + std::to_wstring(i) + L" of the uninstall log";
    switch (i % 4) {
      case 0:
        log->AddInfo(text);
        break;
      case 1:
        log->AddWarn(text);
        break;
      case 2:
        log->AddImpo(text);
        break;
      default:
        log->AddError(text);
        break;
    }
  }
  tk::App().ProcessMessages();  // the queued scroll request belongs to the cost of the burst
  std::printf("rows_ms %.1f\n", MsSince(start));

  const std::wstring file = GetTempFolder() + L"logbench.rtf";
  const auto saving = std::chrono::steady_clock::now();
  log->SaveAsRtf(file);
  std::printf("save_ms %.1f\n", MsSince(saving));
  ::DeleteFileW(file.c_str());
  const int count = log->Lines().Count();
  log.reset();
  host.reset();
  return count == rows ? 0 : 1;
}
