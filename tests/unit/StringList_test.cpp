// TStringList (the toolkit's string list) and TTSL (the library's line-editing operations).
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "tests/support/Thrown.h"
#include "toolkit/Errors.h"
#include "toolkit/StringList.h"
#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/ccStringList.h"

using namespace testing_support;

namespace {

std::vector<std::wstring> Lines(const tk::TStringList& list) {
  std::vector<std::wstring> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list[i]);
  return out;
}

template <class L = TTSL>
L ListOf(std::initializer_list<const wchar_t*> lines) {
  L list;
  for (const wchar_t* line : lines) list.Add(line);
  return list;
}

using W = std::vector<std::wstring>;

// The platform's case-sensitive order of two texts, asked of it directly.
int PlatformOrder(const std::wstring& a, const std::wstring& b) {
#ifdef _WIN32
  return ::CompareStringW(LOCALE_USER_DEFAULT, 0, a.c_str(), -1, b.c_str(), -1) - CSTR_EQUAL;
#else
  return std::wcscoll(a.c_str(), b.c_str());
#endif
}

}  // namespace

// ---------------------------------------------------------------- TStringList

TEST(StringList, AddAppendsAndReturnsIndex) {
  tk::TStringList list;
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Add(L"b"), 0);
  EXPECT_EQ(list.Add(L"a"), 1);
  EXPECT_EQ(list.Add(L"b"), 2);  // unsorted lists keep duplicates
  EXPECT_EQ(Lines(list), (W{L"b", L"a", L"b"}));
  EXPECT_EQ(list.Strings(1), L"a");
}

TEST(StringList, IndexOutOfBoundsNamesTheIndex) {
  tk::TStringList list = ListOf<tk::TStringList>({L"a", L"b"});
  EXPECT_EQ(ThrownMessage<tk::Exception>([&] { (void)list[2]; }), L"List index out of bounds (2)");
  EXPECT_EQ(ThrownMessage<tk::Exception>([&] { list.Delete(-1); }),
            L"List index out of bounds (-1)");
  EXPECT_THROW(list.Put(5, L"x"), tk::Exception);
  EXPECT_THROW((void)list.Objects(2), tk::Exception);
  EXPECT_THROW(list.PutObject(2, nullptr), tk::Exception);
  EXPECT_THROW(list.Exchange(0, 2), tk::Exception);
  EXPECT_THROW(list.Insert(3, L"x"), tk::Exception);
  EXPECT_EQ(Lines(list), (W{L"a", L"b"}));
}

TEST(StringList, ObjectsTravelWithTheirLines) {
  int one = 1, two = 2, three = 3;
  tk::TStringList list;
  list.AddObject(L"one", &one);
  list.AddObject(L"two", &two);
  list.Add(L"none");
  list.InsertObject(0, L"three", &three);
  EXPECT_EQ(list.Objects(0), &three);
  EXPECT_EQ(list.Objects(3), nullptr);
  list.Exchange(0, 2);
  EXPECT_EQ(list[2], L"three");
  EXPECT_EQ(list.Objects(2), &three);
  EXPECT_EQ(list.Objects(0), &two);
  list.Delete(0);
  EXPECT_EQ(list.Objects(0), &one);
  EXPECT_EQ(list.Objects(1), &three);
  list.PutObject(2, &two);
  EXPECT_EQ(list.Objects(2), &two);
}

