#include "tweaks/tweak_catalog.h"

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "support/text.h"
#include "tweaks/appearance/appearance_page.h"
#include "tweaks/controlpanel/control_panel_page.h"
#include "tweaks/ie/ie_page.h"
#include "tweaks/security/security_bindings.h"

namespace {

using testing_support::Utf8;

TEST(TweakCatalogTest, EveryBoxOfEveryPageHasExactlyOneUniqueId) {
  const std::vector<tweaks::CatalogTweak>* catalog = nullptr;
  ASSERT_NO_THROW(catalog = &tweaks::TweakCatalog());
  std::set<const platform::TweakBinding*> bound;
  std::set<std::wstring> ids;
  for (const tweaks::CatalogTweak& tweak : *catalog) {
    EXPECT_TRUE(bound.insert(tweak.binding).second) << "a box listed twice: " << Utf8(tweak.id);
    EXPECT_TRUE(ids.insert(tweak.id).second) << "an id given twice: " << Utf8(tweak.id);
    EXPECT_EQ(tweak.id.find_first_not_of(L"abcdefghijklmnopqrstuvwxyz0123456789.-"), std::wstring::npos)
        << Utf8(tweak.id);
    EXPECT_EQ(tweaks::FindTweak(tweak.id), &tweak);
  }
  for (const auto& page : {tweaks::SecurityBindings(), tweaks::CplBindings(), tweaks::AppearanceBindings(),
                           tweaks::IEBindings()}) {
    for (const platform::TweakBinding& binding : page) {
      EXPECT_TRUE(bound.contains(&binding)) << "no id for " << Utf8(binding.control);
    }
  }
  EXPECT_EQ(catalog->size(), 60u);
  EXPECT_EQ(tweaks::FindTweak(L"security.disable-task-manager")->binding->control, std::wstring(L"ChkTM"));
}

}  // namespace
