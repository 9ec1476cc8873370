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

MenuAnswerer::MenuAnswerer() {
  platform::SetPopupMenuHandler([this](const std::vector<platform::PopupEntry>& entries) {
    std::vector<std::string> shown;
    for (const auto& entry : entries) {
      shown.push_back(entry.caption.empty() ? "-" : Utf8(entry.caption) + (entry.enabled ? "" : " (grey)"));
    }
    shown_.push_back(std::move(shown));
    if (choices_.empty()) return -1;
    const std::wstring choice = choices_.front();
    choices_.pop_front();
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].caption == choice) return static_cast<int>(i);
    }
    return -1;
  });
}

MenuAnswerer::~MenuAnswerer() { platform::SetPopupMenuHandler(nullptr); }

std::wstring ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return text;
  if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

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
