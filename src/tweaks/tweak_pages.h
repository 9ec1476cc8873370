// The four tweak pages by name: each page's window takes its caption from here
// and the command line its ids and the journal's group names, so both say the same.
#pragma once

#include <cstddef>
#include <iterator>

namespace tweaks {

enum class TweakPage { Security, ControlPanel, Appearance, InternetExplorer };

struct TweakPageFacts {
  TweakPage page;
  const wchar_t* prefix;  // the ids' first part: "security" in "security.disable-task-manager"
  const wchar_t* title;   // the window's caption
  bool passwordLocked;    // the security password guards it
};

inline constexpr TweakPageFacts kTweakPages[] = {
    {TweakPage::Security, L"security", L"Security Tweaks", true},
    {TweakPage::ControlPanel, L"controlpanel", L"Control Panel", false},
    {TweakPage::Appearance, L"appearance", L"Appearance Tweaks", false},
    {TweakPage::InternetExplorer, L"ie", L"Internet Explorer Tweaks", false},
};

constexpr const TweakPageFacts& FactsOf(TweakPage page) { return kTweakPages[static_cast<std::size_t>(page)]; }
constexpr const wchar_t* PageTitle(TweakPage page) { return FactsOf(page).title; }

constexpr bool RowsInPageOrder() {
  for (std::size_t i = 0; i < std::size(kTweakPages); ++i) {
    if (static_cast<std::size_t>(kTweakPages[i].page) != i) return false;
  }
  return true;
}
static_assert(RowsInPageOrder(), "FactsOf finds each page at the place of its enumerator");

}  // namespace tweaks
