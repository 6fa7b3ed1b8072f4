// An error whose what() is the text for the user's error box (CP932).
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace vo {

// Like std::runtime_error, but the text lives in the program's own std::string: the standard
// class keeps it in the runtime's older string type, and linking that type costs the Windows
// program a second copy of the string library, about a fifth of vo.exe.
class Failure : public std::exception {
 public:
  explicit Failure(std::string message) : message_(std::move(message)) {}

  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// Runs `action` where a failure has nowhere to go and nothing more could be done about it: its
// result, or `failed` if it threw. Each caller says which rule the silence keeps.
template <class Result, class Action>
Result IgnoringFailure(Result failed, Action&& action) noexcept {
  try {
    return action();
  } catch (...) {
    return failed;
  }
}

template <class Action>
void IgnoringFailure(Action&& action) noexcept {
  try {
    action();
  } catch (...) {
  }
}

}  // namespace vo
