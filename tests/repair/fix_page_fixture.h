// The main window opened on its Fix page, with every message box recorded.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "shell/main_window.h"
#include "support/seams.h"
#include "support/ui_helpers.h"

namespace repair_tests {

inline platform::MsgBoxCall Message(std::wstring text, platform::MsgIcon icon, std::wstring title = L"Korvane") {
  return {std::move(text), std::move(title), icon, platform::MsgButtons::Ok};
}

// The boxes shown, in order, against those expected; a mismatch prints both lists.
inline testing::AssertionResult Showed(const testing_support::MsgBoxRecorder& recorder,
                                       const std::vector<platform::MsgBoxCall>& expected) {
  const auto& got = recorder.Calls();
  bool same = got.size() == expected.size();
  for (std::size_t i = 0; same && i < got.size(); ++i) same = got[i] == expected[i];
  if (same) return testing::AssertionSuccess();
  std::ostringstream out;
  out << "shown:";
  for (const auto& call : got) out << "\n  " << call;
  out << "\nexpected:";
  for (const auto& call : expected) out << "\n  " << call;
  return testing::AssertionFailure() << out.str();
}

class FixPageTest : public testing::Test {
 protected:
  void SetUp() override {
    form_ = &platform::Instance<shell::FrmMain>();
    form_->Show();
    form_->TabMain.SetTab(2);
    testing_support::Pump();
  }
  void TearDown() override {
    testing_support::EndAllForms();
  }
  repair::FixPage& Page() { return form_->fix; }
  // A label reports a click to its form, as a mouse click does.
  void ClickLabel(const platform::Label& label) {
    SendMessageW(form_->Hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(label.Hwnd()), STN_CLICKED),
                 reinterpret_cast<LPARAM>(label.Hwnd()));
    testing_support::Pump();
  }

  testing_support::MsgBoxRecorder messages;
  shell::FrmMain* form_ = nullptr;
};

}  // namespace repair_tests
