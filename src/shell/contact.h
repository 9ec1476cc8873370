// Korvane's own addresses and credits, defined once. Web addresses carry no
// scheme (the labels show them as they are) and begin with "www." so that the
// shell still takes them for web pages.
#pragma once

namespace shell {

inline constexpr wchar_t kHomePage[] = L"www.example.com/korvane";
inline constexpr wchar_t kFaqPage[] = L"www.example.com/korvane/faq";
inline constexpr wchar_t kMakerPage[] = L"www.example.com";
inline constexpr wchar_t kContactMail[] = L"korvane@example.com";
inline constexpr wchar_t kMakerLine[] = L"Made by the Korvane developers";
inline constexpr wchar_t kMakerInvitation[] = L"Visit the Korvane developers' home page";
inline constexpr wchar_t kRightsNotice[] = L"\x00A9 2026 The Korvane developers. All rights reserved.";
inline constexpr wchar_t kVersionText[] = L"version 1.48";

}  // namespace shell
