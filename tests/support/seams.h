// Observes and answers the program's message boxes, shell requests and
// open-file dialogs while a test runs.
#pragma once

#include <deque>
#include <iosfwd>
#include <string>
#include <vector>

#include "system/message_box.h"
#include "system/open_file_dialog.h"
#include "system/shell_request.h"
#include "ui/popup_menu.h"

namespace testing_support {

// Records every message box; answers Yes/No questions from a queue (Yes when empty).
class MsgBoxRecorder {
 public:
  MsgBoxRecorder();
  ~MsgBoxRecorder();
  MsgBoxRecorder(const MsgBoxRecorder&) = delete;
  MsgBoxRecorder& operator=(const MsgBoxRecorder&) = delete;

  void AnswerNext(platform::MsgResult answer) { answers_.push_back(answer); }
  // Runs while a message box is up (the real one is modal; tests may act inside it).
  void OnShow(std::function<void(const platform::MsgBoxCall&)> action) { onShow_ = std::move(action); }
  const std::vector<platform::MsgBoxCall>& Calls() const { return calls_; }
  std::vector<std::wstring> Texts() const;
  // Every box as a person reads it (see AsText).
  std::vector<std::string> Shown() const;
  void Clear() { calls_.clear(); }

 private:
  std::vector<platform::MsgBoxCall> calls_;
  std::deque<platform::MsgResult> answers_;
  std::function<void(const platform::MsgBoxCall&)> onShow_;
};

class ShellRecorder {
 public:
  ShellRecorder();
  ~ShellRecorder();
  ShellRecorder(const ShellRecorder&) = delete;
  ShellRecorder& operator=(const ShellRecorder&) = delete;
  const std::vector<std::wstring>& Targets() const { return targets_; }

 private:
  std::vector<std::wstring> targets_;
};

// Answers open-file dialogs: a file name chosen, or a cancel when empty.
class OpenFileAnswerer {
 public:
  OpenFileAnswerer();
  ~OpenFileAnswerer();
  OpenFileAnswerer(const OpenFileAnswerer&) = delete;
  OpenFileAnswerer& operator=(const OpenFileAnswerer&) = delete;
  void ChooseNext(std::wstring fileName) { choices_.push_back(std::move(fileName)); }
  const std::vector<platform::OpenFileRequest>& Requests() const { return requests_; }

 private:
  std::deque<std::wstring> choices_;
  std::vector<platform::OpenFileRequest> requests_;
};

// Records every shortcut menu; chooses the entries named in a queue, by
// caption (none when the queue is empty or the caption is not on the menu).
class MenuAnswerer {
 public:
  MenuAnswerer();
  ~MenuAnswerer();
  MenuAnswerer(const MenuAnswerer&) = delete;
  MenuAnswerer& operator=(const MenuAnswerer&) = delete;
  void ChooseNext(std::wstring caption) { choices_.push_back(std::move(caption)); }
  // Each menu as a person reads it: its captions, "-" for a separator, "(grey)" after a disabled one.
  const std::vector<std::vector<std::string>>& Shown() const { return shown_; }

 private:
  std::deque<std::wstring> choices_;
  std::vector<std::vector<std::string>> shown_;
};

// The clipboard's text, empty when it holds none.
std::wstring ClipboardText();

// A message box as a person reads it: [title] "text" icon buttons.
std::string AsText(const platform::MsgBoxCall& call);

}  // namespace testing_support

// Prints a message box the way a person reads it, for failure messages. In the
// type's own namespace, so that gtest's EXPECT_EQ finds them.
namespace platform {
std::ostream& operator<<(std::ostream& out, const MsgBoxCall& call);
bool operator==(const MsgBoxCall& a, const MsgBoxCall& b);
}  // namespace platform
