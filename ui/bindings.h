// Which routine runs on which event of which control. The shells look an
// event up here and hand the routine to the program; an event without a row
// does nothing.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "ui/names.h"

namespace brevane {

enum class Event {
  kCreated,
  kFirstActivation,
  kAboutToBeDestroyed,
  kClicked,
  kContentChanged,
  kSelectionChanged,
  kFeedback,
  kLeftButtonDown,
};

enum class Routine {
  kCreatedSequence,
  kStartLoginWorker,
  kEndProgram,
  kStartMonitoring,
  kStopMonitoring,
  kForumLogin,
  kSaveBoards,
  kSaveReplies,
  kPostReply,
  kOpenRecordUrl,
  kOpenBannerLink,
  kOpenContactLink,
};

struct Binding {
  std::string_view control;
  Event event;
  Routine routine;
};

inline constexpr std::array<Binding, 12> kBindings = {{
    {names::kMainWindow, Event::kCreated, Routine::kCreatedSequence},
    {names::kMainWindow, Event::kFirstActivation, Routine::kStartLoginWorker},
    {names::kMainWindow, Event::kAboutToBeDestroyed, Routine::kEndProgram},
    {names::kStartButton, Event::kClicked, Routine::kStartMonitoring},
    {names::kStopButton, Event::kClicked, Routine::kStopMonitoring},
    {names::kLoginButton, Event::kClicked, Routine::kForumLogin},
    {names::kBoardsBox, Event::kContentChanged, Routine::kSaveBoards},
    {names::kRepliesBox, Event::kContentChanged, Routine::kSaveReplies},
    {names::kBoardsLabel, Event::kFeedback, Routine::kPostReply},
    {names::kRecordList, Event::kSelectionChanged, Routine::kOpenRecordUrl},
    {names::kBanner, Event::kLeftButtonDown, Routine::kOpenBannerLink},
    {names::kContactButton, Event::kClicked, Routine::kOpenContactLink},
}};

constexpr std::optional<Routine> FindBinding(std::string_view control, Event event) {
  for (const Binding& b : kBindings) {
    if (b.control == control && b.event == event) return b.routine;
  }
  return std::nullopt;
}

}  // namespace brevane
