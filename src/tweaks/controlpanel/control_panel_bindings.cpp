#include "tweaks/controlpanel/control_panel_page.h"

#include <vector>

namespace tweaks {

namespace {

using platform::kCurrentUser;

// Sixteen applets share the accessibility box's description.
constexpr wchar_t kAccessTip[] = L"Checking this hides the accessibility options in the control panel";

// The value named after the applet's file holds "no" while the applet is hidden.
platform::TweakBinding Applet(const wchar_t* control, const wchar_t* id, const wchar_t* caption,
                              const wchar_t* toolTip, const wchar_t* valueName, const wchar_t* loadRoutine) {
  return {control,
          id,
          caption,
          toolTip,
          loadRoutine,
          platform::EqualsText(kCurrentUser, kDontLoadKey, valueName, L"no"),
          {platform::Write(kCurrentUser, kDontLoadKey, valueName, L"no")},
          {platform::Delete(kCurrentUser, kDontLoadKey, valueName)}};
}

}  // namespace

std::span<const platform::TweakBinding> CplBindings() {
  static const std::vector<platform::TweakBinding> table = {
      Applet(L"ChkCplAccess", L"hide-accessibility", L"Hide Accessibility options", kAccessTip, L"access.cpl", L"GetAccessVal"),
      Applet(L"ChkCplAddRem", L"hide-add-remove-programs", L"Hide Add\\Remove Programs",
             L"Checking this hides the add\\remove programs in the control panel", L"appwiz.cpl", L"GetAddRemVal"),
      Applet(L"ChkCplConsole", L"hide-console", L"Hide console options", L"Checking this hides the console options in the control panel",
             L"console.cpl", L"GetConsoleVal"),
      Applet(L"Chkcpldate", L"hide-date-time", L"Hide date\\time options",
             L"Checking this hides the date\\time options in the control panel", L"timedate.cpl", L"GetDateVal"),
      Applet(L"ChkCplDisp", L"hide-display", L"Hide Display options", L"Checking this hides the display options in the control panel",
             L"desk.cpl", L"GetDispVal"),
      Applet(L"ChkCplHard", L"hide-hardware-wizard", L"Hide Hardware Wizard", L"Checking this hides the Hardware wizard in the control panel",
             L"hdwwiz.cpl", L"GetHardVal"),
      Applet(L"ChkCplIR", L"hide-infrared", L"Hide infra red port options",
             L"checking this hides the infra red port settings in the control panel", L"irprops.cpl", L"GetIRVal"),
      Applet(L"ChkCplRegOpt", L"hide-regional", L"Hide Regional options", L"Checking this hide the regional options in the control panel",
             L"intl.cpl", L"GetRegVal"),
      Applet(L"ChkCplWWW", L"hide-internet-settings", L"Hide Internet Settings", L"Checking this hides the internet settings in the control panel",
             L"inetcpl.cpl", L"GetWWWVal"),
      Applet(L"ChkCplFax", L"hide-fax", L"Hide Fax options", L"Checking this hides the fax settings in the control panel",
             L"fax.cpl", L"GetFaxVal"),
      Applet(L"ChkDialup", L"hide-dial-up", L"Hide dial-up options", L"Checking this hides the dialup settings in the control panel",
             L"netcpl.cpl", L"GetDialupVal"),
      Applet(L"ChkJoy", L"hide-joystick", L"Hide Joystick options", L"Checking this hides the joystick options in the control panel",
             L"joy.cpl", L"GetJoyVal"),
      Applet(L"ChkLcs", L"hide-licensing", L"Hide licensing options", L"Checking this hides the license options in the control panel",
             L"liccpa.cpl", L"GetLicenseVal"),
      Applet(L"ChkMail", L"hide-mail", L"Hide mail options", L"Checking this hides the mail options in the control panel",
             L"mlcfg32.cpl", L"GetMailVal"),
      Applet(L"ChkModem", L"hide-modem", L"Hide modem options", L"Checking this hides the modem settings in the control panel",
             L"modem.cpl", L"GetModemVal"),
      Applet(L"ChkMouse", L"hide-mouse", L"Hide mouse options", L"Checking this hides the mouse options in the control panel",
             L"main.cpl", L"GetMouseVal"),
      Applet(L"ChkNetwork", L"hide-network", L"Hide network options",
             L"Checking this hides the network and connectivity settings in the control panel", L"ncpa.cpl",
             L"GetNtwVal"),
      Applet(L"ChkSound", L"hide-sound", L"Hide sound options", L"Checking this hides the sound options in the control panel",
             L"mmsys.cpl", L"GetSoundVal"),
      Applet(L"ChkNetware", L"hide-netware", L"Hide Netware client options", kAccessTip, L"nwc.cpl", L"GetNetWareVal"),
      Applet(L"ChkODBC", L"hide-odbc", L"Hide ODBC options", kAccessTip, L"odbccp32.cpl", L"GetODBCVal"),
      Applet(L"ChkPCCard", L"hide-pc-card", L"Hide PC card options", kAccessTip, L"devapps.cpl", L"GetPCCardVal"),
      Applet(L"ChkPorts", L"hide-ports", L"Hide ports options", kAccessTip, L"ports.cpl", L"GetPortsVal"),
      Applet(L"ChkPower", L"hide-power", L"Hide Power options", kAccessTip, L"powercfg.cpl", L"GetPowerVal"),
      Applet(L"ChkCam", L"hide-scanner-camera", L"Hide Scanner/camera options", kAccessTip, L"sticpl.cpl", L"GetCamVal"),
      Applet(L"ChkServer", L"hide-server-manager", L"Hide Server manager options", kAccessTip, L"srvmgr.cpl", L"GetSvrVal"),
      Applet(L"ChkSpeech", L"hide-speech", L"Hide speech properties", kAccessTip, L"sapi.cpl", L"GetSpeechVal"),
      Applet(L"ChkSystem", L"hide-system", L"Hide system properties", kAccessTip, L"sysdm.cpl", L"GetSysVal"),
      Applet(L"ChkTele", L"hide-telephone", L"Hide telephone options", kAccessTip, L"telephon.cpl", L"GetTeleVal"),
      Applet(L"ChkTweak", L"hide-tweakui", L"Hide TweakUI properties", kAccessTip, L"tweakui.cpl", L"GetTweakVal"),
      Applet(L"ChkUserMan", L"hide-user-manager", L"Hide user manager options", kAccessTip, L"nusrmgr.cpl", L"GetUserManVal"),
      Applet(L"ChkWSP", L"hide-wsp", L"Hide WSP client options", kAccessTip, L"wspcpl32.cpl", L"GetWSPVal"),
      Applet(L"ChkQT", L"hide-quicktime", L"Hide Quicktime options", kAccessTip, L"quicktime.cpl", L"GetQTVal"),
      Applet(L"ChkNorton", L"hide-norton-update", L"Hide Norton update client", kAccessTip, L"S32LUCP1.cpl", L"GetNortonVal"),
      Applet(L"ChkCompaq", L"hide-compaq-agent", L"Hide Compaq agent", kAccessTip, L"cpqmgmt.cpl", L"GetCompaqVal"),
  };
  return table;
}

const std::array<const wchar_t*, kCplBoxCount> kCplTabOrder = {
    L"ChkCplAccess", L"ChkCplAddRem", L"ChkCplConsole", L"Chkcpldate", L"ChkCplDisp", L"ChkCplFax",
    L"ChkCplHard",   L"ChkCplIR",     L"ChkCplRegOpt",  L"ChkCplWWW",  L"ChkMail",    L"ChkMouse",
    L"ChkLcs",       L"ChkJoy",       L"ChkSound",      L"ChkModem",   L"ChkNetwork", L"ChkDialup",
    L"ChkNetware",   L"ChkODBC",      L"ChkPCCard",     L"ChkPorts",   L"ChkPower",   L"ChkCam",
    L"ChkServer",    L"ChkSpeech",    L"ChkSystem",     L"ChkTele",    L"ChkTweak",   L"ChkUserMan",
    L"ChkWSP",       L"ChkQT",        L"ChkNorton",     L"ChkCompaq",
};

}  // namespace tweaks
