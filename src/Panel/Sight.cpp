#include "Panel/Sight.h"

namespace vo {

namespace {

// The session notices' codes, as the system numbers them.
enum SessionCode : unsigned {
  kConsoleConnect = 1,
  kConsoleDisconnect = 2,
  kRemoteConnect = 3,
  kRemoteDisconnect = 4,
  kSessionLock = 7,
  kSessionUnlock = 8,
};

constexpr std::uint32_t kDisplayOff = 0;
constexpr unsigned kMinute = 60'000;  // ms

}  // namespace

bool Sight::Apply(SightChange change) {
  const bool seen = Seen();
  const auto bit = static_cast<unsigned>(change.reason);
  reasons_ = change.holds ? reasons_ | bit : reasons_ & ~bit;
  return Seen() != seen;
}

std::optional<SightChange> SessionChange(unsigned code) {
  switch (code) {
    case kSessionLock:
      return SightChange{Unseen::kLocked, true};
    case kSessionUnlock:
      return SightChange{Unseen::kLocked, false};
    case kConsoleDisconnect:
    case kRemoteDisconnect:
      return SightChange{Unseen::kAway, true};
    case kConsoleConnect:
    case kRemoteConnect:
      return SightChange{Unseen::kAway, false};
    default:
      return std::nullopt;
  }
}

SightChange DisplayChange(std::uint32_t state) {
  return {Unseen::kDisplayOff, state == kDisplayOff};
}

unsigned DelayToNextMinute(DateTime now) {
  const TimeParts parts = SplitTime(now);
  return kMinute - (parts.second * 1000u + parts.millisecond);
}

int MissedTicks(std::uint64_t elapsed, unsigned interval) {
  if (interval == 0 || elapsed < interval) return 0;
  return static_cast<int>(elapsed / interval - 1);
}

}  // namespace vo
