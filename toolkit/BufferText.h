// Text from the system calls that fill a caller's buffer and answer with a length.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>

namespace tk {

// Calls fill(buffer, size) with a growing buffer until the text fits, and returns the text.
// fill answers with the text's length when it fitted, and with at least the buffer's size when it
// was cut: some calls give the size they need, others the size they were given. 0 (the call
// failed) gives the empty text.
template <typename Fill>
std::wstring GrowingBufferText(Fill fill) {
  std::wstring text(MAX_PATH, L'\0');
  for (;;) {
    const size_t length = fill(text.data(), static_cast<DWORD>(text.size()));
    if (length < text.size()) {
      text.resize(length);
      return text;
    }
    text.resize(std::max(text.size() * 2, length + 1));
  }
}

// Asks fill(nullptr, 0) for the size the text needs, then fills a buffer of that size; the empty
// text when either call fails or the text grew in between. For calls that answer an empty buffer
// with the size they need.
template <typename Fill>
std::wstring SizedBufferText(Fill fill) {
  const DWORD needed = fill(nullptr, 0);
  if (needed == 0) return {};
  std::wstring text(needed, L'\0');
  const DWORD length = fill(text.data(), needed);
  if (length == 0 || length >= needed) return {};
  text.resize(length);
  return text;
}

}  // namespace tk
