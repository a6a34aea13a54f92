// TTSL driven from the input: lines from the text, then a program of editing operations, each
// checked against a plain model of the lines and their objects. The objects are tags that must
// travel with their lines wherever an operation moves them.
// Input: the program (raw bytes up to the first 0x00), the text of the lines, then the words
// the operations use.
#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "toolkit/Errors.h"
#include "tests/fuzz/FuzzInput.h"
#include "toolkit/StringList.h"
#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/ccStringList.h"

namespace {

struct TLine {
  std::wstring text;
  void* tag = nullptr;
  bool operator==(const TLine&) const = default;
};
using TModel = std::vector<TLine>;

void* Tag(size_t n) {
  return reinterpret_cast<void*>(static_cast<uintptr_t>(n + 1));
}

TModel Snapshot(const TTSL& list) {
  TModel out;
  for (int i = 0; i < list.Count(); ++i) out.push_back({list[i], list.Objects(i)});
  return out;
}

std::wstring Show(const TModel& model) {
  std::wstring out;
  for (const TLine& line : model) out += line.text + L"\u00B6";
  return out;
}

bool ContainsIgnoringAsciiCase(const std::wstring& line, const std::wstring& word) {
  return !word.empty() && UpperCaseAscii(line).find(UpperCaseAscii(word)) != std::wstring::npos;
}

std::multiset<std::wstring> Texts(const TModel& model) {
  std::multiset<std::wstring> out;
  for (const TLine& line : model) out.insert(line.text);
  return out;
}

std::multiset<std::pair<std::wstring, uintptr_t>> Pairs(const TModel& model) {
  std::multiset<std::pair<std::wstring, uintptr_t>> out;
  for (const TLine& line : model) out.insert({line.text, reinterpret_cast<uintptr_t>(line.tag)});
  return out;
}

// Breaks at CR LF, CR or LF; a final break adds no empty line.
std::vector<std::wstring> SplitLines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  std::wstring line;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'\r' && text[i] != L'\n') {
      line += text[i];
      continue;
    }
    lines.push_back(line);
    line.clear();
    if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

class TProgram {
 public:
  TProgram(TTSL& list, std::vector<std::wstring> words) : list_(list), words_(std::move(words)) {
    if (words_.empty()) words_.push_back(L"");
  }

  void Step(uint8_t code) {
    const std::wstring& word = words_[(code >> 4) % words_.size()];
    const TModel before = Snapshot(list_);
    switch (code % 16) {
      case 0:
        return FindLine(word, before);
      case 1:
        return RemoveLines(word, before);
      case 2:
        return KeepLines(word, before);
      case 3:
        return RemoveTopLines(static_cast<int>(code >> 4) - 2, before);
      case 4:
        return RemoveEmptyLines(before);
      case 5:
        return Trim(before);
      case 6:
        return SortReverse(before);
      case 7:
        return Shuffle(before);
      case 8:
        return RemoveDuplicateString(word, before);
      case 9:
        return RemoveDuplicates(before);
      case 10:
        return ToggleSorted(static_cast<tk::TDuplicates>((code >> 4) % 3), before);
      case 11:
        return ToggleCaseSensitive(before);
      case 12:
        return Sort(before);
      case 13:
        return Add(word, before);
      case 14:
        return Exchange(code >> 4, before);
      default:
        return TextRoundTrip(before);
    }
  }

 private:
  void Expect(const TModel& expected, const wchar_t* what) {
    const TModel got = Snapshot(list_);
    FUZZ_CHECK(got == expected, std::wstring(what) + L": " + Show(got) + L" vs " + Show(expected));
  }

  // With a sorted list, every line is in its place: none sorts before the one above it.
  void ExpectOrderedIfSorted() {
    if (!list_.Sorted()) return;
    for (int i = 1; i < list_.Count(); ++i)
      FUZZ_CHECK(list_.CompareStrings(list_[i - 1], list_[i]) <= 0, Show(Snapshot(list_)));
  }

  void FindLine(const std::wstring& needle, const TModel& before) {
    int expected = -1;
    for (size_t i = 0; i < before.size() && expected < 0 && !needle.empty(); ++i)
      if (before[i].text.find(needle) != std::wstring::npos) expected = static_cast<int>(i);
    FUZZ_CHECK(list_.FindLine(needle) == expected, needle);
    Expect(before, L"FindLine");
  }

  void RemoveLines(const std::wstring& word, const TModel& before) {
    TModel expected;
    for (const TLine& line : before)
      if (!ContainsIgnoringAsciiCase(line.text, word)) expected.push_back(line);
    FUZZ_CHECK(list_.RemoveLines(word) == static_cast<int>(before.size() - expected.size()), word);
    Expect(expected, L"RemoveLines");
  }

