// The deleting operations walk from the last line to the first, so that deleting a line never
// moves one still to be visited.
#include "OrvexCommonControls/ccStringList.h"

#include <chrono>
#include <random>

#include "toolkit/Errors.h"
#include "toolkit/Text.h"
#include "OrvexCommonControls/ccCore.h"

namespace {

// One generator for the whole process, seeded once on first use from the clock: the runtime's
// random device would bring a second string implementation into the shipped program.
std::mt19937& ProcessRandom() {
  static std::mt19937 generator{static_cast<std::mt19937::result_type>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count())};
  return generator;
}

}  // namespace

int TTSL::FindLine(const std::wstring& needle) const {
  if (needle.empty()) return -1;
  for (int i = 0; i < Count(); ++i) {
    if (Strings(i).find(needle) != std::wstring::npos) return i;
  }
  return -1;
}

int TTSL::RemoveLines(const std::wstring& badWord) {
  int removed = 0;
  for (int i = Count() - 1; i >= 0; --i) {
    if (PosInsensitive(badWord, Strings(i)) > 0) {
      Delete(i);
      ++removed;
    }
  }
  return removed;
}

int TTSL::KeepLines(const std::wstring& keepText) {
  int removed = 0;
  for (int i = Count() - 1; i >= 0; --i) {
    if (PosInsensitive(keepText, Strings(i)) < 1) {
      Delete(i);
      ++removed;
    }
  }
  return removed;
}

void TTSL::RemoveTopLines(int count) {
  tk::Assert(count <= Count(), L"Assertion failure", L"ccStringList");
  for (int i = count - 1; i >= 0; --i) Delete(i);
}

void TTSL::RemoveEmptyLines() {
  for (int i = Count() - 1; i >= 0; --i) {
    if (Strings(i).empty()) Delete(i);
  }
}

void TTSL::Trim() {
  // A sorted list refuses in-place edits; trimming may also change the order, so the list is
  // sorted again afterwards.
  const bool wasSorted = Sorted();
  SetSorted(false);
  for (int i = Count() - 1; i >= 0; --i) Put(i, RemoveLowChars(Strings(i)));
  for (int i = Count() - 1; i >= 0; --i)
    Put(i, tk::Trim(Strings(i), tk::TrimOpt::SpacesAndControls));
  SetSorted(wasSorted);
}

void TTSL::SortReverse() {
  // Asking for the reverse order is asking for the list to stop keeping the ascending one.
  SetSorted(false);
  CustomSort([](tk::TStringList& list, int index1, int index2) {
    return tk::LocaleCompare(list[index2], list[index1], true);
  });
}

void TTSL::Shuffle() {
  SetSorted(false);
  for (int i = Count() - 1; i >= 1; --i) {
    std::uniform_int_distribution<int> pick(0, i);
    Exchange(i, pick(ProcessRandom()));
  }
}

void TTSL::RemoveDuplicateString(const std::wstring& s) {
  for (int i = Count() - 1; i >= 0; --i) {
    if (tk::SameTextAscii(Strings(i), s)) {
      Delete(i);
      return;
    }
  }
}

void TTSL::RemoveDuplicateFile(const std::wstring& fileName) {
  RemoveDuplicateString(fileName);
}

void TTSL::RemoveDuplicates() {
  Sort();
  tk::TStringList unique;
  unique.SetSorted(true);
  unique.SetDuplicates(tk::dupIgnore);
  unique.SetCaseSensitive(false);
  unique.BeginUpdate();
  for (int i = 0; i < Count(); ++i) unique.Add(Strings(i));
  unique.EndUpdate();
  Assign(unique);
  SetSorted(false);
}
