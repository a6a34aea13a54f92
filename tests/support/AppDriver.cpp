#include "tests/support/AppDriver.h"

#include "tests/support/Files.h"
#include "tests/support/Wait.h"

#include <richedit.h>

#include <algorithm>

#include <thread>

#include "toolkit/Handles.h"

namespace testing_support {

void PrintTo(const RichRow& row, std::ostream* os) {
  *os << "\"" << Wide2Utf8(row.text) << "\" colour 0x" << std::hex << row.color << std::dec
      << (row.bold ? " bold" : "");
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  ::GetClassNameW(window, name, 256);
  return name;
}

std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
    return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, 5000, &copied))
    return {};
  text.resize(static_cast<size_t>(copied));
  return text;
}

static BOOL CALLBACK Collect(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

std::vector<HWND> Descendants(HWND root) {
  std::vector<HWND> windows;
  ::EnumChildWindows(root, Collect, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

HWND FindDescendant(HWND root, const std::wstring& className, const std::wstring& caption) {
  for (HWND child : Descendants(root)) {
    if (_wcsicmp(ClassOf(child).c_str(), className.c_str()) != 0) continue;
    if (caption.empty() || TextOf(child) == caption) return child;
  }
  return nullptr;
}

HWND FindButton(HWND root, const std::wstring& caption) {
  return FindDescendant(root, L"Button", caption);
}

void ClickButton(HWND button) {
  ::PostMessageW(button, BM_CLICK, 0, 0);
}

void TypeText(HWND edit, const std::wstring& text) {
  ::SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, 5000, nullptr);
}

std::vector<std::wstring> TextRows(HWND edit) {
  const std::wstring text = TextOf(edit);
  std::vector<std::wstring> rows;
  std::wstring row;
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c == L'\r' || c == L'\n') {
      rows.push_back(row);
      row.clear();
      if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
    } else {
      row.push_back(c);
    }
  }
  if (!row.empty()) rows.push_back(row);
  return rows;
}

namespace {

// A buffer in another process, for messages whose pointer the system does not carry across.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND window, size_t size) : size_(size) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    process_.reset(
        ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
    if (process_)
      address_ =
          ::VirtualAllocEx(process_.get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~RemoteBuffer() {
    if (address_) ::VirtualFreeEx(process_.get(), address_, 0, MEM_RELEASE);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  bool Write(const void* data) {
    SIZE_T done = 0;
    return address_ && ::WriteProcessMemory(process_.get(), address_, data, size_, &done);
  }
  bool Read(void* data) const {
    SIZE_T done = 0;
    return address_ && ::ReadProcessMemory(process_.get(), address_, data, size_, &done);
  }
  LPARAM Address() const { return reinterpret_cast<LPARAM>(address_); }

 private:
  tk::UniqueHandle process_;
  void* address_ = nullptr;
  size_t size_;
};

LRESULT Ask(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  ::SendMessageTimeoutW(window, msg, wParam, lParam, SMTO_NORMAL, 10000, &result);
  return static_cast<LRESULT>(result);
}

}  // namespace

std::vector<RichRow> RichEditRows(HWND edit) {
  std::vector<RichRow> rows;
  const std::vector<std::wstring> texts = TextRows(edit);
  RemoteBuffer buffer(edit, sizeof(CHARFORMAT2W));
  for (size_t line = 0; line < texts.size(); ++line) {
    const int start = static_cast<int>(Ask(edit, EM_LINEINDEX, line, 0));
    const int length = static_cast<int>(Ask(edit, EM_LINELENGTH, static_cast<WPARAM>(start), 0));
    // An empty row is read through its paragraph mark.
    Ask(edit, EM_SETSEL, static_cast<WPARAM>(start), start + std::max(length, 1));
    CHARFORMAT2W format{};
    format.cbSize = sizeof(format);
    if (!buffer.Write(&format)) return {};
    Ask(edit, EM_GETCHARFORMAT, SCF_SELECTION, buffer.Address());
    if (!buffer.Read(&format) || !(format.dwMask & CFM_BOLD)) return {};
    RichRow row;
    row.text = texts[line];
    row.color =
        (format.dwEffects & CFE_AUTOCOLOR) ? ::GetSysColor(COLOR_WINDOWTEXT) : format.crTextColor;
    row.bold = (format.dwEffects & CFE_BOLD) != 0;
    rows.push_back(row);
  }
  return rows;
}

bool WaitForEnabled(HWND window, bool enabled, std::chrono::milliseconds timeout) {
  return WaitUntil([&] { return (::IsWindowEnabled(window) != FALSE) == enabled; }, timeout);
}

}  // namespace testing_support
