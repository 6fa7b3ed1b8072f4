// The tally of the Win32 checks: "FAIL <place>: <what>" for each failed check, then "N passed,
// M failed" (which CTest reads) and the exit code, 1 on any failure.
#pragma once

#include <cstdio>

namespace vo::test {

inline int g_passed = 0;
inline int g_failed = 0;

inline bool Check(bool ok, const char* place, const char* what) {
  ++(ok ? g_passed : g_failed);
  if (!ok) std::printf("FAIL %s: %s\n", place, what);
  return ok;
}

inline int Summary() {
  std::printf("%d passed, %d failed\n", g_passed, g_failed);
  return g_failed == 0 ? 0 : 1;
}

}  // namespace vo::test

// CHECK(condition) or CHECK(condition, what): a failure names its place, and what the check
// promises where it says so, else the condition's text.
#define VO_STRINGIFY2(x) #x
#define VO_STRINGIFY(x) VO_STRINGIFY2(x)
#define VO_FIRST(first, ...) first
#define CHECK(cond, ...)                                                        \
  vo::test::Check(static_cast<bool>(cond), __FILE__ ":" VO_STRINGIFY(__LINE__), \
                  VO_FIRST(__VA_ARGS__ __VA_OPT__(, ) #cond))
