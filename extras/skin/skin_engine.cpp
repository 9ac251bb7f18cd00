// Our skin engine: a small library that gives the calling thread's main
// window and its controls the colours of a skin. It is mapped from memory by
// the program's own loader, so it links no C runtime and imports only from
// kernel32, user32 and gdi32.
//
// SkinH_AttachRes(data, size, password, h, s, v) reads the skin (our format,
// extras/skin/skin_format.h), adjusts its colours by h, s and v, and attaches
// it to every top-level window of the calling thread that has a title bar:
// the window class gets the face colour as its background, and the window
// answers its controls' colour requests (labels keep the text colour the
// window gives them, edit boxes and list boxes get the edit background and
// the text colour). The password is not used: our skins are not encrypted.
// Returns 1 when the skin was attached to at least one window, 0 otherwise.
#include <windows.h>

#include "extras/skin/skin_format.h"

// The compiler may emit calls to these for struct copies and zeroing; with
// no C runtime linked the library brings its own.
extern "C" void* memset(void* destination, int value, size_t count) {
  auto* p = static_cast<unsigned char*>(destination);
  while (count--) *p++ = static_cast<unsigned char>(value);
  return destination;
}
extern "C" void* memcpy(void* destination, const void* source, size_t count) {
  auto* d = static_cast<unsigned char*>(destination);
  const auto* s = static_cast<const unsigned char*>(source);
  while (count--) *d++ = *s++;
  return destination;
}

namespace {

using brevane::skin::Rgb;
using brevane::skin::SkinColours;

const wchar_t kOldProcedure[] = L"BrevaneSkin.OldProc";

struct Applied {
  COLORREF face;
  COLORREF text;
  COLORREF button_face;
  COLORREF edit_background;
  HBRUSH face_brush;
  HBRUSH button_brush;
  HBRUSH edit_brush;
};

// One skin per process; a later attach replaces the colours.
Applied g_skin;
bool g_have_skin = false;
int g_attached = 0;

COLORREF ToColorref(Rgb c) { return RGB(c.red, c.green, c.blue); }

// The colour requests of the controls the skin answers: which colours go on
// the control's device context and which brush paints its ground.
struct ColourRequest {
  UINT message;
  const COLORREF* text;        // null: the window's own choice stays
  const COLORREF* background;
  const HBRUSH* brush;
};
const ColourRequest kColourRequests[] = {
    {WM_CTLCOLORSTATIC, nullptr, &g_skin.face, &g_skin.face_brush},
    {WM_CTLCOLOREDIT, &g_skin.text, &g_skin.edit_background, &g_skin.edit_brush},
    {WM_CTLCOLORLISTBOX, &g_skin.text, &g_skin.edit_background, &g_skin.edit_brush},
    {WM_CTLCOLORBTN, &g_skin.text, &g_skin.button_face, &g_skin.button_brush},
    {WM_CTLCOLORDLG, nullptr, &g_skin.face, &g_skin.face_brush},
};

LRESULT CALLBACK SkinnedProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto old = reinterpret_cast<WNDPROC>(GetPropW(window, kOldProcedure));
  if (old == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    RemovePropW(window, kOldProcedure);
    return CallWindowProcW(old, window, message, wparam, lparam);
  }
  if (!g_have_skin) return CallWindowProcW(old, window, message, wparam, lparam);
  HDC dc = reinterpret_cast<HDC>(wparam);
  if (message == WM_ERASEBKGND) {
    RECT area;
    GetClientRect(window, &area);
    FillRect(dc, &area, g_skin.face_brush);
    return 1;
  }
  for (const ColourRequest& request : kColourRequests) {
    if (request.message != message) continue;
    if (request.text) {
      SetTextColor(dc, *request.text);
    } else {
      // The window chooses the text colour (its labels' grey); the skin
      // paints the ground.
      CallWindowProcW(old, window, message, wparam, lparam);
    }
    SetBkColor(dc, *request.background);
    return reinterpret_cast<LRESULT>(*request.brush);
  }
  return CallWindowProcW(old, window, message, wparam, lparam);
}

void Attach(HWND window) {
  if (GetPropW(window, kOldProcedure) == nullptr) {
    LONG_PTR old = SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SkinnedProcedure));
    if (old == 0) return;
    SetPropW(window, kOldProcedure, reinterpret_cast<HANDLE>(old));
  }
  SetClassLongPtrW(window, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(g_skin.face_brush));
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
  ++g_attached;
}

BOOL CALLBACK AttachToWindow(HWND window, LPARAM) {
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  if ((style & WS_CAPTION) == WS_CAPTION && GetParent(window) == nullptr) Attach(window);
  return TRUE;
}

void ReplaceBrush(HBRUSH* brush, COLORREF colour) {
  HBRUSH fresh = CreateSolidBrush(colour);
  if (fresh == nullptr) return;
  // The old brush may still be a class background until every window has the
  // new one; it is deleted only after the windows were switched over.
  HBRUSH old = *brush;
  *brush = fresh;
  if (old) DeleteObject(old);
}

}  // namespace

extern "C" int __stdcall SkinH_AttachRes(const unsigned char* data, int size, const char* password,
                                         int h, int s, int v) {
  (void)password;
  SkinColours colours;
  if (!brevane::skin::ParseSkin(data, size, &colours)) return 0;
  g_skin.face = ToColorref(brevane::skin::AdjustHsv(colours.face, h, s, v));
  g_skin.text = ToColorref(brevane::skin::AdjustHsv(colours.text, h, s, v));
  g_skin.button_face = ToColorref(brevane::skin::AdjustHsv(colours.button_face, h, s, v));
  g_skin.edit_background = ToColorref(brevane::skin::AdjustHsv(colours.edit_background, h, s, v));
  HBRUSH old_face = g_skin.face_brush;
  g_skin.face_brush = nullptr;
  ReplaceBrush(&g_skin.face_brush, g_skin.face);
  ReplaceBrush(&g_skin.button_brush, g_skin.button_face);
  ReplaceBrush(&g_skin.edit_brush, g_skin.edit_background);
  if (!g_skin.face_brush || !g_skin.button_brush || !g_skin.edit_brush) {
    g_skin.face_brush = old_face;
    return 0;
  }
  g_have_skin = true;
  g_attached = 0;
  EnumThreadWindows(GetCurrentThreadId(), &AttachToWindow, 0);
  if (old_face) DeleteObject(old_face);
  return g_attached > 0 ? 1 : 0;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
