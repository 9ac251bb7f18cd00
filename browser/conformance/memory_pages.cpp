#include "browser/conformance/memory_pages.h"

#include "base/text/charset.h"

namespace brevane::conformance {

MemoryPages::MemoryPages(memory::MemoryEngine& engine) : engine_(engine) {
  engine_.OnClick([this](memory::Element& clicked) {
    memory::ElementPtr root = clicked.shared_from_this();
    while (root->parent()) root = root->parent();
    root->SetAttribute("data-clicked", clicked.Attribute("id").value_or(""));
    if (engine_.submissions().size() > submissions_seen_) {
      const memory::ElementPtr& form = engine_.submissions().back();
      root->SetAttribute("data-sent", form->Attribute("id").value_or(""));
    }
    submissions_seen_ = engine_.submissions().size();
  });
}

void MemoryPages::Serve(const Fixture& fixture, const std::vector<ServedFile>& files) {
  const bool gbk = fixture.charset == "gbk";
  // Over TLS the first origin is the https one; the engine has no TLS to
  // model, only the scheme in the addresses.
  const Text first = fixture.tls ? SecureForm(kMemoryOrigin) : Text(kMemoryOrigin);
  for (const ServedFile& file : files) {
    Text body = gbk ? Text(file.body) : Utf8ToGbk(file.body);
    memory::PageOptions options;
    options.arrive_ms = file.delay_ms;
    options.header_mode = memory::CompatibleMode(file.headers);
    engine_.Serve(first + file.path, body, options);
    engine_.Serve(kMemoryOther + file.path, body, options);
  }
}

}  // namespace brevane::conformance
