#include "tests/support/RtfReader.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <optional>

#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"

namespace testing_support {

namespace {

struct State {
  int colorIndex = 0;
  int skipAfterUnicode = 1;
  bool hidden = false;  // inside a destination whose text is not shown
};

class Reader {
 public:
  explicit Reader(const std::string& rtf) : rtf_(rtf) {}

  std::vector<RtfParagraph> Run() {
    while (pos_ < rtf_.size()) Step();
    if (!current_.text.empty()) EndParagraph();
    return paragraphs_;
  }

 private:
  void Step() {
    const char c = rtf_[pos_];
    if (c == '{') {
      ++pos_;
      stack_.push_back(state_);
      groupStart_ = true;
      return;
    }
    if (c == '}') {
      ++pos_;
      if (inColorTable_ && stack_.size() == colorTableDepth_) inColorTable_ = false;
      if (!stack_.empty()) {
        state_ = stack_.back();
        stack_.pop_back();
      }
      groupStart_ = false;
      return;
    }
    if (c == '\\') {
      ControlWord();
      groupStart_ = false;
      return;
    }
    ++pos_;
    groupStart_ = false;
    if (c == '\r' || c == '\n' || c == '\0') return;
    if (inColorTable_) {
      if (c == ';') FinishColor();
      return;
    }
    AddChar(static_cast<unsigned char>(c));
  }

  void ControlWord() {
    const bool atGroupStart = groupStart_;
    ++pos_;  // the backslash
    if (pos_ >= rtf_.size()) return;
    const char c = rtf_[pos_];
    if (!std::isalpha(static_cast<unsigned char>(c))) {
      ++pos_;
      if (c == '\'') {
        const int value = std::stoi(rtf_.substr(pos_, 2), nullptr, 16);
        pos_ += 2;
        AddAnsi(static_cast<unsigned char>(value));
      } else if (c == '*') {
        state_.hidden = true;
      } else if (c == '\\' || c == '{' || c == '}') {
        AddChar(static_cast<unsigned char>(c));
      } else if (c == '~') {
        AddChar(0xA0);
      }
      return;
    }
    const size_t start = pos_;
    while (pos_ < rtf_.size() && std::isalpha(static_cast<unsigned char>(rtf_[pos_]))) ++pos_;
    const std::string word = rtf_.substr(start, pos_ - start);
    std::optional<int> param;
    const size_t numberStart = pos_;
    if (pos_ < rtf_.size() &&
        (rtf_[pos_] == '-' || std::isdigit(static_cast<unsigned char>(rtf_[pos_])))) {
      ++pos_;
      while (pos_ < rtf_.size() && std::isdigit(static_cast<unsigned char>(rtf_[pos_]))) ++pos_;
      param = std::stoi(rtf_.substr(numberStart, pos_ - numberStart));
    }
    if (pos_ < rtf_.size() && rtf_[pos_] == ' ') ++pos_;
    Apply(word, param, atGroupStart);
  }

  void Apply(const std::string& word, std::optional<int> param, bool atGroupStart) {
    if (atGroupStart &&
        (word == "fonttbl" || word == "stylesheet" || word == "info" || word == "pict" ||
         word == "header" || word == "footer" || word == "generator")) {
      state_.hidden = true;
      return;
    }
    if (word == "colortbl") {
      inColorTable_ = true;
      colorTableDepth_ = stack_.size();
      state_.hidden = true;
      return;
    }
    if (inColorTable_) {
      if (word == "red")
        red_ = param.value_or(0);
      else if (word == "green")
        green_ = param.value_or(0);
      else if (word == "blue")
        blue_ = param.value_or(0);
      return;
    }
    if (word == "par")
      EndParagraph();
    else if (word == "cf")
      state_.colorIndex = param.value_or(0);
    else if (word == "plain")
      state_.colorIndex = 0;
    else if (word == "uc")
      state_.skipAfterUnicode = param.value_or(1);
    else if (word == "u")
      AddUnicode(param.value_or(0));
    else if (word == "tab")
      AddChar('\t');
    else if (word == "line")
      AddChar('\n');
    else if (word == "emdash")
      AddChar(0x2014);
    else if (word == "endash")
      AddChar(0x2013);
    else if (word == "lquote")
      AddChar(0x2018);
    else if (word == "rquote")
      AddChar(0x2019);
    else if (word == "ldblquote")
      AddChar(0x201C);
    else if (word == "rdblquote")
      AddChar(0x201D);
  }

