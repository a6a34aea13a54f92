// Records every top-level window that becomes visible while it watches, of any process: a window
// event hook hears of each one as it is shown, and a poll of the desktop catches what the hook may
// not be told of. Windows already visible when the watch starts are not recorded.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

struct SeenWindow {
  HWND hwnd = nullptr;
  DWORD pid = 0;
  std::wstring className;
  std::wstring caption;
};

class WindowWatch {
 public:
  WindowWatch();
  ~WindowWatch();
  WindowWatch(const WindowWatch&) = delete;
  WindowWatch& operator=(const WindowWatch&) = delete;

  // Stops watching; each window seen, once, in the order it was first seen.
  std::vector<SeenWindow> Stop();
  // Those of one process.
  static std::vector<SeenWindow> Of(const std::vector<SeenWindow>& seen, DWORD pid);

 private:
  void Run();
  void Note(HWND hwnd);
  static void CALLBACK OnShow(HWINEVENTHOOK, DWORD, HWND hwnd, LONG object, LONG child, DWORD,
                              DWORD);

  std::mutex mutex_;
  std::vector<HWND> before_;
  std::vector<SeenWindow> seen_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> ready_{false};
  std::thread thread_;
};

}  // namespace testing_support
