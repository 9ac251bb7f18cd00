// Chinese captions render on a system of any interface language: the face
// is picked from those the system has for GB2312, and every control's font
// has a glyph for every character it shows. Needs a display and a Chinese
// font visible to the system (tools/test-windows.sh makes the one
// tools/install-deps.sh installs visible to the Wine prefix).
#include "app/win32/fonts_win32.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/layout.h"
#include "app/win32/main_window.h"
#include "base/text/wide.h"

namespace brevane::win32 {
namespace {

TEST(PickChineseFace, PreferredThenUsualFacesThenAnyThenNone) {
  struct Case {
    std::wstring preferred;
    std::vector<std::wstring> available;
    std::wstring expected;
  };
  const Case cases[] = {
      {L"\u5b8b\u4f53", {L"SimHei", L"\u5b8b\u4f53"}, L"\u5b8b\u4f53"},
      {L"\u5b8b\u4f53", {L"simsun", L"SimHei"}, L"SimSun"},             // case does not matter
      {L"\u5b8b\u4f53", {L"Some Font", L"WenQuanYi Zen Hei"}, L"WenQuanYi Zen Hei"},
      {L"\u5b8b\u4f53", {L"Some Font", L"Other"}, L"Some Font"},         // the system's own choice
      {L"\u5b8b\u4f53", {}, L""},                                        // the character set alone
      {L"", {L"Microsoft YaHei", L"SimHei"}, L"Microsoft YaHei"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PickChineseFace(c.preferred, c.available), c.expected);
  }
}

// The characters of text the font cannot draw.
std::wstring Missing(HFONT font, const std::wstring& text) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  std::vector<WORD> glyphs(text.size());
  std::wstring missing;
  if (GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                       GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR) {
    missing = text;
  } else {
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (glyphs[i] == 0xFFFF) missing.push_back(text[i]);
    }
  }
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return missing;
}

std::wstring FaceOf(HFONT font) {
  LOGFONTW info{};
  GetObjectW(font, sizeof(info), &info);
  return info.lfFaceName;
}

TEST(ControlFonts, EveryControlDrawsEveryCharacterItShows) {
  HDC dc = GetDC(nullptr);
  const std::vector<std::wstring> faces = ChineseFaces(dc);
  ReleaseDC(nullptr, dc);
  ASSERT_FALSE(faces.empty()) << "no font for GB2312 is visible to this system";

  MainWindow window;
  ASSERT_TRUE(window.CreateAndShow());
  // Text a user types or a page sends: Chinese, Latin and digits.
  const std::wstring typed = L"\u7248\u5757\u56de\u590d\u5185\u5bb9 abc 123";
  int checked = 0;
  for (const layout::ControlDef& def : layout::Controls()) {
    HWND control = window.ControlWindow(def.name);
    ASSERT_NE(control, nullptr) << def.name;
    auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    std::vector<std::wstring> texts;
    switch (def.kind) {
      case layout::Kind::kLabel:
      case layout::Kind::kButton:
        texts.push_back(WideFromUtf8(def.caption));
        break;
      case layout::Kind::kEditBox:
      case layout::Kind::kListBox:
        texts.push_back(typed);
        break;
      case layout::Kind::kTabControl:
        for (std::string_view page : layout::PageCaptions()) texts.push_back(WideFromUtf8(page));
        break;
      default:
        continue;
    }
    ASSERT_NE(font, nullptr) << def.name << " has the system font";
    for (const std::wstring& text : texts) {
      EXPECT_TRUE(Missing(font, text).empty()) << def.name << ": " << Missing(font, text).size()
                                               << " characters without a glyph in face " << GbkFromWide(FaceOf(font));
      ++checked;
    }
  }
  EXPECT_GT(checked, 5);
}

}  // namespace
}  // namespace brevane::win32
