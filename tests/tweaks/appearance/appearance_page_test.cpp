#include "tweaks/appearance/appearance_page.h"

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "page_fixture.h"
#include "system/message_box.h"
#include "tweaks/tweak_binding.h"
#include "shell/main_window.h"
#include "support/registry_helpers.h"
#include "support/seams.h"
#include "support/text.h"
#include "support/ui_helpers.h"

namespace {

using namespace appearance_tests;
using namespace testing_support;

const std::vector<std::wstring> kBoxes = {L"ChkClrType",     L"ChkSmoothScroll", L"ChkWinClassic",
                                          L"ChkNoUserStart", L"ChkVerDesktop",   L"ChkErrorMsg"};

void ExpectOnlyChecked(tweaks::FrmAppTweaks& form, const std::wstring& checked, const std::string& what) {
  for (const auto& box : kBoxes) {
    EXPECT_EQ(form.Box(box).Value(), box == checked ? 1 : 0) << what << ": " << Utf8(box);
  }
}

TEST_F(AppearancePageTest, EachBoxLoadsFromItsOwnValueAndRule) {
  struct Case {
    const char* what;
    std::function<void()> seed;
    std::wstring checked;        // empty: every box loads unchecked
    std::function<void()> after;  // what the registry holds once the page is open
  };
  const std::vector<Case> cases = {
      {"nothing present", [] {}, L"",
       [] {
         for (const auto& place : TouchedValues()) EXPECT_NO_VALUE(place.root, place.key, place.name);
       }},
      {"FontSmoothing string 2",
       [] {
         WriteSz(kHkcu, kDesktop, L"FontSmoothing", L"2");
         WriteSz(kHkcu, kDesktop, L"FontSmoothingType", L"x");
       },
       L"ChkClrType",
       [] {
         EXPECT_DWORD(kHkcu, kDesktop, L"FontSmoothing", 2);
         EXPECT_DWORD(kHkcu, kDesktop, L"FontSmoothingType", 2);
       }},
      {"FontSmoothing DWORD 2", [] { WriteDword(kHkcu, kDesktop, L"FontSmoothing", 2); }, L"ChkClrType",
       [] { EXPECT_DWORD(kHkcu, kDesktop, L"FontSmoothingType", 2); }},
      {"FontSmoothing string 1", [] { WriteSz(kHkcu, kDesktop, L"FontSmoothing", L"1"); }, L"",
       [] {
         EXPECT_SZ(kHkcu, kDesktop, L"FontSmoothing", L"1");
         EXPECT_NO_VALUE(kHkcu, kDesktop, L"FontSmoothingType");
       }},
      {"FontSmoothing DWORD 0", [] { WriteDword(kHkcu, kDesktop, L"FontSmoothing", 0); }, L"", [] {}},
      {"FontSmoothing string with a leading blank", [] { WriteSz(kHkcu, kDesktop, L"FontSmoothing", L" 2"); }, L"",
       [] { EXPECT_SZ(kHkcu, kDesktop, L"FontSmoothing", L" 2"); }},
      {"only FontSmoothingType 2", [] { WriteDword(kHkcu, kDesktop, L"FontSmoothingType", 2); }, L"", [] {}},
      {"SmoothScroll string 1", [] { WriteSz(kHkcu, kDesktop, L"SmoothScroll", L"1"); }, L"ChkSmoothScroll",
       [] { EXPECT_DWORD(kHkcu, kDesktop, L"SmoothScroll", 1); }},
      {"SmoothScroll string 01", [] { WriteSz(kHkcu, kDesktop, L"SmoothScroll", L"01"); }, L"",
       [] { EXPECT_SZ(kHkcu, kDesktop, L"SmoothScroll", L"01"); }},
      {"SmoothScroll DWORD 1", [] { WriteDword(kHkcu, kDesktop, L"SmoothScroll", 1); }, L"ChkSmoothScroll", [] {}},
      {"ClassicShell string 1", [] { WriteSz(kHkcu, kPolicies, L"ClassicShell", L"1"); }, L"ChkWinClassic",
       [] { EXPECT_DWORD(kHkcu, kPolicies, L"ClassicShell", 1); }},
      {"NoUserNameInStartMenu DWORD 1", [] { WriteDword(kHkcu, kPolicies, L"NoUserNameInStartMenu", 1); },
       L"ChkNoUserStart", [] {}},
      {"PaintDesktopVersion DWORD 1", [] { WriteDword(kHkcu, kDesktop, L"PaintDesktopVersion", 1); },
       L"ChkVerDesktop", [] {}},
      {"PaintDesktopVersion DWORD 2", [] { WriteDword(kHkcu, kDesktop, L"PaintDesktopVersion", 2); }, L"", [] {}},
      {"the whole odd name, string 2", [] { WriteSz(kHklm, kNtWindows, kErrorMode, L"2"); }, L"ChkErrorMsg",
       [] { EXPECT_DWORD(kHklm, kNtWindows, kErrorMode, 2); }},
      {"the halves of the odd name",
       [] {
         WriteDword(kHklm, kNtWindows, L"NoPopUpsOnBoot", 2);
         WriteDword(kHklm, kNtWindows, L"Error Mode", 2);
       },
       L"", [] { EXPECT_NO_VALUE(kHklm, kNtWindows, kErrorMode); }},
      {"the whole odd name, DWORD 1", [] { WriteDword(kHklm, kNtWindows, kErrorMode, 1); }, L"", [] {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ClearValues();
    c.seed();
    auto& form = Open();
    ExpectOnlyChecked(form, c.checked, c.what);
    c.after();
    Close();
  }
}

TEST_F(AppearancePageTest, ClicksWriteTheCheckedDataAndUndoIt) {
  constexpr wchar_t kSentinel[] = L"KorvaneSentinel";
  struct Case {
    std::wstring box;
    std::function<void()> seed;
    std::function<void()> whenChecked;
    std::function<void()> whenCleared;
  };
  const std::vector<Case> cases = {
      {L"ChkClrType", [] {},
       [] {
         EXPECT_DWORD(kHkcu, kDesktop, L"FontSmoothing", 2);
         EXPECT_DWORD(kHkcu, kDesktop, L"FontSmoothingType", 2);
       },
       [] {
         EXPECT_DWORD(kHkcu, kDesktop, L"FontSmoothing", 1);
         EXPECT_DWORD(kHkcu, kDesktop, L"FontSmoothingType", 1);
       }},
      {L"ChkSmoothScroll", [] {}, [] { EXPECT_DWORD(kHkcu, kDesktop, L"SmoothScroll", 1); },
       [] { EXPECT_NO_VALUE(kHkcu, kDesktop, L"SmoothScroll"); }},
      {L"ChkWinClassic", [] { DeleteKey(kHkcu, kPolicies); },
       [] { EXPECT_DWORD(kHkcu, kPolicies, L"ClassicShell", 1); },
       [] {
         EXPECT_NO_VALUE(kHkcu, kPolicies, L"ClassicShell");
         EXPECT_TRUE(KeyExists(kHkcu, kPolicies));
       }},
      {L"ChkNoUserStart",
       [&] {
         WriteSz(kHkcu, kPolicies, kSentinel, L"keep");
         WriteDword(kHkcu, kPolicies, L"ClassicShell", 1);
       },
       [] { EXPECT_DWORD(kHkcu, kPolicies, L"NoUserNameInStartMenu", 1); },
       [&] {
         EXPECT_NO_VALUE(kHkcu, kPolicies, L"NoUserNameInStartMenu");
         EXPECT_DWORD(kHkcu, kPolicies, L"ClassicShell", 1);
         EXPECT_SZ(kHkcu, kPolicies, kSentinel, L"keep");
         DeleteValue(kHkcu, kPolicies, kSentinel);
       }},
      {L"ChkVerDesktop", [] {}, [] { EXPECT_DWORD(kHkcu, kDesktop, L"PaintDesktopVersion", 1); },
       [] { EXPECT_NO_VALUE(kHkcu, kDesktop, L"PaintDesktopVersion"); }},
      {L"ChkErrorMsg", [] {},
       [] {
         EXPECT_DWORD(kHklm, kNtWindows, kErrorMode, 2);
         EXPECT_NO_VALUE(kHklm, kNtWindows, L"NoPopUpsOnBoot");
         EXPECT_NO_VALUE(kHklm, kNtWindows, L"Error Mode");
       },
       [] { EXPECT_NO_VALUE(kHklm, kNtWindows, kErrorMode); }},
  };
  MsgBoxRecorder messages;
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.box));
    ClearValues();
    c.seed();
    auto& form = Open();
    auto& box = form.Box(c.box);
    ASSERT_EQ(box.Value(), 0);
    Click(box);
    EXPECT_EQ(box.Value(), 1);
    c.whenChecked();
    Click(box);
    EXPECT_EQ(box.Value(), 0);
    c.whenCleared();
    Close();
  }
  EXPECT_TRUE(messages.Calls().empty()) << messages.Calls().front();
}

