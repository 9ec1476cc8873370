#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

int CALLBACK CountFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM count) {
  ++*reinterpret_cast<int*>(count);
  return 1;
}

// The caption buttons are glyphs of Marlett; a prefix without it draws "0 1 r"
// in every title bar, so the prefix the tests share must have it.
TEST(TitleBarFont, MarlettIsInstalledAndChosenByName) {
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  wcscpy_s(wanted.lfFaceName, L"Marlett");
  const HDC dc = GetDC(nullptr);
  ASSERT_NE(dc, nullptr);
  int families = 0;
  EnumFontFamiliesExW(dc, &wanted, CountFamily, reinterpret_cast<LPARAM>(&families), 0);
  EXPECT_GT(families, 0) << "no font named Marlett in the prefix";

  // Asked for by name, the font mapper must not fall back to another face.
  wanted.lfCharSet = SYMBOL_CHARSET;
  wanted.lfHeight = -16;
  const HFONT font = CreateFontIndirectW(&wanted);
  ASSERT_NE(font, nullptr);
  const HGDIOBJ old = SelectObject(dc, font);
  wchar_t face[LF_FACESIZE] = L"(none)";
  GetTextFaceW(dc, LF_FACESIZE, face);
  SelectObject(dc, old);
  DeleteObject(font);
  ReleaseDC(nullptr, dc);
  EXPECT_EQ(std::wstring(face), L"Marlett");
}

}  // namespace
