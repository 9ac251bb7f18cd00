// The main window as the program sees it, held once for both desktop shells:
// every control's state (geometry, tag, visibility, enabled state, mouse
// pointer, caption, list items, picture frames), the numbered properties
// read and written on it, the default contents, which page of the tab
// control shows, the tab order, the banner's frame timing and the delivery
// of every event through the binding table to one routine runner.
//
// The shells (GTK, Win32) own only the widgets. Each implements
// NativeWindow, the few things a toolkit must do (create a widget, place,
// show, enable, set or read its text, list items, show a picture frame, move
// the focus, queue a call to the window thread), and reports what the user
// does (clicks, keys, typing, selection, page switch, activation, close)
// through the On... methods of WindowModel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/bindings.h"
#include "ui/controls.h"
#include "ui/layout.h"
#include "ui/shell.h"

namespace brevane {

// One control of the window, or the window itself (index 0).
struct Entry {
  using Kind = layout::Kind;

  int index = 0;  // creation order: 0 the window, then the window definition's order
  std::string name;
  Kind kind = Kind::kWindow;
  int page = 0;  // 0 on the client area, else the tab control's page
  int left = 0, top = 0, width = 0, height = 0;
  Text tag;
  bool visible = true;
  bool disabled = false;
  bool tab_stop = false;
  int32_t mouse_pointer = 0;
  Text caption;  // window title, label or button caption (GBK)
  std::vector<std::pair<Text, int32_t>> items;  // list box: text and item data
  std::vector<shell::PictureFrame> frames;     // picture box
  std::size_t frame = 0;                       // the frame shown
  int64_t frame_shown_ms = 0;                  // when it was shown, on the model's clock
  bool unseen = false;                         // the picture cannot be seen: its frames stand still
  bool played = false;                         // the shell plays the frames on its own
};

// What a shell's toolkit does for the model. Every call is on the window
// thread; texts are the program's GBK, converted at the shell's edge.
class NativeWindow {
 public:
  virtual ~NativeWindow() = default;
  // Creates the widget of a control (not of the window, which the shell
  // makes itself), at its place, hidden or shown as the shell likes: the
  // model sets visibility, enabled state and text right after.
  virtual void Create(const Entry& e, const layout::ControlDef& def) = 0;
  // Gives a control its entry's whole geometry (page controls count from the
  // tab control's top-left corner); the window moves only when move is set
  // and takes its new outer size only when resize is.
  virtual void SetBounds(const Entry& e, bool move, bool resize) = 0;
  virtual void SetShown(const Entry& e, bool shown) = 0;
  virtual void SetEnabled(const Entry& e, bool enabled) = 0;
  // The window title, a label's or button's caption, an edit box's content.
  virtual void SetText(const Entry& e, const Text& text) = 0;
  // What an edit box holds now (the user types into it).
  virtual Text ReadText(const Entry& e) = 0;
  // Appends a list item; its index, or -1.
  virtual int32_t AddListItem(const Entry& e, const Text& text, int32_t item_data) = 0;
  virtual void SetSelection(const Entry& e, int32_t index) = 0;  // -1: none
  virtual int32_t Selection(const Entry& e) = 0;                // -1: none
  // A picture box's new frames (none: empty), then which one to show.
  virtual void ShowPicture(const Entry& e) = 0;
  virtual void ShowFrame(const Entry& e) = 0;
  // Calls OnFrameTimer once after delay_ms; 0 stops the timer, and the
  // frames the shell plays on its own.
  virtual void SetFrameTimer(const Entry& e, int delay_ms) = 0;
  // Plays the frames on its own, without waking the window thread: from
  // e.frame, which has stood shown_ms already, each for its played delay
  // (shell::PlayedFrameDelay), round and round, until SetFrameTimer(e, 0).
  // False where the shell cannot do that now; the model then times every
  // frame itself with SetFrameTimer and asks again after each.
  virtual bool PlayFrames(const Entry& e, int shown_ms) {
    static_cast<void>(e);
    static_cast<void>(shown_ms);
    return false;
  }
  // Shows that page of the tab control (1-based).
  virtual void ShowPage(int page) = 0;
  // The control that holds the keyboard focus (or a widget inside it): its
  // index, or -1.
  virtual int FocusedControl() = 0;
  virtual void Focus(const Entry& e) = 0;
  // Queues a call to the window thread and returns at once: the shells
  // pass it to PostToWindowThread (ui/window_thread.h).
  virtual void Post(std::function<void()> call) = 0;
};

class WindowModel : public Controls {
 public:
  explicit WindowModel(NativeWindow& native);
  ~WindowModel() override;
  WindowModel(const WindowModel&) = delete;
  WindowModel& operator=(const WindowModel&) = delete;

