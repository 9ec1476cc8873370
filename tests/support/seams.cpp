#include "support/seams.h"

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>

#include "support/text.h"

namespace testing_support {

MsgBoxRecorder::MsgBoxRecorder() {
  platform::SetMsgBoxHandler([this](const platform::MsgBoxCall& call) {
    calls_.push_back(call);
    if (onShow_) onShow_(call);
    if (call.buttons == platform::MsgButtons::Ok) return platform::MsgResult::Ok;
    if (answers_.empty()) return platform::MsgResult::Yes;
    const auto answer = answers_.front();
    answers_.pop_front();
    return answer;
  });
}

MsgBoxRecorder::~MsgBoxRecorder() { platform::SetMsgBoxHandler(nullptr); }

std::vector<std::wstring> MsgBoxRecorder::Texts() const {
  std::vector<std::wstring> texts;
  for (const auto& call : calls_) texts.push_back(call.text);
  return texts;
}

std::vector<std::string> MsgBoxRecorder::Shown() const {
  std::vector<std::string> shown;
  for (const auto& call : calls_) shown.push_back(AsText(call));
  return shown;
}

std::string AsText(const platform::MsgBoxCall& call) {
  std::ostringstream out;
  out << call;
  return out.str();
}

ShellRecorder::ShellRecorder() {
  platform::SetShellOpenHandler([this](const std::wstring& target) { targets_.push_back(target); });
}

ShellRecorder::~ShellRecorder() { platform::SetShellOpenHandler(nullptr); }

OpenFileAnswerer::OpenFileAnswerer() {
  platform::SetOpenFileHandler([this](platform::OpenFileRequest& request) {
    requests_.push_back(request);
    if (choices_.empty() || choices_.front().empty()) {
      if (!choices_.empty()) choices_.pop_front();
      return false;
    }
    request.fileName = choices_.front();
    choices_.pop_front();
    return true;
  });
}

OpenFileAnswerer::~OpenFileAnswerer() { platform::SetOpenFileHandler(nullptr); }

}  // namespace testing_support

namespace {
const char* IconName(platform::MsgIcon icon) {
  switch (icon) {
    case platform::MsgIcon::Information:
      return "Information";
    case platform::MsgIcon::Exclamation:
      return "Exclamation";
    case platform::MsgIcon::Critical:
      return "Critical";
  }
  return "?";
}
}  // namespace

namespace platform {

std::ostream& operator<<(std::ostream& out, const MsgBoxCall& call) {
  return out << "[" << testing_support::Utf8(call.title) << "] \""
             << testing_support::Utf8(call.text) << "\" " << IconName(call.icon)
             << (call.buttons == platform::MsgButtons::YesNo         ? " Yes/No"
                 : call.buttons == platform::MsgButtons::YesNoCancel ? " Yes/No/Cancel"
                                                                     : " OK");
}

bool operator==(const MsgBoxCall& a, const MsgBoxCall& b) {
  return a.text == b.text && a.title == b.title && a.icon == b.icon && a.buttons == b.buttons;
}

}  // namespace platform
