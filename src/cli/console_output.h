// Lines for the console the command line runs in. Text reaches a console
// through WriteConsoleW, so that any character shows as itself; a redirected
// file or a pipe receives UTF-8.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "system/file_ops.h"
#include "system/utf8.h"

namespace cli {

void PrintLine(std::wstring_view line);       // to standard output
void PrintError(std::wstring_view line);      // to standard error
void PrintUtf8(const std::string& document);  // a JSON document, to standard output

using platform::FromUtf8;
using platform::ToUtf8;

using platform::SystemMessage;

}  // namespace cli
