#include "app/win32/fonts_win32.h"

#include <algorithm>
#include <array>

namespace brevane::win32 {
namespace {

// Faces that cover GB2312, in order of preference: the Windows faces the
// window was designed with, then other Windows faces, then the faces free
// systems (and Wine prefixes) carry.
constexpr std::array<std::wstring_view, 10> kChineseFaces = {
    L"\u5b8b\u4f53",          // 宋体 (SimSun)
    L"SimSun",
    L"\u65b0\u5b8b\u4f53",    // 新宋体 (NSimSun)
    L"NSimSun",
    L"\u5fae\u8f6f\u96c5\u9ed1",  // 微软雅黑 (Microsoft YaHei)
    L"Microsoft YaHei",
    L"SimHei",
    L"WenQuanYi Zen Hei",
    L"WenQuanYi Micro Hei",
    L"Noto Sans CJK SC",
};

int CALLBACK CollectFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM parameter) {
  auto* faces = reinterpret_cast<std::vector<std::wstring>*>(parameter);
  std::wstring face = font->lfFaceName;
  // Vertical-writing variants ("@SimSun") are not for captions.
  if (!face.empty() && face[0] != L'@' && std::find(faces->begin(), faces->end(), face) == faces->end()) {
    faces->push_back(std::move(face));
  }
  return 1;
}

bool Has(const std::vector<std::wstring>& available, std::wstring_view face) {
  return std::any_of(available.begin(), available.end(), [&](const std::wstring& f) {
    return CompareStringOrdinal(f.data(), static_cast<int>(f.size()), face.data(), static_cast<int>(face.size()),
                                TRUE) == CSTR_EQUAL;
  });
}

}  // namespace

std::vector<std::wstring> ChineseFaces(HDC dc) {
  std::vector<std::wstring> faces;
  LOGFONTW query{};
  query.lfCharSet = GB2312_CHARSET;
  EnumFontFamiliesExW(dc, &query, &CollectFace, reinterpret_cast<LPARAM>(&faces), 0);
  return faces;
}

std::wstring PickChineseFace(std::wstring_view preferred, const std::vector<std::wstring>& available) {
  if (!preferred.empty() && Has(available, preferred)) return std::wstring(preferred);
  for (std::wstring_view face : kChineseFaces) {
    if (Has(available, face)) return std::wstring(face);
  }
  return available.empty() ? std::wstring() : available.front();
}

HFONT CreateChineseFont(std::wstring_view preferred_face, int height, int weight, bool italic) {
  HDC dc = GetDC(nullptr);
  const std::vector<std::wstring> faces = ChineseFaces(dc);
  ReleaseDC(nullptr, dc);
  const std::wstring face = PickChineseFace(preferred_face, faces);
  return CreateFontW(height, 0, 0, 0, weight, italic ? TRUE : FALSE, FALSE, FALSE, GB2312_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                     face.c_str());
}

}  // namespace brevane::win32
