// The tally of the Win32 checks: "FAIL <what>" for each failed check, then "N passed,
// M failed" (which CTest reads) and the exit code, 1 on any failure.
#pragma once

#include <cstdio>

namespace vo::test {

inline int g_passed = 0;
inline int g_failed = 0;

inline bool Check(const char* what, bool ok) {
  ++(ok ? g_passed : g_failed);
  if (!ok) std::printf("FAIL %s\n", what);
  return ok;
}

inline int Summary() {
  std::printf("%d passed, %d failed\n", g_passed, g_failed);
  return g_failed == 0 ? 0 : 1;
}

}  // namespace vo::test

// The condition's text and place name the failed check.
#define VO_STRINGIFY2(x) #x
#define VO_STRINGIFY(x) VO_STRINGIFY2(x)
#define CHECK(cond) vo::test::Check(__FILE__ ":" VO_STRINGIFY(__LINE__) ": " #cond, (cond))