  void AddUnicode(int value) {
    AddChar(static_cast<wchar_t>(value < 0 ? value + 65536 : value));
    // The fallback characters that follow stand for the same character.
    for (int i = 0; i < state_.skipAfterUnicode && pos_ < rtf_.size(); ++i) {
      if (rtf_[pos_] == '\\' && pos_ + 1 < rtf_.size() && rtf_[pos_ + 1] == '\'')
        pos_ += 4;
      else if (rtf_[pos_] == '{' || rtf_[pos_] == '}' || rtf_[pos_] == '\\')
        break;
      else
        ++pos_;
    }
  }

  void AddAnsi(unsigned char byte) {
    wchar_t wide = 0;
    char narrow = static_cast<char>(byte);
    ::MultiByteToWideChar(1252, 0, &narrow, 1, &wide, 1);
    AddChar(wide);
  }

  void AddChar(wchar_t c) {
    if (state_.hidden) return;
    const COLORREF color = ColorOf(state_.colorIndex);
    if (current_.text.empty())
      current_.color = color;
    else if (color != current_.color)
      current_.oneColor = false;
    current_.text.push_back(c);
  }

  COLORREF ColorOf(int index) const {
    if (index <= 0 || index >= static_cast<int>(colors_.size())) return 0;
    return colors_[static_cast<size_t>(index)];
  }

  void FinishColor() {
    colors_.push_back(RGB(red_, green_, blue_));
    red_ = green_ = blue_ = 0;
  }

  void EndParagraph() {
    paragraphs_.push_back(current_);
    current_ = RtfParagraph{};
  }

  const std::string& rtf_;
  size_t pos_ = 0;
  State state_;
  std::vector<State> stack_;
  bool groupStart_ = false;
  bool inColorTable_ = false;
  size_t colorTableDepth_ = 0;
  int red_ = 0, green_ = 0, blue_ = 0;
  std::vector<COLORREF> colors_;
  RtfParagraph current_;
  std::vector<RtfParagraph> paragraphs_;
};

}  // namespace

std::vector<RtfParagraph> ReadRtfParagraphs(const std::string& rtf) {
  return Reader(rtf).Run();
}

std::vector<RtfParagraph> ReadRtfRows(const std::string& rtf) {
  std::vector<RtfParagraph> rows = ReadRtfParagraphs(rtf);
  if (!rows.empty() && rows.back().text.empty()) rows.pop_back();
  return rows;
}

std::string UnrtfHtml(const std::wstring& rtfFile) {
  // Written outside drive C:, where the sandbox guard does not look.
  const std::wstring out = SandboxDir() + L"\\state\\unrtf.html";
  const std::string in = UnixPathOf(rtfFile), html = UnixPathOf(out);
  if (in.empty() || html.empty()) return {};
  if (!RunOnLinux("unrtf --html " + ShellQuoted(in) + " > " + ShellQuoted(html))) return {};
  std::string text = FileExists(out) ? ReadFileBytes(out) : std::string();
  ::DeleteFileW(out.c_str());
  return text;
}

std::string TextOfHtml(const std::string& html) {
  std::string text;
  bool inTag = false;
  for (char c : html) {
    if (c == '<')
      inTag = true;
    else if (c == '>')
      inTag = false;
    else if (!inTag)
      text += c;
  }
  return text;
}

std::vector<std::string> BoldRunsOf(const std::string& html) {
  std::vector<std::string> runs;
  for (size_t at = html.find("<b>"); at != std::string::npos; at = html.find("<b>", at)) {
    at += 3;
    const size_t end = std::min(html.find("</b>", at), html.size());
    // The run's text alone: tags dropped, white space at both ends too.
    const std::string text = TextOfHtml(html.substr(at, end - at));
    const size_t first = text.find_first_not_of(" \r\n\t");
    if (first == std::string::npos) continue;
    runs.push_back(text.substr(first, text.find_last_not_of(" \r\n\t") - first + 1));
  }
  return runs;
}

}  // namespace testing_support
