// The self-delete batch script for any pair of paths: CR LF lines throughout, and once the
// command interpreter has expanded its percent signs, every line is exactly the intended
// command with each path verbatim between double quotes. So no %, &, ^, ! or blank in a path can
// expand, split or redirect a command.
// Input: two text fields, the executable's path and the script's path.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/fuzz/FuzzInput.h"
#include "OrvexCommonControls/ccCore.h"

namespace {

std::vector<std::wstring> CrLfLines(const std::wstring& text, const std::wstring& context) {
  std::vector<std::wstring> lines;
  size_t from = 0;
  while (from < text.size()) {
    const size_t end = text.find(L"\r\n", from);
    FUZZ_CHECK(end != std::wstring::npos, context);  // the last line is ended too
    lines.push_back(text.substr(from, end - from));
    from = end + 2;
  }
  for (const std::wstring& line : lines)
    FUZZ_CHECK(line.find_first_of(L"\r\n") == std::wstring::npos, context);
  return lines;
}

// The interpreter's first pass over a line of a batch file: %% is one %, %name% the variable's
// value. The only variable the script may read is its retry counter, kept here as "%tries%";
// any other expansion (an argument, another variable, a lone %) would take text out of a path.
std::wstring ExpandPercents(const std::wstring& line, const std::wstring& context) {
  std::wstring out;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] != L'%') {
      out += line[i];
      continue;
    }
    FUZZ_CHECK(i + 1 < line.size(), context);
    if (line[i + 1] == L'%') {
      out += L'%';
      ++i;
      continue;
    }
    const size_t close = line.find(L'%', i + 1);
    FUZZ_CHECK(close != std::wstring::npos, context);
    FUZZ_CHECK(line.compare(i, close - i + 1, L"%tries%") == 0, context);
    out += L"%tries%";
    i = close;
  }
  return out;
}

// The part of a line outside double quotes: the command the interpreter parses.
std::wstring OutsideQuotes(const std::wstring& line) {
  std::wstring out;
  bool quoted = false;
  for (wchar_t c : line) {
    if (c == L'"') {
      quoted = !quoted;
      out += c;
    } else if (!quoted) {
      out += c;
    }
  }
  return out;
}

const std::wstring kPing = L"C:\\W\\ping.exe";

void CheckScript(const std::wstring& exe, const std::wstring& script) {
  const std::wstring text = SelfDeleteScriptText(exe, script, kPing);
  // Whatever the paths, the script is printable ASCII in lines: no code page can change it.
  for (wchar_t c : text)
    FUZZ_CHECK((c >= L' ' && c <= L'~') || c == L'\r' || c == L'\n', exe + L" | " + script);
  if (!BatchWritable(exe) || !BatchWritable(script)) return;
  const std::wstring context = exe + L" | " + script;

  const std::wstring qExe = L"\"" + exe + L"\"";
  const std::wstring qScript = L"\"" + script + L"\"";
  // Delete, and while the file is still there wait a second and try again, at most 60 times;
  // then the script deletes itself.
  const std::vector<std::wstring> expected = {L"@echo off",
                                              L"set /a tries=0",
                                              L":delete_exe",
                                              L"del /f /q " + qExe + L" >nul 2>&1",
                                              L"if not exist " + qExe + L" goto delete_script",
                                              L"set /a tries+=1",
                                              L"if %tries% geq 60 goto delete_script",
                                              L"\"" + kPing + L"\" -n 2 127.0.0.1 >nul 2>&1",
                                              L"goto delete_exe",
                                              L":delete_script",
                                              L"del /f /q " + qScript};

  const std::vector<std::wstring> lines = CrLfLines(text, context);
  // The script for two paths without any special character: its commands are what every other
  // script must parse to.
  const std::vector<std::wstring> plain =
      CrLfLines(SelfDeleteScriptText(L"C:\\T\\x.exe", L"C:\\T\\x.BAT", kPing), L"plain");
  FUZZ_CHECK(lines.size() == expected.size() && plain.size() == expected.size(), context);
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::wstring expanded = ExpandPercents(lines[i], context);
    FUZZ_CHECK(expanded == expected[i], context + L" | line " + std::to_wstring(i + 1));
    FUZZ_CHECK(OutsideQuotes(expanded) == OutsideQuotes(ExpandPercents(plain[i], L"plain")),
               context + L" | line " + std::to_wstring(i + 1));
  }
  // Both labels the jumps go to exist, each once.
  size_t labels = 0;
  for (const std::wstring& line : lines)
    if (line == L":delete_exe" || line == L":delete_script") ++labels;
  FUZZ_CHECK(labels == 2, context);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const std::wstring exe = in.Field();
  const std::wstring script = in.Field();
  CheckScript(exe, script);
  return 0;
}
