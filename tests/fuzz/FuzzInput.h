// Shared by the fuzz harnesses: libFuzzer's bytes turned into the library's argument types, and
// the invariant check that turns a violation into a crash libFuzzer keeps.
//
// Text is UTF-16 (one code unit per std::wstring element, whatever the width of wchar_t), read so
// that hand-written seeds stay readable and the characters the text and path grammar care about
// are one byte away rather than one 65536th of a chance:
//   0x02..0x7F   that ASCII character (controls included)
//   0x80..0xFF   one of 128 characters the code treats specially or that stress UTF-16 handling
//   0x01 lo hi   any UTF-16 code unit, little-endian
//   0x00         ends the current field (Field); a NUL character in text is 0x01 0x00 0x00
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace fuzz {

inline constexpr char16_t kSpecialUnits[128] = {
    // path and batch punctuation, the forbidden path characters, blanks and line breaks
    u'\\', u'/', u':', u'.', u' ', u'?', u'"', u'*', u'<', u'>', u'|', u'%', u'&', u'^', u'!',
    u'\t', u'\r', u'\n', u'\0', u'\x1F', u'\x7F', u'-', u'+', u',', u'0', u'9', u'e', u'E',
    // the edges of the ASCII letters
    u'@', u'[', u'`', u'{', u'A', u'Z', u'a', u'z', u'C', u'R', u'L', u'F', u'U', u'N',
    // Latin-1 and letters whose case mapping leaves ASCII or enters it
    u'\x80', u'\xA0', u'\xC4', u'\xE4', u'\xC9', u'\xE9', u'\xDF', u'\xFF', u'\u0100', u'\u0130',
    u'\u0131', u'\u017F', u'\u212A', u'\u1E9E', u'\u0301',
    // blanks, separators and digits outside ASCII
    u'\u2028', u'\u2029', u'\u3000', u'\u2007', u'\u202F', u'\u0660', u'\uFF10', u'\u066B',
    // look-alikes of the path punctuation
    u'\uFF1A', u'\uFF3C', u'\u2215', u'\uFF0E', u'\uFE56', u'\uFF02',
    // the ends of the BMP and the surrogate ranges, paired and alone
    u'\uFEFF', u'\uFFFD', u'\uFFFE', u'\uFFFF', 0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0xD83D, 0xDE00,
    0xD834, 0xDD1E,
    // wide letters
    u'\u4E2D', u'\u6587', u'\u03A9', u'\u0416',
    // the characters above again, so that they weigh more than the rarities
    u'\\', u'\\', u'\\', u'\\', u':', u':', u'.', u'.', u' ', u' ', u'\\', u':', u'%', u'%', u'"',
    u'\r', u'\n', u'\t', u'?', u'/', u'a', u'A', u'c', u'x', u'\\', u' ', u'.', u'\\', u':', u'C',
    u'R', u'L', u'F', u' ', u'\\', u'%'};
static_assert(sizeof(kSpecialUnits) / sizeof(kSpecialUnits[0]) == 128);

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Empty() const { return pos_ >= size_; }

  // Raw values; 0 once the input is used up.
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  // Little-endian; the parts are read in separate statements, as the operands of | are not
  // sequenced.
  uint16_t U16() {
    const uint16_t low = Byte();
    return static_cast<uint16_t>(low | (Byte() << 8));
  }
  uint32_t U32() {
    const uint32_t low = U16();
    return low | (static_cast<uint32_t>(U16()) << 16);
  }
  uint64_t U64() {
    const uint64_t low = U32();
    return low | (static_cast<uint64_t>(U32()) << 32);
  }
  double Double() {
    const uint64_t bits = U64();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }

  // Mostly small numbers around the interesting edges; 0xFF brings a full 32-bit value.
  int32_t SmallOrFullInt() {
    const uint8_t b = Byte();
    if (b != 0xFF) return static_cast<int32_t>(b) - 16;
    const uint32_t raw = U32();
    int32_t value;
    std::memcpy(&value, &raw, sizeof value);
    return value;
  }

  // Bytes up to the next 0x00 (not included), undecoded.
  std::vector<uint8_t> RawField() {
    std::vector<uint8_t> out;
    while (pos_ < size_ && data_[pos_] != 0) out.push_back(data_[pos_++]);
    if (pos_ < size_) ++pos_;
    return out;
  }

  // Text up to the next 0x00.
  std::wstring Field() {
    std::wstring out;
    while (pos_ < size_ && data_[pos_] != 0) out += NextUnit();
    if (pos_ < size_) ++pos_;
    return out;
  }

  // All the text that is left; 0x00 stands for NUL here.
  std::wstring Rest() {
    std::wstring out;
    while (pos_ < size_) {
      if (data_[pos_] == 0) {
        ++pos_;
        out += L'\0';
      } else {
        out += NextUnit();
      }
    }
    return out;
  }

 private:
  wchar_t NextUnit() {
    const uint8_t b = data_[pos_++];
    if (b == 0x01) return static_cast<wchar_t>(U16());
    if (b < 0x80) return static_cast<wchar_t>(b);
    return static_cast<wchar_t>(kSpecialUnits[b - 0x80]);
  }

  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// The text with everything outside printable ASCII as \uXXXX, for the report of a violation.
inline std::string Show(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    const auto code = static_cast<unsigned long>(c);
    if (c == L'\\') {
      out += "\\\\";
    } else if (code >= 0x20 && code < 0x7F) {
      out += static_cast<char>(code);
    } else {
      char buf[16];
      std::snprintf(buf, sizeof buf, "\\u%04lX", code);
      out += buf;
    }
  }
  return out;
}

[[noreturn]] inline void Violation(const char* file, int line, const char* what,
                                   const std::wstring& context) {
  std::fprintf(stderr, "\n*** invariant violated at %s:%d: %s\n*** with: \"%s\"\n", file, line,
               what, Show(context).c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace fuzz

// The condition must hold for every input; context names the text it is about.
#define FUZZ_CHECK(condition, context)                                              \
  do {                                                                              \
    if (!(condition)) ::fuzz::Violation(__FILE__, __LINE__, #condition, (context)); \
  } while (0)
