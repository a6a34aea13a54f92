// The benchmarks' hands inside the sandbox; one measurement per start, printed as "name value".
//
//   bench_driver.exe startup EXE CLASS [ARG] start EXE plainly; ms until the restarted copy's
//                                            window of CLASS is visible and until the screen
//                                            shows it completely drawn, then the copy's peak
//                                            memory; with ARG, EXE runs in place
//   bench_driver.exe tree FOLDER FILES KB    make a nested tree of FILES files of KB each
//   bench_driver.exe uninstall FOLDER        uninstall the product installed at FOLDER; ms from
//                                            Yes on the second question to the log, with its row
//                                            "Uninstall done.", saved on the desktop
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/AppDriver.h"
#include "tests/support/BoxDriver.h"
#include "tests/support/Files.h"
#include "tests/support/ProcessInfo.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"
#include "toolkit/Handles.h"
#include "toolkit/Image.h"

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

double MsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

int Fail(const char* why) {
  std::fprintf(stderr, "bench_driver: %s\n", why);
  return 1;
}

HWND WindowOfOtherProcess(const std::wstring& className, DWORD notPid, bool visible) {
  HWND window = nullptr;
  while ((window = ::FindWindowExW(nullptr, window, className.c_str(), nullptr))) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid != notPid && (!visible || ::IsWindowVisible(window))) return window;
  }
  return nullptr;
}

HWND VisibleWindowOfOtherProcess(const std::wstring& className, DWORD notPid) {
  return WindowOfOtherProcess(className, notPid, true);
}

double FileTimeMs(const FILETIME& time) {
  return static_cast<double>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) |
                             time.dwLowDateTime) /
         10000.0;
}

bool LastWriteTime(const std::wstring& file, FILETIME& time) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) return false;
  time = data.ftLastWriteTime;
  return true;
}

void CloseAndWait(HWND window, HANDLE process) {
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  ::WaitForSingleObject(process, 30000);
}

// What the screen shows of a window's client area, read again and again into one bitmap.
class ClientOnScreen {
 public:
  explicit ClientOnScreen(HWND window) : window_(window) {
    RECT client{};
    ::GetClientRect(window, &client);
    width_ = client.right;
    height_ = client.bottom;
    bitmap_ = tk::TopDownBitmap(width_, height_, bits_);
    memory_.reset(::CreateCompatibleDC(nullptr));
  }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // The pixels as 0x00RRGGBB, row by row from the top; empty when the screen could not be read.
  std::vector<DWORD> Read() {
    if (!bits_ || width_ <= 0 || height_ <= 0) return {};
    POINT origin{0, 0};
    ::ClientToScreen(window_, &origin);
    HDC screen = ::GetDC(nullptr);
    {
      tk::UniqueSelectObject onBitmap(memory_.get(), bitmap_.get());
      ::BitBlt(memory_.get(), 0, 0, width_, height_, screen, origin.x, origin.y, SRCCOPY);
    }
    ::ReleaseDC(nullptr, screen);
    ::GdiFlush();
    const auto* first = static_cast<const DWORD*>(bits_);
    std::vector<DWORD> pixels(first, first + static_cast<size_t>(width_) * height_);
    for (DWORD& pixel : pixels) pixel &= 0xFFFFFF;
    return pixels;
  }

 private:
  HWND window_;
  int width_ = 0;
  int height_ = 0;
  void* bits_ = nullptr;
  tk::UniqueHBITMAP bitmap_;
  tk::UniqueMemDC memory_;
};

// A caret's blink is all that may tell two looks at a finished window apart.
constexpr size_t kCaretPixels = 64;

size_t PixelsThatDiffer(const std::vector<DWORD>& a, const std::vector<DWORD>& b) {
  if (a.size() != b.size()) return std::max(a.size(), b.size());
  size_t differ = 0;
  for (size_t i = 0; i < a.size(); ++i) differ += a[i] != b[i];
  return differ;
}

// Where a child of the window lies in the window's client pixels.
std::optional<RECT> ChildArea(HWND window, const wchar_t* className) {
  HWND child = FindDescendant(window, className);
  RECT area{};
  if (!child || !::GetClientRect(child, &area)) return std::nullopt;
  ::MapWindowPoints(child, window, reinterpret_cast<POINT*>(&area), 2);
  return area;
}

// How many pixels of the area differ from the colour.
size_t PixelsUnlike(const std::vector<DWORD>& pixels, int width, const RECT& area, DWORD colour) {
  size_t unlike = 0;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x)
      unlike += pixels[static_cast<size_t>(y) * width + x] != colour;
  return unlike;
}

