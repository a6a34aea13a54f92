#include "toolkit/StringList.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include "toolkit/Errors.h"
#include "toolkit/Text.h"

namespace tk {

namespace {

// A bottom-up merge sort of the positions 0..count-1. Unlike std::sort it stays in bounds and
// terminates even when a caller's comparison is inconsistent (say, random), and it is stable.
std::vector<int> StableOrder(int count, const std::function<bool(int, int)>& less) {
  const size_t n = count > 0 ? static_cast<size_t>(count) : 0;
  std::vector<int> order(n), merged(n);
  std::iota(order.begin(), order.end(), 0);
  for (size_t width = 1; width < n; width *= 2) {
    for (size_t lo = 0; lo < n; lo += 2 * width) {
      const size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
      size_t left = lo, right = mid, out = lo;
      while (left < mid && right < hi) {
        merged[out++] = less(order[right], order[left]) ? order[right++] : order[left++];
      }
      while (left < mid) merged[out++] = order[left++];
      while (right < hi) merged[out++] = order[right++];
    }
    order.swap(merged);
  }
  return order;
}

// Keeps BeginUpdate/EndUpdate balanced when an Add inside a batch throws.
class TUpdateScope {
 public:
  explicit TUpdateScope(TStringList& list) : list_(list) { list_.BeginUpdate(); }
  ~TUpdateScope() { list_.EndUpdate(); }
  TUpdateScope(const TUpdateScope&) = delete;
  TUpdateScope& operator=(const TUpdateScope&) = delete;

 private:
  TStringList& list_;
};

}  // namespace

const std::wstring& TStringList::Strings(int index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].text;
}

void TStringList::Put(int index, const std::wstring& s) {
  CheckNotSorted();
  CheckIndex(index);
  items_[static_cast<size_t>(index)].text = s;
  Changed();
}

void* TStringList::Objects(int index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].object;
}

void TStringList::PutObject(int index, void* object) {
  CheckIndex(index);
  items_[static_cast<size_t>(index)].object = object;
  Changed();
}

int TStringList::Add(const std::wstring& s) {
  return AddObject(s, nullptr);
}

int TStringList::AddObject(const std::wstring& s, void* object) {
  if (!sorted_) {
    InsertItem(Count(), s, object);
    return Count() - 1;
  }
  int index = 0;
  if (Find(s, index)) {
    if (duplicates_ == dupIgnore) return index;
    if (duplicates_ == dupError) throw Exception(L"String list does not allow duplicates");
  }
  InsertItem(index, s, object);
  return index;
}

void TStringList::Insert(int index, const std::wstring& s) {
  InsertObject(index, s, nullptr);
}

void TStringList::InsertObject(int index, const std::wstring& s, void* object) {
  CheckNotSorted();
  if (index != Count()) CheckIndex(index);
  InsertItem(index, s, object);
}

void TStringList::Delete(int index) {
  CheckIndex(index);
  items_.erase(items_.begin() + index);
  Changed();
}

void TStringList::Exchange(int index1, int index2) {
  CheckNotSorted();
  CheckIndex(index1);
  CheckIndex(index2);
  std::swap(items_[static_cast<size_t>(index1)], items_[static_cast<size_t>(index2)]);
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  items_.clear();
  Changed();
}

int TStringList::IndexOf(const std::wstring& s) const {
  int index = 0;
  return Find(s, index) ? index : -1;
}

bool TStringList::Find(const std::wstring& s, int& index) const {
  if (!sorted_) {
    for (index = 0; index < Count(); ++index) {
      if (CompareStrings(items_[static_cast<size_t>(index)].text, s) == 0) return true;
    }
    return false;
  }
  // Lower bound, so that among equal lines the first is found.
  int lo = 0, hi = Count();
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    if (CompareStrings(items_[static_cast<size_t>(mid)].text, s) < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  index = lo;
  return lo < Count() && CompareStrings(items_[static_cast<size_t>(lo)].text, s) == 0;
}

void TStringList::Sort() {
  ApplyOrder(StableOrder(Count(), [this](int a, int b) {
    return CompareStrings(items_[static_cast<size_t>(a)].text,
                          items_[static_cast<size_t>(b)].text) < 0;
  }));
}

void TStringList::CustomSort(const TStringListSortCompare& compare) {
  CheckNotSorted();
  ApplyOrder(
      StableOrder(Count(), [this, &compare](int a, int b) { return compare(*this, a, b) < 0; }));
}

void TStringList::SetSorted(bool sorted) {
  if (sorted == sorted_) return;
  if (sorted) Sort();
  sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool caseSensitive) {
  if (caseSensitive == caseSensitive_) return;
  caseSensitive_ = caseSensitive;
  if (sorted_) Sort();
}

std::wstring TStringList::Text() const {
  std::wstring out;
  for (const TItem& item : items_) {
    out += item.text;
    out += L"\r\n";
  }
  return out;
}

void TStringList::SetText(const std::wstring& text) {
  TUpdateScope batch(*this);
  Clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of(L"\r\n", start);
    if (end == std::wstring::npos) end = text.size();
    Add(text.substr(start, end - start));
    if (end < text.size() && text[end] == L'\r' && end + 1 < text.size() &&
        text[end + 1] == L'\n') {
      ++end;
    }
    start = end + 1;
  }
}

void TStringList::EndUpdate() {
  if (updateCount_ == 0) return;
  if (--updateCount_ == 0 && changedDuringUpdate_) Changed();
}

void TStringList::Assign(const TStringList& source) {
  if (&source == this) return;
  items_ = source.items_;
  sorted_ = source.sorted_;
  caseSensitive_ = source.caseSensitive_;
  duplicates_ = source.duplicates_;
  Changed();
}

int TStringList::CompareStrings(const std::wstring& a, const std::wstring& b) const {
  return LocaleCompare(a, b, caseSensitive_);
}

void TStringList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) {
    throw Exception(L"List index out of bounds (" + DecimalText(index) + L")");
  }
}

void TStringList::CheckNotSorted() const {
  if (sorted_) throw Exception(L"Operation not allowed on sorted list");
}

void TStringList::InsertItem(int index, const std::wstring& s, void* object) {
  items_.insert(items_.begin() + index, TItem{s, object});
  Changed();
}

void TStringList::ApplyOrder(const std::vector<int>& order) {
  if (order.size() < 2) return;
  std::vector<TItem> reordered;
  reordered.reserve(items_.size());
  for (int from : order) reordered.push_back(std::move(items_[static_cast<size_t>(from)]));
  items_.swap(reordered);
  Changed();
}

void TStringList::Changed() {
  if (updateCount_ > 0) {
    changedDuringUpdate_ = true;
    return;
  }
  changedDuringUpdate_ = false;
  if (OnChange) OnChange(*this);
}

}  // namespace tk
