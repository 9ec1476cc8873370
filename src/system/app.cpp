#include "system/app.h"

namespace platform {

HINSTANCE AppInstance() { return GetModuleHandleW(nullptr); }

void QuietDriveErrors() { SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX); }

}  // namespace platform
