// The throughput baseline: only the bare shell call that sends one folder to the Recycle Bin.
//   baseline_recycle.exe FOLDER      prints "elapsed_ms N" and exits 0 when the folder is gone
#include <windows.h>

#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  std::wstring from = argv[1];
  from.push_back(L'\0');  // the list of names ends in a double NUL
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION;
  const auto start = std::chrono::steady_clock::now();
  const int result = ::SHFileOperationW(&op);
  const auto ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start);
  std::printf("elapsed_ms %.1f\n", ms.count());
  return result == 0 && ::GetFileAttributesW(argv[1]) == INVALID_FILE_ATTRIBUTES ? 0 : 1;
}
