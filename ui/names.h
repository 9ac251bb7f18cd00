// Names of the main window and its controls, as the window definition spells
// them. Names are identifiers (UTF-8 in the source), not program texts.
#pragma once

#include <string_view>

namespace brevane::names {

inline constexpr std::string_view kMainWindow = "主窗口";
inline constexpr std::string_view kBanner = "图片框1";
inline constexpr std::string_view kBrowser = "互联网浏览器1";
inline constexpr std::string_view kTabs = "高级选择夹1";
inline constexpr std::string_view kBoardsLabel = "标签1";
inline constexpr std::string_view kBoardsBox = "编辑框_版块";
inline constexpr std::string_view kRecordLabel = "标签2";
inline constexpr std::string_view kRecordList = "列表框1";
inline constexpr std::string_view kLoginButton = "按钮_登录";
inline constexpr std::string_view kStartButton = "按钮_开始监控";
inline constexpr std::string_view kStopButton = "按钮_停止监控";
inline constexpr std::string_view kContactButton = "按钮1";
inline constexpr std::string_view kHelpLabel = "标签4";
inline constexpr std::string_view kRepliesBox = "编辑框_回帖";

}  // namespace brevane::names
