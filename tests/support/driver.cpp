#include "support/driver.h"

#include <commctrl.h>

#include <climits>
#include <cstdlib>

#include "support/process_start.h"

namespace testing_support {

namespace {

constexpr DWORD kSendTimeoutMs = 30000;  // an action blocked longer than this is killed with the process
constexpr DWORD kPollMs = 5;

struct WindowSearch {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == search->pid && IsWindowVisible(hwnd)) search->found.push_back(hwnd);
  return TRUE;
}

std::vector<HWND> VisibleTopLevel(DWORD pid) {
  WindowSearch search{pid, {}};
  EnumWindows(&CollectTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring TitleOf(HWND hwnd) {
  wchar_t title[512] = L"";
  GetWindowTextW(hwnd, title, 512);
  return title;
}

bool IsTextBox(HWND hwnd) { return _wcsicmp(ClassOf(hwnd).c_str(), L"Edit") == 0; }

RECT ScreenRect(HWND hwnd) {
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  return rect;
}

template <class Done>
bool WaitUntil(Done done, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!done()) {
    if (GetTickCount64() > end) return false;
    Sleep(kPollMs);
  }
  return true;
}

}  // namespace

std::vector<HWND> VisibleChildren(HWND window) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (IsWindowVisible(child)) children.push_back(child);
  }
  return children;
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[128] = L"";
  GetClassNameW(hwnd, name, 128);
  return name;
}

std::wstring TextOf(HWND hwnd) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kWaitMs, &length)) return {};
  std::wstring text(length + 1, L'\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_NORMAL,
                           kWaitMs, &got)) {
    return {};
  }
  text.resize(got);
  return text;
}

std::wstring WithoutMnemonics(const std::wstring& caption) {
  std::wstring plain;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == L'&' && i + 1 < caption.size()) ++i;
    plain += caption[i];
  }
  return plain;
}

HWND FindControl(HWND window, const std::wstring& caption) {
  for (HWND child : VisibleChildren(window)) {
    if (!IsTextBox(child) && WithoutMnemonics(TitleOf(child)) == caption) return child;
  }
  return nullptr;
}

HWND FindTextBoxAfterLabel(HWND window, const std::wstring& label) {
  const std::vector<HWND> children = VisibleChildren(window);
  HWND labelHwnd = nullptr;
  for (std::size_t i = 0; i < children.size(); ++i) {
    if (ClassOf(children[i]) != L"Static" || TitleOf(children[i]) != label) continue;
    labelHwnd = children[i];
    if (i + 1 < children.size() && IsTextBox(children[i + 1])) return children[i + 1];
  }
  if (!labelHwnd) return nullptr;
  // Not next in z-order: the box a reader takes for it, on its row to the right, else just below it.
  const RECT at = ScreenRect(labelHwnd);
  HWND best = nullptr;
  long bestDistance = LONG_MAX;
  for (HWND child : children) {
    if (!IsTextBox(child)) continue;
    const RECT box = ScreenRect(child);
    const long middle = (box.top + box.bottom) / 2;
    long distance = LONG_MAX;
    if (middle >= at.top && middle <= at.bottom && box.left >= at.left) {
      distance = box.left - at.right;
    } else if (box.top >= at.top && std::labs(box.left - at.left) < 40) {
      distance = 10000 + box.top - at.bottom;
    }
    if (distance < bestDistance) {
      bestDistance = distance;
      best = child;
    }
  }
  return best;
}

HWND FindInRow(HWND window, const std::wstring& label, const std::wstring& caption) {
  const HWND labelHwnd = FindControl(window, label);
  if (!labelHwnd) return nullptr;
  const RECT at = ScreenRect(labelHwnd);
  for (HWND child : VisibleChildren(window)) {
    if (child == labelHwnd || WithoutMnemonics(TitleOf(child)) != caption) continue;
    const RECT place = ScreenRect(child);
    const long middle = (place.top + place.bottom) / 2;
    if (middle >= at.top - 4 && middle <= at.bottom + 4) return child;
  }
  return nullptr;
}

HWND FindTextBox(HWND window) {
  for (HWND child : VisibleChildren(window)) {
    if (IsTextBox(child)) return child;
  }
  return nullptr;
}

bool IsChecked(HWND checkBox) {
  DWORD_PTR state = 0;
  SendMessageTimeoutW(checkBox, BM_GETCHECK, 0, 0, SMTO_NORMAL, kWaitMs, &state);
  return state == BST_CHECKED;
}

Korvane::Korvane() : Korvane(L"\"" + ExePath() + L"\"") {}

Korvane::Korvane(const std::wstring& commandLine) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  const std::wstring exe = ExePath();
  std::wstring line = commandLine;
  const std::wstring folder = exe.substr(0, exe.find_last_of(L"\\/"));
  if (!testing_support::StartProcess(nullptr, line.data(), FALSE, 0, folder.c_str(), &startup, &process_)) {
    process_ = {};
  }
}

