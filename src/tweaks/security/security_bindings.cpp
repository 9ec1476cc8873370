#include "tweaks/security/security_bindings.h"

#include <array>
#include <stdexcept>
#include <vector>

namespace tweaks {

namespace {

using platform::Delete;
using platform::EqualsNumber;
using platform::EqualsText;
using platform::kCurrentUser;
using platform::kLocalMachine;
using platform::Write;

// Registry names are case-insensitive; the spellings are the ones the policies have always been written with.
constexpr wchar_t kExplorer[] = L"Software\\Microsoft\\windows\\currentversion\\policies\\explorer";
constexpr wchar_t kExplorerMixed[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\explorer";
constexpr wchar_t kSystem[] = L"Software\\Microsoft\\windows\\currentversion\\policies\\system";
constexpr wchar_t kNonEnum[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\NonEnum";
constexpr wchar_t kSound[] = L"Control Panel\\Sound";
constexpr wchar_t kCdRom[] = L"SYSTEM\\CurrentControlSet\\Services\\CDRom";
constexpr wchar_t kMyComputer[] = L"{20D04FE0-3AEA-1069-A2D8-08002B30309D}";

// A policy flag of the current user: 1 while checked, gone while unchecked.
platform::TweakBinding Flag(const wchar_t* control, const wchar_t* id, const wchar_t* caption,
                            const wchar_t* toolTip, const wchar_t* loadRoutine, const wchar_t* key,
                            const wchar_t* name) {
  return {control,
          id,
          caption,
          toolTip,
          loadRoutine,
          EqualsNumber(kCurrentUser, key, name, 1),
          {Write(kCurrentUser, key, name, L"1")},
          {Delete(kCurrentUser, key, name)}};
}

const std::vector<platform::TweakBinding>& Table() {
  static const std::vector<platform::TweakBinding> table = {
      Flag(L"chkFO", L"disable-folder-options", L"Disable Folder options ",
           L"Checking this disables the folder options,which can be accessed from My computer->Tools->Folder "
           L"Options (requires restart)",
           L"GetFOValue", kExplorer, L"nofolderoptions"),
      Flag(L"ChkTM", L"disable-task-manager", L"Disable Task Manager ",
           L"Checking this disables the Task manager which can be opened by holding Ctrl->Alt->Del", L"GetTMValue",
           kSystem, L"disabletaskmgr"),
      Flag(L"ChkRE", L"disable-registry-editor", L"Disable Registry Editor ",
           L"Checking this disables the registry editor whichc can be accessed by Run->\"Regedit\"", L"GetREValue",
           kSystem, L"disableregistrytools"),
      Flag(L"ChkCpl", L"disable-control-panel", L"Disable control panel",
           L"Checking this disables the control panel which can usually be accessed from Start->Control panel "
           L"(Requires Restart)",
           L"GetCplValue", kExplorer, L"nocontrolpanel"),
      Flag(L"ChkDispCpl", L"disable-display-properties", L"Disable Display Properties",
           L"Checking this disables the Display properties which can be accessed from Desktop->Right "
           L"Click->Properties",
           L"GetDispCplValue", kSystem, L"nodispcpl"),
      Flag(L"ChkDoc", L"lock-my-documents", L"Lock My Documents Location",
           L"Checking this locks the My documents location which can be changed if unchecked on Start->My "
           L"Documents->Properties",
           L"GetDocValue", kExplorer, L"DisablePersonalDirChange"),
      Flag(L"ChkFind", L"disable-search", L"Disable Search",
           L"Checking this disables the Search Feature for windows which can be accessed from Start->Search "
           L"(Requires Restart)",
           L"GetSearchValue", kExplorer, L"nofind"),
      Flag(L"ChkRun", L"disable-run", L"Disable 'Run'",
           L"Checking this disables the Run Feature for windows which can be accessed from Start->Run (Requires "
           L"Restart)",
           L"GetRunValue", kExplorer, L"norun"),
      Flag(L"ChkShut", L"disable-shutdown", L"Disable Shutdown",
           L"Checking this feature disables the ability to shutdown the computer (Requires Restart)",
           L"GetShutValue", kExplorer, L"noclose"),
      {L"ChkBeep",
       L"disable-cpu-beep",
       L"Disable CPU beep",
       L"Checking this feature disables the beep sometimes let out by the processer to notify the user about "
       L"something(Requires Restart) ",
       L"GetBeepValue",
       EqualsText(kCurrentUser, kSound, L"Beep", L"No"),
       {Write(kCurrentUser, kSound, L"Beep", L"No")},
       {Write(kCurrentUser, kSound, L"Beep", L"Yes")}},
      {L"ChkCDAuto",
       L"disable-cd-autorun",
       L"Disable autorun when a CD is inserted",
       L"Checking this feature disables any autorun programs that may be assigned when a CD/DVD is inserted into "
       L"a drive",
       L"GetAutoValue",
       EqualsNumber(kLocalMachine, kCdRom, L"Autorun", 0),
       {Write(kLocalMachine, kCdRom, L"Autorun", L"0")},
       {Delete(kLocalMachine, kCdRom, L"Autorun")}},
      Flag(L"ChkProg", L"hide-all-programs", L"Hide Start -> '(All) Programs'",
           L"Checking this feature hides the start->'all programs' menu(requires restart)", L"GetProgValue",
           kExplorer, L"NoStartMenuMorePrograms"),
      {L"ChkNoMyComp",
       L"disable-my-computer",
       L"Disable My Computer",
       L"Checking this disables My Computer(requires restart)",
       L"GetMyComp",
       EqualsNumber(kCurrentUser, kNonEnum, kMyComputer, 1),
       {Write(kCurrentUser, kNonEnum, kMyComputer, L"1")},
       {Write(kCurrentUser, kNonEnum, kMyComputer, L"0")}},
      Flag(L"ChkNoPinStart", L"remove-pinned-items", L"Remove 'Pinned' items from 'Start'",
           L"Checking this removes the 'Pinned' items from the Start menu(requires restart)", L"GetPinStart",
           kExplorerMixed, L"NoStartMenuPinnedList"),
      // Set for the machine, but cleared for the current user as well.
      {L"ChkRClick",
       L"disable-right-click",
       L"Disable Right-click menu ",
       L"Checking this disables the right click context menu on the desktop & My computer(requires restart)",
       L"GetRClickVal",
       EqualsNumber(kLocalMachine, kExplorerMixed, L"NoViewContextMenu", 1),
       {Write(kLocalMachine, kExplorer, L"NoViewContextMenu", L"1")},
       {Delete(kLocalMachine, kExplorer, L"NoViewContextMenu"), Delete(kCurrentUser, kExplorer, L"NoViewContextMenu")}},
      Flag(L"ChkMyCompMng", L"disable-manage", L"Disable 'manage' in My Computer ",
           L"Checking this disables the 'manage' option in the My Computer context menu (Requires Restart)",
           L"GetMngMyComp", kExplorer, L"NoManageMyComputerVerb"),
  };
  return table;
}

// The group box's two columns of eight, left column first in each row.
constexpr std::array<const wchar_t*, 16> kTabOrder = {
    L"chkFO",     L"ChkDispCpl",  L"ChkTM",         L"ChkFind",      L"ChkRE",   L"ChkRun",
    L"ChkDoc",    L"ChkCpl",      L"ChkShut",       L"ChkBeep",      L"ChkCDAuto", L"ChkProg",
    L"ChkRClick", L"ChkNoMyComp", L"ChkNoPinStart", L"ChkMyCompMng",
};

constexpr int kColumnLeft[2] = {480, 4080};
constexpr int kFirstRowTop = 360;
constexpr int kRowPitch = 480;
constexpr int kBoxHeight = 255;

}  // namespace

std::span<const platform::TweakBinding> SecurityBindings() { return Table(); }

std::span<const wchar_t* const> SecurityTabOrder() { return kTabOrder; }

platform::TwipsRect SecurityBoxPlace(std::wstring_view control) {
  for (std::size_t i = 0; i < kTabOrder.size(); ++i) {
    if (control == kTabOrder[i]) {
      const int row = static_cast<int>(i / 2);
      return {kColumnLeft[i % 2], kFirstRowTop + row * kRowPitch, 0, kBoxHeight};
    }
  }
  throw std::out_of_range("no such security box");
}

}  // namespace tweaks