TEST_F(AppearancePageTest, RefusedMachineWideChangeTurnsTheBoxBackAndSaysSo) {
  const platform::MsgBoxCall refused{platform::kRefusedChangeMessage, L"Korvane", platform::MsgIcon::Exclamation,
                                     platform::MsgButtons::Ok};
  MsgBoxRecorder messages;
  {
    ScopedRefusal refusal(kHklm, kNtWindows);
    auto& form = Open();
    Click(form.Box(L"ChkErrorMsg"));
    EXPECT_EQ(form.Box(L"ChkErrorMsg").Value(), 0);
    EXPECT_NO_VALUE(kHklm, kNtWindows, kErrorMode);
    ASSERT_EQ(messages.Calls().size(), 1u);
    EXPECT_EQ(messages.Calls()[0], refused);
    Close();
  }
  messages.Clear();
  WriteDword(kHklm, kNtWindows, kErrorMode, 2);
  ScopedRefusal refusal(kHklm, kNtWindows);
  auto& form = Open();
  EXPECT_EQ(form.Box(L"ChkErrorMsg").Value(), 1) << "a refused rewrite while loading is silent";
  EXPECT_TRUE(messages.Calls().empty());
  Click(form.Box(L"ChkErrorMsg"));
  EXPECT_EQ(form.Box(L"ChkErrorMsg").Value(), 1);
  EXPECT_DWORD(kHklm, kNtWindows, kErrorMode, 2);
  ASSERT_EQ(messages.Calls().size(), 1u);
  EXPECT_EQ(messages.Calls()[0], refused);
  // The page stays usable: a box under the current user still works.
  Click(form.Box(L"ChkVerDesktop"));
  EXPECT_DWORD(kHkcu, kDesktop, L"PaintDesktopVersion", 1);
}