// Whether a window with a picture and a rich-text log shows both: the picture's area no longer
// the background only (a tenth of it inked at least), and the log's first row of text inked. A
// window without them (the peer's, the baseline's) has nothing of the kind to wait for.
bool PictureAndLogDrawn(HWND window, const std::vector<DWORD>& pixels, int width, int height) {
  const auto logo = ChildArea(window, L"TImage");
  const auto log = ChildArea(window, L"RICHEDIT50W");
  if (!logo || !log) return true;
  const RECT bounds{0, 0, width, height};
  RECT picture{}, rows{};
  if (!::IntersectRect(&picture, &*logo, &bounds) || !::IntersectRect(&rows, &*log, &bounds))
    return false;
  const auto at = [&](int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; };
  const size_t pictureArea =
      static_cast<size_t>(picture.right - picture.left) * (picture.bottom - picture.top);
  const bool pictureInked =
      PixelsUnlike(pixels, width, picture, at(picture.left, picture.top)) >= pictureArea / 10;
  // The first row of text: the log opens with an empty row, so the top three rows' height of its
  // page; the page's colour shows at its bottom right, where no row reaches.
  RECT firstRow = rows;
  firstRow.bottom = std::min(rows.bottom, rows.top + 48);
  const bool rowInked =
      PixelsUnlike(pixels, width, firstRow, at(rows.right - 2, rows.bottom - 2)) >= 30;
  return pictureInked && rowInked;
}

// The first complete paint: the screen is read from the moment the window shows until it has
// stayed the same for a while and, where the window has them, its picture and log are drawn; the
// window was drawn when the screen first showed what it shows at the end (a caret aside). Null
// when it never settled.
std::optional<Clock::time_point> FirstCompletePaint(HWND window) {
  ClientOnScreen screen(window);
  struct Look {
    Clock::time_point at;
    std::vector<DWORD> pixels;
  };
  std::vector<Look> looks;  // each look that differs from the one before it
  const auto start = Clock::now();
  while (Clock::now() - start < 20s) {
    std::vector<DWORD> pixels = screen.Read();
    const auto at = Clock::now();
    if (pixels.empty()) return std::nullopt;
    if (looks.empty() || pixels != looks.back().pixels) looks.push_back({at, std::move(pixels)});
    const Look& last = looks.back();
    const bool still = at - last.at >= 500ms;
    if (still && PictureAndLogDrawn(window, last.pixels, screen.Width(), screen.Height())) {
      size_t first = looks.size() - 1;
      while (first > 0 && PixelsThatDiffer(looks[first - 1].pixels, last.pixels) <= kCaretPixels)
        --first;
      return looks[first].at;
    }
    std::this_thread::sleep_for(1ms);
  }
  return std::nullopt;
}

// With arguments the program runs in place: the window of the started process itself counts,
// which tells the restart's share of the start-up from the rest.
// Also where the time goes: from the start to the copy's process, to its window (the form
// created, not shown yet), to the window visible, to its first complete paint as the screen
// shows it.
int Startup(const std::wstring& exe, const std::wstring& className, const std::wstring& args) {
  const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
  FILETIME startedAt{};
  ::GetSystemTimePreciseAsFileTime(&startedAt);
  const auto start = Clock::now();
  Process first = Start(exe, args, folder);
  HWND window = nullptr;
  std::optional<Clock::time_point> created;
  const DWORD notPid = args.empty() ? first.pid : 0;
  while (!(window = VisibleWindowOfOtherProcess(className, notPid))) {
    if (!created && WindowOfOtherProcess(className, notPid, false)) created = Clock::now();
    if (Clock::now() - start > 120s) return Fail("no window of the restarted copy");
    std::this_thread::sleep_for(1ms);
  }
  const auto shown = Clock::now();
  const auto drawn = FirstCompletePaint(window);
  if (!drawn) return Fail("the window's picture never settled on the screen");
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  HANDLE copy =
      ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, pid);
  if (!copy) return Fail("cannot open the restarted copy");
  FILETIME creation{}, exit{}, kernel{}, user{};
  if (::GetProcessTimes(copy, &creation, &exit, &kernel, &user))
    std::printf("copy_started_ms %.1f\n", FileTimeMs(creation) - FileTimeMs(startedAt));
  std::printf("form_created_ms %.1f\n", MsBetween(start, created.value_or(shown)));
  std::printf("visible_ms %.1f\n", MsBetween(start, shown));
  std::printf("drawn_ms %.1f\n", MsBetween(start, *drawn));
  // The peak is read once the copy has settled after its first paint.
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  const bool measured = ::GetProcessMemoryInfo(copy, &counters, sizeof(counters)) != FALSE;
  if (measured)
    std::printf("peak_kb %llu\n",
                static_cast<unsigned long long>(counters.PeakWorkingSetSize / 1024));
  CloseAndWait(window, copy);
  first.WaitExit(30s);
  ::CloseHandle(copy);
  return measured ? 0 : Fail("no memory figures for the restarted copy");
}

