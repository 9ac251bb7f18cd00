#include "ui/window_model.h"

#include <algorithm>
#include <chrono>

#include "base/text/charset.h"
#include "ui/names.h"

namespace brevane {

WindowModel::WindowModel(NativeWindow& native) : native_(native) {}

WindowModel::~WindowModel() = default;

void WindowModel::Build(int left, int top) {
  if (!entries_.empty()) return;
  const layout::WindowDef& def = layout::MainWindow();
  auto window = std::make_unique<Entry>();
  window->name = std::string(def.name);
  window->left = left;
  window->top = top;
  window->width = def.outer_width;
  window->height = def.outer_height;
  window->caption = Utf8ToGbk(def.caption);
  entries_.push_back(std::move(window));

  for (const layout::ControlDef& c : layout::Controls()) {
    auto made = std::make_unique<Entry>();
    Entry& e = *made;
    e.index = size();
    e.name = std::string(c.name);
    e.kind = c.kind;
    e.page = c.page;
    e.left = c.left;
    e.top = c.top;
    e.width = c.width;
    e.height = c.height;
    e.disabled = !c.enabled;
    e.tab_stop = c.tab_stop;
    entries_.push_back(std::move(made));
    native_.Create(e, c);
    native_.SetEnabled(e, c.enabled);
    if (e.kind == Entry::Kind::kLabel || e.kind == Entry::Kind::kButton) {
      e.caption = layout::DefaultContent(e.name, board_host_);
      native_.SetText(e, e.caption);
    } else if (e.kind == Entry::Kind::kEditBox) {
      WriteContent(e, layout::DefaultContent(e.name, board_host_), false);
    }
  }
  SelectPage(1);
}

void WindowModel::SetBoardHost(std::string_view board_host) {
  board_host_ = std::string(board_host);
  if (Entry* boards = Lookup(names::kBoardsBox, Entry::Kind::kEditBox)) {
    WriteContent(*boards, layout::DefaultBoards(board_host_), false);
  }
}

void WindowModel::Open() {
  Deliver(*entries_.front(), Event::kCreated);
  if (closed_) return;
  entries_.front()->visible = true;
  ApplyShown(*entries_.front());
}

const Entry* WindowModel::Find(std::string_view name) const {
  for (const auto& e : entries_) {
    if (e->name == name) return e.get();
  }
  return nullptr;
}

Entry* WindowModel::Lookup(std::string_view name) { return const_cast<Entry*>(Find(name)); }

Entry* WindowModel::Lookup(std::string_view name, Entry::Kind kind) {
  Entry* e = Lookup(name);
  return e != nullptr && e->kind == kind ? e : nullptr;
}

int32_t WindowModel::Deliver(const Entry& e, Event event, const shell::EventArgs& args) {
  // Once the window is closing, only its own about-to-be-destroyed event runs.
  if (closed_ && event != Event::kAboutToBeDestroyed) return 0;
  const std::optional<Routine> routine = FindBinding(e.name, event);
  if (!routine || !runner_) return 0;
  return runner_(*routine, args);
}

bool WindowModel::Shown(const Entry& e) const {
  return e.visible && (e.page == 0 || e.page == current_page_);
}

void WindowModel::ApplyShown(const Entry& e) {
  if (e.kind != Entry::Kind::kWindow) {
    native_.SetShown(e, Shown(e));
    return;
  }
  native_.SetShown(e, e.visible);
  // A toolkit that shows a window with everything in it: the controls of
  // the hidden page and the hidden controls go again.
  if (e.visible) {
    for (const auto& c : entries_) {
      if (c->kind != Entry::Kind::kWindow) ApplyShown(*c);
    }
  }
}

void WindowModel::ApplyPage(int page) {
  if (page < 1 || page > static_cast<int>(layout::PageCaptions().size())) return;
  current_page_ = page;
  // The other page's controls go first, so the focus never rests on one.
  for (const auto& e : entries_) {
    if (e->page != 0 && e->page != page) ApplyShown(*e);
  }
  for (const auto& e : entries_) {
    if (e->kind != Entry::Kind::kWindow && (e->page == 0 || e->page == page)) ApplyShown(*e);
  }
}

void WindowModel::SelectPage(int page) {
  if (page < 1 || page > static_cast<int>(layout::PageCaptions().size())) return;
  ApplyPage(page);
  native_.ShowPage(page);
}

void WindowModel::OnPageSwitched(int page) { ApplyPage(page); }

void WindowModel::OnClicked(int index) {
  const Entry& e = At(index);
  // A disabled button raises nothing, even when a click is simulated.
  if (!e.disabled) Deliver(e, Event::kClicked);
}

void WindowModel::OnTextChanged(int index) {
  if (!writing_) Deliver(At(index), Event::kContentChanged);
}

void WindowModel::OnSelectionChanged(int index) {
  if (!writing_) Deliver(At(index), Event::kSelectionChanged);
}

void WindowModel::OnPressed(int index, const shell::EventArgs& args) {
  Deliver(At(index), Event::kLeftButtonDown, args);
}

void WindowModel::OnActivated() {
  if (activated_) return;
  activated_ = true;
  Deliver(*entries_.front(), Event::kFirstActivation);
}

void WindowModel::OnClosed() {
  if (closed_) return;
  closed_ = true;
  Deliver(*entries_.front(), Event::kAboutToBeDestroyed);
}

void WindowModel::OnTabKey(bool back) {
  // The tab stops in the window definition's order that can take the focus
  // now: shown, enabled, on the page shown.
  std::vector<const Entry*> stops;
  for (const auto& e : entries_) {
    if (e->tab_stop && !e->disabled && Shown(*e)) stops.push_back(e.get());
  }
  if (stops.empty()) return;
  const int focused = native_.FocusedControl();
  std::size_t at = stops.size();  // none focused: Tab starts at the first stop
  for (std::size_t i = 0; i < stops.size(); ++i) {
    if (stops[i]->index == focused) at = i;
  }
  const std::size_t n = stops.size();
  std::size_t next = back ? n - 1 : 0;
  if (at != n) next = back ? (at + n - 1) % n : (at + 1) % n;
  native_.Focus(*stops[next]);
}

int64_t WindowModel::Now() const {
  if (now_ms_) return now_ms_();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void WindowModel::OnFrameTimer(int index) {
  Entry& e = *entries_[static_cast<std::size_t>(index)];
  // A tick that was due when the frames stopped, or when the shell took
  // them over, plays nothing.
  if (e.played) return;
  if (e.frames.size() < 2 || e.unseen) {
    native_.SetFrameTimer(e, 0);
    return;
  }
  e.frame = (e.frame + 1) % e.frames.size();
  e.frame_shown_ms = Now();
  native_.ShowFrame(e);
  StartFrames(e);
}

void WindowModel::CatchUp(Entry& e) {
  if (e.frames.size() < 2) return;
  // Whole rounds of the animation change nothing; the rest is played
  // through, frame by frame, to the one due now.
  int64_t cycle = 0;
  for (const shell::PictureFrame& f : e.frames) cycle += shell::PlayedFrameDelay(f.delay_ms);
  const int64_t now = Now();
  int64_t elapsed = std::max<int64_t>(0, now - e.frame_shown_ms) % cycle;
  for (int delay = shell::PlayedFrameDelay(e.frames[e.frame].delay_ms); elapsed >= delay;
       delay = shell::PlayedFrameDelay(e.frames[e.frame].delay_ms)) {
    elapsed -= delay;
    e.frame = (e.frame + 1) % e.frames.size();
  }
  e.frame_shown_ms = now - elapsed;
}

void WindowModel::StartFrames(Entry& e) {
  const int delay = shell::PlayedFrameDelay(e.frames[e.frame].delay_ms);
  const int shown = static_cast<int>(std::clamp<int64_t>(Now() - e.frame_shown_ms, 0, delay));
  // No frame timer is pending here: every caller has just stopped it, or it
  // has just fired.
  if (native_.PlayFrames(e, shown)) {
    e.played = true;
    return;
  }
  native_.SetFrameTimer(e, delay - shown);
}

void WindowModel::StopFrames(Entry& e) {
  if (e.played) CatchUp(e);
  e.played = false;
  native_.SetFrameTimer(e, 0);
}

std::size_t WindowModel::ShownFrame(int index) {
  if (index < 0 || index >= size()) return 0;
  Entry& e = *entries_[static_cast<std::size_t>(index)];
  if (e.played) CatchUp(e);
  return e.frame;
}

void WindowModel::OnPictureSeen(int index, bool seen) {
  if (index < 0 || index >= size()) return;
  Entry& e = *entries_[static_cast<std::size_t>(index)];
  if (e.unseen == !seen) return;
  e.unseen = !seen;
  if (e.frames.size() < 2) return;
  if (!seen) {
    StopFrames(e);
    return;
  }
  // It shows the frame that the time passed calls for and goes on from
  // there, as if it had played all along.
  const std::size_t before = e.frame;
  CatchUp(e);
  if (e.frame != before) native_.ShowFrame(e);
  StartFrames(e);
}

void WindowModel::WriteCaption(Entry& e, const Text& text) {
  // The countdown writes the title every second; a caption that reads the
  // same is not sent to the toolkit again.
  if (text == e.caption) return;
  e.caption = text;
  native_.SetText(e, text);
}

void WindowModel::WriteContent(Entry& e, const Text& text, bool raise) {
  // The toolkit's own change report raises nothing; a program write raises
  // the event exactly once afterwards, also when the text did not change.
  writing_ = true;
  native_.SetText(e, text);
  writing_ = false;
  if (raise) Deliver(e, Event::kContentChanged);
}

void WindowModel::WriteSelection(Entry& e, int32_t index) {
  if (index < 0 || index >= static_cast<int32_t>(e.items.size())) index = -1;
  writing_ = true;
  native_.SetSelection(e, index);
  writing_ = false;
}

void WindowModel::WritePicture(Entry& e, const Text& bytes) {
  StopFrames(e);
  e.frames.clear();
  e.frame = 0;
  if (!bytes.empty() && decoder_) e.frames = decoder_(bytes);
  // Frames that do not match their stated size are not shown.
  for (const shell::PictureFrame& f : e.frames) {
    if (f.width <= 0 || f.height <= 0 ||
        f.rgba.size() != static_cast<std::size_t>(f.width) * static_cast<std::size_t>(f.height) * 4) {
      e.frames.clear();
      break;
    }
  }
  e.frame_shown_ms = Now();
  native_.ShowPicture(e);
  if (e.frames.size() > 1 && !e.unseen) StartFrames(e);
}

void WindowModel::WriteControlProperty(std::string_view control, int property, const PropertyValue& value) {
  Entry* e = Lookup(control);
  if (e == nullptr) return;
  switch (property) {
    case prop::kLeft: e->left = AsInt(value); native_.SetBounds(*e, true, false); return;
    case prop::kTop: e->top = AsInt(value); native_.SetBounds(*e, true, false); return;
    case prop::kWidth: e->width = AsInt(value); native_.SetBounds(*e, false, true); return;
    case prop::kHeight: e->height = AsInt(value); native_.SetBounds(*e, false, true); return;
    case prop::kTag: e->tag = AsText(value); return;
    case prop::kVisible: e->visible = AsBool(value); ApplyShown(*e); return;
    case prop::kDisabled:
      e->disabled = AsBool(value);
      native_.SetEnabled(*e, !e->disabled);
      return;
    case prop::kMousePointer: e->mouse_pointer = AsInt(value); return;
    default: break;
  }
  switch (e->kind) {
    case Entry::Kind::kWindow:
    case Entry::Kind::kLabel:
    case Entry::Kind::kButton:
      if (property == prop::kCaption) WriteCaption(*e, AsText(value));
      return;
    case Entry::Kind::kEditBox:
      if (property == prop::kContent) WriteContent(*e, AsText(value), true);
      return;
    case Entry::Kind::kPictureBox:
      if (property == prop::kPicture) WritePicture(*e, AsText(value));
      return;
    case Entry::Kind::kListBox:
      if (property == prop::kSelection) WriteSelection(*e, AsInt(value));
      return;
    default: return;
  }
}

PropertyValue WindowModel::ReadControlProperty(std::string_view control, int property) {
  Entry* e = Lookup(control);
  if (e == nullptr) return {};
  switch (property) {
    case prop::kLeft: return int32_t{e->left};
    case prop::kTop: return int32_t{e->top};
    case prop::kWidth: return int32_t{e->width};
    case prop::kHeight: return int32_t{e->height};
    case prop::kTag: return e->tag;
    case prop::kVisible: return e->visible;
    case prop::kDisabled: return e->disabled;
    case prop::kMousePointer: return e->mouse_pointer;
    default: break;
  }
  switch (e->kind) {
    case Entry::Kind::kWindow:
    case Entry::Kind::kLabel:
    case Entry::Kind::kButton:
      if (property == prop::kCaption) return e->caption;
      return {};
    case Entry::Kind::kEditBox:
      if (property == prop::kContent) return native_.ReadText(*e);
      return {};
    case Entry::Kind::kListBox:
      if (property == prop::kSelection) return native_.Selection(*e);
      return {};
    default: return {};
  }
}

int32_t WindowModel::ListItemCount(std::string_view list_box) {
  const Entry* e = Lookup(list_box, Entry::Kind::kListBox);
  return e != nullptr ? static_cast<int32_t>(e->items.size()) : 0;
}

Text WindowModel::ListItemText(std::string_view list_box, int32_t index) {
  const Entry* e = Lookup(list_box, Entry::Kind::kListBox);
  if (e == nullptr || index < 0 || index >= static_cast<int32_t>(e->items.size())) return Text();
  return e->items[static_cast<std::size_t>(index)].first;
}

int32_t WindowModel::ListAddItem(std::string_view list_box, const Text& text, int32_t item_data) {
  Entry* e = Lookup(list_box, Entry::Kind::kListBox);
  if (e == nullptr) return -1;
  // Unsorted: the item goes last, and the selection stays as it is.
  writing_ = true;
  const int32_t index = native_.AddListItem(*e, text, item_data);
  writing_ = false;
  if (index < 0) return -1;
  e->items.emplace_back(text, item_data);
  return static_cast<int32_t>(e->items.size() - 1);
}

int32_t WindowModel::RaiseFeedbackEvent(std::string_view label, int32_t first, int32_t second, bool wait) {
  const Entry* e = Lookup(label, Entry::Kind::kLabel);
  if (e == nullptr) return 0;
  const shell::EventArgs args{first, second, 0};
  if (wait) return Deliver(*e, Event::kFeedback, args);
  const std::weak_ptr<bool> alive = alive_;
  native_.Post([this, alive, index = e->index, args] {
    if (!alive.expired()) Deliver(At(index), Event::kFeedback, args);
  });
  return 0;
}

}  // namespace brevane
