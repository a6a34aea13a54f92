#include "BoxDriver.h"

#include <thread>

namespace testing_support {
namespace {

constexpr int kTextId = 0xFFFF;
constexpr int kIconId = 0x14;

std::wstring WindowText(HWND hwnd) {
  wchar_t buffer[4096] = {};
  // WM_GETTEXT works across processes, GetWindowText does not for other processes' controls.
  ::SendMessageTimeoutW(hwnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer),
                        SMTO_ABORTIFHUNG, 2000, nullptr);
  return buffer;
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

// Compares the icon's pixels with the system's stock icons (icon handles differ per process).
std::vector<unsigned char> IconBits(HICON icon) {
  ICONINFO info{};
  if (!icon || !::GetIconInfo(icon, &info)) return {};
  std::vector<unsigned char> bits;
  HBITMAP bitmap = info.hbmColor ? info.hbmColor : info.hbmMask;
  BITMAP bm{};
  if (::GetObjectW(bitmap, sizeof(bm), &bm)) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = bm.bmWidth;
    bi.bmiHeader.biHeight = bm.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bits.resize(static_cast<size_t>(bm.bmWidth) * static_cast<size_t>(bm.bmHeight) * 4);
    HDC dc = ::GetDC(nullptr);
    ::GetDIBits(dc, bitmap, 0, static_cast<UINT>(bm.bmHeight), bits.data(), &bi, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, dc);
  }
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  if (info.hbmMask) ::DeleteObject(info.hbmMask);
  return bits;
}

BoxIcon IdentifyIcon(HWND box) {
  HWND iconControl = ::GetDlgItem(box, kIconId);
  if (!iconControl || !::IsWindowVisible(iconControl)) return BoxIcon::None;
  DWORD_PTR result = 0;
  ::SendMessageTimeoutW(iconControl, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &result);
  auto bits = IconBits(reinterpret_cast<HICON>(result));
  if (bits.empty()) return BoxIcon::None;
  const std::pair<LPCWSTR, BoxIcon> stock[] = {{IDI_INFORMATION, BoxIcon::Information},
                                               {IDI_WARNING, BoxIcon::Warning},
                                               {IDI_ERROR, BoxIcon::Error},
                                               {IDI_QUESTION, BoxIcon::Question}};
  for (const auto& [id, kind] : stock)
    if (IconBits(::LoadIconW(nullptr, id)) == bits) return kind;
  return BoxIcon::Unknown;
}

bool Matches(HWND hwnd, const BoxFilter& filter) {
  if (!::IsWindowVisible(hwnd) || ClassName(hwnd) != L"#32770") return false;
  if (filter.processId) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != filter.processId) return false;
  }
  if (!filter.captionPrefix.empty() &&
      WindowText(hwnd).rfind(filter.captionPrefix, 0) != 0)
    return false;
  return true;
}

}  // namespace

const wchar_t* IconName(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::None: return L"none";
    case BoxIcon::Information: return L"information";
    case BoxIcon::Warning: return L"warning";
    case BoxIcon::Error: return L"error";
    case BoxIcon::Question: return L"question";
    default: return L"unknown";
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

std::optional<MessageBoxInfo> ReadBox(HWND box) {
  if (!::IsWindow(box)) return std::nullopt;
  MessageBoxInfo info;
  info.hwnd = box;
  ::GetWindowThreadProcessId(box, &info.processId);
  info.caption = WindowText(box);
  if (HWND text = ::GetDlgItem(box, kTextId)) info.text = WindowText(text);
  info.icon = IdentifyIcon(box);
  for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (ClassName(child) != L"Button" || !::IsWindowVisible(child)) continue;
    info.buttons.push_back(BoxButton{::GetDlgCtrlID(child), WithoutAmpersand(WindowText(child))});
  }
  return info;
}

std::vector<MessageBoxInfo> OpenBoxes(const BoxFilter& filter) {
  struct Search {
    const BoxFilter* filter;
    std::vector<HWND> found;
  } search{&filter, {}};
  ::EnumWindows(
      [](HWND hwnd, LPARAM param) -> BOOL {
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

std::optional<MessageBoxInfo> WaitForBox(std::chrono::milliseconds timeout, const BoxFilter& filter) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    auto boxes = OpenBoxes(filter);
    // A box is ready once its buttons exist.
    for (auto& box : boxes)
      if (!box.buttons.empty()) return box;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (std::chrono::steady_clock::now() < deadline);
  return std::nullopt;
}

bool PressButton(const MessageBoxInfo& box, const std::wstring& button) {
  static const std::pair<const wchar_t*, int> kStandard[] = {
      {L"OK", IDOK}, {L"Cancel", IDCANCEL}, {L"Yes", IDYES}, {L"No", IDNO},
      {L"Abort", IDABORT}, {L"Retry", IDRETRY}, {L"Ignore", IDIGNORE}};
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

std::optional<MessageBoxInfo> AnswerBox(std::chrono::milliseconds timeout, const std::wstring& button,
                                        const BoxFilter& filter) {
  auto box = WaitForBox(timeout, filter);
  if (!box) return std::nullopt;
  if (!PressButton(*box, button)) return std::nullopt;
  WaitForBoxClosed(box->hwnd, std::chrono::seconds(5));
  return box;
}

bool WaitForBoxClosed(HWND box, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (::IsWindow(box) && ::IsWindowVisible(box)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  return true;
}

}  // namespace testing_support
