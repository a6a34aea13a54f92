// CRLFToEnter and the small text helpers of ccCore, each against what its callers rely on.
// Input: from and to of CopyTo, then two text fields; the second is the needle and the
// replacement text, and its first two units are the find and replacement characters.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/fuzz/FuzzInput.h"
#include "OrvexCommonControls/ccCore.h"

namespace {

bool IsAsciiLower(wchar_t c) {
  return c >= L'a' && c <= L'z';
}

bool SameIgnoringAsciiCase(wchar_t a, wchar_t b) {
  const auto fold = [](wchar_t c) { return IsAsciiLower(c) ? static_cast<wchar_t>(c - 32) : c; };
  return fold(a) == fold(b);
}

// The text cut at every "CRLF", left to right.
std::vector<std::wstring> PiecesBetweenTokens(const std::wstring& text) {
  std::vector<std::wstring> pieces(1);
  for (size_t i = 0; i < text.size();) {
    if (text.compare(i, 4, L"CRLF") == 0) {
      pieces.emplace_back();
      i += 4;
    } else {
      pieces.back() += text[i++];
    }
  }
  return pieces;
}

// Message texts carry "CRLF" as a line break and may put one blank on each side of it for
// readability; that blank must go, a second one must stay, and nothing else may change.
void CheckCrlfToEnter(const std::wstring& text) {
  const std::wstring out = CRLFToEnter(text);
  std::vector<std::wstring> pieces = PiecesBetweenTokens(text);
  std::wstring expected;
  for (size_t i = 0; i < pieces.size(); ++i) {
    std::wstring& piece = pieces[i];
    if (i > 0 && !piece.empty() && piece.front() == L' ') piece.erase(0, 1);
    if (i + 1 < pieces.size() && !piece.empty() && piece.back() == L' ') piece.pop_back();
    if (i > 0) expected += L"\r\n";
    expected += piece;
  }
  FUZZ_CHECK(out == expected, text);
  FUZZ_CHECK(out.find(L"CRLF") == std::wstring::npos, text);
}

std::wstring ReplaceEach(const std::wstring& text, wchar_t find, const std::wstring& with) {
  std::wstring out;
  for (wchar_t c : text) {
    if (c == find) {
      out += with;
    } else {
      out += c;
    }
  }
  return out;
}

// Every LF, then every CR (also one the first round brought in) becomes the replacement.
void CheckReplaceEnters(const std::wstring& text, const std::wstring& replacement) {
  const std::wstring out = ReplaceEnters(text, replacement);
  FUZZ_CHECK(out == ReplaceEach(ReplaceEach(text, L'\n', replacement), L'\r', replacement), text);
  if (replacement.find_first_of(L"\r\n") == std::wstring::npos)
    FUZZ_CHECK(out.find_first_of(L"\r\n") == std::wstring::npos, text);
}

void CheckReplaceChar(const std::wstring& text, wchar_t find, wchar_t replacement) {
  const std::wstring copy = text;
  const std::wstring out = ReplaceChar(text, find, replacement);
  FUZZ_CHECK(text == copy, text);
  FUZZ_CHECK(out.size() == text.size(), text);
  for (size_t i = 0; i < text.size(); ++i)
    FUZZ_CHECK(out[i] == (text[i] == find ? replacement : text[i]), text);
  std::wstring inPlace = text;
  ReplaceCharInPlace(inPlace, find, replacement);
  FUZZ_CHECK(inPlace == out, text);
}

void CheckRemoveLowChars(const std::wstring& text) {
  const std::wstring out = RemoveLowChars(text);
  std::wstring expected;
  for (wchar_t c : text)
    if (c >= 32) expected += c;
  FUZZ_CHECK(out == expected, text);
}

// 1-based and both ends inclusive; positions outside the text are simply not there.
void CheckCopyTo(const std::wstring& text, int from, int to) {
  const std::wstring out = CopyTo(text, from, to);
  std::wstring expected;
  for (int64_t pos = 1; pos <= static_cast<int64_t>(text.size()); ++pos)
    if (pos >= from && pos <= to) expected += text[static_cast<size_t>(pos - 1)];
  FUZZ_CHECK(out == expected, text);
}

void CheckLastCharAndPos(const std::wstring& text, wchar_t c) {
  const std::wstring last = LastChar(text);
  FUZZ_CHECK(last.size() == (text.empty() ? 0u : 1u), text);
  if (!text.empty()) FUZZ_CHECK(last[0] == text.back(), text);

  int expected = 0;
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] == c) expected = static_cast<int>(i) + 1;
  FUZZ_CHECK(LastPos(c, text) == expected, text);
}

// The first place where the needle matches with only A to Z folded; 0 for an empty needle.
void CheckPosInsensitive(const std::wstring& needle, const std::wstring& text) {
  int expected = 0;
  if (!needle.empty()) {
    for (size_t at = 0; at + needle.size() <= text.size() && expected == 0; ++at) {
      size_t k = 0;
      while (k < needle.size() && SameIgnoringAsciiCase(text[at + k], needle[k])) ++k;
      if (k == needle.size()) expected = static_cast<int>(at) + 1;
    }
  }
  FUZZ_CHECK(PosInsensitive(needle, text) == expected, needle + L" in " + text);
}

void CheckUpperCaseAscii(const std::wstring& text) {
  const std::wstring out = UpperCaseAscii(text);
  FUZZ_CHECK(out.size() == text.size(), text);
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t expected = IsAsciiLower(text[i]) ? static_cast<wchar_t>(text[i] - 32) : text[i];
    FUZZ_CHECK(out[i] == expected, text);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const int from = in.SmallOrFullInt();
  const int to = in.SmallOrFullInt();
  const std::wstring text = in.Field();
  const std::wstring other = in.Field();
  const wchar_t find = other.size() > 0 ? other[0] : L'\0';
  const wchar_t replacement = other.size() > 1 ? other[1] : L' ';

  CheckCrlfToEnter(text);
  CheckCrlfToEnter(other);
  CheckReplaceEnters(text, other);
  CheckReplaceChar(text, find, replacement);
  CheckRemoveLowChars(text);
  CheckCopyTo(text, from, to);
  CheckLastCharAndPos(text, find);
  CheckPosInsensitive(other, text);
  CheckUpperCaseAscii(text);
  return 0;
}
