// The numeric test shared by the registry module and the load comparisons:
// an optionally signed decimal integer with optional surrounding blanks.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace platform {

std::optional<std::int64_t> ParseInteger(std::wstring_view text);
// The text as a signed 32-bit number, or nothing when it is not numeric or out of range.
std::optional<std::int32_t> ParseInt32(std::wstring_view text);
std::wstring_view TrimBlanks(std::wstring_view text);

}  // namespace platform