TEST_F(AppearancePageTest, FocusStartsInThePathBoxAndTabsThroughTheIconToolFirst) {
  auto& form = Open();
  EXPECT_EQ(form.Caption(), L"Appearance Tweaks");
  EXPECT_EQ(GetFocus(), form.icon.TxtIconpath.Hwnd());
  std::vector<std::wstring> order = {L"TxtIconpath", L"txticondrive", L"CmdBrowseicon", L"cmdiconok",
                                     L"cmdiconrestore"};
  order.insert(order.end(), kBoxes.begin(), kBoxes.end());
  order.push_back(L"TxtIconpath");
  for (std::size_t i = 0; i + 1 < order.size(); ++i) {
    const HWND next = TabFrom(form, *form.Find(order[i]));
    EXPECT_EQ(next, form.Find(order[i + 1])->Hwnd()) << "after " << Utf8(order[i]);
  }
}

RECT PlaceOf(const platform::Control& control) {
  RECT rect;
  GetWindowRect(control.Hwnd(), &rect);
  return rect;
}

void ExpectGrid(tweaks::FrmAppTweaks& form) {
  const RECT group = PlaceOf(form.FrameAppTweaks);
  for (std::size_t i = 0; i < kBoxes.size(); ++i) {
    const RECT box = PlaceOf(form.Box(kBoxes[i]));
    const RECT rowMate = PlaceOf(form.Box(kBoxes[i ^ 1]));
    const RECT columnMate = PlaceOf(form.Box(kBoxes[(i + 2) % kBoxes.size()]));
    EXPECT_EQ(box.top, rowMate.top) << Utf8(kBoxes[i]);
    EXPECT_EQ(box.left, columnMate.left) << Utf8(kBoxes[i]);
    EXPECT_TRUE(box.left > group.left && box.right < group.right && box.top > group.top && box.bottom < group.bottom)
        << Utf8(kBoxes[i]) << " lies inside the Tweaks group";
    if (i % 2 == 0) {
      EXPECT_LT(box.right, rowMate.left) << Utf8(kBoxes[i]) << " overlaps its neighbour";
    }
  }
  EXPECT_LT(group.bottom, PlaceOf(form.Line2).top);
  EXPECT_LT(PlaceOf(form.Line2).bottom, PlaceOf(form.icon.FrameIcon).top);
  const RECT icons = PlaceOf(form.icon.FrameIcon);
  for (const platform::Control* control :
       std::initializer_list<const platform::Control*>{&form.icon.Lblicon2, &form.icon.txticondrive, &form.icon.Label1,
                                                        &form.icon.TxtIconpath, &form.icon.CmdBrowseicon,
                                                        &form.icon.cmdiconok, &form.icon.cmdiconrestore}) {
    const RECT place = PlaceOf(*control);
    EXPECT_TRUE(place.left > icons.left && place.right < icons.right && place.bottom < icons.bottom)
        << Utf8(control->Name()) << " lies inside the icon group";
  }
}

