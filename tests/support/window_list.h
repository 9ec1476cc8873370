// Every window Korvane has, each opened as a person first sees it: the layout
// and keyboard tests walk the same list.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ui/form.h"

namespace testing_support {

struct WindowCase {
  const char* name;  // also the screenshot's file name
  std::function<platform::Form&()> open;
};

// The main window once per page, then every other window; the splash last.
const std::vector<WindowCase>& AllWindows();
// The same without the splash, which takes no input.
std::vector<WindowCase> InputWindows();
// A test name for a window: "main-welcome" reads main_welcome.
std::string WindowTestName(const testing::TestParamInfo<WindowCase>& param);

}  // namespace testing_support
