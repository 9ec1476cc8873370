// The computer check's rules: one table of where to look, what counts as a
// worm's evidence, what is only unusual, and what a clean does. The scan
// runs each row's finder in turn; both front ends list what they find.
#pragma once

#include <atomic>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "repair/computer_check/places.h"
#include "repair/computer_check/scan.h"
#include "repair/drive_check/shortcut.h"

namespace repair::computer_check {

// What the finders share during one scan.
struct Context {
  Places places;
  drive_check::ShortcutReader shortcuts;  // needs COM on the scanning thread
  bool domainJoined = false;
  bool elevated = true;
  std::size_t read = 0;  // places read, for the count a person sees
  std::vector<Finding> findings;
  const std::atomic<bool>* cancel = nullptr;

  bool Cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }
  // Marks what needs administrator rights and what an organisation may have set, then keeps it.
  void Add(Finding finding);
  // Every file a finding so far takes or names as what it starts, lower-case (for the running processes).
  std::set<std::wstring> FilesFound() const;
};

struct Rule {
  Kind kind;
  std::wstring_view where;
  std::wstring_view worm;     // evidence that makes a finding checked
  std::wstring_view unusual;  // listed, unchecked
  std::wstring_view action;
  void (*find)(Context& context);
};

// In the order they run: the running processes come last, since they are
// judged by the files the other rows found.
std::span<const Rule> Rules();

// The tools a worm blocks through a debugger value (Image File Execution Options).
std::span<const std::wstring_view> BlockedTools();

// The registry's keys the rules read, as "HKCU\..." (the bench reads the same ones).
// Lets undo write what these rules change. Each front end calls it at start.
void AllowUndoOfComputerCheck();

inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunOnceKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline constexpr wchar_t kPolicyRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run";
inline constexpr wchar_t kWow64Prefix[] = L"Software\\WOW6432Node\\";

void FindTasks(Context& context);      // tasks.cpp
void FindProcesses(Context& context);  // processes.cpp

}  // namespace repair::computer_check
