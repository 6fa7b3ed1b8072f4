#include "support/win/SystemEras.h"

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/win/Handles.h"

namespace vo::win {
namespace {

constexpr const wchar_t* kErasKey =
    L"SYSTEM\\CurrentControlSet\\Control\\Nls\\Calendars\\Japanese\\Eras";
constexpr UINT kShiftJis = 932;  // the code page of every name the program holds
// Beyond any real list: a damaged key is read no further.
constexpr DWORD kMaxValues = 256;
// Room for "YYYY MM DD" and for a name just too long to be one; a longer name or data is
// skipped by the enumeration itself (ERROR_MORE_DATA).
constexpr DWORD kNameChars = 16;
constexpr DWORD kDataChars = 64;

// The list points into the texts of the values it was made from.
struct ErasRead {
  std::vector<SystemEraValue> values;
  JapaneseEraList eras;
};
std::optional<ErasRead> cachedEras;

// Characters past ASCII cannot belong to a first day: '?' makes the parser refuse it.
std::string AsciiName(std::wstring_view name) {
  std::string text;
  for (const wchar_t c : name) text += c < 0x80 ? static_cast<char>(c) : '?';
  return text;
}

// Empty when a character has no Shift_JIS form: the parser then skips the value.
std::string ShiftJisText(std::wstring_view text) {
  char buffer[2 * kDataChars];
  BOOL lossy = FALSE;
  const int length =
      WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, text.data(),
                          static_cast<int>(text.size()), buffer, sizeof buffer, nullptr, &lossy);
  if (length <= 0 || lossy) return {};
  return std::string(buffer, static_cast<std::size_t>(length));
}

std::vector<SystemEraValue> ReadSystemEraValues() {
  UniqueKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kErasKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
    return {};
  }
  std::vector<SystemEraValue> values;
  for (DWORD index = 0; index < kMaxValues; ++index) {
    wchar_t name[kNameChars];
    wchar_t data[kDataChars];
    DWORD nameChars = kNameChars;
    DWORD dataBytes = sizeof data;
    DWORD type = REG_NONE;
    const LONG status = RegEnumValueW(key.get(), index, name, &nameChars, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data), &dataBytes);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS || type != REG_SZ) continue;
    // Stored data need not end in a terminator, or may hold one early.
    std::wstring_view text(data, dataBytes / sizeof(wchar_t));
    text = text.substr(0, text.find(L'\0'));
    values.push_back({AsciiName(std::wstring_view(name, nameChars)), ShiftJisText(text)});
  }
  return values;
}

}  // namespace

const JapaneseEraList& SystemJapaneseEras() {
  if (!cachedEras) {
    ErasRead& read = cachedEras.emplace();
    read.values = ReadSystemEraValues();
    read.eras = MergeJapaneseEras(read.values);
  }
  return cachedEras->eras;
}

void ForgetSystemJapaneseEras() { cachedEras.reset(); }

}  // namespace vo::win
