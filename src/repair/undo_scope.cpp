#include "repair/undo_scope.h"

#include "integration/registration.h"
#include "journal/journal.h"
#include "repair/computer_check/rules.h"
#include "repair/restriction_repair.h"
#include "system/app.h"
#include "tweaks/tweak_catalog.h"

namespace repair {

void AllowUndoOfKorvanesPlaces() {
  static const bool allowed = [] {
    tweaks::AllowUndoOfTweaks();
    AllowUndoOfRestrictions();
    computer_check::AllowUndoOfComputerCheck();
    integration::AllowUndoOfRegistrations();
    for (const wchar_t* name : platform::kSettingNames) {
      platform::journal::AllowValue(platform::kCurrentUser, platform::kSettingsKey, name);
    }
    return true;
  }();
  (void)allowed;
}

}  // namespace repair
