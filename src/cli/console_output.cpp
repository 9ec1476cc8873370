#include "cli/console_output.h"

#include <nlohmann/json.hpp>

#include "cli/command_line.h"

namespace cli {

namespace {

using Json = nlohmann::ordered_json;

struct JsonState {
  bool on = false;
  bool printed = false;
  std::wstring errors;  // a failure's words, for the document made by FinishJson
  Json lines = Json::array();  // lines for people held back, for the same
};

std::atomic<std::atomic<bool>*> stopping{nullptr};

BOOL WINAPI Stop(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  std::atomic<bool>* cancel = stopping.load();
  if (!cancel) return FALSE;
  *cancel = true;
  return TRUE;
}

JsonState& State() {
  static JsonState state;
  return state;
}

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

void WriteDocument(const Json& document) {
  State().printed = true;
  // Invalid UTF-16 in a name (a lone surrogate) must not end the document half-written.
  Write(STD_OUTPUT_HANDLE, FromUtf8(document.dump(2, ' ', false, Json::error_handler_t::replace)) + L"\r\n");
}

std::string ErrorCodeOf(int exitCode) { return exitCode == kExitUsage ? "usage" : "failed"; }

}  // namespace

StopOnCtrlC::StopOnCtrlC(std::atomic<bool>& cancel) {
  stopping = &cancel;
  SetConsoleCtrlHandler(&Stop, TRUE);
}

StopOnCtrlC::~StopOnCtrlC() {
  SetConsoleCtrlHandler(&Stop, FALSE);
  stopping = nullptr;
}

void PrintLine(std::wstring_view line) {
  if (State().on) {
    State().lines.push_back(ToUtf8(line));
    return;
  }
  Write(STD_OUTPUT_HANDLE, std::wstring(line) + L"\r\n");
}

void PrintError(std::wstring_view line) {
  if (State().on) State().errors += (State().errors.empty() ? L"" : L"\n") + std::wstring(line);
  Write(STD_ERROR_HANDLE, std::wstring(line) + L"\r\n");
}

void SetJsonMode(bool on) { State().on = on; }
bool JsonMode() { return State().on; }

void PrintDocument(const nlohmann::ordered_json& body) {
  if (!State().on || State().printed) return;  // one document per run, and only under --json
  Json document = {{"format", kJsonFormat}};
  for (const auto& [key, value] : body.items()) document[key] = value;
  WriteDocument(document);
}

int Fail(int exitCode, std::string_view code, std::wstring_view message) {
  const bool json = State().on;
  State().on = false;  // the words go to standard error whole, not into the fallback
  PrintError(message);
  State().on = json;
  if (json && !State().printed) {
    WriteDocument({{"format", kJsonFormat}, {"error", {{"code", std::string(code)}, {"message", ToUtf8(message)}}}});
  }
  return exitCode;
}

void FinishJson(int exitCode) {
  if (!State().on || State().printed) return;
  if (exitCode == kExitUsage || exitCode == kExitFailed) {
    const std::wstring message = State().errors.empty() ? std::wstring(L"korvane: failed") : State().errors;
    WriteDocument({{"format", kJsonFormat},
                   {"error", {{"code", ErrorCodeOf(exitCode)}, {"message", ToUtf8(message)}}}});
    return;
  }
  WriteDocument({{"format", kJsonFormat}, {"lines", State().lines}});
}

}  // namespace cli
