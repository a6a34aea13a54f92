// An ordered, indexable list of text lines, each line carrying an optional object pointer that
// the list does not own. Optionally kept sorted (locale order), with a duplicates policy.
// StringList.cpp is portable; the locale comparison lives in StringList_win.cpp (and a stand-in
// for native builds in StringList_posix.cpp).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "toolkit/Component.h"

namespace tk {

// What Add does in sorted mode with a line that compares equal to one already in the list.
enum TDuplicates { dupIgnore, dupAccept, dupError };

// Compares two texts by the user's default locale: negative, 0 or positive like wcscmp.
int LocaleCompare(const std::wstring& a, const std::wstring& b, bool caseSensitive);

class TStringList;

// Negative when the line at index1 sorts before the line at index2, 0 when equal, else positive.
using TStringListSortCompare = std::function<int(TStringList& list, int index1, int index2)>;

class TStringList : public TObject {
 public:
  TStringList() = default;

  int Count() const { return static_cast<int>(items_.size()); }

  const std::wstring& Strings(int index) const;
  const std::wstring& operator[](int index) const { return Strings(index); }
  // Not allowed in sorted mode, where a changed line would break the order.
  void Put(int index, const std::wstring& s);

  void* Objects(int index) const;
  void PutObject(int index, void* object);

  // Index of the new line. In sorted mode the line goes to its sorted place; a duplicate is then
  // dropped (dupIgnore, returning the index of the existing line), kept, or refused (dupError).
  int Add(const std::wstring& s);
  int AddObject(const std::wstring& s, void* object);
  // Index may be Count (append). Not allowed in sorted mode.
  void Insert(int index, const std::wstring& s);
  void InsertObject(int index, const std::wstring& s, void* object);
  void Delete(int index);
  // Not allowed in sorted mode.
  void Exchange(int index1, int index2);
  void Clear();

  // First line equal to s under the list's case sensitivity; -1 when there is none.
  int IndexOf(const std::wstring& s) const;
  // True when s is in the list; index receives its position, or when absent the position where
  // it would be inserted (binary search in sorted mode, a linear scan otherwise).
  bool Find(const std::wstring& s, int& index) const;

  // Ascending locale order by the list's own case sensitivity; equal lines keep their order.
  void Sort();
  // Orders the lines by compare. The comparison sees the list unchanged during the sort, so the
  // indexes it receives always name the lines it compares. Not allowed in sorted mode.
  void CustomSort(const TStringListSortCompare& compare);

  bool Sorted() const { return sorted_; }
  // Switching sorted mode on sorts the list (existing duplicates stay).
  void SetSorted(bool sorted);
  bool CaseSensitive() const { return caseSensitive_; }
  // A sorted list is re-sorted under the new comparison.
  void SetCaseSensitive(bool caseSensitive);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates duplicates) { duplicates_ = duplicates; }

  // Every line followed by CR LF.
  std::wstring Text() const;
  // Replaces the lines by text split at CR LF, CR or LF; a final line break adds no empty line.
  void SetText(const std::wstring& text);

  // Changes between BeginUpdate and the matching EndUpdate raise OnChange once, at the end.
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();
  // Raised after each change of the lines or their order.
  std::function<void(TStringList& sender)> OnChange;

  // Copies lines, objects and the Sorted, CaseSensitive and Duplicates settings (not OnChange).
  void Assign(const TStringList& source);

  // Compares two texts the way this list does.
  int CompareStrings(const std::wstring& a, const std::wstring& b) const;

 private:
  struct TItem {
    std::wstring text;
    void* object = nullptr;
  };

  void CheckIndex(int index) const;
  void CheckNotSorted() const;
  void InsertItem(int index, const std::wstring& s, void* object);
  void ApplyOrder(const std::vector<int>& order);
  void Changed();

  std::vector<TItem> items_;
  bool sorted_ = false;
  bool caseSensitive_ = false;
  TDuplicates duplicates_ = dupIgnore;
  int updateCount_ = 0;
  bool changedDuringUpdate_ = false;
};

}  // namespace tk
