#include "journal/journal_machine.h"

#include <windows.h>

#include <bcrypt.h>
#include <sddl.h>

#include <nlohmann/json.hpp>

#include "journal/journal_format.h"
#include "journal/journal_scope.h"
#include "system/handle.h"
#include "system/late_load.h"
#include "system/utf8.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace platform::journal::machine {

namespace {

constexpr std::uint64_t kMostRead = 16ull * 1024 * 1024;
constexpr wchar_t kHashPrefix[] = L"sha256:";

// Administrators and SYSTEM write; everyone else may only read.
bool MakeFolder(const std::wstring& folder) {
  if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;GA;;;BA)(A;OICI;GA;;;SY)(A;OICI;GR;;;BU)",
                                                            SDDL_REVISION_1, &descriptor, nullptr)) {
    return false;
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  const bool made = CreateDirectoryW(folder.c_str(), &attributes) || GetLastError() == ERROR_ALREADY_EXISTS;
  LocalFree(descriptor);
  return made;
}

struct UserPlaces {
  std::wstring profile;
  std::wstring journal;
  wchar_t windowsDrive = 0;
};

const UserPlaces& User() {
  static const UserPlaces places{scope::ProfileFolder(), scope::PlainPath(Folder()), scope::WindowsDrive()};
  return places;
}

// The item as the journal writes it, without the sizes read from the disk
// (a swapped copy is then named as changed, not as never vouched for). The
// folder names the user whose journal holds the item, so one user's line
// vouches for nobody else.
std::string KeyOf(GroupId id, const Item& item, std::wstring_view folder) {
  std::string json = format::ItemLine(id, 0, item, folder);
  if (item.kind == ItemKind::Content || item.kind == ItemKind::Move) {
    auto parsed = nlohmann::ordered_json::parse(json, nullptr, false);
    if (parsed.is_object()) {
      parsed.erase("keptBytes");
      parsed.erase("movedBytes");
      json = parsed.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    }
  }
  while (!json.empty() && (json.back() == '\n' || json.back() == '\r')) json.pop_back();
  return ToUtf8(folder) + "\t" + json;
}

// The store, open for appending from the first countersign to the end of the
// process, like the user's journal, and likewise never deleted or renamed meanwhile.
struct Store {
  std::mutex threads;
  Handle file;
};

Store& HeldStore() {
  static Store store;
  return store;
}

using OpenAlgorithm = decltype(&BCryptOpenAlgorithmProvider);
using CloseAlgorithm = decltype(&BCryptCloseAlgorithmProvider);
using CreateHash = decltype(&BCryptCreateHash);
using HashData = decltype(&BCryptHashData);
using FinishHash = decltype(&BCryptFinishHash);
using DestroyHash = decltype(&BCryptDestroyHash);

}  // namespace

std::wstring FolderPath() {
  const std::wstring data = scope::Environment(L"ProgramData");
  return data.empty() ? data : data + L"\\Korvane\\";
}

std::wstring EnsureFolder() {
  const std::wstring folder = FolderPath();
  return !folder.empty() && MakeFolder(folder.substr(0, folder.size() - 1)) ? folder : std::wstring();
}

std::wstring FilePath() {
  const std::wstring folder = FolderPath();
  return folder.empty() ? std::wstring() : folder + L"machine-journal.jsonl";
}

bool IsMachineWidePath(std::wstring_view path, std::wstring_view drives) {
  const UserPlaces& user = User();
  // On a drive the action works on, by its letter alone: a bulk action names thousands such.
  // (A path there that is not plain is refused by undo whatever this says.)
  const std::wstring_view rest = path.starts_with(L"\\\\?\\") ? path.substr(4) : path;
  if (rest.size() >= 3 && rest[1] == L':' && rest[2] == L'\\') {
    const auto letter = static_cast<wchar_t>(rest[0] >= L'a' && rest[0] <= L'z' ? rest[0] - (L'a' - L'A') : rest[0]);
    const bool checked = letter >= L'A' && letter <= L'Z' && drives.find(letter) != std::wstring_view::npos;
    if (checked && letter != user.windowsDrive) return false;
  }
  const std::wstring plain = scope::PlainPath(path);
  if (plain.empty()) return true;
  if (scope::Within(plain, user.journal) || scope::Within(plain, user.profile)) return false;
  return plain[0] == user.windowsDrive || drives.find(plain[0]) == std::wstring_view::npos;
}

bool IsMachineWide(const Item& item, std::wstring_view drives) {
  switch (item.kind) {
    case ItemKind::Registry:
      return item.root != kCurrentUser;
    case ItemKind::Attributes:
    case ItemKind::Content:
      return IsMachineWidePath(item.path, drives);
    case ItemKind::Move:
    case ItemKind::Rename:
      return IsMachineWidePath(item.path, drives) || IsMachineWidePath(item.kept, drives);
    case ItemKind::Note:
      return false;
  }
  return false;
}