TEST(StringList, InsertPutDeleteExchange) {
  tk::TStringList list = ListOf<tk::TStringList>({L"a", L"c"});
  list.Insert(1, L"b");
  list.Insert(3, L"d");  // at Count: appends
  EXPECT_EQ(Lines(list), (W{L"a", L"b", L"c", L"d"}));
  list.Put(0, L"A");
  list.Exchange(1, 3);
  list.Delete(2);
  EXPECT_EQ(Lines(list), (W{L"A", L"d", L"b"}));
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(StringList, SortedAddGoesToItsPlace) {
  tk::TStringList list;
  list.SetSorted(true);
  EXPECT_EQ(list.Add(L"m"), 0);
  EXPECT_EQ(list.Add(L"z"), 1);
  EXPECT_EQ(list.Add(L"a"), 0);
  EXPECT_EQ(list.Add(L"q"), 2);
  EXPECT_EQ(Lines(list), (W{L"a", L"m", L"q", L"z"}));
}

TEST(StringList, SortedDuplicatesIgnoredByDefault) {
  tk::TStringList list;
  list.SetSorted(true);
  EXPECT_EQ(list.Duplicates(), tk::dupIgnore);
  list.Add(L"a");
  list.Add(L"b");
  EXPECT_EQ(list.Add(L"b"), 1);
  EXPECT_EQ(list.Add(L"B"), 1);  // case-insensitive by default
  EXPECT_EQ(Lines(list), (W{L"a", L"b"}));
}

TEST(StringList, SortedDuplicatesAcceptedOrRefused) {
  tk::TStringList accept;
  accept.SetSorted(true);
  accept.SetDuplicates(tk::dupAccept);
  accept.Add(L"b");
  accept.Add(L"a");
  accept.Add(L"b");
  EXPECT_EQ(Lines(accept), (W{L"a", L"b", L"b"}));

  tk::TStringList refuse;
  refuse.SetSorted(true);
  refuse.SetDuplicates(tk::dupError);
  refuse.Add(L"a");
  EXPECT_EQ(ThrownMessage<tk::Exception>([&] { refuse.Add(L"A"); }),
            L"String list does not allow duplicates");
  EXPECT_EQ(refuse.Count(), 1);
}

TEST(StringList, CaseSensitiveSortedListKeepsBothCases) {
  tk::TStringList list;
  list.SetCaseSensitive(true);
  list.SetSorted(true);
  list.Add(L"a");
  list.Add(L"A");
  EXPECT_EQ(list.Count(), 2);
  EXPECT_NE(list.IndexOf(L"a"), list.IndexOf(L"A"));
}

TEST(StringList, SwitchingSortedOnSortsExistingLines) {
  tk::TStringList list = ListOf<tk::TStringList>({L"c", L"a", L"b"});
  list.SetSorted(true);
  EXPECT_EQ(Lines(list), (W{L"a", L"b", L"c"}));
  list.SetSorted(false);
  list.Add(L"0");
  EXPECT_EQ(list[3], L"0");  // unsorted again: appended
}

TEST(StringList, SortedListRefusesEditsThatBreakTheOrder) {
  tk::TStringList list = ListOf<tk::TStringList>({L"a", L"b"});
  list.SetSorted(true);
  const std::wstring refused = L"Operation not allowed on sorted list";
  EXPECT_EQ(ThrownMessage<tk::Exception>([&] { list.Insert(0, L"z"); }), refused);
  EXPECT_EQ(ThrownMessage<tk::Exception>([&] { list.Put(0, L"z"); }), refused);
  EXPECT_EQ(ThrownMessage<tk::Exception>([&] { list.Exchange(0, 1); }), refused);
  EXPECT_EQ(ThrownMessage<tk::Exception>(
                [&] { list.CustomSort([](tk::TStringList&, int, int) { return 0; }); }),
            refused);
  EXPECT_EQ(Lines(list), (W{L"a", L"b"}));
}

TEST(StringList, IndexOfHonoursCaseSensitivity) {
  tk::TStringList list = ListOf<tk::TStringList>({L"Alpha", L"beta"});
  EXPECT_EQ(list.IndexOf(L"BETA"), 1);
  EXPECT_EQ(list.IndexOf(L"gamma"), -1);
  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOf(L"BETA"), -1);
  EXPECT_EQ(list.IndexOf(L"beta"), 1);
}

