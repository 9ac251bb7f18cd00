#include "extras/announcement.h"

#include "base/text/charset.h"
#include "base/text/gbk_literals.h"
#include "ui/names.h"

namespace brevane {

Text TextBetween(const Text& source, const Text& start_marker, const Text& end_marker) {
  if (source.empty()) return Text();
  const int32_t p = FindText(source, start_marker, 1);
  if (p == -1) return Text();
  const int32_t s = p + TextLength(start_marker);
  const Text tail = MidText(source, s, TextLength(source));
  const int32_t q = FindText(tail, end_marker);
  return MidText(tail, 1, q - 1);
}

Announcements::Announcements(Controls& controls, HttpFetcher& http,
                             std::function<void(const Text&)> open_in_browser,
                             Text announcement_url)
    : controls_(controls),
      http_(http),
      open_in_browser_(std::move(open_in_browser)),
      announcement_url_(std::move(announcement_url)) {}

void Announcements::ShowAnnouncement() {
  if (shown_) return;
  shown_ = true;
  const std::string body = http_.HttpGetBody(announcement_url_);
  const Text converted = Utf8ToGbk(body, Conversion::kStrict);
  announcement_text_ = BytesToText(converted);
  const Text end_marker = "-";
  banner_picture_url_ =
      TextBetween(announcement_text_, Text(gbk::kBannerPictureMarker), end_marker);
  const std::string picture = http_.HttpGetBody(banner_picture_url_);
  controls_.WriteControlProperty(names::kBanner, prop::kPicture, PropertyValue(Text(picture)));
  banner_click_url_ = TextBetween(announcement_text_, Text(gbk::kBannerClickMarker), end_marker);
}

void Announcements::OpenBannerLink() {
  if (open_in_browser_) open_in_browser_(banner_click_url_);
}

}  // namespace brevane
