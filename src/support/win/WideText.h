// Text between the ANSI code page, in which the program's strings and the names it shows are
// kept, and the UTF-16 of the wide calls, which alone name every file: a folder's name may
// hold characters the ANSI code page lacks.
#pragma once

#include <string>
#include <string_view>

namespace vo::win {

std::wstring Widened(std::string_view text);
// Characters the ANSI code page lacks become '?'.
std::string Narrowed(std::wstring_view text);

// The full path of the running program, "" if the system cannot tell it.
std::wstring ProgramPathW();
// Its folder: "C:\vo" for C:\vo\vo.exe, "C:\" for C:\vo.exe.
std::wstring ProgramDirectoryW();
// directory + '\' + name, without doubling a '\' the directory ends in.
std::wstring JoinWidePath(std::wstring_view directory, std::wstring_view name);

}  // namespace vo::win
