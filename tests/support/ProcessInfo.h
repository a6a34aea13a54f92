// Reads another process's command line and current folder from its process parameters.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace testing_support {

struct ProcessStartInfo {
  std::wstring commandLine;
  std::wstring currentDirectory;
  std::wstring imagePath;
};

std::optional<ProcessStartInfo> ReadProcessStartInfo(DWORD pid);

}  // namespace testing_support
