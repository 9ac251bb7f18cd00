#include "testing/conformance/memory_pages.h"

#include <algorithm>
#include <cstdlib>

#include "base/text/charset.h"
#include "browser/address.h"
#include "browser/late_binding.h"

namespace brevane::conformance {
namespace {

// The addresses a page asks for while it loads: the src of its scripts,
// pictures and frames, and the href of its link elements, as written.
std::vector<std::string> Subresources(const std::string& html) {
  std::vector<std::string> found;
  auto value_at = [&](std::size_t at) {
    if (at >= html.size()) return std::string();
    const char quote = html[at];
    if (quote == '"' || quote == '\'') {
      const std::size_t end = html.find(quote, at + 1);
      return html.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
    }
    const std::size_t end = html.find_first_of(" \t\r\n>", at);
    return html.substr(at, end == std::string::npos ? std::string::npos : end - at);
  };
  for (std::size_t at = html.find("src="); at != std::string::npos; at = html.find("src=", at + 4)) {
    // An attribute, not the text of a script that mentions it.
    if (at > 0 && (html[at - 1] == ' ' || html[at - 1] == '\t' || html[at - 1] == '\n'))
      found.push_back(value_at(at + 4));
  }
  for (std::size_t at = html.find("<link"); at != std::string::npos; at = html.find("<link", at + 5)) {
    const std::size_t end = html.find('>', at);
    const std::size_t href = html.find(" href=", at);
    if (href != std::string::npos && href < end) found.push_back(value_at(href + 6));
  }
  return found;
}

}  // namespace

MemoryPages::MemoryPages(memory::MemoryEngine& engine) : engine_(engine) {
  engine_.OnClick([this](memory::Element& clicked) {
    memory::ElementPtr root = clicked.shared_from_this();
    while (root->parent()) root = root->parent();
    root->SetAttribute("data-clicked", clicked.Attribute("id").value_or(""));
    memory::ElementPtr sent;
    if (engine_.submissions().size() > submissions_seen_) {
      sent = engine_.submissions().back();
      root->SetAttribute("data-sent", sent->Attribute("id").value_or(""));
    }
    submissions_seen_ = engine_.submissions().size();
    // observe.js lets a form marked data-go be sent: the page itself
    // navigates to the form's action, as the control does for a submit.
    if (sent && browser_ && sent->Attribute("data-go")) {
      browser_->NavigateFromPage(ResolveAddress(root->Address(), sent->Attribute("action").value_or("")));
    }
  });
}

void MemoryPages::Serve(const Fixture& fixture, const std::vector<ServedFile>& files) {
  const bool gbk = fixture.charset == "gbk";
  // Over TLS the first origin is the https one; the engine has no TLS to
  // model, only the scheme in the addresses.
  const Text first = fixture.tls ? SecureForm(kMemoryOrigin) : Text(kMemoryOrigin);
  const std::string folder = "/" + fixture.name + "/";
  std::map<std::string, const ServedFile*> by_path;
  for (const ServedFile& file : files) by_path[file.path] = &file;
  // How long after its request a file's page is complete: its own answer,
  // then its subresources, asked for together once it has come (frames'
  // pages with their own subresources, a few levels deep).
  auto delay_of = [&](auto& self, const std::string& path, int depth) -> int {
    auto file = by_path.find(path);
    if (file == by_path.end()) return fixture.latency_ms;  // answered "not found" after the latency
    int longest = 0;
    if (depth < 4 && ContentTypeOf(path, fixture.charset).rfind("text/html", 0) == 0) {
      const Text base = first + path;
      for (const std::string& reference : Subresources(file->second->body)) {
        Text absolute = ResolveAddress(base, Text(reference));
        for (const Text& origin : {first, Text(kMemoryOther)}) {
          if (absolute.rfind(origin, 0) == 0) absolute = absolute.substr(origin.size());
        }
        longest = std::max(longest, self(self, absolute, depth + 1));
      }
    }
    return file->second->delay_ms + longest;
  };
  scripts_.clear();
  changes_.clear();
  for (const ServedFile& file : files) {
    Text body = gbk ? Text(file.body) : Utf8ToGbk(file.body);
    memory::PageOptions options;
    options.arrive_ms = file.delay_ms;
    options.complete_ms = delay_of(delay_of, file.path, 0) - file.delay_ms;
    options.header_mode = memory::CompatibleMode(file.headers);
    engine_.Serve(first + file.path, body, options);
    engine_.Serve(kMemoryOther + file.path, body, options);
    if (file.changes_later) {
      const Text later = gbk ? Text(file.later_body) : Utf8ToGbk(file.later_body);
      changes_[kMemoryOrigin + file.path] = {later, options};
      changes_[kMemoryOther + file.path] = {later, options};
    }
  }
  for (const auto& [page, steps] : fixture.scripts) {
    std::vector<std::pair<ScriptStep, int>> timed;
    for (const ScriptStep& step : steps) {
      int ms = 0;
      if (step.action == "fetch") ms = delay_of(delay_of, folder + step.argument, 0);
      if (step.action == "wait") ms = std::atoi(step.argument.c_str());
      timed.emplace_back(step, ms);
    }
    scripts_[first + folder + page] = timed;
    scripts_[kMemoryOther + folder + page] = timed;
  }
}

void MemoryPages::ActOn(memory::MemoryBrowser& browser, testing::VirtualClock& clock) {
  clock_ = &clock;
  browser_ = &browser;
  // A page that changes after its first visit is served anew once shown.
  browser.on_navigate = [this](const Text&, const memory::DocumentPtr& page) {
    auto change = changes_.find(page->address());
    if (change == changes_.end()) return;
    engine_.Serve(change->first, change->second.first, change->second.second);
    changes_.erase(change);
  };
  browser.on_load = [this](const Text& address, const memory::DocumentPtr& page) {
    auto script = scripts_.find(address);
    if (script == scripts_.end()) return;
    auto run = std::make_shared<ScriptRun>();
    run->steps = script->second;
    run->page = page;
    Continue(run);
  };
}

void MemoryPages::Continue(const std::shared_ptr<ScriptRun>& run) {
  while (run->next < run->steps.size()) {
    memory::DocumentPtr page = run->page.lock();
    // A page the browser has left runs no more script.
    if (!page || engine_.shown() != page) return;
    const auto& [step, ms] = run->steps[run->next++];
    if (step.action == "fetch" || step.action == "wait") {
      if (ms > 0) {
        clock_->After(ms, [this, run] { Continue(run); });
        return;
      }
    } else if (step.action == "frame") {
      memory::ElementPtr holder = page->ElementById(Utf8ToGbk(step.argument));
      if (!holder) continue;
      holder->SetInnerHtml("<iframe></iframe>");
      const memory::WindowPtr window = holder->children().empty() ? nullptr : holder->children()[0]->content_window();
      run->editor = window ? window->document() : nullptr;
      if (run->editor) Put(DomRef(run->editor), "designMode", Variant("on"));
    } else if (step.action == "write" && run->editor) {
      run->editor->body()->SetInnerHtml(Utf8ToGbk(step.argument));
    }
  }
}

}  // namespace brevane::conformance
