// The main window defined as data: the window's own settings and every
// control with its kind, parent page, geometry, caption or default content,
// enabled state and tab stop. Both shells build their widgets by walking this
// table, so the look of the window is fixed once. Captions and default
// contents are UTF-8 here; the shells convert them at their edge, and
// DefaultContent() gives a default content as the program's GBK Text.
#pragma once

#include <span>
#include <string_view>

#include "base/text/text.h"

namespace brevane::layout {

// What a control is; kWindow is the window itself, which the table describes
// apart (WindowDef).
enum class Kind {
  kWindow,
  kPictureBox,
  kBrowser,
  kTabControl,
  kLabel,
  kEditBox,
  kListBox,
  kButton,
};

// 0: placed on the window's client area; 1 or 2: on that page of the tab
// control, relative to the tab control's top-left corner (tab headers
// included).
struct ControlDef {
  std::string_view name;
  Kind kind;
  int page;
  int left;
  int top;
  int width;
  int height;
  std::string_view caption;  // label and button caption, or edit box default content (UTF-8)
  bool enabled;
  bool tab_stop;
};

struct Rgb {
  int r, g, b;
};

struct FontDef {
  std::string_view face;  // UTF-8
  int height;             // negative: character height in pixels
  int weight;
  bool italic;
  int charset;            // 134: GB2312
};

struct WindowDef {
  std::string_view name;
  std::string_view caption;
  int outer_width;
  int outer_height;
  bool centred;
  bool resizable;
  bool maximize_box;
  bool minimize_box;
};

const WindowDef& MainWindow();

// Every control, in creation order (the order of the layout table).
std::span<const ControlDef> Controls();

// The control of that name, or nullptr.
const ControlDef* FindControl(std::string_view name);

// Tab captions of the tab control's pages, page 1 first (UTF-8).
std::span<const std::string_view> PageCaptions();

// Font of the tab headers.
const FontDef& TabFont();

// Text colour of the labels.
Rgb LabelColour();

// The default content of an edit box (or caption of another control) as a
// GBK Text; the board list is built on the board host (DefaultBoards). Empty
// for an unknown name.
Text DefaultContent(std::string_view name, std::string_view board_host);

// The default board list: five addresses on the board host (scheme and
// host, as the program's forum addresses give it), CR LF between them, none
// after the last, as a GBK Text.
Text DefaultBoards(std::string_view board_host);

}  // namespace brevane::layout
