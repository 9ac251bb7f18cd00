#include "ui/layout.h"

#include <array>
#include <string>

#include "base/text/charset.h"
#include "ui/names.h"

namespace brevane::layout {
namespace {

constexpr WindowDef kWindow = {names::kMainWindow, "Brevane", 817, 589, true, false, false, true};

constexpr std::string_view kHelpCaption =
    "需要回贴的内容(每行一条,依次回帖)记住设置回帖内容时切记将内容1内容2删除，"
    "否则会一块发出去的。为了避免重复发帖触犯版规建议多设置回帖内容";

constexpr std::string_view kDefaultReplies = "内容1\r\n内容2\r\n内容3\r\n内容4\r\n内容5";

// The edit box of the boards has its default content built from the board
// host at run time; its caption here stays empty.
constexpr std::array<ControlDef, 13> kControls = {{
    {names::kBanner, Kind::kPictureBox, 0, 0, 0, 808, 64, "", true, false},
    {names::kBrowser, Kind::kBrowser, 0, -6, 64, 810, 289, "", true, true},
    {names::kTabs, Kind::kTabControl, 0, -1, 355, 809, 205, "", true, false},
    {names::kBoardsLabel, Kind::kLabel, 1, 11, 24, 122, 24, "版块(每行一条链接)", true, false},
    {names::kBoardsBox, Kind::kEditBox, 1, 9, 50, 388, 95, "", true, true},
    {names::kRecordLabel, Kind::kLabel, 1, 405, 24, 168, 24, "回帖记录(单击可以打开网址)", true, false},
    {names::kRecordList, Kind::kListBox, 1, 405, 50, 392, 95, "", true, true},
    {names::kLoginButton, Kind::kButton, 1, 112, 156, 86, 32, "登录淘宝", true, true},
    {names::kStartButton, Kind::kButton, 1, 415, 157, 91, 32, "开始监控", false, true},
    {names::kStopButton, Kind::kButton, 1, 541, 157, 90, 32, "停止监控", false, true},
    {names::kContactButton, Kind::kButton, 1, 681, 157, 80, 32, "联系客服", true, true},
    {names::kHelpLabel, Kind::kLabel, 2, 2, 30, 815, 23, kHelpCaption, true, false},
    {names::kRepliesBox, Kind::kEditBox, 2, 6, 57, 790, 147, kDefaultReplies, true, true},
}};

constexpr std::array<std::string_view, 2> kPageCaptions = {"监控操作", "回帖设置"};

constexpr FontDef kTabFont = {"宋体", -12, 400, false, 134};

constexpr std::array<std::string_view, 5> kBoardPaths = {
    "/catalog/424021.htm?spm=0.0.0.0.g6QCdH",
    "/catalog/424022.htm?spm=0.0.0.0.g6QCdH",
    "/catalog/424015.htm?spm=0.0.0.0.xhdxun",
    "/catalog/10150010.htm?spm=0.0.0.0.2AvsLq",
    "/catalog/424005.htm?spm=0.0.0.0.oi4Lf3",
};

}  // namespace

const WindowDef& MainWindow() { return kWindow; }

std::span<const ControlDef> Controls() { return kControls; }

const ControlDef* FindControl(std::string_view name) {
  for (const ControlDef& c : kControls) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

std::span<const std::string_view> PageCaptions() { return kPageCaptions; }

const FontDef& TabFont() { return kTabFont; }

Rgb LabelColour() { return {96, 96, 96}; }

Text DefaultBoards(std::string_view board_host) {
  // A host given with a trailing slash would double it before the path.
  while (!board_host.empty() && board_host.back() == '/') board_host.remove_suffix(1);
  std::string out;
  for (std::size_t i = 0; i < kBoardPaths.size(); ++i) {
    if (i > 0) out += "\r\n";
    out += board_host;
    out += kBoardPaths[i];
  }
  return Utf8ToGbk(out);
}

Text DefaultContent(std::string_view name, std::string_view board_host) {
  if (name == names::kBoardsBox) return DefaultBoards(board_host);
  const ControlDef* c = FindControl(name);
  if (c == nullptr) return Text();
  return Utf8ToGbk(c->caption);
}

}  // namespace brevane::layout
