#include "tests/support/BoxDriver.h"

#include "tests/support/Wait.h"
#include "toolkit/Handles.h"

#include <algorithm>
#include <thread>

namespace testing_support {
namespace {

// Windows gives the icon control id 0x14, Wine 1088.
constexpr int kIconIds[] = {0x14, 1088};

// WM_GETTEXT works across processes, GetWindowText does not for other processes' controls.
// Nothing when the window did not answer in time (its thread busy on a loaded machine): an
// unanswered read is not an empty text.
std::optional<std::wstring> AskText(HWND hwnd) {
  wchar_t buffer[4096] = {};
  DWORD_PTR copied = 0;
  if (!::SendMessageTimeoutW(hwnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL,
                             5000, &copied))
    return std::nullopt;
  return std::wstring(buffer, std::min<size_t>(copied, 4095));
}

std::wstring WindowText(HWND hwnd) {
  return AskText(hwnd).value_or(L"");
}

std::wstring ClassName(HWND hwnd) {
  wchar_t buffer[256] = {};
  ::GetClassNameW(hwnd, buffer, 256);
  return buffer;
}

std::wstring WithoutAmpersand(std::wstring text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'&' && i + 1 < text.size() && text[i + 1] != L'&') continue;
    out += text[i];
  }
  return out;
}

// Icon handles cannot be read across processes under Wine, so the icon is recognised by what the
// box shows: its pixels are compared with each stock icon drawn on the same background.
// Read from the screen: another process's window DC cannot be copied from under Wine.
std::vector<COLORREF> Capture(HWND control, int size) {
  std::vector<COLORREF> pixels;
  RECT rc{};
  if (!::GetWindowRect(control, &rc)) return pixels;
  HDC source = ::GetDC(nullptr);
  if (!source) return pixels;
  HDC memory = ::CreateCompatibleDC(source);
  HBITMAP bitmap = ::CreateCompatibleBitmap(source, size, size);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, size, size, source, rc.left, rc.top, SRCCOPY);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) pixels.push_back(::GetPixel(memory, x, y));
  ::SelectObject(memory, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, source);
  return pixels;
}

std::vector<COLORREF> Render(HICON icon, int size, COLORREF background) {
  std::vector<COLORREF> pixels;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, size, size);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  RECT rc{0, 0, size, size};
  HBRUSH brush = ::CreateSolidBrush(background);
  ::FillRect(memory, &rc, brush);
  ::DeleteObject(brush);
  ::DrawIconEx(memory, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) pixels.push_back(::GetPixel(memory, x, y));
  ::SelectObject(memory, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return pixels;
}

BoxIcon IdentifyIcon(HWND box) {
  HWND iconControl = nullptr;
  for (int id : kIconIds)
    if ((iconControl = ::GetDlgItem(box, id))) break;
  if (!iconControl || !::IsWindowVisible(iconControl)) return BoxIcon::None;
  const int size = ::GetSystemMetrics(SM_CXICON);
  // The icon's place is there before the icon is painted into it; a busy machine paints late, and
  // a place that stays empty for seconds holds no icon.
  std::vector<COLORREF> shown;
  bool uniform = true;
  for (int attempt = 0; attempt < 60 && uniform; ++attempt) {
    if (attempt) ::Sleep(50);
    ::RedrawWindow(iconControl, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    shown = Capture(iconControl, size);
    uniform = true;
    for (COLORREF c : shown) uniform = uniform && c == shown.front();
  }
  // Nothing drawn there: the box has no icon.
  if (shown.empty() || uniform) return BoxIcon::None;
  const std::pair<LPCWSTR, BoxIcon> stock[] = {{IDI_INFORMATION, BoxIcon::Information},
                                               {IDI_WARNING, BoxIcon::Warning},
                                               {IDI_ERROR, BoxIcon::Error},
                                               {IDI_QUESTION, BoxIcon::Question}};
  BoxIcon best = BoxIcon::Unknown;
  size_t bestDiff = shown.size() / 10 + 1;
  for (const auto& [id, kind] : stock) {
    auto drawn = Render(::LoadIconW(nullptr, id), size, shown.front());
    size_t diff = 0;
    for (size_t i = 0; i < drawn.size() && i < shown.size(); ++i) diff += drawn[i] != shown[i];
    if (diff < bestDiff) {
      bestDiff = diff;
      best = kind;
    }
  }
  return best;
}

bool Matches(HWND hwnd, const BoxFilter& filter) {
  if (!::IsWindowVisible(hwnd) || ClassName(hwnd) != L"#32770") return false;
  if (filter.processId) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != filter.processId) return false;
  }
  if (!filter.captionPrefix.empty() && WindowText(hwnd).rfind(filter.captionPrefix, 0) != 0)
    return false;
  return true;
}

}  // namespace

