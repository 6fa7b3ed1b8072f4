#include "RecordLog.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

namespace vo::test {

void RecordLine(const char* tag, const char* event, const char* format, ...) {
  // Wide: the log may lie in a folder whose name the ANSI code page cannot spell.
  wchar_t path[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"VO_RECORD_LOG", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;

  // On the stack, not the heap: some callers hold the heap's lock on purpose.
  char line[8448];
  int size = std::snprintf(line, sizeof line, "%s %s tid=%lu tick=%llu", event, tag,
                           GetCurrentThreadId(), GetTickCount64());
  if (size <= 0) return;
  if (format[0] != '\0') {
    line[size++] = ' ';
    va_list args;
    va_start(args, format);
    const int details = std::vsnprintf(line + size, sizeof line - size - 1, format, args);
    va_end(args);
    if (details > 0) size += details;
    if (details <= 0) --size;  // no details after all: no space either
  }
  if (size > static_cast<int>(sizeof line) - 2) size = sizeof line - 2;  // cut, not lost
  line[size++] = '\n';

  // Open, append, close per line: the test reads the file while the clock runs, and a
  // crash must not lose what was already written. Locked meanwhile: recorders in other
  // processes (a module running apart) append to the same file, and an append of two
  // processes at once may otherwise land at the same place.
  HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  OVERLAPPED whole{};
  const BOOL locked = LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole);
  SetFilePointer(file, 0, nullptr, FILE_END);
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(size), &written, nullptr);
  FlushFileBuffers(file);
  if (locked) UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole);
  CloseHandle(file);
}

}  // namespace vo::test
