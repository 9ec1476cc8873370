// Lines for the console the command line runs in. Text reaches a console
// through WriteConsoleW, so that any character shows as itself; a redirected
// file or a pipe receives UTF-8.
//
// Under --json, standard output carries one document and nothing else: lines
// meant for people are held back, and a failure becomes the error document
// {"format":1,"error":{"code":...,"message":...}}. Standard error still gets
// the failure's words for a log.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "system/file_ops.h"
#include "system/utf8.h"

namespace cli {

// The version of every --json document; it changes only when a field changes meaning or goes.
inline constexpr int kJsonFormat = 1;

void PrintLine(std::wstring_view line);   // to standard output
void PrintError(std::wstring_view line);  // to standard error

void SetJsonMode(bool on);
bool JsonMode();

// Under --json, the document of a command: "format" first, then the body's fields.
void PrintDocument(const nlohmann::ordered_json& body);
// A failure: its words on standard error and, under --json, the error document.
// Returns exitCode, for the caller to return.
int Fail(int exitCode, std::string_view code, std::wstring_view message);
// Under --json, after a command that printed no document of its own: its
// outcome as one, so that every command's --json gives exactly one document.
void FinishJson(int exitCode);

// While it lives, Ctrl+C or Ctrl+Break sets `cancel`, so that a check ends
// cleanly with nothing changed; at any other time the console's own handling applies.
class StopOnCtrlC {
 public:
  explicit StopOnCtrlC(std::atomic<bool>& cancel);
  ~StopOnCtrlC();
  StopOnCtrlC(const StopOnCtrlC&) = delete;
  StopOnCtrlC& operator=(const StopOnCtrlC&) = delete;
};

using platform::FromUtf8;
using platform::ToUtf8;

using platform::SystemMessage;

}  // namespace cli
