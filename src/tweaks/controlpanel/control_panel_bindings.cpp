#include "tweaks/controlpanel/control_panel_page.h"

#include <vector>

namespace tweaks {

namespace {

using platform::kCurrentUser;

// Sixteen applets share the accessibility box's description.
constexpr wchar_t kAccessTip[] = L"Checking this hides the accessibility options in the control panel";

// The value named after the applet's file holds "no" while the applet is hidden.
platform::TweakBinding Applet(const wchar_t* control, const wchar_t* caption, const wchar_t* toolTip,
                              const wchar_t* valueName, const wchar_t* loadRoutine) {
  return {control,
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
      Applet(L"ChkCplAccess", L"Hide Accessibility options", kAccessTip, L"access.cpl", L"GetAccessVal"),
      Applet(L"ChkCplAddRem", L"Hide Add\\Remove Programs",
             L"Checking this hides the add\\remove programs in the control panel", L"appwiz.cpl", L"GetAddRemVal"),
      Applet(L"ChkCplConsole", L"Hide console options", L"Checking this hides the console options in the control panel",
             L"console.cpl", L"GetConsoleVal"),
      Applet(L"Chkcpldate", L"Hide date\\time options",
             L"Checking this hides the date\\time options in the control panel", L"timedate.cpl", L"GetDateVal"),
      Applet(L"ChkCplDisp", L"Hide Display options", L"Checking this hides the display options in the control panel",
             L"desk.cpl", L"GetDispVal"),
      Applet(L"ChkCplHard", L"Hide Hardware Wizard", L"Checking this hides the Hardware wizard in the control panel",
             L"hdwwiz.cpl", L"GetHardVal"),
      Applet(L"ChkCplIR", L"Hide infra red port options",
             L"checking this hides the infra red port settings in the control panel", L"irprops.cpl", L"GetIRVal"),
      Applet(L"ChkCplRegOpt", L"Hide Regional options", L"Checking this hide the regional options in the control panel",
             L"intl.cpl", L"GetRegVal"),
      Applet(L"ChkCplWWW", L"Hide Internet Settings", L"Checking this hides the internet settings in the control panel",
             L"inetcpl.cpl", L"GetWWWVal"),
      Applet(L"ChkCplFax", L"Hide Fax options", L"Checking this hides the fax settings in the control panel",
             L"fax.cpl", L"GetFaxVal"),
      Applet(L"ChkDialup", L"Hide dial-up options", L"Checking this hides the dialup settings in the control panel",
             L"netcpl.cpl", L"GetDialupVal"),
      Applet(L"ChkJoy", L"Hide Joystick options", L"Checking this hides the joystick options in the control panel",
             L"joy.cpl", L"GetJoyVal"),
      Applet(L"ChkLcs", L"Hide licensing options", L"Checking this hides the license options in the control panel",
             L"liccpa.cpl", L"GetLicenseVal"),
      Applet(L"ChkMail", L"Hide mail options", L"Checking this hides the mail options in the control panel",
             L"mlcfg32.cpl", L"GetMailVal"),
      Applet(L"ChkModem", L"Hide modem options", L"Checking this hides the modem settings in the control panel",
             L"modem.cpl", L"GetModemVal"),
      Applet(L"ChkMouse", L"Hide mouse options", L"Checking this hides the mouse options in the control panel",
             L"main.cpl", L"GetMouseVal"),
      Applet(L"ChkNetwork", L"Hide network options",
             L"Checking this hides the network and connectivity settings in the control panel", L"ncpa.cpl",
             L"GetNtwVal"),
      Applet(L"ChkSound", L"Hide sound options", L"Checking this hides the sound options in the control panel",
             L"mmsys.cpl", L"GetSoundVal"),
      Applet(L"ChkNetware", L"Hide Netware client options", kAccessTip, L"nwc.cpl", L"GetNetWareVal"),
      Applet(L"ChkODBC", L"Hide ODBC options", kAccessTip, L"odbccp32.cpl", L"GetODBCVal"),
      Applet(L"ChkPCCard", L"Hide PC card options", kAccessTip, L"devapps.cpl", L"GetPCCardVal"),
      Applet(L"ChkPorts", L"Hide ports options", kAccessTip, L"ports.cpl", L"GetPortsVal"),
      Applet(L"ChkPower", L"Hide Power options", kAccessTip, L"powercfg.cpl", L"GetPowerVal"),
      Applet(L"ChkCam", L"Hide Scanner/camera options", kAccessTip, L"sticpl.cpl", L"GetCamVal"),
      Applet(L"ChkServer", L"Hide Server manager options", kAccessTip, L"srvmgr.cpl", L"GetSvrVal"),
      Applet(L"ChkSpeech", L"Hide speech properties", kAccessTip, L"sapi.cpl", L"GetSpeechVal"),
      Applet(L"ChkSystem", L"Hide system properties", kAccessTip, L"sysdm.cpl", L"GetSysVal"),
      Applet(L"ChkTele", L"Hide telephone options", kAccessTip, L"telephon.cpl", L"GetTeleVal"),
      Applet(L"ChkTweak", L"Hide TweakUI properties", kAccessTip, L"tweakui.cpl", L"GetTweakVal"),
      Applet(L"ChkUserMan", L"Hide user manager options", kAccessTip, L"nusrmgr.cpl", L"GetUserManVal"),
      Applet(L"ChkWSP", L"Hide WSP client options", kAccessTip, L"wspcpl32.cpl", L"GetWSPVal"),
      Applet(L"ChkQT", L"Hide Quicktime options", kAccessTip, L"quicktime.cpl", L"GetQTVal"),
      Applet(L"ChkNorton", L"Hide Norton update client", kAccessTip, L"S32LUCP1.cpl", L"GetNortonVal"),
      Applet(L"ChkCompaq", L"Hide Compaq agent", kAccessTip, L"cpqmgmt.cpl", L"GetCompaqVal"),
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
