// Asks Vendlume.exe, as the system does when the session is about to end, whether it may
// end: WM_QUERYENDSESSION to every top-level window of the process that owns the program's
// main window, and nothing after it (as when another program then keeps the session going).
// With "resume" after the file name, tells those windows instead that the PC woke from sleep
// (WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC); with "timed", asks as without a mode and adds
// to each answer the milliseconds it took (1:35). With "forget", takes the program's icon out of
// the tray as a restarted taskbar would have lost it; with "taskbar", tells every window that
// a new taskbar exists ("TaskbarCreated"); each writes "done".
// The settings window ("環境設定"): "test" clicks the connection test of its first group (the
// mailbox's) once it is there, "close" asks it to close, each writing "done"; "settings"
// writes whether it is "shown" or "hidden". "dismiss" answers the program's message box (titled
// "Vendlume") once one shows, writing "error" when it tells of a connection error, else "other".
// Writes the answers, one per window, to the file named on the command line, or "none" when
// there is no such window. Run in the program's desktop by tests/wine/test_tray.py.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct Query {
  DWORD process = 0;
  UINT message = WM_QUERYENDSESSION;
  WPARAM wParam = 0;
  bool timed = false;
  std::string answers;
};

BOOL CALLBACK Ask(HWND window, LPARAM data) {
  auto* query = reinterpret_cast<Query*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != query->process) return TRUE;
  DWORD_PTR answer = 0;
  const DWORD asked = GetTickCount();
  if (SendMessageTimeoutW(window, query->message, query->wParam, 0, SMTO_ABORTIFHUNG, 10000, &answer))
    query->answers += std::to_string(answer);
  else
    query->answers += "timeout";
  if (query->timed) query->answers += ":" + std::to_string(GetTickCount() - asked);
  query->answers += " ";
  return TRUE;
}

HWND SettingsWindow() { return FindWindowW(L"VendlumeForm", L"環境設定"); }

HWND MailboxTestButton() {
  HWND form = SettingsWindow();
  HWND group = form ? GetWindow(form, GW_CHILD) : nullptr;  // the first made
  return group ? FindWindowExW(group, nullptr, L"Button", L"接続テスト") : nullptr;
}

BOOL CALLBACK TellsOfError(HWND child, LPARAM data) {
  wchar_t text[256] = L"";
  GetWindowTextW(child, text, 256);
  if (wcsstr(text, L"接続エラー")) *reinterpret_cast<bool*>(data) = true;
  return TRUE;
}

// What find() finds, waiting up to 10 s for it.
template <typename Find>
HWND Await(Find find) {
  HWND found = nullptr;
  for (int i = 0; i < 50 && !(found = find()); ++i) Sleep(200);
  return found;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc == 3 ? argv[2] : L"";
  if (argc < 2 || argc > 3) return 2;
  Query query;
  HWND main = FindWindowW(L"TForm1", nullptr);
  if (mode == L"forget") {
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = FindWindowW(L"TaskTrayHandle", nullptr);
    icon.uID = 1;
    query.answers = icon.hWnd && Shell_NotifyIconW(NIM_DELETE, &icon) ? "done" : "failed";
  } else if (mode == L"taskbar") {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0, SMTO_NORMAL, 5000,
                        &ignored);
    query.answers = "done";
  } else if (mode == L"test") {
    HWND button = Await(MailboxTestButton);
    if (button && PostMessageW(button, BM_CLICK, 0, 0)) query.answers = "done";
  } else if (mode == L"close") {
    HWND form = SettingsWindow();
    if (form && PostMessageW(form, WM_CLOSE, 0, 0)) query.answers = "done";
  } else if (mode == L"settings") {
    if (HWND form = SettingsWindow()) query.answers = IsWindowVisible(form) ? "shown" : "hidden";
  } else if (mode == L"dismiss") {
    if (HWND box = Await([] { return FindWindowW(L"#32770", L"Vendlume"); })) {
      bool error = false;
      EnumChildWindows(box, TellsOfError, reinterpret_cast<LPARAM>(&error));
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      query.answers = error ? "error" : "other";
    }
  } else if (main) {
    query.timed = mode == L"timed";
    if (mode == L"resume") {
      query.message = WM_POWERBROADCAST;
      query.wParam = PBT_APMRESUMEAUTOMATIC;
    }
    GetWindowThreadProcessId(main, &query.process);
    EnumWindows(Ask, reinterpret_cast<LPARAM>(&query));
  }
  FILE* out = _wfopen(argv[1], L"wb");
  if (!out) return 1;
  std::fputs(query.answers.empty() ? "none" : query.answers.c_str(), out);
  std::fclose(out);
  return 0;
}
