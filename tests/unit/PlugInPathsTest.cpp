#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PlugIns/PlugInPaths.h"

namespace vo {
namespace {

using ::testing::ElementsAre;

// "\x83\x5C" is a katakana whose trail byte is the same byte as '\'.
#define SO "\x83\x5C"

// A path handed to a function, and what the function must make of it.
struct PathCase {
  const char* given;
  const char* expected;
};

TEST(ExecutableDirectoryTest, KeepsTheBackslashOnlyForARoot) {
  const PathCase cases[] = {
      {"C:\\vo.exe", "C:\\"},
      {"C:\\dir\\vo.exe", "C:\\dir"},
      {"C:\\Program Files\\vo\\vo.exe", "C:\\Program Files\\vo"},
      {"\\\\srv\\share\\vo.exe", "\\\\srv\\share"},
      {"\\\\vo.exe", "\\\\"},
      {"\\vo.exe", "\\"},
      {"C:vo.exe", "C:"},
      {"vo.exe", ""},
      {"", ""},
      {"C:\\dir\\", "C:\\dir"},
      // Double-byte names: a trail byte 0x5C is neither a separator nor a root marker.
      {"C:\\" SO "\\vo.exe", "C:\\" SO},
      {"C:\\" SO "\\" SO "vo.exe", "C:\\" SO},
      {"C:\\" SO "vo.exe", "C:\\"},
  };
  for (const PathCase& c : cases) {
    EXPECT_EQ(ExecutableDirectory(c.given), c.expected) << c.given;
  }
}

TEST(JoinPluginPathTest, AddsABackslashOnlyWhereNeeded) {
  const PathCase cases[] = {
      {"C:\\dir", "C:\\dir\\voA.DLL"},
      {"C:\\dir\\", "C:\\dir\\voA.DLL"},
      {"C:\\", "C:\\voA.DLL"},
      {"\\\\srv\\share", "\\\\srv\\share\\voA.DLL"},
      {"C:\\" SO, "C:\\" SO "\\voA.DLL"},
      {"", "voA.DLL"},
  };
  for (const PathCase& c : cases) {
    EXPECT_EQ(JoinPluginPath(c.given, "voA.DLL"), c.expected) << c.given;
  }
}

TEST(EndsWithBackslashTest, LooksAtWholeCharacters) {
  EXPECT_TRUE(EndsWithBackslash("C:\\"));
  EXPECT_TRUE(EndsWithBackslash("C:\\" SO "\\"));
  EXPECT_FALSE(EndsWithBackslash("C:\\" SO));
  EXPECT_FALSE(EndsWithBackslash(""));
  EXPECT_FALSE(EndsWithBackslash("C:"));
}

TEST(MatchesPluginMaskTest, WantsVoPrefixAndDllExtension) {
  struct Case {
    const char* name;
    bool matches;
  };
  const Case cases[] = {
      {"voA.DLL", true},      {"vob.dll", true}, {"VO.Dll", true},   {"voSample.dll", true},
      {"xvo.dll", false},     {"vo.dl", false},  {"vo.dllx", false}, {"voA.exe", false},
      {"v.dll", false},       {"vodll", false},  {"", false},        {"o.dll", false},
      {"vo" SO ".dll", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesPluginMask(c.name), c.matches) << c.name;
  }
}

TEST(SortLikeListBoxTest, IgnoresCase) {
  std::vector<std::string> names = {"vob.dll", "VOC.DLL", "voA.DLL", "vo_x.dll", "vo1.dll"};
  SortLikeListBox(names);
  EXPECT_THAT(names, ElementsAre("vo1.dll", "vo_x.dll", "voA.DLL", "vob.dll", "VOC.DLL"));
}

TEST(SortLikeListBoxTest, OrderIsUniqueForNamesEqualButForCase) {
  std::vector<std::string> a = {"voa.dll", "voA.dll", "VOA.dll"};
  std::vector<std::string> b = {"VOA.dll", "voa.dll", "voA.dll"};
  SortLikeListBox(a);
  SortLikeListBox(b);
  EXPECT_EQ(a, b);
}

TEST(SortLikeListBoxTest, KeepsDoubleByteCharactersWhole) {
  // Folding the trail byte 'A' of the first name would move it after the second.
  std::vector<std::string> names = {"vo\x83\x41.dll", "vo\x83\x42.dll"};
  SortLikeListBox(names);
  EXPECT_THAT(names, ElementsAre("vo\x83\x41.dll", "vo\x83\x42.dll"));
}

}  // namespace
}  // namespace vo
