// Items handed to another window by pointer in a posted message. The receiver copies what it
// needs when it handles the message, which may come after further posts (a second signal
// posted before the clock has taken the first); each item therefore keeps its slot until
// every other slot has been written.
#pragma once

#include <array>
#include <cstddef>
#include <utility>

namespace vo {

template <class Item, std::size_t Slots>
class PostRing {
  static_assert(Slots >= 2, "an item must outlive at least the post after it");

 public:
  static constexpr std::size_t kSlots = Slots;

  // Stores `item` in the next slot. The reference, and pointers into the item, stay valid
  // while kSlots - 1 more items are kept; the next one after those takes the slot.
  const Item& Keep(Item item) {
    last_ = (last_ + 1) % kSlots;
    items_[last_] = std::move(item);
    return items_[last_];
  }

 private:
  std::array<Item, Slots> items_{};
  std::size_t last_ = 0;
};

}  // namespace vo
