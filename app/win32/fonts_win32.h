// The fonts of the window's controls. Every caption, label, button, list and
// edit box shows Chinese text whatever the system's interface language: the
// font is asked for by the GB2312 character set, with a face the system
// actually has that covers it (the stock GUI font of a non-Chinese system
// has no Chinese glyphs and draws empty boxes).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace brevane::win32 {

// The faces the system offers for the GB2312 character set.
std::vector<std::wstring> ChineseFaces(HDC dc);

// The face to ask for: preferred when the system has it, otherwise the
// first of the usual Chinese faces it has, otherwise the first face it
// offers for the character set; empty when it offers none (the font mapper
// then goes by the character set alone).
std::wstring PickChineseFace(std::wstring_view preferred, const std::vector<std::wstring>& available);

// A font of the given height (logical units, negative for the character
// height) and weight in the GB2312 character set with the picked face. The
// caller deletes it.
HFONT CreateChineseFont(std::wstring_view preferred_face, int height, int weight = FW_NORMAL, bool italic = false);

}  // namespace brevane::win32
