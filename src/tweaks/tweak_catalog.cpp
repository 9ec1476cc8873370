#include "tweaks/tweak_catalog.h"

#include <span>
#include <iterator>
#include <stdexcept>
#include <utility>

#include "journal/journal.h"
#include "tweaks/appearance/appearance_page.h"
#include "tweaks/controlpanel/control_panel_page.h"
#include "tweaks/ie/ie_page.h"
#include "tweaks/security/security_bindings.h"
#include "tweaks/tweak_pages.h"

namespace tweaks {

namespace {

// Each page's boxes, in the order of kTweakPages.
constexpr std::span<const platform::TweakBinding> (*kBindings[])() = {&SecurityBindings, &CplBindings,
                                                                      &AppearanceBindings, &IEBindings};
static_assert(std::size(kBindings) == std::size(kTweakPages), "every page has its boxes");

std::vector<CatalogTweak> Build() {
  std::vector<CatalogTweak> catalog;
  for (std::size_t i = 0; i < std::size(kTweakPages); ++i) {
    const TweakPageFacts& page = kTweakPages[i];
    for (const platform::TweakBinding& binding : kBindings[i]()) {
      if (!binding.id || !*binding.id) throw std::logic_error("a tweak box has no id");
      std::wstring id = std::wstring(page.prefix) + L"." + binding.id;
      for (const CatalogTweak& earlier : catalog) {
        if (earlier.id == id) throw std::logic_error("two tweak boxes share an id");
      }
      catalog.push_back({std::move(id), page.title, &binding, page.passwordLocked});
    }
  }
  return catalog;
}

}  // namespace

const std::vector<CatalogTweak>& TweakCatalog() {
  static const std::vector<CatalogTweak> catalog = Build();
  return catalog;
}

const CatalogTweak* FindTweak(std::wstring_view id) {
  for (const CatalogTweak& tweak : TweakCatalog()) {
    if (tweak.id == id) return &tweak;
  }
  return nullptr;
}

void AllowUndoOfTweaks() {
  namespace journal = platform::journal;
  for (const CatalogTweak& tweak : TweakCatalog()) {
    for (const auto* steps : {&tweak.binding->checked, &tweak.binding->unchecked}) {
      for (const platform::RegStep& step : *steps) {
        journal::AllowValue(step.root, step.key, step.name,
                            tweak.passwordLocked ? journal::Guard::Password : journal::Guard::None);
      }
    }
  }
}

std::wstring TrimmedCaption(const platform::TweakBinding& binding) {
  std::wstring caption = binding.caption;
  while (!caption.empty() && caption.back() == L' ') caption.pop_back();
  return caption;
}

}  // namespace tweaks
