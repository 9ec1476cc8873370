#include "system/utf8.h"

#include <windows.h>

namespace platform {

std::string ToUtf8(std::wstring_view text) { return ToCodePage(text, CP_UTF8); }

std::string ToCodePage(std::wstring_view text, unsigned codePage) {
  if (text.empty()) return {};
  const int size =
      WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

std::wstring FromUtf8(std::string_view text) { return FromCodePage(text, CP_UTF8); }

std::wstring FromCodePage(std::string_view text, unsigned codePage) {
  if (text.empty()) return {};
  const int size = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::optional<std::wstring> FromMarkedUtf16(std::string_view bytes) {
  if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF || static_cast<unsigned char>(bytes[1]) != 0xFE) {
    return std::nullopt;
  }
  std::wstring text((bytes.size() - 2) / 2, L'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                   (static_cast<unsigned char>(bytes[3 + 2 * i]) << 8));
  }
  return text;
}

}  // namespace platform
