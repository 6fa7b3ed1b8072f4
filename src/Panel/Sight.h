// Whether anybody can see the strip. While nobody can (the display off, the session locked or
// away from its screen, the strip stepped aside for a full-screen program) the clock draws
// nothing and, unless a plug-in wants every tick, wakes only at each minute's start.
#pragma once

#include <cstdint>
#include <optional>

#include "support/DateTime.h"

namespace vo {

// Why nobody can see the strip; several may hold at once, each cleared by its own notice.
enum class Unseen : unsigned {
  kDisplayOff = 1u << 0,
  kLocked = 1u << 1,
  kAway = 1u << 2,  // the session is disconnected from the console or the remote screen
  kSteppedAside = 1u << 3,
};

struct SightChange {
  Unseen reason;
  bool holds;
};

class Sight {
 public:
  bool Seen() const { return reasons_ == 0; }
  // True when the change turns the strip from seen to unseen or back.
  bool Apply(SightChange change);

 private:
  unsigned reasons_ = 0;
};

// What a session notice says about being seen, by its code (lock, unlock, console or remote
// connect and disconnect); nothing for the others (log-on, log-off, remote control).
std::optional<SightChange> SessionChange(unsigned code);
// What the display's power state says: off (0) hides the strip; on (1) and dimmed (2), which
// is still readable, show it.
SightChange DisplayChange(std::uint32_t state);

// Milliseconds from `now` to the start of the next minute, 1 to 60,000.
unsigned DelayToNextMinute(DateTime now);

// The ticks of a timer of `interval` ms that fell strictly between two ticks `elapsed` ms
// apart: what a tick after a sleep owes the telop's scrolling.
int MissedTicks(std::uint64_t elapsed, unsigned interval);

}  // namespace vo