std::wstring CopyOf(const Item& item) {
  if (item.kind == ItemKind::Move || (item.kind == ItemKind::Content && item.existedBefore)) return item.kept;
  return {};
}

std::wstring FileHash(std::wstring_view path) {
  static const auto open = LateProc<OpenAlgorithm>(L"bcrypt.dll", "BCryptOpenAlgorithmProvider");
  static const auto close = LateProc<CloseAlgorithm>(L"bcrypt.dll", "BCryptCloseAlgorithmProvider");
  static const auto create = LateProc<CreateHash>(L"bcrypt.dll", "BCryptCreateHash");
  static const auto data = LateProc<HashData>(L"bcrypt.dll", "BCryptHashData");
  static const auto finish = LateProc<FinishHash>(L"bcrypt.dll", "BCryptFinishHash");
  static const auto destroy = LateProc<DestroyHash>(L"bcrypt.dll", "BCryptDestroyHash");
  if (!open || !close || !create || !data || !finish || !destroy) return {};
  const Handle file(CreateFileW(std::wstring(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return {};
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!BCRYPT_SUCCESS(open(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) return {};
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool whole = BCRYPT_SUCCESS(create(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
  std::vector<UCHAR> buffer(std::size_t{64} * 1024);
  DWORD got = 0;
  for (;;) {
    if (!whole) break;
    if (!ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) whole = false;
    if (!whole || got == 0) break;
    whole = BCRYPT_SUCCESS(data(hash, buffer.data(), got, 0));
  }
  UCHAR digest[32] = {};
  whole = whole && BCRYPT_SUCCESS(finish(hash, digest, sizeof digest, 0));
  if (hash) destroy(hash);
  close(algorithm, 0);
  if (!whole) return {};
  std::wstring text = kHashPrefix;
  constexpr wchar_t kDigits[] = L"0123456789abcdef";
  for (const UCHAR b : digest) {
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return text;
}

bool Vouch(GroupId id, const Item& item, std::wstring_view folder, bool flush) {
  return Vouch(id, std::span(&item, 1), folder, flush);
}

bool Vouch(GroupId id, std::span<const Item> items, std::wstring_view folder, bool flush) {
  if (items.empty()) return true;
  std::string lines;
  for (const Item& item : items) {
    lines += KeyOf(id, item, folder);
    // The copy undo would put back is known by its hash: a copy swapped since is never put back.
    if (const std::wstring copy = CopyOf(item); !copy.empty()) {
      const std::wstring hash = FileHash(copy);
      if (hash.empty()) return false;
      lines += "\t" + ToUtf8(hash);
    }
    lines += "\n";
  }
  Store& store = HeldStore();
  const std::lock_guard guard(store.threads);
  if (!store.file) {
    if (EnsureFolder().empty()) return false;
    store.file.Reset(CreateFileW(FilePath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!store.file) return false;
  }
  DWORD written = 0;
  if (WriteFile(store.file.Get(), lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr) &&
      written == lines.size() && (!flush || FlushFileBuffers(store.file.Get()))) {
    return true;
  }
  store.file.Close();  // opened afresh next time
  return false;
}

void CloseStore() {
  Store& store = HeldStore();
  const std::lock_guard guard(store.threads);
  store.file.Close();
}

std::optional<std::wstring> Vouched::Find(GroupId id, const Item& item, std::wstring_view folder) {
  if (!loaded_) {
    loaded_ = true;
    const Handle file(CreateFileW(FilePath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size{};
    if (file && GetFileSizeEx(file.Get(), &size) && static_cast<std::uint64_t>(size.QuadPart) <= kMostRead) {
      std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
      DWORD read = 0;
      if (ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
        bytes.resize(read);
        std::size_t start = 0;
        while (start < bytes.size()) {
          const std::size_t end = std::min(bytes.find('\n', start), bytes.size());
          std::string line = bytes.substr(start, end - start);
          // A line is "folder<tab>item" or "folder<tab>item<tab>hash": JSON holds no raw tab.
          std::string hash;
          if (const auto first = line.find('\t'), last = line.rfind('\t'); first != last) {
            hash = line.substr(last + 1);
            line.resize(last);
          }
          lines_.insert_or_assign(std::move(line), std::move(hash));
          start = end + 1;
        }
      }
    }
  }
  const auto found = lines_.find(KeyOf(id, item, folder));
  if (found == lines_.end()) return std::nullopt;
  return FromUtf8(found->second);
}

}  // namespace platform::journal::machine
