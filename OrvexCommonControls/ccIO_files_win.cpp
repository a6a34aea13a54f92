// ccIO's whole files on Windows: written beside their name and moved into place, read whole; the
// copy that start-up makes.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "toolkit/Application.h"
#include "toolkit/BufferText.h"
#include "toolkit/Errors.h"
#include "toolkit/Handles.h"
#include "toolkit/SysError.h"
#include "toolkit/SystemLibrary.h"
#include "toolkit/Text.h"
#include "OrvexCommonControls/ccIO.h"
#include "OrvexCommonControls/ccIO_win_shared.h"
#include "OrvexCommonControls/ccStringList.h"

namespace {

void WriteAll(HANDLE file, std::string_view bytes, const std::wstring& fileName) {
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
      throw tk::EInOutError(tk::FileErrorText(L"Cannot write to file", fileName, ::GetLastError()));
    done += written;
  }
}

std::string ReadAll(const std::wstring& fileName) {
  tk::UniqueFile file(::CreateFileW(fileName.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    throw tk::EFOpenError(tk::FileErrorText(L"Cannot open file", fileName, ::GetLastError()));
  std::string bytes;
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr))
      throw tk::EInOutError(tk::FileErrorText(L"Cannot read file", fileName, ::GetLastError()));
    if (got == 0) break;
    bytes.append(buffer, got);
  }
  return bytes;
}

}  // namespace

namespace ccio_win {

// A name beside the target that a file on its way to the target's name takes first.
std::wstring NameBeside(const std::wstring& target, unsigned attempt) {
  std::wstring name = target + L".~";
  tk::AppendDecimal(name, ::GetCurrentProcessId());
  name += L'-';
  tk::AppendDecimal(name, attempt);
  return name + L".tmp";
}

bool NameTaken(DWORD error) {
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

// Moves a finished file onto the target's name: a file or a link there is replaced, and what a
// link leads to is never written. On failure the finished file goes and the error is kept.
bool MoveIntoPlace(const std::wstring& finished, const std::wstring& target) {
  if (::MoveFileExW(finished.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  const DWORD error = ::GetLastError();
  ::DeleteFileW(finished.c_str());
  ::SetLastError(error);
  return false;
}

}  // namespace ccio_win

using ccio_win::MoveIntoPlace;
using ccio_win::NameBeside;
using ccio_win::NameTaken;

// --- files ---

void WriteFileWhole(const std::wstring& fileName, std::string_view bytes) {
  DWORD error = ERROR_FILE_EXISTS;
  for (unsigned attempt = 0; attempt < 100 && NameTaken(error); ++attempt) {
    const std::wstring beside = NameBeside(fileName, attempt);
    tk::UniqueFile file(::CreateFileW(beside.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      error = ::GetLastError();
      continue;
    }
    try {
      WriteAll(file.get(), bytes, fileName);
      if (!::FlushFileBuffers(file.get()))
        throw tk::EInOutError(tk::FileErrorText(L"Cannot write file", fileName, ::GetLastError()));
    } catch (...) {
      file.reset();
      ::DeleteFileW(beside.c_str());
      throw;
    }
    file.reset();
    if (MoveIntoPlace(beside, fileName)) return;
    error = ::GetLastError();
    break;
  }
  throw tk::EFCreateError(tk::FileErrorText(L"Cannot create file", fileName, error));
}

void StringToFile(const std::wstring& fileName, const std::wstring& text, bool overwrite,
                  bool writeMark) {
  ForceDirectories(ExtractPath(fileName, true));
  if (overwrite || !PathExists(fileName)) {
    const std::string mark = writeMark ? "\xEF\xBB\xBF" : "";
    WriteFileWhole(fileName, mark + tk::ToUtf8(text));
    return;
  }
  tk::UniqueFile file(::CreateFileW(fileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    throw tk::EFOpenError(tk::FileErrorText(L"Cannot open file", fileName, ::GetLastError()));
  ::SetFilePointer(file.get(), 0, nullptr, FILE_END);
  WriteAll(file.get(), tk::ToUtf8(text), fileName);
}

std::wstring StringFromFile(const std::wstring& fileName) {
  return tk::TextFromBytes(ReadAll(fileName));
}

TTSL* StringFromFileTSL(const std::wstring& fileName) {
  auto list = std::make_unique<TTSL>();
  list->SetText(StringFromFile(fileName));
  return list.release();
}

TLocalTime NowLocal() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return TLocalTime{now.wHour, now.wMinute, now.wSecond};
}

// --- start-up services ---

bool FileCopyTo(const std::wstring& source, const std::wstring& destFolder, bool overwrite) {
  const std::wstring target = destFolder + FileNamePart(source, psAll);
  if (!overwrite) return ::CopyFileW(source.c_str(), target.c_str(), TRUE) != FALSE;
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::wstring beside = NameBeside(target, attempt);
    if (::CopyFileW(source.c_str(), beside.c_str(), TRUE)) return MoveIntoPlace(beside, target);
    if (!NameTaken(::GetLastError())) return false;
  }
  return false;
}
