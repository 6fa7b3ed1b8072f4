#include "PlugIns/win/FaultTexts.h"

#include <windows.h>

#include "support/FileNames.h"

namespace vo::win {

namespace {

// Exit codes that are the codes of faults (errors and warnings of the system's, the C++
// runtimes', a hang's) rather than a value the module chose.
bool IsFaultCode(DWORD code) {
  return (code & 0xC0000000) == 0xC0000000 || (code & 0xF0000000) == 0x80000000 ||
         code == kHangCode || code == 0xE06D7363 || code == 0x20474343;
}

}  // namespace

std::string DescribeOutcome(CallOutcome outcome) {
  switch (outcome) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
      return "メモリー保護違反";
    case EXCEPTION_STACK_OVERFLOW:
      return "スタック・オーバーフロー";
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
      return "0 による除算";
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
      return "実行できない命令";
    case 0xE06D7363:  // thrown by a Microsoft C++ runtime
    case 0x20474343:  // thrown by a GNU C++ runtime
      return "C++ の例外";
    case kAbortCode:
      return "中止の要求 (捕捉されない C++ の例外、abort)";
    case kHangCode:
      return "応答の停止 (5 秒以上戻りません)";
    default: {
      char text[40];
      wsprintfA(text, "例外 (コード 0x%08lX)", static_cast<unsigned long>(outcome));
      return text;
    }
  }
}

std::string FaultMessage(const std::string& path, CallOutcome outcome) {
  return "プラグイン・モジュール " + std::string(FileNameOf(path)) +
         " が異常終了しました (原因: " + DescribeOutcome(outcome) +
         ")。このモジュールは vo の終了まで使用しません。";
}

std::string ApartEndMessage(const std::string& path, DWORD exitCode) {
  if (IsFaultCode(exitCode)) return FaultMessage(path, exitCode);
  char code[16];
  wsprintfA(code, "%lu", static_cast<unsigned long>(exitCode));
  return "プラグイン・モジュール " + std::string(FileNameOf(path)) +
         " は自らのプロセスを終了しました (終了コード " + code +
         ")。このモジュールは vo の終了まで使用しません。";
}

}  // namespace vo::win
