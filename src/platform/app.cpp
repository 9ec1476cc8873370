#include "platform/app.h"

namespace platform {

HINSTANCE AppInstance() { return GetModuleHandleW(nullptr); }

}  // namespace platform
