// The objects of the in-memory engine: elements, documents, frame windows
// and collections, each a DomObject answering the Internet Explorer member
// names (without regard to case) the browser operations use. Every
// invocation is counted, members can be disabled to act out an engine that
// lacks them, and clicks are recorded.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "browser/dom.h"
#include "testing/memory/html_parser.h"

namespace brevane::memory {

class Element;
class MemoryDocument;
class MemoryWindow;
using ElementPtr = std::shared_ptr<Element>;
using DocumentPtr = std::shared_ptr<MemoryDocument>;
using WindowPtr = std::shared_ptr<MemoryWindow>;

// How a frame's content is reached.
enum class Reach {
  kReachable,    // the frame's document is open to the page
  kUnreachable,  // the frame has a window, but its document cannot be had
  kNoWindow,     // the frame element has no content window at all
};

struct PageOptions {
  Text ready_state = "complete";
  Reach reach = Reach::kReachable;
  bool design_mode = false;
  // A navigation to the page gets its document only this long after it
  // starts (a slow server), on the clock of the browser that navigates.
  int32_t arrive_ms = 0;
  // After its arrival the document reads "interactive" this long, until
  // the last of its subresources (scripts, pictures, styles, frames) has
  // come; then "complete", and its load event.
  int32_t complete_ms = 0;
  // The document mode an X-UA-Compatible header asks for (0: none; the
  // page's own meta element may still ask).
  int32_t header_mode = 0;
};

// Document modes of the control: IE7 (its default for a hosted control) up
// to 11 (IE=edge on Internet Explorer 11).
inline constexpr int32_t kDefaultDocumentMode = 7;
inline constexpr int32_t kEdgeDocumentMode = 11;
// The mode an X-UA-Compatible value asks for ("IE=9", "IE=edge",
// "IE=EmulateIE8", several joined by ";" or ",": the highest); 0 when it
// asks for none.
int32_t ModeOfCompatible(std::string_view content);
// The mode the X-UA-Compatible line among header lines asks for; 0 without.
int32_t CompatibleMode(std::string_view header_lines);

struct ServedPage {
  Text html;
  PageOptions options;
};

// What every object of one engine shares.
struct EngineState {
  int64_t calls = 0;                         // late-bound invocations made
  std::set<std::string> disabled;            // lower-case member names that fail
  std::map<Text, ServedPage> served;         // pages frames and navigations load
  std::vector<ElementPtr> clicks;            // clicked elements, in order
  std::vector<ElementPtr> submissions;       // forms submitted by a click
  std::function<void(Element&)> on_click;    // runs after a click is recorded
  // Runs at every invocation with its lower-case member name, before the
  // answer: a test makes a member cost time on its clock (a slow page, an
  // answer of millions of characters on its way) or watches the calls.
  std::function<void(const std::string& member)> on_call;
  // The hosted control, as it reports itself: busy from a navigation's start
  // to its page's completion; its ready state (READYSTATE values: 1 loading,
  // 3 interactive, 4 complete); a navigation started whose document has not
  // arrived yet; and its events, in order ("BeforeNavigate2 <address>", ...).
  bool busy = false;
  int32_t control_ready_state = 4;
  bool navigation_pending = false;
  std::vector<std::string> control_events;
  // Runs as each event is recorded (the COM double fires it to the sinks
  // connected to the control).
  std::function<void(const std::string& event)> on_control_event;
  // The documents serve Internet Explorer's own behaviour in their document
  // mode (the COM document double), not the form the program reads.
  bool raw_ie = false;
};
using StatePtr = std::shared_ptr<EngineState>;

class Element : public DomObject, public std::enable_shared_from_this<Element> {
 public:
  Element(StatePtr state, bool is_text, std::string tag_or_text);

  int32_t Invoke(std::string_view name, InvokeKind kind, const std::vector<Variant>& args,
                 Variant* result) override;

  bool is_text() const { return is_text_; }
  const std::string& tag() const { return tag_; }
  const std::string& text() const { return text_; }
  const std::vector<ElementPtr>& children() const { return children_; }
  ElementPtr parent() const { return parent_.lock(); }
  const WindowPtr& content_window() const { return content_window_; }
  // Points a frame element at any window, e.g. one showing an ancestor.
  void set_content_window(WindowPtr window) { content_window_ = std::move(window); }
  int focus_count() const { return focus_count_; }

  std::optional<Text> Attribute(std::string_view name) const;
  void SetAttribute(std::string_view name, Text value);
  void RemoveAttribute(std::string_view name);

  Text OuterHtml() const;
  Text InnerHtml() const;
  Text InnerText() const;
  void SetInnerHtml(std::string_view html);
  void SetInnerText(std::string_view text);

  void AppendChild(ElementPtr child);
  // Element descendants in start-tag order.
  void CollectDescendants(std::vector<ElementPtr>& out) const;
  ElementPtr EnclosingForm() const;
  // The controls a form lists, in document order.
  std::vector<ElementPtr> FormControls() const;
  // Creates the content windows of frame elements at and below this one.
  // chain holds the addresses of the documents this one is nested in: a
  // frame asking for one of them gets a blank page, as browsers refuse
  // recursive frames.
  void LoadFrames(int depth, const std::vector<Text>& chain);

  // The type a button-like or input element reports, as browsers report
  // it: an input with no type, an empty or an unknown one is "text", a
  // button's is "submit" unless it says "button" or "reset" (or, serving
  // the control's own behaviour in IE7 mode, says no type: then "button").
  Text Type() const;