  void KeepLines(const std::wstring& word, const TModel& before) {
    TModel expected;
    for (const TLine& line : before)
      if (ContainsIgnoringAsciiCase(line.text, word)) expected.push_back(line);
    FUZZ_CHECK(list_.KeepLines(word) == static_cast<int>(before.size() - expected.size()), word);
    Expect(expected, L"KeepLines");
  }

  void RemoveTopLines(int count, const TModel& before) {
    if (count > list_.Count()) {
      bool failed = false;
      try {
        list_.RemoveTopLines(count);
      } catch (const tk::EAssertionFailed& e) {
        failed = e.Message() == L"Assertion failure (ccStringList)";
      }
      FUZZ_CHECK(failed, std::to_wstring(count));
      return Expect(before, L"RemoveTopLines beyond the count");
    }
    list_.RemoveTopLines(count);
    TModel expected(before.begin() + std::max(count, 0), before.end());
    Expect(expected, L"RemoveTopLines");
  }

  void RemoveEmptyLines(const TModel& before) {
    TModel expected;
    for (const TLine& line : before)
      if (!line.text.empty()) expected.push_back(line);
    list_.RemoveEmptyLines();
    Expect(expected, L"RemoveEmptyLines");
  }

  // No control character anywhere, no blank or control character at either end, same count;
  // a sorted list stays sorted.
  void Trim(const TModel& before) {
    TModel expected;
    for (const TLine& line : before) {
      std::wstring text;
      for (wchar_t c : line.text)
        if (c >= 32) text += c;
      const size_t first = text.find_first_not_of(L' ');
      text = first == std::wstring::npos
                 ? L""
                 : text.substr(first, text.find_last_not_of(L' ') - first + 1);
      expected.push_back({text, line.tag});
    }
    const bool wasSorted = list_.Sorted();
    list_.Trim();
    const TModel got = Snapshot(list_);
    for (const TLine& line : got) {
      for (wchar_t c : line.text) FUZZ_CHECK(c >= 32, line.text);
      FUZZ_CHECK(line.text.empty() || (line.text.front() > 0x20 && line.text.back() > 0x20),
                 line.text);
    }
    FUZZ_CHECK(list_.Sorted() == wasSorted, Show(got));
    if (wasSorted) StableSort(expected);
    Expect(expected, L"Trim");
    ExpectOrderedIfSorted();
  }

  void SortReverse(const TModel& before) {
    list_.SortReverse();
    const TModel got = Snapshot(list_);
    FUZZ_CHECK(!list_.Sorted(), Show(got));
    FUZZ_CHECK(Pairs(got) == Pairs(before), Show(got));
    for (size_t i = 1; i < got.size(); ++i)
      FUZZ_CHECK(tk::LocaleCompare(got[i - 1].text, got[i].text, true) >= 0, Show(got));
  }

  void Shuffle(const TModel& before) {
    list_.Shuffle();
    FUZZ_CHECK(!list_.Sorted(), Show(before));
    FUZZ_CHECK(Pairs(Snapshot(list_)) == Pairs(before), Show(before));
  }

