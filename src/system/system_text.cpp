#include "system/system_text.h"

#include <cwctype>
#include <shlwapi.h>

#include <cwchar>
#include <iterator>
#include <utility>

#include "system/late_load.h"

namespace platform {

namespace {

std::wstring LocaleText(LCTYPE what, const wchar_t* fallback) {
  wchar_t text[16];
  return GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, what, text, static_cast<int>(std::size(text))) > 0 ? text
                                                                                                     : fallback;
}

// The locale writes its grouping as "3;0" or "3;2;0"; the number format wants 3 or 32,
// and a list without the closing 0 (no repeat of the last group) ends in a 0 digit.
UINT Grouping(std::wstring_view text) {
  UINT grouping = 0;
  for (const wchar_t c : text) {
    if (c >= L'0' && c <= L'9') grouping = grouping * 10 + static_cast<UINT>(c - L'0');
  }
  if (text.ends_with(L";0")) grouping /= 10;
  else grouping *= 10;
  return grouping;
}

}  // namespace

std::wstring GroupDigits(std::uint64_t number) {
  const std::wstring digits = std::to_wstring(number);
  std::wstring decimal = LocaleText(LOCALE_SDECIMAL, L".");
  std::wstring thousand = LocaleText(LOCALE_STHOUSAND, L",");
  NUMBERFMTW format{};
  format.NumDigits = 0;
  format.LeadingZero = 1;  // without it Wine writes nothing at all for 0
  format.Grouping = Grouping(LocaleText(LOCALE_SGROUPING, L"3;0"));
  format.lpDecimalSep = decimal.data();
  format.lpThousandSep = thousand.data();
  format.NegativeOrder = 1;
  wchar_t text[64];
  const int length = GetNumberFormatEx(LOCALE_NAME_USER_DEFAULT, 0, digits.c_str(), &format, text,
                                       static_cast<int>(std::size(text)));
  return length > 0 ? std::wstring(text) : digits;
}

std::wstring ByteSize(std::uint64_t bytes) {
  // Late: shlwapi is not worth loading at start-up for a size shown later, if at all.
  const auto format = LateProc<decltype(&StrFormatByteSizeW)>(L"shlwapi.dll", "StrFormatByteSizeW");
  wchar_t text[32];
  if (format && format(static_cast<LONGLONG>(bytes), text, static_cast<UINT>(std::size(text)))) return text;
  return std::to_wstring(bytes) + L" bytes";
}

std::wstring TimeText(const SYSTEMTIME& time, TimeStyle style) {
  const wchar_t* format =
      style == TimeStyle::FileName ? L"%04u-%02u-%02u %02u%02u%02u" : L"%04u-%02u-%02u %02u:%02u:%02u";
  wchar_t text[32];
  std::swprintf(text, std::size(text), format, time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute,
                time.wSecond);
  return text;
}

std::wstring LocalTime(TimeStyle style) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return TimeText(now, style);
}

bool SameName(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  if (a.empty()) return true;
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

bool StartsWithName(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && SameName(text.substr(0, prefix.size()), prefix);
}

bool EndsWithName(std::wstring_view text, std::wstring_view suffix) {
  return text.size() >= suffix.size() && SameName(text.substr(text.size() - suffix.size()), suffix);
}

std::wstring AttributeWords(DWORD attributes) {
  constexpr std::pair<DWORD, const wchar_t*> kNames[] = {
      {FILE_ATTRIBUTE_READONLY, L"read-only"}, {FILE_ATTRIBUTE_HIDDEN, L"hidden"}, {FILE_ATTRIBUTE_SYSTEM, L"system"}};
  std::wstring words;
  for (const auto& [bit, name] : kNames) {
    if (attributes & bit) words += (words.empty() ? L"" : L", ") + std::wstring(name);
  }
  return words;
}

wchar_t DriveLetterOf(std::wstring_view text) {
  if (text.size() == 2 && text[1] == L':') text.remove_suffix(1);
  if (text.size() != 1) return 0;
  const wchar_t c = text[0];
  if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - L'a' + L'A');
  return c >= L'A' && c <= L'Z' ? c : 0;
}

std::wstring NameKey(std::wstring_view name) {
  std::wstring key(name);
  // The system's upper-casing is the table the ordinal comparison folds by.
  if (!key.empty()) CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
  return key;
}

std::wstring Lowered(std::wstring_view text) {
  std::wstring lower(text);
  // ASCII by hand: every name of a drive passes here, and the C library's call costs more than the rest of its judgement.
  for (wchar_t& c : lower) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + (L'a' - L'A'));
    else if (c >= 0x80) c = static_cast<wchar_t>(std::towlower(c));
  }
  return lower;
}

std::wstring Printable(std::wstring_view text, std::size_t limit) {
  std::wstring shown;
  for (const wchar_t c : text) {
    if (shown.size() >= limit) break;
    const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
    const bool direction = (c >= 0x200E && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
    if (!control && !direction) shown += c;
  }
  return shown;
}

}  // namespace platform
