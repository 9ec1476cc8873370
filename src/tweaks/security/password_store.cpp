#include "tweaks/security/password_store.h"

#include "journal/journal.h"

namespace tweaks {

std::wstring StoredPassword() { return platform::RegGetValue(kPasswordRoot, kPasswordKey, kPasswordValue).Text(); }

platform::RegOutcome StorePassword(std::wstring_view password) {
  const platform::journal::Unrecorded unrecorded;
  return platform::RegSetText(kPasswordRoot, kPasswordKey, kPasswordValue, password);
}

}  // namespace tweaks