TEST(StringList, FindInSortedListGivesPositionOrInsertionPoint) {
  tk::TStringList list = ListOf<tk::TStringList>({L"d", L"b", L"f", L"h"});
  list.SetSorted(true);  // b d f h
  int index = -1;
  EXPECT_TRUE(list.Find(L"f", index));
  EXPECT_EQ(index, 2);
  EXPECT_TRUE(list.Find(L"B", index));
  EXPECT_EQ(index, 0);
  EXPECT_FALSE(list.Find(L"e", index));
  EXPECT_EQ(index, 2);
  EXPECT_FALSE(list.Find(L"a", index));
  EXPECT_EQ(index, 0);
  EXPECT_FALSE(list.Find(L"z", index));
  EXPECT_EQ(index, 4);
}

TEST(StringList, FindInSortedListGivesFirstOfEqualLines) {
  tk::TStringList list;
  list.SetSorted(true);
  list.SetDuplicates(tk::dupAccept);
  for (const wchar_t* s : {L"a", L"b", L"b", L"b", L"b", L"c"}) list.Add(s);
  int index = -1;
  EXPECT_TRUE(list.Find(L"b", index));
  EXPECT_EQ(index, 1);
}

TEST(StringList, FindInUnsortedListScansAll) {
  tk::TStringList list = ListOf<tk::TStringList>({L"z", L"a", L"m"});
  int index = -1;
  EXPECT_TRUE(list.Find(L"m", index));
  EXPECT_EQ(index, 2);
  EXPECT_FALSE(list.Find(L"q", index));
}

TEST(StringList, SortIsAscendingAndStable) {
  int first = 1, second = 2;
  tk::TStringList list;
  list.Add(L"c");
  list.AddObject(L"B", &first);
  list.Add(L"a");
  list.AddObject(L"b", &second);
  list.Sort();  // case-insensitive: B and b are equal and keep their order
  EXPECT_EQ(Lines(list), (W{L"a", L"B", L"b", L"c"}));
  EXPECT_EQ(list.Objects(1), &first);
  EXPECT_EQ(list.Objects(2), &second);
}

