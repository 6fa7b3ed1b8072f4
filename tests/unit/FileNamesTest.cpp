#include <gtest/gtest.h>

#include "support/FileNames.h"

namespace vo {
namespace {

// "表" is 0x95 0x5C in code page 932: its trail byte is the code of '\'.
#define HYO "\x95\x5C"
// "示"
#define JI "\x8E\xA6"

TEST(FileNameOfTest, CutsAtTheLastSeparatorNeverInsideACharacter) {
  EXPECT_EQ("vo" HYO JI ".dll", FileNameOf("C:\\vo\\vo" HYO JI ".dll"));
  EXPECT_EQ("vo" HYO ".dll", FileNameOf("C:\\" HYO "\\vo" HYO ".dll"));
  EXPECT_EQ("voA.dll", FileNameOf("C:/vo/voA.dll"));
  EXPECT_EQ("voA.dll", FileNameOf("C:voA.dll"));
  EXPECT_EQ("voA.dll", FileNameOf("voA.dll"));
  EXPECT_EQ("", FileNameOf("C:\\vo\\"));
}

TEST(SamePathIgnoringCaseTest, FoldsOnlySingleByteLetters) {
  EXPECT_TRUE(SamePathIgnoringCase("C:\\Dir\\voA.DLL", "c:\\dIR\\VOa.dll"));
  EXPECT_TRUE(SamePathIgnoringCase("", ""));
  EXPECT_FALSE(SamePathIgnoringCase("C:\\dir\\voA.DLL", "C:\\dir\\voB.DLL"));
  EXPECT_FALSE(SamePathIgnoringCase("C:\\dir", "C:\\dir\\"));
  EXPECT_TRUE(SamePathIgnoringCase("\x83\x41", "\x83\x41"));
  EXPECT_FALSE(SamePathIgnoringCase("\x83\x41", "\x83\x61"));  // two different katakana
  EXPECT_FALSE(SamePathIgnoringCase("[", "{"));                // not letters
}

}  // namespace
}  // namespace vo
