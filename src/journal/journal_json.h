// Typed reads of a journal or index line's fields: nullopt for a field that is
// missing or of another type, never an exception.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace platform::journal::json {

using Json = nlohmann::ordered_json;

inline std::optional<std::uint64_t> Unsigned(const Json& j, const char* key) {
  const auto it = j.find(key);
  if (it == j.end() || !it->is_number_unsigned()) return std::nullopt;
  return it->get<std::uint64_t>();
}

// The field's UTF-8 bytes as stored.
inline std::optional<std::string> Text(const Json& j, const char* key) {
  const auto it = j.find(key);
  if (it == j.end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

}  // namespace platform::journal::json
