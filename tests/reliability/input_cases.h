// Hostile text for the program's text boxes, and what a plain box of the same
// kind makes of it: a single-line box may cut a pasted text at its first line
// break or at its length limit, and the program must then work on what it holds.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/controls.h"
#include "support/ui_helpers.h"

namespace reliability_test {

struct Input {
  const char* name;
  std::wstring text;
};

inline std::vector<Input> HostileInputs() {
  return {
      {"empty", L""},
      {"blanks", L"    "},
      {"10,000 characters", std::wstring(10000, L'q')},
      {"control characters", L"\x01\x02\x07\x1b\x7f\t"},
      {"one character outside the BMP", L"\U0001F600"},
      {"two characters outside the BMP", L"\U0001F600\U00010348"},
      {"one right-to-left letter", L"\u05D0"},
      {"right-to-left text", L"\u202E\u05E9\u05DC\u05D5\u05DD \u0645\u0631\u062D\u0628\u0627"},
      {"several lines", L"e\r\nf\r\ng"},
      {"a line feed alone", L"\n"},
  };
}

// What a plain box with the same style as `like` holds after the same paste.
inline std::wstring Received(const platform::TextBox& like, const std::wstring& pasted) {
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(like.Hwnd(), GWL_STYLE)) & ~WS_VISIBLE;
  const HWND plain = CreateWindowExW(0, L"EDIT", L"", style, 0, 0, 200, 30, GetParent(like.Hwnd()), nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
  SendMessageW(plain, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(pasted.c_str()));
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(plain)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(plain, text.data(), static_cast<int>(text.size()))));
  DestroyWindow(plain);
  return text;
}

// Characters as the user sees them: a surrogate pair is one.
inline std::size_t Characters(const std::wstring& text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1])) ++i;
    ++count;
  }
  return count;
}

inline std::wstring Upper(std::wstring text) {
  if (!text.empty()) CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

}  // namespace reliability_test