const wchar_t* IconName(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::None:
      return L"none";
    case BoxIcon::Information:
      return L"information";
    case BoxIcon::Warning:
      return L"warning";
    case BoxIcon::Error:
      return L"error";
    case BoxIcon::Question:
      return L"question";
    default:
      return L"unknown";
  }
}

bool MessageBoxInfo::HasButton(const std::wstring& name) const {
  for (const auto& b : buttons)
    if (b.text == name) return true;
  return false;
}

std::wstring MessageBoxInfo::ButtonList() const {
  std::wstring list;
  for (const auto& b : buttons) list += (list.empty() ? L"" : L",") + b.text;
  return list;
}

// Every text of the box, or nothing while any of them could not be read.
std::optional<MessageBoxInfo> ReadBox(HWND box) {
  if (!::IsWindow(box)) return std::nullopt;
  MessageBoxInfo info;
  info.hwnd = box;
  ::GetWindowThreadProcessId(box, &info.processId);
  const auto caption = AskText(box);
  if (!caption) return std::nullopt;
  info.caption = *caption;
  if (HWND text = ::GetDlgItem(box, kBoxTextId)) {
    const auto said = AskText(text);
    if (!said) return std::nullopt;
    info.text = *said;
  }
  for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (ClassName(child) != L"Button" || !::IsWindowVisible(child)) continue;
    const auto label = AskText(child);
    if (!label) return std::nullopt;
    info.buttons.push_back(BoxButton{::GetDlgCtrlID(child), WithoutAmpersand(*label)});
  }
  info.icon = IdentifyIcon(box);
  return info;
}

std::vector<MessageBoxInfo> OpenBoxes(const BoxFilter& filter) {
  struct Search {
    const BoxFilter* filter;
    std::vector<HWND> found;
  } search{&filter, {}};
  ::EnumWindows(
      [](HWND hwnd, LPARAM param) CALLBACK -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (Matches(hwnd, *s->filter)) s->found.push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  std::vector<MessageBoxInfo> boxes;
  for (HWND hwnd : search.found)
    if (auto info = ReadBox(hwnd)) boxes.push_back(*info);
  return boxes;
}

std::optional<MessageBoxInfo> WaitForBox(std::chrono::milliseconds timeout,
                                         const BoxFilter& filter) {
  std::optional<MessageBoxInfo> ready;
  // A process that has ended shows no box any more: its crash ends the wait at once.
  tk::UniqueHandle process(filter.processId ? ::OpenProcess(SYNCHRONIZE, FALSE, filter.processId)
                                            : nullptr);
  WaitUntil(
      [&] {
        if (process && ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) return true;
        // A box is ready once its buttons and its text are there: every message box of this
        // program says something, so an empty text is a box still being filled in. (The shell's
        // own questions paint their text themselves and have no text control to wait for.)
        for (auto& box : OpenBoxes(filter))
          if (!box.buttons.empty() && (!::GetDlgItem(box.hwnd, kBoxTextId) || !box.text.empty())) {
            ready = box;
            return true;
          }
        return false;
      },
      timeout, 50ms);
  return ready;
}

bool PressButton(const MessageBoxInfo& box, const std::wstring& button) {
  static const std::pair<const wchar_t*, int> kStandard[] = {
      {L"OK", IDOK},       {L"Cancel", IDCANCEL}, {L"Yes", IDYES},      {L"No", IDNO},
      {L"Abort", IDABORT}, {L"Retry", IDRETRY},   {L"Ignore", IDIGNORE}};
  int id = 0;
  for (const auto& b : box.buttons)
    if (b.text == button) id = b.id;
  if (!id)
    for (const auto& [name, standard] : kStandard)
      if (button == name) id = standard;
  if (!id) return false;
  HWND control = ::GetDlgItem(box.hwnd, id);
  return ::PostMessageW(box.hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                        reinterpret_cast<LPARAM>(control)) != FALSE;
}

std::optional<MessageBoxInfo> AnswerBox(std::chrono::milliseconds timeout,
                                        const std::wstring& button, const BoxFilter& filter) {
  auto box = WaitForBox(timeout, filter);
  if (!box) return std::nullopt;
  if (!PressButton(*box, button)) return std::nullopt;
  WaitForBoxClosed(box->hwnd, std::chrono::seconds(5));
  return box;
}

bool WaitForBoxClosed(HWND box, std::chrono::milliseconds timeout) {
  return WaitUntil([box] { return !::IsWindow(box) || !::IsWindowVisible(box); }, timeout, 30ms);
}

}  // namespace testing_support
