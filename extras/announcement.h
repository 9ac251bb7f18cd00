// The announcement page and the banner at the top of the main window.
//
// The page is fetched once while the window is set up. Its text (UTF-8,
// converted to GB18030) carries two labelled values, each written as its
// marker, the value, and one "-": the banner picture address after
// gbk::kBannerPictureMarker and the address a click on the banner opens after
// gbk::kBannerClickMarker.
#pragma once

#include <functional>

#include "base/text/text.h"
#include "extras/http.h"
#include "ui/controls.h"

namespace brevane {

// The bytes of source after the first start_marker up to the first
// end_marker after it. Empty when the source is empty, when the start marker
// does not occur, or when no end marker follows it.
Text TextBetween(const Text& source, const Text& start_marker, const Text& end_marker);

class Announcements {
 public:
  Announcements(Controls& controls, HttpFetcher& http,
                std::function<void(const Text&)> open_in_browser, Text announcement_url);

  // Fetches the page, keeps its text and the two addresses, and sets the
  // banner picture to the bytes fetched from the picture address. Runs once:
  // later calls do nothing.
  void ShowAnnouncement();

  // Left mouse button on the banner: opens the click address.
  void OpenBannerLink();

  const Text& AnnouncementText() const { return announcement_text_; }
  const Text& BannerPictureUrl() const { return banner_picture_url_; }
  const Text& BannerClickUrl() const { return banner_click_url_; }

 private:
  Controls& controls_;
  HttpFetcher& http_;
  std::function<void(const Text&)> open_in_browser_;
  Text announcement_url_;
  bool shown_ = false;
  Text announcement_text_;
  Text banner_picture_url_;
  Text banner_click_url_;
};

}  // namespace brevane
