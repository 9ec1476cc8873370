#include "cli/console_output.h"

namespace cli {

namespace {

void Write(DWORD stream, std::wstring_view text) {
  const HANDLE handle = GetStdHandle(stream);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(handle, &mode)) {
    WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  const std::string bytes = ToUtf8(text);
  WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

void PrintLine(std::wstring_view line) { Write(STD_OUTPUT_HANDLE, std::wstring(line) + L"\r\n"); }

void PrintError(std::wstring_view line) { Write(STD_ERROR_HANDLE, std::wstring(line) + L"\r\n"); }

void PrintUtf8(const std::string& document) { Write(STD_OUTPUT_HANDLE, FromUtf8(document) + L"\r\n"); }

}  // namespace cli
