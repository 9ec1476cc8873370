// Each item told in short, from the item itself and never from the group's
// stored description: what it changed and what undo would do now.
#include <algorithm>
#include <cstdio>

#include "journal/journal_scope.h"

namespace platform::journal {

namespace {

constexpr std::size_t kShortText = 60;

std::wstring Shortened(std::wstring text) {
  if (text.size() > kShortText) {
    text.resize(kShortText - 1);
    text += L"…";
  }
  return text;
}

std::wstring ShortValue(const RegState& state) {
  if (!state.present) return L"not set";
  const std::vector<BYTE>& bytes = state.bytes;
  if (state.type == REG_DWORD && bytes.size() == sizeof(DWORD)) {
    DWORD number = 0;
    std::copy(bytes.begin(), bytes.end(), reinterpret_cast<BYTE*>(&number));
    return std::to_wstring(number);
  }
  if (state.type == REG_SZ || state.type == REG_EXPAND_SZ) {
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    text.resize(std::min(text.size(), text.find(L'\0')));
    return L"\"" + Shortened(text) + L"\"";
  }
  std::wstring hex;
  for (std::size_t i = 0; i < bytes.size() && i < 8; ++i) {
    wchar_t pair[4];
    swprintf(pair, 4, L"%02x", bytes[i]);
    hex += pair;
  }
  if (bytes.size() > 8) hex += L"…";
  return L"type " + std::to_wstring(state.type) + L" data " + (hex.empty() ? L"empty" : hex);
}

std::wstring AttributeWords(DWORD attributes) {
  std::wstring words;
  const std::pair<DWORD, const wchar_t*> kWords[] = {
      {FILE_ATTRIBUTE_HIDDEN, L"hidden"}, {FILE_ATTRIBUTE_SYSTEM, L"system"}, {FILE_ATTRIBUTE_READONLY, L"read-only"}};
  for (const auto& [bit, word] : kWords) {
    if (!(attributes & bit)) continue;
    if (!words.empty()) words += L", ";
    words += word;
  }
  return words.empty() ? L"visible" : words;
}

// A path as a person reads it: without the "\\?\" prefix that keeps names ending in dots or spaces exact.
std::wstring Shown(const std::wstring& path) { return path.starts_with(L"\\\\?\\") ? path.substr(4) : path; }

// Korvane's quarantine is named as such, the rest of its path is long and says little.
std::wstring Where(const std::wstring& raw) {
  std::wstring path = Shown(raw);
  // The user's quarantine, or the machine-wide one for files from outside the profile.
  for (const std::wstring& folder : {Folder(), machine::FolderPath()}) {
    const std::wstring quarantine = folder + L"Quarantine\\";
    if (!folder.empty() && path.size() > quarantine.size() &&
        CompareStringOrdinal(path.c_str(), static_cast<int>(quarantine.size()), quarantine.c_str(), -1, TRUE) ==
            CSTR_EQUAL) {
      return L"the quarantine";
    }
  }
  return path;
}

std::wstring NameOf(const std::wstring& path) { return path.substr(path.find_last_of(L"\\/") + 1); }

}  // namespace

namespace scope {

std::wstring DescribeChange(const Item& item) {
  switch (item.kind) {
    case ItemKind::Registry:
      return RegDescribe(item.root, item.key, item.name) + L": " + ShortValue(item.regBefore) + L" → " +
             ShortValue(item.regAfter);
    case ItemKind::Attributes:
      return Shown(item.path) + L": " + AttributeWords(item.attrBefore) + L" → " + AttributeWords(item.attrAfter);
    case ItemKind::Content:
      return Shown(item.path) + (item.existedBefore ? L": content replaced (a copy kept)" : L": created");
    case ItemKind::Move:
      return Shown(item.path) + L": moved to " + Where(item.kept);
    case ItemKind::Rename:
      return Shown(item.path) + L": renamed to \"" + NameOf(item.kept) + L"\"";
    case ItemKind::Note:
      return item.path.empty() ? L"a change that was not made" : item.path;
  }
  return {};
}

std::wstring DescribeUndo(const Item& item) {
  switch (item.kind) {
    case ItemKind::Registry:
      return L"puts back " + ShortValue(item.regBefore);
    case ItemKind::Attributes:
      return L"makes it " + AttributeWords(item.attrBefore) + L" again";
    case ItemKind::Content:
      return item.existedBefore ? L"puts the kept copy back" : L"deletes it";
    case ItemKind::Move:
      return L"brings it back from " + Where(item.kept);
    case ItemKind::Rename:
      return L"renames it back";
    case ItemKind::Note:
      break;
  }
  return {};
}

}  // namespace scope

std::vector<std::wstring> ProgramsPutBack(const Group& group) {
  // What starts on a double-click or from autorun: what a worm leaves and a clean takes away.
  constexpr const wchar_t* kRunnable[] = {L".exe", L".com", L".scr", L".pif", L".bat", L".cmd", L".vbs", L".vbe",
                                          L".js",  L".jse", L".wsf", L".wsh", L".ps1", L".hta", L".lnk", L".inf"};
  std::vector<std::wstring> programs;
  for (const Item& item : group.items) {
    if (item.kind != ItemKind::Move || Where(item.kept) != L"the quarantine") continue;
    const std::wstring name = NameOf(item.path);
    const auto dot = name.rfind(L'.');
    if (dot == std::wstring::npos) continue;
    const std::wstring extension = name.substr(dot);
    for (const wchar_t* runnable : kRunnable) {
      if (CompareStringOrdinal(extension.c_str(), -1, runnable, -1, TRUE) == CSTR_EQUAL) {
        programs.push_back(Shown(item.path));
        break;
      }
    }
  }
  return programs;
}

std::vector<ItemView> Describe(const Group& group) {
  std::vector<ItemView> views;
  views.reserve(group.items.size());
  scope::Checker checker;
  const std::vector<ItemState> states = scope::JudgeGroup(group);
  for (std::size_t i = 0; i < group.items.size(); ++i) {
    const Item& item = group.items[i];
    ItemView view;
    view.change = scope::DescribeChange(item);
    view.undo = scope::DescribeUndo(item);
    view.refusal = checker.Refusal(group, item);
    view.state = view.refusal.empty() ? states[i] : ItemState::Refused;
    views.push_back(std::move(view));
  }
  return views;
}

}  // namespace platform::journal