Korvane::~Korvane() {
  if (Running()) {
    for (HWND window : VisibleTopLevel(Pid())) PostMessageW(window, WM_CLOSE, 0, 0);
    if (!WaitForExit(3000)) Kill();
  }
  Kill();
  JoinPending();
  if (process_.hThread) CloseHandle(process_.hThread);
  if (process_.hProcess) CloseHandle(process_.hProcess);
}

std::wstring Korvane::ExePath() {
  wchar_t self[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path = self;
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"korvane.exe";
}

bool Korvane::Running() const {
  return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

bool Korvane::WaitForExit(DWORD timeoutMs) {
  return !process_.hProcess || WaitForSingleObject(process_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD Korvane::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  if (process_.hProcess) GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

void Korvane::Kill() {
  if (Running()) {
    TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, 5000);
  }
}

HWND Korvane::FindWindowTitled(const std::wstring& title) const {
  for (HWND window : VisibleTopLevel(Pid())) {
    if (TitleOf(window) == title && ClassOf(window) != L"#32770") return window;
  }
  return nullptr;
}

HWND Korvane::WaitForWindow(const std::wstring& title, DWORD timeoutMs) const {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindWindowTitled(title)) != nullptr || !Running(); }, timeoutMs);
  return found;
}

bool Korvane::WaitHidden(HWND window, DWORD timeoutMs) const {
  return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

namespace {

struct ToolTipSearch {
  DWORD pid;
  HWND owner;
  HWND found;
};

BOOL CALLBACK FindToolTips(HWND hwnd, LPARAM data) {
  auto* search = reinterpret_cast<ToolTipSearch*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == search->pid && GetWindow(hwnd, GW_OWNER) == search->owner &&
      _wcsicmp(ClassOf(hwnd).c_str(), TOOLTIPS_CLASSW) == 0) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

std::wstring Korvane::ToolTipOf(HWND control) const {
  const HWND window = GetAncestor(control, GA_ROOT);
  ToolTipSearch search{Pid(), window, nullptr};
  EnumWindows(&FindToolTips, reinterpret_cast<LPARAM>(&search));
  if (!search.found) return {};
  // The tool tip answers into memory of its own process.
  constexpr std::size_t kChars = 1024;
  const SIZE_T size = sizeof(TTTOOLINFOW) + kChars * sizeof(wchar_t);
  auto* remote = static_cast<BYTE*>(VirtualAllocEx(process_.hProcess, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
  if (!remote) return {};
  TTTOOLINFOW info{};
  info.cbSize = sizeof info;
  info.hwnd = GetParent(control);
  info.uId = reinterpret_cast<UINT_PTR>(control);
  info.lpszText = reinterpret_cast<wchar_t*>(remote + sizeof info);
  std::wstring text(kChars, L'\0');
  SIZE_T moved = 0;
  DWORD_PTR result = 0;
  if (WriteProcessMemory(process_.hProcess, remote, &info, sizeof info, &moved) &&
      WriteProcessMemory(process_.hProcess, remote + sizeof info, text.data(), sizeof(wchar_t), &moved) &&
      SendMessageTimeoutW(search.found, TTM_GETTEXTW, kChars, reinterpret_cast<LPARAM>(remote), SMTO_NORMAL,
                          kWaitMs, &result) &&
      ReadProcessMemory(process_.hProcess, remote + sizeof info, text.data(), kChars * sizeof(wchar_t), &moved)) {
    text.resize(wcsnlen(text.c_str(), kChars));
  } else {
    text.clear();
  }
  VirtualFreeEx(process_.hProcess, remote, 0, MEM_RELEASE);
  return text;
}

HWND Korvane::FindSplash() const {
  for (HWND window : VisibleTopLevel(Pid())) {
    if (FindControl(window, L"Loading...")) return window;
  }
  return nullptr;
}

std::optional<ShownBox> Korvane::CurrentMessageBox() const {
  for (HWND window : VisibleTopLevel(Pid())) {
    if (ClassOf(window) != L"#32770") continue;
    // The message's text is the static control with the id 0xFFFF.
    const HWND text = GetDlgItem(window, 0xFFFF);
    return ShownBox{window, TitleOf(window), text ? TextOf(text) : std::wstring()};
  }
  return std::nullopt;
}

std::optional<ShownBox> Korvane::WaitForMessageBox(DWORD timeoutMs) {
  std::optional<ShownBox> box;
  WaitUntil([&] { return (box = CurrentMessageBox()).has_value() || !Running(); }, timeoutMs);
  return box;
}

bool Korvane::Answer(const ShownBox& box, const std::wstring& button) {
  for (HWND child : VisibleChildren(box.hwnd)) {
    if (ClassOf(child) == L"Button" && WithoutMnemonics(TitleOf(child)) == button) {
      PostMessageW(child, BM_CLICK, 0, 0);
      return WaitUntil([&] { return !IsWindow(box.hwnd); }, kWaitMs);
    }
  }
  return false;
}

std::vector<std::wstring> Korvane::OkAll(DWORD timeoutMs) {
  std::vector<std::wstring> shown;
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (GetTickCount64() < end) {
    if (auto box = CurrentMessageBox()) {
      shown.push_back(box->title + L": " + box->text);
      if (!Answer(*box, L"OK")) break;
      continue;
    }
    if (pendingDone_) {
      // The action is over once it has returned and no box is left.
      if (!CurrentMessageBox()) break;
      continue;
    }
    Sleep(kPollMs);
  }
  return shown;
}

void Korvane::SendAsync(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  JoinPending();
  pendingDone_ = false;
  pending_ = std::thread([this, hwnd, msg, wParam, lParam] {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(hwnd, msg, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result);
    pendingDone_ = true;
  });
}

void Korvane::JoinPending() {
  if (!pending_.joinable()) return;
  if (!pendingDone_ && !WaitUntil([&] { return pendingDone_.load(); }, kWaitMs)) Kill();
  pending_.join();
}

bool Korvane::Settle(DWORD timeoutMs) {
  return WaitUntil([&] { return pendingDone_.load() || CurrentMessageBox().has_value() || !Running(); },
                   timeoutMs);
}

void Korvane::Click(HWND control, bool settle) {
  SendAsync(control, BM_CLICK, 0, 0);
  if (settle) Settle();
}

void Korvane::ClickLabel(HWND label) {
  // A label may answer the button going down already, with a message box.
  SendAsync(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  Settle();
  if (CurrentMessageBox()) return;
  SendAsync(label, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  Settle();
}

void Korvane::ClickInto(HWND textBox) { ClickLabel(textBox); }

void Korvane::Type(HWND textBox, const std::wstring& text) {
  for (wchar_t c : text) {
    if (CurrentMessageBox()) return;  // the box asks something first
    SendAsync(textBox, WM_CHAR, c, 1);
    Settle();
  }
}

void Korvane::ClearAndType(HWND textBox, const std::wstring& text) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(textBox, EM_SETSEL, 0, -1, SMTO_NORMAL, kWaitMs, &result);
  SendAsync(textBox, WM_CHAR, VK_BACK, 1);
  Settle();
  Type(textBox, text);
}

void Korvane::Choose(HWND comboBox, const std::wstring& item) {
  DWORD_PTR index = 0;
  // The list's items are read and picked as a person would from the open list.
  DWORD_PTR count = 0;
  SendMessageTimeoutW(comboBox, CB_GETCOUNT, 0, 0, SMTO_NORMAL, kWaitMs, &count);
  for (index = 0; index < count; ++index) {
    DWORD_PTR length = 0;
    SendMessageTimeoutW(comboBox, CB_GETLBTEXTLEN, index, 0, SMTO_NORMAL, kWaitMs, &length);
    std::wstring text(length + 1, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(comboBox, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()), SMTO_NORMAL, kWaitMs,
                        &got);
    text.resize(length);
    if (text == item) break;
  }
  if (index == count) return;
  DWORD_PTR result = 0;
  SendMessageTimeoutW(comboBox, CB_SETCURSEL, index, 0, SMTO_NORMAL, kWaitMs, &result);
  const HWND parent = GetParent(comboBox);
  SendAsync(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(comboBox), CBN_SELCHANGE),
            reinterpret_cast<LPARAM>(comboBox));
  Settle();
}

void Korvane::PressKey(HWND window, WORD key) {
  // Through the program's message loop, where its accelerators are translated.
  PostMessageW(window, WM_KEYDOWN, key, 1);
  PostMessageW(window, WM_KEYUP, key, 0xC0000001);
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kWaitMs, &result);
}

void Korvane::Menu(HWND window, int menuPosition, int entryPosition) {
  // Under Wine another process cannot read a window's menu, so the keyboard
  // walks it as a person would: F10, right to the menu, down to the entry, Enter.
  PostMessageW(window, WM_SYSCOMMAND, SC_KEYMENU, 0);
  const auto key = [window](WORD vk) {
    PostMessageW(window, WM_KEYDOWN, vk, 1);
    PostMessageW(window, WM_KEYUP, vk, 0xC0000001);
  };
  for (int i = 0; i < menuPosition; ++i) key(VK_RIGHT);
  key(VK_DOWN);
  for (int i = 0; i < entryPosition; ++i) key(VK_DOWN);
  key(VK_RETURN);
}

void Korvane::CloseWindow(HWND window) {
  SendAsync(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  Settle();
}

}  // namespace testing_support
