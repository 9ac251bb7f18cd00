// The announcement page as a hostile server might send it: conversion,
// cutting at the zero byte, and extraction of both values, through the same
// routine the program runs at start-up.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/text/charset.h"
#include "base/text/gbk_literals.h"
#include "extras/announcement.h"

namespace {

using namespace brevane;

class NullControls : public Controls {
 public:
  void WriteControlProperty(std::string_view, int, const PropertyValue&) override {}
  PropertyValue ReadControlProperty(std::string_view, int) override { return {}; }
  int32_t ListItemCount(std::string_view) override { return 0; }
  Text ListItemText(std::string_view, int32_t) override { return Text(); }
  int32_t ListAddItem(std::string_view, const Text&, int32_t) override { return -1; }
  int32_t RaiseFeedbackEvent(std::string_view, int32_t, int32_t, bool) override { return 0; }
};

class PageFetcher : public HttpFetcher {
 public:
  explicit PageFetcher(std::string page) : page_(std::move(page)) {}
  std::string HttpGetBody(const Text& address) override {
    return address == "http://page" ? page_ : std::string();
  }

 private:
  std::string page_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  NullControls controls;
  PageFetcher http(bytes);
  Announcements announcements(controls, http, [](const Text&) {}, "http://page");
  announcements.ShowAnnouncement();
  const Text& text = announcements.AnnouncementText();
  if (text.find('\0') != Text::npos) __builtin_trap();
  if (announcements.BannerPictureUrl().size() > text.size()) __builtin_trap();
  if (announcements.BannerPictureUrl().find('-') != Text::npos) __builtin_trap();
  // The raw bytes as a GBK text, and the way back to UTF-8.
  TextBetween(bytes, Text(gbk::kBannerClickMarker), "-");
  GbkToUtf8(bytes, Conversion::kStrict);
  return 0;
}
