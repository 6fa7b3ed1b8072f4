// Path handling for plug-in discovery. Paths are ANSI byte strings in code page 932, so a
// byte 0x5C may be the second half of a double-byte character rather than a '\'.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "support/FileNames.h"

namespace vo {

// The directory part of the executable's full path: everything before the last '\' or ':',
// keeping the '\' only where it is a root ("C:\vo.exe" -> "C:\", "C:\dir\vo.exe" -> "C:\dir").
std::string ExecutableDirectory(std::string_view exePath);

// True when the path's last character is a '\' (not the trail byte of a double-byte one).
bool EndsWithBackslash(std::string_view path);

// directory + '\' + fileName, without doubling a '\' the directory already ends in, so that a
// module's stored path and the path built from the plug-in list always agree.
std::string JoinPluginPath(std::string_view directory, std::string_view fileName);

// "vo*.DLL", case-insensitively, on a bare file name.
bool MatchesPluginMask(std::string_view fileName);

// Case-insensitive order, as a sorted list box shows the names.
void SortLikeListBox(std::vector<std::string>& names);

}  // namespace vo
