#include "system/com_scope.h"

#include <objbase.h>

#include "system/late_load.h"

namespace platform {

// ole32 is loaded when COM is first wanted, not at start-up with the program.
ComScope::ComScope() {
  const auto initialize = LateProc<decltype(&CoInitializeEx)>(L"ole32.dll", "CoInitializeEx");
  const HRESULT hr = initialize ? initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE) : E_FAIL;
  owned_ = SUCCEEDED(hr);  // RPC_E_CHANGED_MODE: the thread has COM already, in another model
}

ComScope::~ComScope() {
  if (owned_) LateProc<decltype(&CoUninitialize)>(L"ole32.dll", "CoUninitialize")();
}

}  // namespace platform
