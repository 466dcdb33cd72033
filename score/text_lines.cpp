#include "score/text_lines.h"

namespace kestu {

namespace {

// Calls take(line) for each line of the text until it returns true.
template <typename Take>
void ForEachLine(std::string_view text, Take take) {
  if (const size_t nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      take(text.substr(start));
      return;
    }
    if (take(text.substr(start, end - start))) return;
    start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
}

}  // namespace

std::string_view WithoutByteOrderMark(std::string_view text) {
  constexpr std::string_view kMark = "\xEF\xBB\xBF";
  if (text.substr(0, kMark.size()) == kMark) text.remove_prefix(kMark.size());
  return text;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  ForEachLine(text, [&](std::string_view line) {
    lines.emplace_back(line);
    return false;
  });
  return lines;
}

namespace {

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

bool HasKey(std::string_view line, std::string_view key) {
  const size_t eq = line.find('=');
  return eq != std::string_view::npos && SameTextAscii(line.substr(0, eq), key);
}

}  // namespace

std::string ValueOf(const std::vector<std::string>& lines, std::string_view key) {
  for (const std::string& line : lines) {
    if (HasKey(line, key)) return line.substr(line.find('=') + 1);
  }
  return {};
}

std::string ValueOf(std::string_view text, std::string_view key) {
  std::string value;
  ForEachLine(text, [&](std::string_view line) {
    if (!HasKey(line, key)) return false;
    value = line.substr(line.find('=') + 1);
    return true;
  });
  return value;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace kestu
