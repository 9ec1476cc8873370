#include "shell/handover.h"

#include <cstring>
#include <cwctype>

namespace shell {

namespace {

constexpr ULONG_PTR kHandoverTag = 0x4B564348;  // "KVCH"
constexpr wchar_t kReceiverProperty[] = L"Korvane.TakesRequests";
constexpr wchar_t kFormClass[] = L"KorvaneForm";
constexpr DWORD kSendTimeoutMs = 5000;

wchar_t DriveLetter(std::wstring text) {
  // Explorer passes E:\ unquoted; quoted, "E:\" reaches us as E:" (the backslash escapes the quote).
  if (!text.empty() && text.back() == L'"') text.pop_back();
  if (!text.empty() && text.back() == L'\\') text.pop_back();
  if (!text.empty() && text.back() == L':') text.pop_back();
  if (text.size() != 1 || text[0] > 0x7F || !std::iswalpha(text[0])) return L'\0';
  return static_cast<wchar_t>(std::towupper(text[0]));
}

HWND FindReceiver() {
  HWND found = nullptr;
  EnumWindows(
      [](HWND hwnd, LPARAM out) {
        wchar_t className[32] = L"";
        GetClassNameW(hwnd, className, 32);
        if (std::wcscmp(className, kFormClass) != 0 || !GetPropW(hwnd, kReceiverProperty)) return TRUE;
        *reinterpret_cast<HWND*>(out) = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

bool& TakesHandovers() {
  static bool takes = false;
  return takes;
}

}  // namespace

std::optional<StartRequest> ParseStartArguments(const std::vector<std::wstring>& args) {
  // Other arguments were always let be; only a check asked for wrongly is told.
  if (args.empty() || args[0] != L"--check") return StartRequest{};
  if (args.size() != 2) return std::nullopt;
  const wchar_t letter = DriveLetter(args[1]);
  if (!letter) return std::nullopt;
  return StartRequest{letter};
}

void SetTakesHandovers(bool takes) { TakesHandovers() = takes; }

void AcceptHandovers(HWND mainWindow) {
  if (!TakesHandovers()) return;
  SetPropW(mainWindow, kReceiverProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(1)));
  // An elevated copy would otherwise never see the request of an unelevated start.
  ChangeWindowMessageFilterEx(mainWindow, WM_COPYDATA, MSGFLT_ALLOW, nullptr);
}

std::optional<StartRequest> ReadHandover(const COPYDATASTRUCT& data) {
  if (data.dwData != kHandoverTag || data.cbData != sizeof(wchar_t) || !data.lpData) return std::nullopt;
  wchar_t letter = L'\0';
  std::memcpy(&letter, data.lpData, sizeof letter);
  if (letter == L'\0') return StartRequest{};
  if (letter < L'A' || letter > L'Z') return std::nullopt;
  return StartRequest{letter};
}

bool HandOver(const StartRequest& request, DWORD waitMs) {
  // The first copy may still be starting: its main window comes after the splash.
  const ULONGLONG end = GetTickCount64() + waitMs;
  HWND receiver = FindReceiver();
  while (!receiver && GetTickCount64() < end) {
    Sleep(50);
    receiver = FindReceiver();
  }
  if (!receiver) return false;
  DWORD process = 0;
  GetWindowThreadProcessId(receiver, &process);
  // This start has the foreground (the user just asked for it); the running copy may take it.
  AllowSetForegroundWindow(process);
  wchar_t letter = request.checkLetter;
  COPYDATASTRUCT data{kHandoverTag, sizeof letter, &letter};
  DWORD_PTR taken = FALSE;
  return SendMessageTimeoutW(receiver, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &taken) != 0 &&
         taken == TRUE;
}

}  // namespace shell
