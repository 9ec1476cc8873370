#include "system/late_load.h"

namespace platform {

FARPROC LateProcAddress(const wchar_t* dll, const char* name) {
  HMODULE module = GetModuleHandleW(dll);
  // Loaded once for the life of the process: nothing frees it, so a function handed out stays valid.
  if (!module) module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  return module ? GetProcAddress(module, name) : nullptr;
}

}  // namespace platform