int Tree(const std::wstring& root, int files, int kilobytes) {
  // About as deep and wide as a real installation: 20 folders of 10 sub-folders each.
  const std::string content(static_cast<size_t>(kilobytes) * 1024, 'p');
  const int perFolder = (files + 199) / 200;
  int made = 0;
  for (int a = 0; a < 20 && made < files; ++a)
    for (int b = 0; b < 10 && made < files; ++b) {
      const std::wstring folder =
          root + L"\\part" + std::to_wstring(a) + L"\\sub" + std::to_wstring(b);
      MakeDirs(folder);
      for (int f = 0; f < perFolder && made < files; ++f, ++made)
        WriteFileBytes(folder + L"\\file" + std::to_wstring(f) + L".dat", content);
    }
  std::printf("tree_files %d\n", made);
  return made == files ? 0 : 1;
}

bool LogHasRow(HWND log, const std::wstring& row) {
  for (const std::wstring& line : TextRows(log))
    if (line == row) return true;
  return false;
}

int Uninstall(const std::wstring& installDir) {
  Process first = Start(installDir + L"\\Uninstaller.exe", L"", installDir);
  HWND form = nullptr;
  if (!WaitUntil(
          [&] { return (form = VisibleWindowOfOtherProcess(L"TfrmMain", first.pid)) != nullptr; },
          120s))
    return Fail("no main window");
  DWORD pid = 0;
  ::GetWindowThreadProcessId(form, &pid);
  HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
  HWND uninstall = FindButton(form, L"Uninstall");
  HWND log = FindDescendant(form, L"RICHEDIT50W");
  if (!uninstall || !log || !WaitForEnabled(uninstall, true, 60s))
    return Fail("Uninstall not usable");
  ClickButton(uninstall);
  const BoxFilter ofCopy{pid, L""};
  if (!AnswerBox(120s, L"Yes", ofCopy)) return Fail("no first question");
  auto second = WaitForBox(120s, ofCopy);
  if (!second) return Fail("no second question");
  FILETIME yes{};
  ::GetSystemTimePreciseAsFileTime(&yes);
  PressButton(*second, L"Yes");
  if (!WaitUntil([&] { return LogHasRow(log, L"Uninstall done."); }, 30min))
    return Fail("no row \"Uninstall done.\"");
  // The window answers only once the uninstaller waits for messages again (in the box that
  // follows), and the wait above looks every 50 ms: the end is read from the saved log instead,
  // the last thing the uninstall writes, whose time the file system keeps.
  // Earlier runs' logs may lie there too: this run's is the newest.
  double saved = 0;
  for (const std::wstring& name : FilesMatching(DesktopDir() + L"\\*uninstall confirmation*.RTF")) {
    FILETIME written{};
    if (LastWriteTime(DesktopDir() + L"\\" + name, written))
      saved = std::max(saved, FileTimeMs(written));
  }
  if (saved < FileTimeMs(yes)) return Fail("no uninstall log saved on the desktop");
  std::printf("uninstall_ms %.1f\n", saved - FileTimeMs(yes));
  AnswerBox(120s, L"OK", ofCopy);
  ::WaitForSingleObject(process, 120000);
  ::CloseHandle(process);
  WaitUntil([] { return RunsLeftNothing(); }, 90s);
  return DirExists(installDir) ? Fail("the installation folder is still there") : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"startup" && (argc == 4 || argc == 5))
    return Startup(argv[2], argv[3], argc == 5 ? argv[4] : L"");
  if (mode == L"tree" && argc == 5) return Tree(argv[2], std::stoi(argv[3]), std::stoi(argv[4]));
  if (mode == L"uninstall" && argc == 3) return Uninstall(argv[2]);
  std::fprintf(stderr,
               "usage: bench_driver.exe startup EXE CLASS | tree FOLDER FILES KB | "
               "uninstall FOLDER\n");
  return 2;
}
