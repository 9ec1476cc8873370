#include <windows.h>
#include <commctrl.h>

#include "system/app.h"
#include "ui/form.h"
#include "shell/splash_window.h"
#include "shell/undo_window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  platform::QuietDriveErrors();
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  shell::AllowUndo();
  shell::StartUp();
  return platform::RunMessageLoop();
}
