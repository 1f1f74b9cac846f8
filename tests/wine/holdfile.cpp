// Holds a file open as a spreadsheet showing it does: others may read it, but not write,
// delete or rename over it. Usage: holdfile FILE HELD RELEASE. Writes the file HELD once the
// file is open, and lets go when the file RELEASE appears. Run by the Wine tests.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 2;
  HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  HANDLE held = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (held == INVALID_HANDLE_VALUE) return 1;
  CloseHandle(held);
  while (GetFileAttributesW(argv[3]) == INVALID_FILE_ATTRIBUTES) Sleep(100);
  CloseHandle(file);
  return 0;
}
