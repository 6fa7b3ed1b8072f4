// Checks CopyForeignString against real page protections: it must copy what is readable and
// never fault on what is not. Prints "N passed, N failed"; exit code 1 on any failure.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "Tally.h"
#include "support/win/ForeignString.h"

namespace {

void Expect(const char* what, const std::string& actual, const std::string& expected) {
  if (CHECK(actual == expected, what)) return;
  std::printf("  got %zu bytes \"%.40s\", want %zu bytes \"%.40s\"\n", actual.size(),
              actual.c_str(), expected.size(), expected.c_str());
}

// Two pages: the first read-write, the second PAGE_NOACCESS.
class GuardedPages {
 public:
  GuardedPages() {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    page_ = info.dwPageSize;
    base_ = static_cast<char*>(
        VirtualAlloc(nullptr, 2 * page_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    if (!base_ || !VirtualProtect(base_ + page_, page_, PAGE_NOACCESS, &old)) base_ = nullptr;
  }
  GuardedPages(const GuardedPages&) = delete;
  GuardedPages& operator=(const GuardedPages&) = delete;
  ~GuardedPages() {
    if (base_) VirtualFree(base_, 0, MEM_RELEASE);
  }

  bool ok() const { return base_ != nullptr; }
  // Writes text so that its last byte is the last readable byte.
  const char* PlaceAtEnd(const std::string& text) {
    char* start = base_ + page_ - text.size();
    std::memcpy(start, text.data(), text.size());
    return start;
  }
  const char* Forbidden() const { return base_ + page_; }
  char* Base() const { return base_; }

 private:
  std::size_t page_ = 0;
  char* base_ = nullptr;
};

}  // namespace

int main() {
  using vo::win::CopyForeignString;

  Expect("null pointer", CopyForeignString(nullptr), "");
  Expect("wild pointer 0x10", CopyForeignString(reinterpret_cast<const void*>(0x10)), "");
  Expect("plain string", CopyForeignString("15:00 \x82\xa8\x92\x6d\x82\xe7\x82\xb9"),
         "15:00 \x82\xa8\x92\x6d\x82\xe7\x82\xb9");
  Expect("empty string", CopyForeignString(""), "");

  const std::string longText(5000, 'x');  // spans pages of the heap
  Expect("string across pages", CopyForeignString(longText.c_str()), longText);
  Expect("truncated at maxBytes", CopyForeignString(longText.c_str(), 10), std::string(10, 'x'));

  GuardedPages pages;
  if (!CHECK(pages.ok(), "a PAGE_NOACCESS page set up")) {
    std::printf("error %lu\n", GetLastError());
  } else {
    const std::string wave("C:\\vo\\sample.wav", 17);  // with its terminator
    Expect("terminator on the last readable byte", CopyForeignString(pages.PlaceAtEnd(wave)),
           "C:\\vo\\sample.wav");
    Expect("string cut by the unreadable page", CopyForeignString(pages.PlaceAtEnd("abc")), "");
    Expect("maxBytes reached before the unreadable page",
           CopyForeignString(pages.PlaceAtEnd("abc"), 3), "abc");
    Expect("pointer into the unreadable page", CopyForeignString(pages.Forbidden()), "");

    std::memset(pages.Base(), 'y', 300);
    pages.Base()[300] = '\0';
    Expect("string longer than one read", CopyForeignString(pages.Base()), std::string(300, 'y'));
  }

  return vo::test::Summary();
}