// Every caption is readable whole: one line for check boxes and buttons, the
// given height for labels, which may wrap.
void ExpectTextsFit(tweaks::FrmAppTweaks& form) {
  for (platform::Control* control : form.Controls()) {
    const bool isLabel = dynamic_cast<platform::Label*>(control) != nullptr;
    const bool isBox = dynamic_cast<platform::CheckBox*>(control) != nullptr;
    const bool isButton = dynamic_cast<platform::Button*>(control) != nullptr;
    if (!isLabel && !isBox && !isButton) continue;
    RECT client;
    GetClientRect(control->Hwnd(), &client);
    if (isBox) client.right -= GetSystemMetricsForDpi(SM_CXMENUCHECK, GetDpiForWindow(form.Hwnd())) + 4;
    const HDC dc = GetDC(control->Hwnd());
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control->Hwnd(), WM_GETFONT, 0, 0)));
    const std::wstring text = control->Text();
    RECT needed{0, 0, client.right, 0};
    DrawTextW(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SIZE line{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &line);
    SelectObject(dc, old);
    ReleaseDC(control->Hwnd(), dc);
    if (isLabel) {
      EXPECT_LE(needed.bottom, client.bottom) << Utf8(control->Name()) << " needs more height";
    } else {
      EXPECT_LE(line.cx, client.right) << Utf8(control->Name()) << " is cut off";
      EXPECT_LE(line.cy, client.bottom) << Utf8(control->Name()) << " is cut off";
    }
  }
}

TEST_F(AppearancePageTest, LayoutHoldsAtEveryDpi) {
  auto& form = Open();
  for (const UINT dpi : {96u, 120u, 144u, 192u}) {
    SCOPED_TRACE(dpi);
    RECT window{0, 0, MulDiv(8700, static_cast<int>(dpi), 1440), MulDiv(6000, static_cast<int>(dpi), 1440)};
    SendMessageW(form.Hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&window));
    ASSERT_EQ(form.Dpi(), dpi);
    ExpectGrid(form);
    ExpectTextsFit(form);
  }
}

TEST_F(AppearancePageTest, TweakButtonOpensThePageOnceAndLeavesTheMainWindowUsable) {
  auto& main = platform::Instance<shell::FrmMain>();
  main.Show();
  main.TabMain.SetTab(3);
  Pump();
  Click(main.tweak.CmdAppTweak);
  ASSERT_TRUE(platform::IsLoaded<tweaks::FrmAppTweaks>());
  auto& form = platform::Instance<tweaks::FrmAppTweaks>();
  EXPECT_TRUE(form.Visible());
  EXPECT_EQ(GetActiveWindow(), form.Hwnd());
  EXPECT_EQ(form.Box(L"ChkSmoothScroll").Value(), 0);
  // Pressing again shows the open page without reading the registry again.
  WriteDword(kHkcu, kDesktop, L"SmoothScroll", 1);
  main.Show();
  Pump();
  Click(main.tweak.CmdAppTweak);
  EXPECT_EQ(&platform::Instance<tweaks::FrmAppTweaks>(), &form);
  EXPECT_EQ(GetActiveWindow(), form.Hwnd());
  EXPECT_EQ(form.Box(L"ChkSmoothScroll").Value(), 0);
  EXPECT_TRUE(IsWindowEnabled(main.Hwnd())) << "the page is modeless";
  // Closed with its close button, it reads the registry afresh next time.
  SendMessageW(form.Hwnd(), WM_CLOSE, 0, 0);
  Pump();
  EXPECT_FALSE(platform::IsLoaded<tweaks::FrmAppTweaks>());
  EXPECT_TRUE(platform::IsLoaded<shell::FrmMain>());
  Click(main.tweak.CmdAppTweak);
  EXPECT_EQ(platform::Instance<tweaks::FrmAppTweaks>().Box(L"ChkSmoothScroll").Value(), 1);
  EndAllForms();
}

}  // namespace
