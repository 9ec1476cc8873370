#include "repair/drive_check/command_words.h"

#include <algorithm>
#include <array>
#include <cwctype>

#include "repair/launchers.h"
#include "system/handle.h"
#include "system/system_text.h"
#include "system/utf8.h"

namespace repair::drive_check {

namespace {

constexpr int kDeepest = 4;  // command strings inside command strings

struct Token {
  std::wstring text;
  bool quoted = false;
  bool op = false;  // & | ( ) < >: ends a command
};

std::vector<Token> Tokenize(std::wstring_view command) {
  std::vector<Token> tokens;
  Token word;
  bool inQuotes = false;
  bool any = false;
  auto flush = [&] {
    if (any) tokens.push_back(word);
    word = Token{};
    any = false;
  };
  for (const wchar_t c : command) {
    if (c == L'"') {
      inQuotes = !inQuotes;
      word.quoted = true;
      any = true;
    } else if (!inQuotes && std::iswspace(c)) {
      flush();
    } else if (!inQuotes && (c == L'&' || c == L'|' || c == L'(' || c == L')' || c == L'<' || c == L'>')) {
      flush();
      tokens.push_back({std::wstring(1, c), false, true});
    } else {
      word.text += c;
      any = true;
    }
  }
  flush();
  return tokens;
}


bool IsSwitch(const std::wstring& word) { return !word.empty() && (word[0] == L'/' || word[0] == L'-'); }

bool Has(const std::vector<Reached>& list, const std::wstring& path) {
  return std::any_of(list.begin(), list.end(), [&](const Reached& r) { return r.path == path; });
}

void Add(std::vector<Reached>& list, const Reached& item) {
  if (!Has(list, item.path)) list.push_back(item);
}

bool HiddenEntry(const Entry& entry) {
  return (entry.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

bool Runnable(std::wstring_view name) {
  static constexpr std::array<std::wstring_view, 16> kRun = {L".exe", L".com", L".scr", L".pif", L".bat", L".cmd",
                                                             L".vbs", L".vbe", L".js",  L".jse", L".wsf", L".wsh",
                                                             L".hta", L".ps1", L".dll", L".cpl"};
  const std::wstring extension = Extension(name);
  return std::find(kRun.begin(), kRun.end(), extension) != kRun.end();
}

class Judge {
 public:
  Judge(const std::wstring& base, const DriveFacts& drive, const WalkedItems& walked, CommandJudgement& into)
      : base_(base), drive_(drive), walked_(walked), into_(into) {}

  void Command(const std::wstring& text, bool firstWordRuns, int depth) {
    const std::vector<Token> tokens = Tokenize(text);
    std::vector<Token> words;
    for (std::size_t i = 0; i <= tokens.size(); ++i) {
      if (i == tokens.size() || tokens[i].op) {
        One(words, firstWordRuns, depth);
        words.clear();
      } else {
        words.push_back(tokens[i]);
      }
    }
  }

 private:
  std::optional<Reached> Find(const std::wstring& word) const {
    const auto path = ResolveOnDrive(word, base_, drive_);
    return path ? walked_.Find(*path) : std::nullopt;
  }

  void NoteMissing(const std::wstring& word) {
    if (ResolveOnDrive(word, base_, drive_)) into_.missing.push_back(word);
  }

  // One command: "start" and "call" looked through, then its program and what it is given.
  void One(const std::vector<Token>& words, bool firstWordRuns, int depth) {
    std::size_t first = 0;
    while (first < words.size()) {
      const std::wstring word = platform::Lowered(words[first].text);
      if (word == L"start" || word == L"call") {
        ++first;
        while (first < words.size() && IsSwitch(words[first].text)) ++first;
        // start's first quoted word is a window title when more follows.
        if (word == L"start" && first + 1 < words.size() && words[first].quoted) ++first;
      } else if (word.empty() || word == L"@") {
        ++first;
      } else {
        break;
      }
    }
    if (first >= words.size()) return;
    const std::wstring& program = words[first].text;
    const std::wstring name = ProgramStem(program);
    if (IsLauncher(name, LauncherCheck::Drive)) {
      if (into_.launcher.empty()) into_.launcher = name;
      for (std::size_t i = first + 1; i < words.size(); ++i) Given(name, words[i], depth);
      return;
    }
    std::optional<Reached> found = Find(program);
    if (!found && firstWordRuns && Extension(program).empty()) {
      for (const wchar_t* extension : {L".exe", L".com", L".bat", L".cmd"}) {
        if ((found = Find(program + extension))) break;
      }
    }
    if (!found || found->entry.IsFolder()) {
      if (!found && (firstWordRuns || Runnable(program))) NoteMissing(program);
      return;
    }
    if (HiddenEntry(found->entry)) {
      Add(into_.hidden, *found);
      Add(into_.payloads, *found);
    } else if (Runnable(found->path) || firstWordRuns) {
      Add(into_.programs, *found);
    }
  }

  // A word a launcher is given: a file here is its payload; a command string is read in turn.
  void Given(const std::wstring& launcher, const Token& word, int depth) {
    if (IsSwitch(word.text)) return;
    std::wstring text = word.text;
    if (launcher == L"rundll32") {
      if (const auto comma = text.find(L','); comma != std::wstring::npos) text.resize(comma);
    }
    if (const auto found = Find(text)) {
      if (!found->entry.IsFolder()) {
        Add(into_.givenToLauncher, *found);
        Add(into_.payloads, *found);
      }
      return;
    }
    if (depth < kDeepest && (text.find_first_of(L" \t&|") != std::wstring::npos)) {
      Command(text, false, depth + 1);
    } else if (Runnable(text) && launcher != L"explorer") {
      NoteMissing(text);
    }
  }

  const std::wstring& base_;
  const DriveFacts& drive_;
  const WalkedItems& walked_;
  CommandJudgement& into_;
};

std::wstring Trim(std::wstring_view text) {
  const auto first = text.find_first_not_of(L" \t\r\n");
  if (first == std::wstring_view::npos) return {};
  const auto last = text.find_last_not_of(L" \t\r\n");
  return std::wstring(text.substr(first, last - first + 1));
}

std::wstring TextOf(const std::string& bytes) {
  if (auto text = platform::FromMarkedUtf16(bytes)) return std::move(*text);
  return platform::FromCodePage(bytes, CP_ACP);
}

template <class Visit>
void EachLine(const std::wstring& text, const Visit& visit) {
  std::size_t start = 0;
  while (start <= text.size()) {
    auto end = text.find_first_of(L"\r\n", start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring line = Trim(std::wstring_view(text).substr(start, end - start));
    start = end + 1;
    if (!line.empty() && line[0] != L';') visit(line);
  }
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// "file:///E:/My%20Files/x.vbs" -> "E:\My Files\x.vbs"
std::wstring FromFileUrl(std::wstring value) {
  const std::wstring lower = platform::Lowered(value);
  if (lower.rfind(L"file:", 0) == 0) {
    value.erase(0, 5);
    while (!value.empty() && value[0] == L'/') value.erase(0, 1);
  }
  std::wstring path;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == L'%' && i + 2 < value.size() && HexDigit(value[i + 1]) >= 0 && HexDigit(value[i + 2]) >= 0) {
      path += static_cast<wchar_t>(HexDigit(value[i + 1]) * 16 + HexDigit(value[i + 2]));
      i += 2;
    } else {
      path += value[i] == L'/' ? L'\\' : value[i];
    }
  }
  return path;
}

}  // namespace

std::wstring Extension(std::wstring_view name) {
  const auto dot = name.find_last_of(L'.');
  const auto slash = name.find_last_of(L"\\/");
  if (dot == std::wstring_view::npos || (slash != std::wstring_view::npos && dot < slash)) return {};
  return platform::Lowered(name.substr(dot));
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

std::wstring ExpandCommand(const std::wstring& text, const std::wstring& currentFolder) {
  std::wstring replaced;
  for (std::size_t i = 0; i < text.size();) {
    if (text.size() - i >= 4 && platform::SameName(std::wstring_view(text).substr(i, 4), L"%cd%")) {
      replaced += currentFolder;
      i += 4;
    } else {
      replaced += text[i++];
    }
  }
  const DWORD length = ExpandEnvironmentStringsW(replaced.c_str(), nullptr, 0);
  if (length == 0) return replaced;
  std::wstring expanded(length, L'\0');
  const DWORD got = ExpandEnvironmentStringsW(replaced.c_str(), expanded.data(), length);
  if (got == 0 || got > length) return replaced;
  expanded.resize(got - 1);
  return expanded;
}

void JudgeCommand(const std::wstring& command, const std::wstring& base, const DriveFacts& drive,
                  const WalkedItems& walked, CommandJudgement& into, bool firstWordRuns) {
  Judge(base, drive, walked, into).Command(ExpandCommand(command, base), firstWordRuns, 0);
}

CommandJudgement JudgeCommand(const std::wstring& command, const std::wstring& base, const DriveFacts& drive,
                              const WalkedItems& walked) {
  CommandJudgement judged;
  JudgeCommand(command, base, drive, walked, judged);
  return judged;
}

std::string ReadHead(const std::wstring& path, std::size_t limit, bool* cut) {
  const platform::Handle file(CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return {};
  std::string bytes(limit + 1, '\0');
  std::size_t got = 0;
  while (got < bytes.size()) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), bytes.data() + got, static_cast<DWORD>(bytes.size() - got), &read, nullptr) || read == 0) break;
    got += read;
  }
  if (cut) *cut = got > limit;
  bytes.resize(std::min(got, limit));
  return bytes;
}

std::vector<std::pair<std::wstring, std::wstring>> AutorunCommands(const std::string& bytes) {
  std::vector<std::pair<std::wstring, std::wstring>> lines;
  bool inAutorun = false;
  EachLine(TextOf(bytes), [&](const std::wstring& line) {
    if (line[0] == L'[') {
      inAutorun = platform::Lowered(line).rfind(L"[autorun", 0) == 0;
      return;
    }
    const auto equals = line.find(L'=');
    if (!inAutorun || equals == std::wstring::npos) return;
    lines.emplace_back(Trim(std::wstring_view(line).substr(0, equals)), Trim(std::wstring_view(line).substr(equals + 1)));
  });
  return lines;
}

std::vector<std::wstring> NamedPaths(const std::string& bytes, bool binary) {
  std::vector<std::wstring> paths;
  if (binary) {
    // A .pif keeps the program's path as a run of plain characters.
    std::wstring run;
    for (const char c : bytes) {
      const auto u = static_cast<unsigned char>(c);
      if (u >= 0x20 && u < 0x7F) {
        run += static_cast<wchar_t>(u);
        continue;
      }
      if (run.size() >= 4 && run.find_first_of(L"\\.") != std::wstring::npos) paths.push_back(Trim(run));
      run.clear();
    }
    if (run.size() >= 4 && run.find_first_of(L"\\.") != std::wstring::npos) paths.push_back(Trim(run));
    return paths;
  }
  EachLine(TextOf(bytes), [&](const std::wstring& line) {
    const auto equals = line.find(L'=');
    if (equals == std::wstring::npos) return;
    std::wstring value = Trim(std::wstring_view(line).substr(equals + 1));
    if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"') value = value.substr(1, value.size() - 2);
    if (!value.empty()) paths.push_back(FromFileUrl(value));
  });
  return paths;
}

}  // namespace repair::drive_check
