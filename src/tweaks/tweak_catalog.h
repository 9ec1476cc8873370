// Every tweak of the four pages under a stable id such as
// "security.disable-task-manager", for the command line and anything else that
// names a tweak outside its page. Above the pages, like the main window.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tweaks/tweak_binding.h"

namespace tweaks {

struct CatalogTweak {
  std::wstring id;
  const wchar_t* page;  // the page's title
  const platform::TweakBinding* binding;
  bool passwordLocked;  // on the page the security password guards
};

// In the pages' order, each page's boxes in load order. Throws std::logic_error
// when a box has no id or shares one, which the tests catch.
const std::vector<CatalogTweak>& TweakCatalog();
const CatalogTweak* FindTweak(std::wstring_view id);

// Lets undo write the values the four pages' boxes change, and asks the
// password for those of the page it guards. Each front end calls it at start.
void AllowUndoOfTweaks();

// A caption as shown, without the blanks some captions carry at their end.
std::wstring TrimmedCaption(const platform::TweakBinding& binding);

}  // namespace tweaks
