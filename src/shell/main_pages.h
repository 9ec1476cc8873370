// The main window's Welcome, Info, Tweak and About pages.
#pragma once

#include "ui/controls.h"
#include "ui/page.h"

namespace shell {

class WelcomePage : public platform::Page {
 public:
  explicit WelcomePage(platform::Form& form);
  platform::Picture Image1;
  platform::Label Label2;
  platform::Label Label3;
  platform::Label Label4;
  platform::Label Label10;
  platform::Label Label7;
  platform::Label Label6;
};

class InfoPage : public platform::Page {
 public:
  explicit InfoPage(platform::Form& form);
  platform::Label LblInfoIntro;
  platform::Label LblFeat;
  platform::TextBox TxtFeatures;
  platform::Label LblFAQUrl;
  void LblFAQUrl_Click();
};

class TweakPage : public platform::Page {
 public:
  explicit TweakPage(platform::Form& form);
  platform::Label LblSecTweIntro;
  platform::Button CmdSecTweak;
  platform::Label LblAppTweIntro;
  platform::Button CmdAppTweak;
  platform::Label LblProgTweak;
  platform::Button CmdIETweak;
  platform::Label Label1;
  platform::Button CmdCplTweaks;
};

class AboutPage : public platform::Page {
 public:
  explicit AboutPage(platform::Form& form);
  platform::Picture ImgLogo;
  platform::Label LblAboutName;
  platform::Label LblVer;
  platform::Label Lblthanks;
  platform::Label Label8;
  platform::Label Label9;
  platform::Label Lblcomments;
  platform::Label LblMail;
  platform::Label LblWeb;
  platform::Picture Lineabout1;
  platform::Label LblRights;
  platform::Picture Image2;
  void LblWeb_Click();
  void Label9_Click();
  void LblMail_Click();
};

// A link's address is its label's tool tip, read at the moment of the click.
void OpenLink(const platform::Label& label);
// "mailto:" + the label's address + "?Subject=Korvane", nothing encoded.
void OpenMail(const platform::Label& label);
// The Info page's features text, line for line.
extern const wchar_t kFeaturesText[];

}  // namespace shell