  // Address of the document this element belongs to (set on its root
  // element); empty for a page shown without one.
  Text Address() const;
  void set_address(Text address) { address_ = std::move(address); }
  // The document mode of this element's document (set on its root element;
  // kDefaultDocumentMode when none was set), and that document.
  int32_t DocumentMode() const;
  void set_document_mode(int32_t mode) { document_mode_ = mode; }
  DocumentPtr OwnerDocument() const;
  void set_owner(const DocumentPtr& document) { owner_ = document; }

 private:
  friend ElementPtr BuildElement(const StatePtr& state, const HtmlNode& node);
  void Serialise(Text& out) const;
  void SerialiseChildren(Text& out) const;
  void CollectText(Text& out) const;
  void Click();

  StatePtr state_;
  bool is_text_;
  std::string tag_;   // lower case
  std::string text_;  // text nodes
  std::vector<std::pair<std::string, Text>> attributes_;  // lower-case names, in source order
  std::vector<ElementPtr> children_;
  std::weak_ptr<Element> parent_;
  WindowPtr content_window_;
  int focus_count_ = 0;
  Text address_;  // root elements only
  int32_t document_mode_ = 0;            // root elements only
  std::weak_ptr<MemoryDocument> owner_;  // root elements only
  // Internet Explorer 9's serialisation (and later modes'): lower-case
  // names, every value quoted, as written.
  void SerialiseModern(Text& out) const;
  // The double serves the control's own behaviour in this document's mode.
  bool RawMode(int32_t at_least) const { return state_->raw_ie && DocumentMode() >= at_least; }
};

// An attribute of an element, as its attributes collection lists it.
class MemoryAttribute : public DomObject {
 public:
  MemoryAttribute(StatePtr state, Text name, Text value)
      : state_(std::move(state)), name_(std::move(name)), value_(std::move(value)) {}
  int32_t Invoke(std::string_view name, InvokeKind kind, const std::vector<Variant>& args,
                 Variant* result) override;

 private:
  StatePtr state_;
  Text name_;
  Text value_;
};

ElementPtr BuildElement(const StatePtr& state, const HtmlNode& node);

class MemoryDocument : public DomObject, public std::enable_shared_from_this<MemoryDocument> {
 public:
  MemoryDocument(StatePtr state, std::string_view html, const PageOptions& options);

  int32_t Invoke(std::string_view name, InvokeKind kind, const std::vector<Variant>& args,
                 Variant* result) override;

  const ElementPtr& body() const { return body_; }
  const ElementPtr& root() const { return root_; }
  Text title() const;
  void set_title(Text title) { title_ = std::move(title); }
  const Text& ready_state() const { return ready_state_; }
  void set_ready_state(Text state) { ready_state_ = std::move(state); }
  bool design_mode() const { return design_mode_; }
  // The address the document was loaded from: relative href and src
  // values read as absolute against it, and frames load from it.
  Text address() const { return root_->Address(); }
  void set_address(Text address) { root_->set_address(std::move(address)); }

  // Every element, in start-tag order.
  std::vector<ElementPtr> AllElements() const;
  ElementPtr ElementById(std::string_view id) const;
  // The frame and inline-frame elements, in document order.
  std::vector<ElementPtr> FrameElements() const;
  // Document of the i-th frame element (0-based); empty when it has none.
  DocumentPtr Frame(std::size_t i) const;

  void LoadFrames(int depth, const std::vector<Text>& chain);

  // The document mode: what the page's X-UA-Compatible header or meta
  // element asks for, else the control's default; frames follow the top
  // document (ApplyModeToFrames).
  int32_t document_mode() const { return root_->DocumentMode(); }
  void ApplyModeToFrames(int32_t mode);

 private:
  StatePtr state_;
  ElementPtr root_;
  ElementPtr head_;
  ElementPtr body_;
  std::optional<Text> title_;
  Text ready_state_;
  bool design_mode_ = false;
};

// The content window of a frame element.
class MemoryWindow : public DomObject {
 public:
  // top: the window of a top document (its parentWindow), whose browser
  // service is the hosted control itself.
  MemoryWindow(StatePtr state, DocumentPtr document, bool reachable, bool top = false)
      : state_(std::move(state)), document_(std::move(document)), reachable_(reachable), top_(top) {}

  int32_t Invoke(std::string_view name, InvokeKind kind, const std::vector<Variant>& args,
                 Variant* result) override;

  const DocumentPtr& document() const { return document_; }
  bool reachable() const { return reachable_; }
  bool top() const { return top_; }
  const StatePtr& state() const { return state_; }

 private:
  StatePtr state_;
  DocumentPtr document_;
  bool reachable_;
  bool top_;
};

// A snapshot list of elements or windows.
class MemoryCollection : public DomObject {
 public:
  MemoryCollection(StatePtr state, std::vector<DomRef> items) : state_(std::move(state)), items_(std::move(items)) {}

  int32_t Invoke(std::string_view name, InvokeKind kind, const std::vector<Variant>& args,
                 Variant* result) override;

  const std::vector<DomRef>& items() const { return items_; }

 private:
  StatePtr state_;
  std::vector<DomRef> items_;
};

// Documents of served pages, with their frames loaded (frames nest at most
// this deep).
inline constexpr int kMaxMemoryFrameDepth = 8;
// chain: the addresses of this page and of the pages it is nested in.
DocumentPtr LoadServedPage(const StatePtr& state, const ServedPage& page, int depth,
                           const std::vector<Text>& chain);

}  // namespace brevane::memory
