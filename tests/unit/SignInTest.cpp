#include <gtest/gtest.h>

#include <string_view>

#include "MemorySettingsStore.h"
#include "setting/SignIn.h"

namespace vo {
namespace {

constexpr std::u16string_view kExe = u"C:\\Program Files\\vo\\vo.exe";

TEST(SignIn, TheRunValueNamesThisProgramByItsPathQuotedOrNot) {
  EXPECT_TRUE(NamesProgram(SignInCommand(kExe), kExe));
  EXPECT_TRUE(NamesProgram(u"\"c:\\program files\\VO\\VO.EXE\" /min", kExe));
  EXPECT_TRUE(NamesProgram(u"C:\\vo\\vo.exe -x", u"C:\\vo\\vo.exe"));
  EXPECT_FALSE(NamesProgram(u"C:\\Program Files\\vo\\vo.exe", kExe)) << "unquoted, cut at space";
  EXPECT_FALSE(NamesProgram(u"\"C:\\Program Files\\vo\\vo.exe2\"", kExe));
  EXPECT_FALSE(NamesProgram(u"", kExe));
  constexpr std::u16string_view folded = u"\"C:\\vo-GR\u00DCSSE\\vo.exe\"";  // GRÜSSE
  EXPECT_FALSE(NamesProgram(folded, u"C:\\vo-gr\u00FC\u00DFe\\vo.exe"))
      << "only ASCII letters fold";
}

// The value travels as the wide calls keep it: UTF-16 little-endian with its NUL, so a path
// outside the ANSI code page (vo-한국어-Grüße) comes back whole.
TEST(SignIn, APathOfAnyCharactersIsWrittenInUtf16AndReadBack) {
  constexpr std::u16string_view exe = u"C:\\vo-\uD55C\uAD6D\uC5B4-Gr\u00FC\u00DFe\\vo.exe";
  MemorySettingsBackend registry;
  SetStartAtSignIn(registry, exe, true);
  const std::optional<StoredValue> stored = registry.Get(kRunKeyPath, kRunValueName);
  ASSERT_TRUE(stored);
  ASSERT_EQ((SignInCommand(exe).size() + 1) * 2, stored->data.size());
  EXPECT_EQ(0xD55C, stored->data[14] | stored->data[15] << 8) << "U+D55C as UTF-16 LE";
  EXPECT_TRUE(StartsAtSignIn(registry, exe));
}

}  // namespace
}  // namespace vo
