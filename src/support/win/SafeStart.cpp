#include "support/win/SafeStart.h"

#include <atomic>
#include <iterator>
#include <string_view>

#include "support/RunRecord.h"
#include "support/win/Application.h"
#include "support/win/RegistryStore.h"

namespace vo::win {
namespace {

constexpr wchar_t kRecordName[] = L"Running";
constexpr wchar_t kNothingAtRiskText[] = L"*";

constexpr bool SameText(std::string_view narrow, const wchar_t* wide) {
  for (char c : narrow) {
    if (*wide++ != static_cast<wchar_t>(c)) return false;
  }
  return *wide == L'\0';
}
static_assert(SameText(kRunRecordName, kRecordName));
static_assert(SameText(kNothingAtRisk, kNothingAtRiskText));

PlugInSkip skip;

// The clock's key, opened once for the notes and never closed: a note may come from another
// thread up to the last moment of the process. The notes use the wide call on that open key,
// which converts nothing on the heap as the ANSI call does: a fault may have left the heap
// locked or broken.
std::atomic<HKEY> recordKey{nullptr};
std::atomic<bool> ended{false};

HKEY OpenRecordKey() {
  const std::string_view path = kClockKeyPath.substr(1);  // the API wants it without the '\'
  const std::string subKey(path);
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

}  // namespace

void BeginSafeStart(HWND owner) {
  RegistrySettingsBackend backend;
  const PreviousRun previous = BeginRun(backend);
  recordKey.store(OpenRecordKey());
  const std::string question = SafeStartQuestion(previous);
  if (question.empty()) return;
  const int answer = MessageBoxA(owner, question.c_str(), kApplicationTitle,
                                 MB_YESNO | MB_ICONWARNING | MB_SETFOREGROUND);
  skip = PlugInSkip::After(previous, answer == IDYES);
}

bool SkippedThisRun(const std::string& path) { return skip.Skips(path); }

void EndRunCleanly() {
  ended.store(true);
  RegistrySettingsBackend backend;
  EndRun(backend);
}

void NoteModuleAtRisk(const char* path) {
  const HKEY key = recordKey.load();
  if (!key || ended.load()) return;
  wchar_t text[MAX_PATH + 1];
  int length = path ? MultiByteToWideChar(CP_ACP, 0, path, -1, text, MAX_PATH + 1) : 0;
  if (length <= 1) {
    lstrcpyW(text, kNothingAtRiskText);
    length = static_cast<int>(std::size(kNothingAtRiskText));
  }
  RegSetValueExW(key, kRecordName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                 static_cast<DWORD>(length) * sizeof(wchar_t));
}

}  // namespace vo::win
