#include "shell/main_pages.h"

#include <string>

#include "system/app.h"
#include "ui/artwork.h"
#include "system/shell_request.h"
#include "shell/contact.h"

namespace shell {

namespace {

using platform::kTransparent;

void Transparent(std::initializer_list<platform::Label*> labels) {
  for (platform::Label* label : labels) label->SetBackColor(kTransparent);
}

void MakeLink(platform::Label& label, std::wstring_view target) {
  label.SetToolTip(target);
  label.SetFont({.underline = true});
  label.SetTextColor(RGB(0, 0, 255));
  label.SetCursor(LoadCursorW(nullptr, IDC_HAND));
}

void PaintLogoPicture(HDC dc, const RECT& rect, UINT) { platform::PaintLogo(dc, rect); }

}  // namespace

const wchar_t kFeaturesText[] =
    L"1)Fixes Disk Problems:\r\n"
    L"\r\n"
    L"Fixes the \"Open With\" Dialog or \"Could not find 'something'\" error \r\n"
    L"which occurs when a drive is opened.\r\n"
    L"\r\n"
    L"2)Performs various other useful tweaks to optimize your pc, click 'tweak' to view the \r\n"
    L"available tweaks\r\n"
    L"\r\n"
    L"3)Fixes Task Manager inaccessibility:\r\n"
    L"\r\n"
    L"Are you unable to open the task manager? Korvane fixes this issue in just one click.\r\n"
    L"\r\n"
    L"4)Fixes Folder Options inaccessibility:\r\n"
    L"\r\n"
    L"Has your Folder Options disappeared? Korvane fixes this in just one click.\r\n"
    L"\r\n"
    L"5)Fixes Registry Editor inaccessibility:\r\n"
    L"\r\n"
    L"Can't open the windows registry editor? Korvane fixes this problem.\r\n"
    L"\r\n"
    L"6)Fixes file/folder inaccessibility:\r\n"
    L"\r\n"
    L"Has a virus hidden your files or folders and you cannot unhide it?\r\n"
    L"Just type the path of the hidden file/folder and restore the device.\r\n"
    L"\r\n"
    L"7)Capable of changing the drive icon:\r\n"
    L"\r\n"
    L"Fed up of the usual drive icon? Change it using korvane.\r\n"
    L" If you are changing the icon of a portable drive the changes would take effect anywhere\r\n"
    L"at any computer.\r\n";

WelcomePage::WelcomePage(platform::Form& form)
    : Page(form),
      Image1(form, L"Image1", {300, 840, 1500, 1500}, &PaintLogoPicture),
      Label2(form, L"Label2", {2100, 780, 5300, 1000},
             L"Korvane is a useful tool that restores certain problems after a computer has been infected by a "
             L"virus.In addition it lets you perform various tweaks to optimize your pc."),
      Label3(form, L"Label3", {2100, 1860, 5300, 480},
             L"The info tab gives you more information on how to use korvane"),
      Label4(form, L"Label4", {2100, 2400, 5300, 480},
             L"To fix the various problems caused by viruses click the \"fix\" tab."),
      Label10(form, L"Label10", {2100, 2940, 5300, 300}, L"To perform tweaks click the 'tweak' tab"),
      Label7(form, L"Label7", {2100, 3300, 5300, 480},
             L"To view contact information and credits click the \"About\" tab"),
      Label6(form, L"Label6", {2100, 4020, 5300, 300}, L"To begin click one of the tabs...") {
  Transparent({&Label2, &Label3, &Label4, &Label10, &Label7, &Label6});
  Image1.SetBackColor(kTransparent);
  Label6.SetFont({.bold = true});
}

InfoPage::InfoPage(platform::Form& form)
    : Page(form),
      LblInfoIntro(form, L"LblInfoIntro", {240, 640, 7170, 480},
                   L"Korvane performs many useful functions, below are some of the features of korvane and how "
                   L"to use them."),
      LblFeat(form, L"LblFeat", {240, 1170, 3000, 270}, L"Features:"),
      TxtFeatures(form, L"TxtFeatures", {240, 1470, 7170, 3090}, kFeaturesText,
                  {.multiline = true, .readOnly = true}),
      LblFAQUrl(form, L"LblFAQUrl", {240, 4680, 4000, 300}, L"Visit Korvane FAQ page") {
  Transparent({&LblInfoIntro, &LblFeat, &LblFAQUrl});
  LblFeat.SetFont({.bold = true});
  TxtFeatures.SetFont({.face = L"Comic Sans MS", .pointsTenths = 80});
  TxtFeatures.SetBackColor(platform::kWhite);
  MakeLink(LblFAQUrl, kFaqPage);
  LblFAQUrl.onClick = [this] { LblFAQUrl_Click(); };
}

void InfoPage::LblFAQUrl_Click() { OpenLink(LblFAQUrl); }

TweakPage::TweakPage(platform::Form& form)
    : Page(form),
      LblSecTweIntro(form, L"LblSecTweIntro", {600, 700, 6600, 300},
                     L"Perform various security tweaks to restrict various features:"),
      CmdSecTweak(form, L"CmdSecTweak", {2880, 1030, 1935, 315}, L"Security Tweaks"),
      LblAppTweIntro(form, L"LblAppTweIntro", {600, 1690, 6600, 300},
                     L"Customize the look and feel of your pc with these appearance tweaks:"),
      CmdAppTweak(form, L"CmdAppTweak", {2880, 2020, 1935, 315}, L"Appearance Tweaks"),
      LblProgTweak(form, L"LblProgTweak", {600, 2680, 6600, 300},
                   L"Customize various features for Internet Explorer:"),
      CmdIETweak(form, L"CmdIETweak", {2880, 3010, 1935, 315}, L"IE Tweaks"),
      Label1(form, L"Label1", {600, 3670, 6600, 300}, L"Hide\\show rhe various control panel applets"),
      CmdCplTweaks(form, L"CmdCplTweaks", {2880, 4000, 1935, 315}, L"Control Panel Tweaks") {
  Transparent({&LblSecTweIntro, &LblAppTweIntro, &LblProgTweak, &Label1});
  for (platform::Button* button : {&CmdSecTweak, &CmdAppTweak, &CmdIETweak, &CmdCplTweaks}) {
    button->paintFace = [button](HDC dc, const RECT& rect, bool pressed, bool focused) {
      platform::PaintButtonFace(dc, rect, button->Text(), pressed, focused);
    };
  }
}

AboutPage::AboutPage(platform::Form& form)
    : Page(form),
      ImgLogo(form, L"ImgLogo", {360, 700, 900, 900}, &PaintLogoPicture),
      LblAboutName(form, L"LblAboutName", {1440, 720, 3000, 420}, L"Korvane"),
      LblVer(form, L"LblVer", {1440, 1170, 3000, 270}, kVersionText),
      Lblthanks(form, L"Lblthanks", {360, 1740, 6900, 270}, L"Thank You for choosing Korvane!"),
      Label8(form, L"Label8", {360, 2070, 6900, 270}, kMakerLine),
      Label9(form, L"Label9", {360, 2370, 6900, 270}, kMakerInvitation),
      Lblcomments(form, L"Lblcomments", {360, 2760, 6900, 480},
                  L"If you have any comments, suggestions or problems regarding Korvane do not hesitate to inform "
                  L"me by email:"),
      LblMail(form, L"LblMail", {360, 3270, 3300, 270}, L"Contact Korvane Author"),
      LblWeb(form, L"LblWeb", {360, 3570, 3300, 270}, L"Visit Korvane Home Page"),
      Lineabout1(form, L"Lineabout1", {360, 4020, 6900, 15},
                 [](HDC dc, const RECT& rect, UINT) { platform::PaintLine(dc, rect, platform::kTeal); }),
      LblRights(form, L"LblRights", {360, 4140, 5400, 480}, kRightsNotice),
      Image2(form, L"Image2", {6240, 3150, 780, 780}, &PaintLogoPicture) {
  Transparent({&LblAboutName, &LblVer, &Lblthanks, &Label8, &Label9, &Lblcomments, &LblMail, &LblWeb, &LblRights});
  ImgLogo.SetBackColor(kTransparent);
  Image2.SetBackColor(kTransparent);
  LblAboutName.SetFont({.pointsTenths = 180, .bold = true});
  LblAboutName.SetTextColor(platform::kTeal);
  Lblthanks.SetFont({.bold = true});
  MakeLink(Label9, kMakerPage);
  MakeLink(LblMail, kContactMail);
  MakeLink(LblWeb, kHomePage);
  Label9.onClick = [this] { Label9_Click(); };
  LblWeb.onClick = [this] { LblWeb_Click(); };
  LblMail.onClick = [this] { LblMail_Click(); };
}

void AboutPage::LblWeb_Click() { OpenLink(LblWeb); }
void AboutPage::Label9_Click() { OpenLink(Label9); }
void AboutPage::LblMail_Click() { OpenMail(LblMail); }

void OpenLink(const platform::Label& label) { platform::ShellOpen(label.ToolTip()); }

void OpenMail(const platform::Label& label) {
  platform::ShellOpen(L"mailto:" + label.ToolTip() + L"?Subject=" + platform::kAppTitle);
}

}  // namespace shell
