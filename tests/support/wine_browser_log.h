// Under Wine the shell hands web and mail addresses to the browser and mailer
// named under HKCU\Software\Wine\WineBrowser; this names a script that logs
// each address it is given, so a test can see exactly what reached the shell.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

class WineBrowserLog {
 public:
  WineBrowserLog();
  ~WineBrowserLog();
  WineBrowserLog(const WineBrowserLog&) = delete;
  WineBrowserLog& operator=(const WineBrowserLog&) = delete;

  bool Ready() const { return ready_; }  // false when not running under Wine
  std::vector<std::string> Lines() const;

 private:
  std::wstring folder_;
  bool ready_ = false;
};

// What the browser is handed for an address without a scheme that the shell
// takes for a web page ("www.example.com" becomes "http://www.example.com/").
std::string AsBrowserSeesIt(const std::string& target);

}  // namespace testing_support
