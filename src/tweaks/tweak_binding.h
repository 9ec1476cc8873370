// Tweak check boxes bound to registry values. A page describes its boxes as a
// table, one row per box; one generic load and one generic click serve them all.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "ui/controls.h"
#include "system/registry.h"

namespace platform {

// One registry call of an action: a write of text data, or a delete.
struct RegStep {
  bool remove = false;
  RegRoot root = kCurrentUser;
  const wchar_t* key = L"";
  const wchar_t* name = L"";
  const wchar_t* data = L"";  // numeric text is stored as REG_DWORD (see RegSetValue)
};

inline RegStep Write(RegRoot root, const wchar_t* key, const wchar_t* name, const wchar_t* data) {
  return {false, root, key, name, data};
}
inline RegStep Delete(RegRoot root, const wchar_t* key, const wchar_t* name) { return {true, root, key, name, L""}; }

// The value a box's load routine reads, and what it must equal for the box to load checked.
struct LoadRule {
  RegRoot root = kCurrentUser;
  const wchar_t* key = L"";
  const wchar_t* name = L"";
  bool numeric = false;  // compared as a number, else as text
  std::int32_t number = 0;
  const wchar_t* text = L"";

  bool Holds() const;
};

inline LoadRule EqualsNumber(RegRoot root, const wchar_t* key, const wchar_t* name, std::int32_t number) {
  return {root, key, name, true, number, L""};
}
inline LoadRule EqualsText(RegRoot root, const wchar_t* key, const wchar_t* name, const wchar_t* text) {
  return {root, key, name, false, 0, text};
}

struct TweakBinding {
  const wchar_t* control;
  const wchar_t* id;  // stable within its page, for the command line: "disable-task-manager"
  const wchar_t* caption;
  const wchar_t* toolTip;
  const wchar_t* loadRoutine;  // the page's name for the read (GetTMValue)
  LoadRule load;
  std::vector<RegStep> checked;
  std::vector<RegStep> unchecked;
};

// Runs the steps in order and stops at the first refused or cancelled one.
RegOutcome RunSteps(std::span<const RegStep> steps);

enum class TweakOutcome {
  Done,
  Refused,    // a step was refused; those before it stay made
  Cancelled,  // the journal could not be written and the user chose to change nothing
};
// One click of a tweak box, from either front end: its steps, recorded in the
// change journal as "<page>: <caption> checked|unchecked".
TweakOutcome ApplyTweak(const TweakBinding& binding, bool checked, std::wstring_view pageTitle);

inline constexpr wchar_t kRefusedChangeMessage[] =
    L"This change could not be made. Administrator rights may be required.";

// The check boxes of one page, created from its table. Creation follows the
// keyboard order given; loading follows the table's order.
class TweakBoxes {
 public:
  using Placer = std::function<TwipsRect(std::wstring_view control)>;
  TweakBoxes(Form& form, std::span<const TweakBinding> table, std::span<const wchar_t* const> tabOrder,
             const Placer& place);
  // The boxes' click handlers point back here.
  TweakBoxes(const TweakBoxes&) = delete;
  TweakBoxes& operator=(const TweakBoxes&) = delete;

  // The page's Form_Load: every load routine, in table order. A box that loads
  // checked runs its click at once and writes its checked action again.
  void LoadAll();
  // One box's load routine; a refused rewrite during it shows nothing.
  void Load(std::wstring_view control);
  CheckBox& Box(std::wstring_view control) const;
  const TweakBinding& Binding(std::wstring_view control) const;
  std::size_t Size() const { return rows_.size(); }

 private:
  struct Row {
    const TweakBinding* binding;
    std::unique_ptr<CheckBox> box;
  };
  void LoadRow(Row& row);
  void OnClick(Row& row);
  Row& Find(std::wstring_view control) const;

  Form& form_;
  std::vector<std::unique_ptr<Row>> rows_;  // in table order
  int loading_ = 0;  // load routines running
};

}  // namespace platform
