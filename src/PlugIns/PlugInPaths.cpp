#include "PlugIns/PlugInPaths.h"

#include <algorithm>
#include <cstddef>

#include "support/ShiftJis.h"

namespace vo {
namespace {

constexpr std::string_view kMaskPrefix = "vo";
constexpr std::string_view kMaskSuffix = ".dll";

unsigned char ByteAt(std::string_view text, std::size_t index) {
  return static_cast<unsigned char>(text[index]);
}

bool IsDelimiter(char c) { return c == '\\' || c == ':'; }

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         SamePathIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         SamePathIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

// Sort key of a name: single-byte letters folded to lower case. A trail byte may look like
// a letter, so double-byte characters are kept as they are.
std::string ListBoxKey(std::string_view name) {
  std::string key(name);
  for (std::size_t i = 0; i < key.size(); i += ShiftJisCharLength(key, i)) {
    if (ShiftJisCharLength(key, i) == 1) key[i] = static_cast<char>(FoldAscii(ByteAt(key, i)));
  }
  return key;
}

}  // namespace

std::string ExecutableDirectory(std::string_view exePath) {
  std::size_t delimiter = std::string_view::npos;
  std::size_t charBeforeDelimiter = std::string_view::npos;
  std::size_t previousChar = std::string_view::npos;
  for (std::size_t i = 0; i < exePath.size(); i += ShiftJisCharLength(exePath, i)) {
    if (ShiftJisCharLength(exePath, i) == 1 && IsDelimiter(exePath[i])) {
      delimiter = i;
      charBeforeDelimiter = previousChar;
    }
    previousChar = i;
  }
  if (delimiter == std::string_view::npos) return {};

  // A '\' is part of the directory only as a root: "C:\", "\", or the "\\" of a UNC name.
  const bool keepBackslash = exePath[delimiter] != '\\' ||
                             charBeforeDelimiter == std::string_view::npos ||
                             IsDelimiter(exePath[charBeforeDelimiter]);
  return std::string(exePath.substr(0, keepBackslash ? delimiter + 1 : delimiter));
}

bool EndsWithBackslash(std::string_view path) {
  std::size_t last = std::string_view::npos;
  for (std::size_t i = 0; i < path.size(); i += ShiftJisCharLength(path, i)) last = i;
  return last != std::string_view::npos && ShiftJisCharLength(path, last) == 1 &&
         path[last] == '\\';
}

std::string JoinPluginPath(std::string_view directory, std::string_view fileName) {
  std::string path(directory);
  if (!path.empty() && !EndsWithBackslash(path)) path += '\\';
  path += fileName;
  return path;
}

bool MatchesPluginMask(std::string_view fileName) {
  return fileName.size() >= kMaskPrefix.size() + kMaskSuffix.size() &&
         StartsWithIgnoringCase(fileName, kMaskPrefix) &&
         EndsWithIgnoringCase(fileName, kMaskSuffix);
}

void SortLikeListBox(std::vector<std::string>& names) {
  // Names that differ only in case are ordered by their bytes, so the result is unique.
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const std::string keyA = ListBoxKey(a);
    const std::string keyB = ListBoxKey(b);
    return keyA != keyB ? keyA < keyB : a < b;
  });
}

}  // namespace vo
