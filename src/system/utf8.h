// Text between the program's UTF-16 and the UTF-8 of files, pipes and JSON.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);
// Text in a code page: CP_ACP for an autorun.inf, CP_UTF8 for an XML file.
std::wstring FromCodePage(std::string_view text, unsigned codePage);
std::string ToCodePage(std::wstring_view text, unsigned codePage);
// A file's text when it starts with the UTF-16 (little-endian) byte-order mark; nothing otherwise.
std::optional<std::wstring> FromMarkedUtf16(std::string_view bytes);

}  // namespace platform
