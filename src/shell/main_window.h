// FrmMain: the main window, a tab control of five pages navigated by a row of
// picture buttons across the top of every page.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "ui/controls.h"
#include "ui/form.h"
#include "repair/fix_page.h"
#include "shell/main_pages.h"

namespace shell {

inline constexpr int kPageCount = 5;

class FrmMain : public platform::Form {
 public:
  FrmMain();
  ~FrmMain() override;

  using NavButtons = std::array<std::array<std::unique_ptr<platform::Button>, kPageCount>, kPageCount>;
  using Backgrounds = std::array<std::unique_ptr<platform::Picture>, kPageCount>;

  // The navigation buttons, page by page ([page][target page]); declared
  // first, so that they lie above the tab control and lead the tab order.
  std::array<std::array<std::unique_ptr<platform::Button>, kPageCount>, kPageCount> nav;
  WelcomePage welcome;
  InfoPage info;
  repair::FixPage fix;
  TweakPage tweak;
  AboutPage about;
  Backgrounds backgrounds;  // below every page's controls, above the tab control
  platform::TabControl TabMain;

  void TabMain_Click();
  void MnuAbout_Click() { TabMain.SetTab(4); }
  void MnuPref_Click();
  void MnuCheckDrive_Click();
  void MnuIntegration_Click();
  // Opens the Check a Drive window on this drive and scans it; a request that
  // comes while that window is busy (a scan, a clean, a question) waits its turn.
  void RequestCheck(wchar_t letter);
  // The FAQ entry has no tool tip of its own; it opens the FAQ label's address.
  void Mnufaq_Click() { OpenLink(info.LblFAQUrl); }

 protected:
  void Form_Load() override;
  void Form_Unload() override;
  void Relayout() override;
  HBRUSH ControlBackground(platform::Control& control, HDC dc) override;
  bool Form_Message(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  void ShowPage(int page);
  int PageOf(const platform::Control& control) const;
  RECT PageRect() const;

  void HandoverTick();
  void ShowFromHandover();

  friend void StartForCheck(wchar_t letter);
  bool hiddenStart_ = false;  // started for a check: ends with the last window shown, unless shown itself
  wchar_t pendingCheck_ = L'\0';
  int startPage_ = 0;
  std::vector<std::size_t> pageStarts_;
  std::size_t pagesEnd_ = 0;
  void FreePageBrushes();
  HBRUSH PageBrush(int page);
  std::array<HBITMAP, kPageCount> pageBitmaps_{};
  std::array<HBRUSH, kPageCount> pageBrushes_{};
};

// "korvane.exe --check E:": the Check a Drive window alone, scanning E:.
void StartForCheck(wchar_t letter);

}  // namespace shell
