#include "ui/drive_letter_box.h"

#include <algorithm>
#include <string>
#include <vector>

#include "system/message_box.h"

namespace platform {

namespace {

// Boxes whose rule is running: the rule's own changes of the text raise
// onChange again and must not show the message a second time.
std::vector<const TextBox*>& BoxesInRule() {
  static std::vector<const TextBox*> boxes;
  return boxes;
}

class RuleRunning {
 public:
  explicit RuleRunning(const TextBox& box) : box_(&box) { BoxesInRule().push_back(box_); }
  ~RuleRunning() {
    auto& boxes = BoxesInRule();
    boxes.erase(std::find(boxes.begin(), boxes.end(), box_));
  }
  RuleRunning(const RuleRunning&) = delete;
  RuleRunning& operator=(const RuleRunning&) = delete;
  static bool For(const TextBox& box) {
    const auto& boxes = BoxesInRule();
    return std::find(boxes.begin(), boxes.end(), &box) != boxes.end();
  }

 private:
  const TextBox* box_;
};

std::wstring Upper(std::wstring text) {
  if (!text.empty()) CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// What the user sees as characters: a surrogate pair is one.
std::size_t CharacterCount(const std::wstring& text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1])) ++i;
    ++count;
  }
  return count;
}

}  // namespace

void ApplyDriveLetterRule(TextBox& box) {
  if (RuleRunning::For(box)) return;
  const RuleRunning running(box);
  const std::wstring text = box.Text();
  const std::wstring upper = Upper(text);
  if (upper != text) {
    box.SetText(upper);
    // Setting the text puts the caret in front of it; the user types after it.
    if (box.Hwnd()) {
      const auto end = static_cast<WPARAM>(upper.size());
      SendMessageW(box.Hwnd(), EM_SETSEL, end, static_cast<LPARAM>(end));
    }
  }
  if (CharacterCount(upper) > 1) {
    MsgBox(kDriveLetterTooLong, MsgIcon::Information, kDriveLetterTooLongTitle);
    box.SetText(L"");
  }
}

}  // namespace platform
