// Reads back what a rich-text file shows: the text of every paragraph and the colour it is
// written in, the way a person looking at the document would see it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

struct RtfParagraph {
  std::wstring text;
  // Colour of the paragraph's first character (the automatic colour reads as black, 0).
  COLORREF color = 0;
  // Whether every character of the paragraph has that one colour.
  bool oneColor = true;
};

// Paragraphs in document order, each ended by \par; text after the last \par forms a last
// paragraph only when it is not empty.
std::vector<RtfParagraph> ReadRtfParagraphs(const std::string& rtf);
// The same without the empty paragraph that a rich-edit control keeps after its last row (the
// place where the next row would go).
std::vector<RtfParagraph> ReadRtfRows(const std::string& rtf);

// The file as a reader that is not ours renders it: Debian's unrtf, run on the Linux side, turns
// it into HTML. Empty when unrtf could not be run.
std::string UnrtfHtml(const std::wstring& rtfFile);
// That HTML's text without its tags (characters beyond ASCII stay entities, "&#322;").
std::string TextOfHtml(const std::string& html);
// The text inside every <b>...</b> of that HTML that shows any, in order, without its tags.
std::vector<std::string> BoldRunsOf(const std::string& html);

}  // namespace testing_support
