#include "PlugIns/win/FaultTexts.h"

#include <windows.h>

#include "support/FileNames.h"

namespace vo::win {

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

}  // namespace vo::win
