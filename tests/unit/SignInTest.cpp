#include <gtest/gtest.h>

#include <string_view>

#include "setting/SignIn.h"

namespace vo {
namespace {

constexpr std::string_view kExe = "C:\\Program Files\\vo\\vo.exe";

TEST(SignIn, TheRunValueNamesThisProgramByItsPathQuotedOrNot) {
  EXPECT_TRUE(NamesProgram(SignInCommand(kExe), kExe));
  EXPECT_TRUE(NamesProgram("\"c:\\program files\\VO\\VO.EXE\" /min", kExe));
  EXPECT_TRUE(NamesProgram("C:\\vo\\vo.exe -x", "C:\\vo\\vo.exe"));
  EXPECT_FALSE(NamesProgram("C:\\Program Files\\vo\\vo.exe", kExe)) << "unquoted, cut at space";
  EXPECT_FALSE(NamesProgram("\"C:\\Program Files\\vo\\vo.exe2\"", kExe));
  EXPECT_FALSE(NamesProgram("", kExe));
}

}  // namespace
}  // namespace vo
