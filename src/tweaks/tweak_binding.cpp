#include "tweaks/tweak_binding.h"

#include <stdexcept>

#include "ui/form.h"
#include "journal/journal.h"
#include "system/message_box.h"
#include "system/named_lock.h"
#include "system/numeric_text.h"

namespace platform {

bool LoadRule::Holds() const {
  const RegValue value = RegGetValue(root, key, name);
  return numeric ? value.EqualsNumber(number) : value.EqualsText(text);
}

namespace {

// Two copies of Korvane may click the same box at once. The values of one
// click are written together, so that the registry ends as one of them left
// it and never with one value from each.
class ChangeLock : public NamedLock {
 public:
  ChangeLock() : NamedLock(Mutex(), 2000) {}

 private:
  static HANDLE Mutex() {
    static const HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\KorvaneRegistryChange");
    return mutex;
  }
};

}  // namespace

RegOutcome RunSteps(std::span<const RegStep> steps) {
  const ChangeLock lock;
  for (const RegStep& step : steps) {
    const RegOutcome outcome =
        step.remove ? RegDeleteValue(step.root, step.key, step.name) : RegSetValue(step.root, step.key, step.name, step.data);
    if (outcome != RegOutcome::Done) return outcome;
  }
  return RegOutcome::Done;
}

TweakOutcome ApplyTweak(const TweakBinding& binding, bool checked, std::wstring_view pageTitle) {
  std::wstring what(pageTitle);
  what += L": ";
  what += TrimBlanks(binding.caption);
  what += checked ? L" checked" : L" unchecked";
  const journal::Action action(std::move(what));
  if (action.Cancelled()) return TweakOutcome::Cancelled;
  // A journal that fails at a later step asks then, and a Cancel there stops at that step.
  switch (RunSteps(checked ? binding.checked : binding.unchecked)) {
    case RegOutcome::Done:
      return TweakOutcome::Done;
    case RegOutcome::Cancelled:
      return TweakOutcome::Cancelled;
    case RegOutcome::Refused:
      break;
  }
  return TweakOutcome::Refused;
}

TweakBoxes::TweakBoxes(Form& form, std::span<const TweakBinding> table, std::span<const wchar_t* const> tabOrder,
                       const Placer& place)
    : form_(form) {
  for (const TweakBinding& binding : table) {
    auto row = std::make_unique<Row>();
    row->binding = &binding;
    rows_.push_back(std::move(row));
  }
  for (const wchar_t* control : tabOrder) {
    Row& row = Find(control);
    if (row.box) throw std::logic_error("a tweak box appears twice in the keyboard order");
    const TweakBinding& binding = *row.binding;
    row.box = std::make_unique<CheckBox>(form, binding.control, place(binding.control), binding.caption);
    row.box->SetToolTip(binding.toolTip);
    row.box->SetBackColor(GetSysColor(COLOR_WINDOW));
    row.box->SetTextColor(GetSysColor(COLOR_WINDOWTEXT));
    row.box->onClick = [this, &row] { OnClick(row); };
  }
  for (const auto& row : rows_) {
    if (!row->box) throw std::logic_error("a tweak box is missing from the keyboard order");
  }
}

TweakBoxes::Row& TweakBoxes::Find(std::wstring_view control) const {
  for (const auto& row : rows_) {
    if (row->binding->control == control) return *row;
  }
  throw std::out_of_range("no such tweak box");
}

CheckBox& TweakBoxes::Box(std::wstring_view control) const { return *Find(control).box; }

const TweakBinding& TweakBoxes::Binding(std::wstring_view control) const { return *Find(control).binding; }

namespace {

// Only rewrites that change what is stored are recorded, one group per page
// load; the page opens whatever the journal says.
journal::Action LoadAction(const Form& form) {
  return journal::Action(form.Caption() + L": checked values rewritten on loading", journal::ActionOptions{true, true});
}

class Counting {
 public:
  explicit Counting(int& count) : count_(count) { ++count_; }
  ~Counting() { --count_; }
  Counting(const Counting&) = delete;
  Counting& operator=(const Counting&) = delete;

 private:
  int& count_;
};

}  // namespace

void TweakBoxes::LoadRow(Row& row) {
  // The rewrite of a box that loads checked is silent when refused: the
  // registry holds what made the box load checked, so the box is right.
  const Counting loading(loading_);
  // Loading only ever checks a box; a box whose rule fails keeps its state.
  if (row.binding->load.Holds()) row.box->SetValue(1);
}

void TweakBoxes::Load(std::wstring_view control) {
  const journal::Action action = LoadAction(form_);
  LoadRow(Find(control));
}

// One group for the whole page, opened once rather than once for each box.
void TweakBoxes::LoadAll() {
  const journal::Action action = LoadAction(form_);
  for (const auto& row : rows_) LoadRow(*row);
}

void TweakBoxes::OnClick(Row& row) {
  const TweakOutcome outcome = ApplyTweak(*row.binding, row.box->Value() == 1, form_.Caption());
  if (outcome == TweakOutcome::Done || loading_ > 0) return;
  // A refused change must not leave the box showing what the registry does not hold;
  // an action over two keys may have been refused after its first step.
  row.box->SetValueQuietly(row.binding->load.Holds() ? 1 : 0);
  if (outcome == TweakOutcome::Refused) MsgBox(kRefusedChangeMessage, MsgIcon::Exclamation);
}

}  // namespace platform
