// Cost of document calls through the WebKit bridge: one round trip (a
// property read), a table read as the browser layer makes it, and binding
// the top document. Prints figures; run it under a display (xvfb-run).
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "browser/webkit/tests/calls.h"
#include "browser/webkit/tests/harness.h"
#include "browser/webkit/webkit_bridge.h"

using namespace brevane;
using namespace brevane::testing;

namespace {

void Measure(const char* what, int rounds, const std::function<void()>& body) {
  body();  // warm up: installs the bridge in the page
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < rounds; ++i) body();
  double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
  std::printf("%-44s %8.1f us per operation (%d rounds)\n", what, us / rounds, rounds);
}

}  // namespace

int main() {
  WebViewHarness& harness = WebViewHarness::Get();
  std::string rows;
  for (int i = 0; i < 50; ++i)
    rows += "<tr><td><a href=\"http://127.0.0.1/thread-" + std::to_string(i) +
            ".html\" target=\"_blank\">Thread</a></td><td><em>" + std::to_string(i % 3) + "</em></td></tr>";
  if (!harness.LoadHtml("<html><head><title>Bench</title></head><body><table><tr><td>x</td></tr></table><table>" +
                        rows + "</table></body></html>")) {
    std::fprintf(stderr, "page did not load\n");
    return 1;
  }
  DomRef document = harness.Document();
  if (!document) return 1;
  auto bridge = WebKitBridge::For(harness.view());

  int64_t before = bridge->round_trips();
  Measure("round trip: document.readyState", 1000, [&] { Get(document, "readyState"); });
  Measure("object result: document.body (+ release)", 1000, [&] { GetObject(document, "body"); });
  Measure("TopDocument", 300, [&] {
    int32_t status = 0;
    harness.engine().TopDocument(harness.document_window(), 1000, &status);
  });
  Measure("table 2 outerHTML (body.all.tags, item, read)", 200, [&] {
    DomRef tables = Call(GetObject(GetObject(document, "body"), "all"), "tags", {Variant("table")}).ToObject();
    Get(tables, "length");
    Get(Call(tables, "item", {Variant(int32_t{1})}).ToObject(), "outerHTML");
  });
  DomRef table = Call(Call(GetObject(GetObject(document, "body"), "all"), "tags", {Variant("table")}).ToObject(), "item",
                      {Variant(int32_t{1})}).ToObject();
  Measure("outerHTML of a 50-row table", 200, [&] { Get(table, "outerHTML"); });
  Measure("innerText of the same table", 200, [&] { Get(table, "innerText"); });
  std::printf("round trips made: %lld\n", static_cast<long long>(bridge->round_trips() - before));

  // A frame of another origin: the same reads, made by the main frame's
  // bridge on the document the reach into frames gives it.
  LoopbackServer here;
  LoopbackServer elsewhere;
  elsewhere.AddPage("/ad.html", "<html><head><title>Ad</title></head><body><table>" + rows + "</table></body></html>");
  here.AddPage("/", "<html><head><title>Framed</title></head><body><iframe src=\"" + elsewhere.Url("/ad.html") +
                        "\"></iframe></body></html>");
  if (!harness.LoadUri(here.Url("/"))) {
    std::fprintf(stderr, "framed page did not load\n");
    return 1;
  }
  DomRef top = harness.Document();
  DomRef frames = Call(GetObject(GetObject(top, "body"), "all"), "tags", {Variant("iframe")}).ToObject();
  DomRef frame_window = GetObject(Call(frames, "item", {Variant(int32_t{0})}).ToObject(), "contentWindow");
  Measure("FrameDocument, other origin", 200,
          [&] { harness.engine().FrameDocument(frame_window); });
  DomRef ad = harness.engine().FrameDocument(frame_window);
  if (!ad) {
    std::fprintf(stderr, "the other origin's frame did not answer\n");
    return 1;
  }
  Measure("round trip, other origin: readyState", 1000, [&] { Get(ad, "readyState"); });
  DomRef ad_table = Call(Call(GetObject(GetObject(ad, "body"), "all"), "tags", {Variant("table")}).ToObject(), "item",
                         {Variant(int32_t{0})}).ToObject();
  Measure("outerHTML of a 50-row table, other origin", 200, [&] { Get(ad_table, "outerHTML"); });
  return 0;
}