  void RemoveDuplicateString(const std::wstring& s, const TModel& before) {
    TModel expected = before;
    for (size_t i = expected.size(); i-- > 0;) {
      if (UpperCaseAscii(expected[i].text) == UpperCaseAscii(s)) {
        expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(i));
        break;
      }
    }
    list_.RemoveDuplicateString(s);
    Expect(expected, L"RemoveDuplicateString");
  }

  // One line of each value: no two lines left equal ignoring ASCII case, every value that was
  // there still is, nothing new, objects dropped, the list's settings back to their defaults.
  void RemoveDuplicates(const TModel& before) {
    list_.RemoveDuplicates();
    const TModel got = Snapshot(list_);
    FUZZ_CHECK(!list_.Sorted() && !list_.CaseSensitive() && list_.Duplicates() == tk::dupIgnore,
               Show(got));
    std::set<std::wstring> folded;
    const std::multiset<std::wstring> was = Texts(before);
    for (const TLine& line : got) {
      FUZZ_CHECK(line.tag == nullptr, line.text);
      FUZZ_CHECK(folded.insert(UpperCaseAscii(line.text)).second, Show(got));
      FUZZ_CHECK(was.count(line.text) > 0, line.text);
    }
    // In ascending order, so every former line finds its value by bisection.
    for (size_t i = 1; i < got.size(); ++i)
      FUZZ_CHECK(list_.CompareStrings(got[i - 1].text, got[i].text) < 0, Show(got));
    for (const TLine& line : before) {
      const auto at = std::lower_bound(got.begin(), got.end(), line.text,
                                       [this](const TLine& a, const std::wstring& b) {
                                         return list_.CompareStrings(a.text, b) < 0;
                                       });
      FUZZ_CHECK(at != got.end() && list_.CompareStrings(at->text, line.text) == 0, line.text);
    }
  }

  // Switching sorted mode on sorts stably; off keeps the order.
  void ToggleSorted(tk::TDuplicates duplicates, const TModel& before) {
    const bool sorted = !list_.Sorted();
    list_.SetDuplicates(duplicates);
    list_.SetSorted(sorted);
    TModel expected = before;
    if (sorted) StableSort(expected);
    Expect(expected, L"SetSorted");
    ExpectOrderedIfSorted();
  }

  void ToggleCaseSensitive(const TModel& before) {
    list_.SetCaseSensitive(!list_.CaseSensitive());
    TModel expected = before;
    if (list_.Sorted()) StableSort(expected);
    Expect(expected, L"SetCaseSensitive");
    ExpectOrderedIfSorted();
  }

  void Sort(const TModel& before) {
    list_.Sort();
    TModel expected = before;
    StableSort(expected);
    Expect(expected, L"Sort");
  }

  // Unsorted: appended. Sorted: before the first line not below it; a line already there is
  // then dropped, kept or refused as the duplicates setting says.
  void Add(const std::wstring& word, const TModel& before) {
    void* tag = Tag(nextTag_++);
    TModel expected = before;
    if (!list_.Sorted()) {
      FUZZ_CHECK(list_.AddObject(word, tag) == static_cast<int>(before.size()), word);
      expected.push_back({word, tag});
      return Expect(expected, L"Add");
    }
    const auto at = std::lower_bound(expected.begin(), expected.end(), word,
                                     [this](const TLine& a, const std::wstring& b) {
                                       return list_.CompareStrings(a.text, b) < 0;
                                     });
    const int position = static_cast<int>(at - expected.begin());
    const bool present = at != expected.end() && list_.CompareStrings(at->text, word) == 0;
    if (present && list_.Duplicates() == tk::dupError) {
      bool refused = false;
      try {
        list_.AddObject(word, tag);
      } catch (const tk::Exception& e) {
        refused = e.Message() == L"String list does not allow duplicates";
      }
      FUZZ_CHECK(refused, word);
      return Expect(before, L"Add of a refused duplicate");
    }
    FUZZ_CHECK(list_.AddObject(word, tag) == position, word);
    if (!(present && list_.Duplicates() == tk::dupIgnore)) expected.insert(at, {word, tag});
    Expect(expected, L"Add");
    ExpectOrderedIfSorted();
  }

  void Exchange(int from, const TModel& before) {
    if (before.empty()) return;
    const int a = from % list_.Count();
    const int b = list_.Count() - 1;
    if (list_.Sorted()) {
      bool refused = false;
      try {
        list_.Exchange(a, b);
      } catch (const tk::Exception& e) {
        refused = e.Message() == L"Operation not allowed on sorted list";
      }
      FUZZ_CHECK(refused, Show(before));
      return Expect(before, L"Exchange on a sorted list");
    }
    list_.Exchange(a, b);
    TModel expected = before;
    std::swap(expected[static_cast<size_t>(a)], expected[static_cast<size_t>(b)]);
    Expect(expected, L"Exchange");
  }

  // Lines never hold line breaks here, so the text gives the same lines back.
  void TextRoundTrip(const TModel& before) {
    TTSL copy;
    copy.SetText(list_.Text());
    FUZZ_CHECK(copy.Count() == static_cast<int>(before.size()), Show(before));
    for (int i = 0; i < copy.Count(); ++i) FUZZ_CHECK(copy[i] == before[i].text, Show(before));
  }

  void StableSort(TModel& model) const {
    std::stable_sort(model.begin(), model.end(), [this](const TLine& a, const TLine& b) {
      return list_.CompareStrings(a.text, b.text) < 0;
    });
  }

  TTSL& list_;
  std::vector<std::wstring> words_;
  size_t nextTag_ = 1u << 20;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const std::vector<uint8_t> program = in.RawField();
  const std::wstring text = in.Field();
  std::vector<std::wstring> words;
  while (!in.Empty()) {
    // A word is one line: words with line breaks would make TextRoundTrip meaningless.
    std::wstring word = in.Field();
    word.erase(std::remove_if(word.begin(), word.end(),
                              [](wchar_t c) { return c == L'\r' || c == L'\n'; }),
               word.end());
    words.push_back(word);
  }

  TTSL list;
  list.SetText(text);
  const std::vector<std::wstring> lines = SplitLines(text);
  FUZZ_CHECK(list.Count() == static_cast<int>(lines.size()), text);
  for (int i = 0; i < list.Count(); ++i) {
    FUZZ_CHECK(list[i] == lines[static_cast<size_t>(i)], text);
    list.PutObject(i, Tag(static_cast<size_t>(i)));
  }

  TProgram run(list, std::move(words));
  for (size_t step = 0; step < program.size() && step < 24; ++step) run.Step(program[step]);
  return 0;
}