TEST(StringList, SortOfManyLinesIsOrderedPermutation) {
  tk::TStringList list;
  std::vector<std::wstring> expected;
  unsigned seed = 12345;
  for (int i = 0; i < 500; ++i) {
    seed = seed * 1103515245u + 12345u;
    std::wstring line;
    const int length = 1 + static_cast<int>(seed >> 29);
    for (int k = 0; k < length; ++k) {
      seed = seed * 1103515245u + 12345u;
      line += static_cast<wchar_t>(L'a' + (seed >> 16) % 26);
    }
    list.Add(line);
    expected.push_back(line);
  }
  list.Sort();
  for (int i = 1; i < list.Count(); ++i) {
    ASSERT_LE(list.CompareStrings(list[i - 1], list[i]), 0) << "at " << i;
  }
  std::vector<std::wstring> got = Lines(list);
  std::sort(got.begin(), got.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(got, expected);
}

TEST(StringList, CustomSortComparesTheNamedLines) {
  tk::TStringList list = ListOf<tk::TStringList>({L"ccc", L"a", L"dddd", L"bb"});
  list.CustomSort([](tk::TStringList& l, int i1, int i2) {
    return static_cast<int>(l[i1].size()) - static_cast<int>(l[i2].size());
  });
  EXPECT_EQ(Lines(list), (W{L"a", L"bb", L"ccc", L"dddd"}));
}

TEST(StringList, CustomSortSurvivesAnInconsistentComparison) {
  tk::TStringList list;
  for (int i = 0; i < 300; ++i) list.Add(std::to_wstring(i));
  unsigned state = 1;
  list.CustomSort([&state](tk::TStringList&, int, int) {
    state = state * 1664525u + 1013904223u;
    return static_cast<int>(state >> 30) - 1;
  });
  std::vector<std::wstring> got = Lines(list);
  std::sort(got.begin(), got.end());
  std::vector<std::wstring> expected;
  for (int i = 0; i < 300; ++i) expected.push_back(std::to_wstring(i));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(got, expected);
}

TEST(StringList, ChangingCaseSensitivityResortsSortedList) {
  tk::TStringList list;
  list.SetSorted(true);
  list.SetDuplicates(tk::dupAccept);
  for (const wchar_t* s : {L"b", L"A", L"a", L"B"}) list.Add(s);
  list.SetCaseSensitive(true);
  for (int i = 1; i < list.Count(); ++i) {
    EXPECT_LE(list.CompareStrings(list[i - 1], list[i]), 0);
  }
  int index = -1;
  EXPECT_TRUE(list.Find(L"B", index));
  EXPECT_EQ(list[index], L"B");
}

TEST(StringList, TextEndsEveryLineWithCrLf) {
  EXPECT_EQ(ListOf<tk::TStringList>({L"a", L"", L"b"}).Text(), L"a\r\n\r\nb\r\n");
  EXPECT_EQ(tk::TStringList().Text(), L"");
}

TEST(StringList, SetTextSplitsAtAnyLineBreak) {
  tk::TStringList list;
  list.SetText(L"a\r\nb\rc\nd");
  EXPECT_EQ(Lines(list), (W{L"a", L"b", L"c", L"d"}));
  list.SetText(L"a\n\nb");
  EXPECT_EQ(Lines(list), (W{L"a", L"", L"b"}));
  list.SetText(L"a\r\r\nb");
  EXPECT_EQ(Lines(list), (W{L"a", L"", L"b"}));
  list.SetText(L"\n\r");  // LF then CR: two breaks, not one pair
  EXPECT_EQ(Lines(list), (W{L"", L""}));
}

TEST(StringList, SetTextFinalBreakAddsNoLine) {
  tk::TStringList list;
  list.SetText(L"a\r\n");
  EXPECT_EQ(Lines(list), (W{L"a"}));
  list.SetText(L"\r\n");
  EXPECT_EQ(Lines(list), (W{L""}));
  list.SetText(L"");
  EXPECT_EQ(list.Count(), 0);
}

TEST(StringList, TextRoundTrips) {
  tk::TStringList list = ListOf<tk::TStringList>({L"one", L"", L"  three "});
  tk::TStringList copy;
  copy.SetText(list.Text());
  EXPECT_EQ(Lines(copy), Lines(list));
}

TEST(StringList, SetTextOnSortedListSorts) {
  tk::TStringList list;
  list.SetSorted(true);
  list.SetText(L"c\r\na\r\nb\r\na\r\n");
  EXPECT_EQ(Lines(list), (W{L"a", L"b", L"c"}));
}

TEST(StringList, UpdateBatchRaisesOneChange) {
  tk::TStringList list;
  int changes = 0;
  list.OnChange = [&changes](tk::TStringList&) { ++changes; };
  list.Add(L"a");
  list.Add(L"b");
  EXPECT_EQ(changes, 2);
  list.BeginUpdate();
  list.Add(L"c");
  list.Delete(0);
  list.BeginUpdate();
  list.Add(L"d");
  list.EndUpdate();
  EXPECT_EQ(changes, 2);
  list.EndUpdate();
  EXPECT_EQ(changes, 3);
  list.EndUpdate();  // unbalanced: harmless
  list.Add(L"e");
  EXPECT_EQ(changes, 4);
  list.SetText(L"x\ny\nz");
  EXPECT_EQ(changes, 5);
}

TEST(StringList, FailedSetTextEndsItsBatch) {
  tk::TStringList list;
  list.SetSorted(true);
  list.SetDuplicates(tk::dupError);
  int changes = 0;
  list.OnChange = [&changes](tk::TStringList&) { ++changes; };
  EXPECT_THROW(list.SetText(L"a\nb\na"), tk::Exception);
  const int afterFailure = changes;
  list.Add(L"c");
  EXPECT_EQ(changes, afterFailure + 1);
}

TEST(StringList, AssignCopiesLinesObjectsAndSettings) {
  int tag = 7;
  tk::TStringList source;
  source.SetCaseSensitive(true);
  source.SetDuplicates(tk::dupError);
  source.SetSorted(true);
  source.AddObject(L"b", &tag);
  source.Add(L"a");
  tk::TStringList target = ListOf<tk::TStringList>({L"old"});
  target.Assign(source);
  EXPECT_EQ(Lines(target), (W{L"a", L"b"}));
  EXPECT_EQ(target.Objects(1), &tag);
  EXPECT_TRUE(target.Sorted());
  EXPECT_TRUE(target.CaseSensitive());
  EXPECT_EQ(target.Duplicates(), tk::dupError);
  target.Delete(0);
  EXPECT_EQ(source.Count(), 2);
  target.Assign(target);
  EXPECT_EQ(Lines(target), (W{L"b"}));
}

// ---------------------------------------------------------------- TTSL

TEST(TSL, FindLineIsCaseSensitiveFromTheTop) {
  TTSL list = ListOf({L"Warning", L"warning", L"warning 2"});
  EXPECT_EQ(list.FindLine(L"warn"), 1);
  EXPECT_EQ(list.FindLine(L"Warn"), 0);
  EXPECT_EQ(list.FindLine(L"WARN"), -1);
  EXPECT_EQ(list.FindLine(L""), -1);
  EXPECT_EQ(TTSL().FindLine(L"x"), -1);
}

TEST(TSL, RemoveLinesIgnoresAsciiCase) {
  TTSL list = ListOf({L"Error 5", L"fine", L"no ERRORS", L"ok"});
  EXPECT_EQ(list.RemoveLines(L"error"), 2);
  EXPECT_EQ(Lines(list), (W{L"fine", L"ok"}));
}

TEST(TSL, RemoveLinesDeletesNeighbouringMatches) {
  int tag = 1;
  TTSL list = ListOf({L"err a", L"err b", L"keep", L"err c", L"err d"});
  list.PutObject(2, &tag);
  EXPECT_EQ(list.RemoveLines(L"ERR"), 4);
  EXPECT_EQ(Lines(list), (W{L"keep"}));
  EXPECT_EQ(list.Objects(0), &tag);
}

TEST(TSL, RemoveLinesWithEmptyWordDeletesNothing) {
  TTSL list = ListOf({L"a", L""});
  EXPECT_EQ(list.RemoveLines(L""), 0);
  EXPECT_EQ(list.Count(), 2);
}

TEST(TSL, CaseFoldingIsAsciiOnly) {
  TTSL list = ListOf({L"\u00C9cole", L"caf\u00E9", L"plain"});
  EXPECT_EQ(list.RemoveLines(L"\u00E9"), 1);
  EXPECT_EQ(Lines(list), (W{L"\u00C9cole", L"plain"}));
}

TEST(TSL, KeepLinesDeletesTheOthers) {
  TTSL list = ListOf({L"x", L"OK 1", L"y", L"z", L"fine, ok"});
  EXPECT_EQ(list.KeepLines(L"ok"), 3);
  EXPECT_EQ(Lines(list), (W{L"OK 1", L"fine, ok"}));
}

TEST(TSL, KeepLinesWithEmptyTextDeletesAll) {
  TTSL list = ListOf({L"a", L"", L"c"});
  EXPECT_EQ(list.KeepLines(L""), 3);
  EXPECT_EQ(list.Count(), 0);
}

TEST(TSL, RemoveTopLinesDeletesFromTheTop) {
  TTSL list = ListOf({L"1", L"2", L"3", L"4"});
  list.RemoveTopLines(2);
  EXPECT_EQ(Lines(list), (W{L"3", L"4"}));
  list.RemoveTopLines(0);
  list.RemoveTopLines(-3);
  EXPECT_EQ(list.Count(), 2);
  list.RemoveTopLines(2);
  EXPECT_EQ(list.Count(), 0);
  list.RemoveTopLines(0);
  EXPECT_EQ(list.Count(), 0);
}

TEST(TSL, RemoveTopLinesBeyondCountFailsAndDeletesNothing) {
  EXPECT_EQ(ThrownMessage<tk::EAssertionFailed>([] { TTSL().RemoveTopLines(1); }),
            L"Assertion failure (ccStringList)");
  TTSL list = ListOf({L"1", L"2"});
  EXPECT_THROW(list.RemoveTopLines(3), tk::EAssertionFailed);
  EXPECT_EQ(Lines(list), (W{L"1", L"2"}));
}

TEST(TSL, RemoveEmptyLinesKeepsBlankLines) {
  TTSL list = ListOf({L"", L"", L"a", L" ", L"", L"b", L""});
  list.RemoveEmptyLines();
  EXPECT_EQ(Lines(list), (W{L"a", L" ", L"b"}));
}

TEST(TSL, TrimRemovesControlsEverywhereAndBlanksAtEnds) {
  TTSL list = ListOf({L"\tx\t ", L"\r\n", L"in  side"});
  list.Insert(1, std::wstring(L"  a\x01") + L"b  ");
  list.Add(std::wstring(L" c\0d ", 5));
  list.Trim();
  EXPECT_EQ(Lines(list), (W{L"x", L"ab", L"", L"in  side", L"cd"}));
}

TEST(TSL, TrimKeepsNonBreakingSpace) {
  TTSL list = ListOf({L"\u00A0x\u00A0"});
  list.Trim();
  EXPECT_EQ(list[0], L"\u00A0x\u00A0");
}

TEST(TSL, BlankLineTrimmedThenRemoved) {
  TTSL list = ListOf({L"a", L" "});
  list.RemoveEmptyLines();
  EXPECT_EQ(list.Count(), 2);
  list.Trim();
  EXPECT_EQ(Lines(list), (W{L"a", L""}));
  list.RemoveEmptyLines();
  EXPECT_EQ(Lines(list), (W{L"a"}));
}

TEST(TSL, TrimOnSortedListKeepsItSorted) {
  TTSL list = ListOf({L"b", L" c", L"\ta"});
  list.SetSorted(true);
  list.Trim();
  EXPECT_TRUE(list.Sorted());
  EXPECT_EQ(Lines(list), (W{L"a", L"b", L"c"}));
  int index = -1;
  EXPECT_TRUE(list.Find(L"c", index));
}

TEST(TSL, SortReverseIsDescending) {
  TTSL list = ListOf({L"b", L"a", L"c"});
  list.SortReverse();
  EXPECT_EQ(Lines(list), (W{L"c", L"b", L"a"}));
}

TEST(TSL, SortReverseIsTheReverseOfACaseSensitiveSort) {
  const W lines = {L"b", L"A", L"a", L"B", L"ab", L"Ab", L"c"};
  TTSL list;
  for (const auto& line : lines) list.Add(line);
  list.SortReverse();
  W descending = lines;
  std::sort(descending.begin(), descending.end(),
            [](const std::wstring& a, const std::wstring& b) { return PlatformOrder(b, a) < 0; });
  EXPECT_EQ(Lines(list), descending);
#ifdef _WIN32
  // The user's locale orders letters before their case, and a small letter before its capital.
  EXPECT_EQ(Lines(list), (W{L"c", L"B", L"b", L"Ab", L"ab", L"A", L"a"}));
#endif
}

TEST(TSL, SortReverseOfSortedListLeavesSortedMode) {
  TTSL list = ListOf({L"a", L"c", L"b"});
  list.SetSorted(true);
  list.SortReverse();
  EXPECT_FALSE(list.Sorted());
  EXPECT_EQ(Lines(list), (W{L"c", L"b", L"a"}));
}

TEST(TSL, ShuffleKeepsTheLinesAndTheirObjects) {
  std::vector<int> tags(40);
  TTSL list;
  for (int i = 0; i < 40; ++i) list.AddObject(std::to_wstring(i), &tags[i]);
  list.Shuffle();
  ASSERT_EQ(list.Count(), 40);
  std::vector<bool> seen(40, false);
  for (int i = 0; i < 40; ++i) {
    const int value = std::stoi(list[i]);
    EXPECT_EQ(list.Objects(i), &tags[value]);
    EXPECT_FALSE(seen[value]);
    seen[value] = true;
  }
}

TEST(TSL, ShuffleOfTinyListsChangesNothing) {
  TTSL empty;
  empty.Shuffle();
  EXPECT_EQ(empty.Count(), 0);
  TTSL one = ListOf({L"x"});
  one.Shuffle();
  EXPECT_EQ(Lines(one), (W{L"x"}));
}

TEST(TSL, ShuffleReachesEveryOrder) {
  // 6000 shuffles of three lines: each of the six orders is expected 1000 times; a biased or
  // cyclic-only shuffle misses orders or lands far below that.
  std::map<W, int> counts;
  for (int round = 0; round < 6000; ++round) {
    TTSL list = ListOf({L"a", L"b", L"c"});
    list.Shuffle();
    ++counts[Lines(list)];
  }
  ASSERT_EQ(counts.size(), 6u);
  for (const auto& [order, count] : counts) EXPECT_GT(count, 700);
}

TEST(TSL, RemoveDuplicateStringDeletesOnlyTheLastMatch) {
  TTSL list = ListOf({L"a", L"B", L"A"});
  list.RemoveDuplicateString(L"a");
  EXPECT_EQ(Lines(list), (W{L"a", L"B"}));
  list.RemoveDuplicateString(L"a");
  EXPECT_EQ(Lines(list), (W{L"B"}));
  list.RemoveDuplicateString(L"zzz");
  list.RemoveDuplicateString(L"");
  list.RemoveDuplicateString(L"BB");
  EXPECT_EQ(Lines(list), (W{L"B"}));
}

TEST(TSL, RemoveDuplicateStringComparesWholeLinesAsciiCaseOnly) {
  TTSL list = ListOf({L"ab", L"\u00E9", L"", L"x"});
  list.RemoveDuplicateString(L"a");
  list.RemoveDuplicateString(L"\u00C9");
  EXPECT_EQ(list.Count(), 4);
  list.RemoveDuplicateString(L"");
  EXPECT_EQ(Lines(list), (W{L"ab", L"\u00E9", L"x"}));
}

TEST(TSL, RemoveDuplicateFileMatchesFileNamesIgnoringCase) {
  TTSL list = ListOf({L"C:\\Dir\\File.txt", L"D:\\other.txt", L"c:\\dir\\FILE.TXT"});
  list.RemoveDuplicateFile(L"C:\\DIR\\file.txt");
  EXPECT_EQ(Lines(list), (W{L"C:\\Dir\\File.txt", L"D:\\other.txt"}));
}

TEST(TSL, RemoveDuplicatesKeepsOneOfEachValueInOrder) {
  TTSL list = ListOf({L"b", L"A", L"a", L"B"});
  list.RemoveDuplicates();
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(UpperCaseAscii(list[0]), L"A");
  EXPECT_EQ(UpperCaseAscii(list[1]), L"B");
}

TEST(TSL, RemoveDuplicatesLeavesItsSettingsAndDropsObjects) {
  int tag = 1;
  TTSL list;
  list.SetCaseSensitive(true);
  list.SetDuplicates(tk::dupError);
  list.AddObject(L"b", &tag);
  list.Add(L"c");
  list.Add(L"B");
  list.Add(L"c");
  list.RemoveDuplicates();
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(UpperCaseAscii(list[0]), L"B");
  EXPECT_EQ(list[1], L"c");
  EXPECT_EQ(list.Objects(0), nullptr);
  EXPECT_FALSE(list.Sorted());
  EXPECT_FALSE(list.CaseSensitive());
  EXPECT_EQ(list.Duplicates(), tk::dupIgnore);
  list.Add(L"a");  // unsorted now: appended
  EXPECT_EQ(list[2], L"a");
}

TEST(TSL, OperationsAcceptAnEmptyList) {
  TTSL list;
  EXPECT_EQ(list.RemoveLines(L"x"), 0);
  EXPECT_EQ(list.KeepLines(L"x"), 0);
  list.RemoveEmptyLines();
  list.Trim();
  list.SortReverse();
  list.RemoveDuplicateString(L"x");
  list.RemoveDuplicates();
  EXPECT_EQ(list.Count(), 0);
}