  void SetRoutineRunner(shell::RoutineRunner runner) { runner_ = std::move(runner); }
  void SetPictureDecoder(shell::PictureDecoder decoder) { decoder_ = std::move(decoder); }
  // The clock the banner's frames are timed on, in milliseconds (the
  // system's steady clock unless set).
  void SetClock(std::function<int64_t()> now_ms) { now_ms_ = std::move(now_ms); }
  // The scheme and host the default boards are built on; a boards box
  // already built shows the boards on it at once, raising nothing.
  void SetBoardHost(std::string_view board_host);

  // Walks the window definition: creates every control, gives it its state,
  // caption or default content, and shows page 1. The window stands at left,
  // top (as far as the shell knows).
  void Build(int left, int top);
  // Raises the created event while the window is still hidden, then shows
  // it (unless the routine closed it).
  void Open();
  // Shows page 1 or 2 of the tab control.
  void SelectPage(int page);
  int current_page() const { return current_page_; }
  bool closed() const { return closed_; }

  // The entry of that name (the window's included), or nullptr.
  const Entry* Find(std::string_view name) const;
  const Entry& At(int index) const { return *entries_[static_cast<std::size_t>(index)]; }
  int size() const { return static_cast<int>(entries_.size()); }

  // What the user did, as the shell reports it.
  void OnClicked(int index);
  void OnTextChanged(int index);
  void OnSelectionChanged(int index);
  void OnPressed(int index, const shell::EventArgs& args);
  void OnPageSwitched(int page);
  void OnActivated();
  // Tab (or Shift+Tab: back) moves the focus to the next tab stop that is
  // shown and enabled, wrapping round.
  void OnTabKey(bool back);
  // The window is closing: raises about to be destroyed once.
  void OnClosed();
  void OnFrameTimer(int index);
  // Whether a picture box can be seen (the shell reports the window
  // iconified or wholly covered, or the box unmapped, and back). While it
  // cannot, its frame timer is stopped, so an animation costs nothing; when
  // it can again, it shows the frame that the time passed calls for and
  // goes on from there, as if it had played all along.
  void OnPictureSeen(int index, bool seen);
  // The frame a picture box shows now: while the shell plays the frames on
  // its own, the one the time passed calls for.
  std::size_t ShownFrame(int index);

  // Controls.
  void WriteControlProperty(std::string_view control, int property, const PropertyValue& value) override;
  PropertyValue ReadControlProperty(std::string_view control, int property) override;
  int32_t ListItemCount(std::string_view list_box) override;
  Text ListItemText(std::string_view list_box, int32_t index) override;
  int32_t ListAddItem(std::string_view list_box, const Text& text, int32_t item_data = 0) override;
  int32_t RaiseFeedbackEvent(std::string_view label, int32_t first = 0, int32_t second = 0,
                             bool wait = true) override;

 private:
  Entry* Lookup(std::string_view name, Entry::Kind kind);
  Entry* Lookup(std::string_view name);
  int32_t Deliver(const Entry& e, Event event, const shell::EventArgs& args = {});
  bool Shown(const Entry& e) const;
  void ApplyShown(const Entry& e);
  void ApplyPage(int page);
  void WriteCaption(Entry& e, const Text& text);
  void WriteContent(Entry& e, const Text& text, bool raise);
  void WriteSelection(Entry& e, int32_t index);
  void WritePicture(Entry& e, const Text& bytes);
  // Moves e.frame on to the frame the time passed since it was shown calls
  // for, as if every frame had played.
  void CatchUp(Entry& e);
  // Plays the frames on from e.frame: by the shell where it can, else by
  // the frame timer.
  void StartFrames(Entry& e);
  void StopFrames(Entry& e);

  NativeWindow& native_;
  std::vector<std::unique_ptr<Entry>> entries_;
  int64_t Now() const;
  shell::RoutineRunner runner_;
  shell::PictureDecoder decoder_;
  std::function<int64_t()> now_ms_;
  std::string board_host_;
  int current_page_ = 1;
  bool activated_ = false;
  bool closed_ = false;
  // The toolkit's own change reports are not events while the program writes.
  bool writing_ = false;
  // Calls queued to the window thread run only while the model lives.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace brevane
