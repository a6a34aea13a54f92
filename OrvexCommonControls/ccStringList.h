// The library's string list: TStringList with editing operations for lists of text lines.
#pragma once

#include <string>

#include "toolkit/StringList.h"

class TTSL : public tk::TStringList {
 public:
  using tk::TStringList::TStringList;

  // Index of the first line containing needle (case matters); -1 when none does or it is empty.
  int FindLine(const std::wstring& needle) const;
  // Deletes the lines containing badWord, ASCII case ignored; returns how many went.
  int RemoveLines(const std::wstring& badWord);
  // Deletes the lines not containing keepText, ASCII case ignored; returns how many went.
  int KeepLines(const std::wstring& keepText);
  // Deletes the first count lines; asking for more lines than there are is a programming error.
  void RemoveTopLines(int count);
  // Deletes the lines of length 0 (a line of blanks stays).
  void RemoveEmptyLines();
  // Removes control characters everywhere and blanks at both ends of every line.
  void Trim();
  // Descending case-sensitive locale order.
  void SortReverse();
  // Random order (Fisher-Yates).
  void Shuffle();
  // Deletes the last line equal to s, ASCII case ignored.
  void RemoveDuplicateString(const std::wstring& s);
  void RemoveDuplicateFile(const std::wstring& fileName);
  // Sorts and keeps one line of each value, compared case-insensitively; drops the objects and
  // leaves the list unsorted, case-insensitive, ignoring duplicates.
  void RemoveDuplicates();
};
