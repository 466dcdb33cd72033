#pragma once
// Texts as lists of lines, the way the sequence text is read and written.
#include <string>
#include <string_view>
#include <vector>

namespace kestu {

// The text after a UTF-8 byte-order mark at its very start (editors on some systems write one);
// the text itself otherwise. Every way a score arrives (a file, the clipboard, a drop) reads alike.
std::string_view WithoutByteOrderMark(std::string_view text);

// Splits a text into lines. CR LF, a lone CR or a lone LF ends a line; a NUL ends the whole text.
// A last line without an ending still counts; an ending at the very end adds no empty line.
std::vector<std::string> SplitLines(std::string_view text);

// The value of a key: everything after the first "=" of the first line whose text before that "="
// equals the key, compared without regard to ASCII letter case. Nothing is trimmed. A key that no
// line matches has the empty value.
std::string ValueOf(const std::vector<std::string>& lines, std::string_view key);
// The same lookup straight over a text, line by line as SplitLines would cut it, without holding
// the lines: a text of millions of empty lines costs no memory.
std::string ValueOf(std::string_view text, std::string_view key);

// Joins lines into one text, each line followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace kestu
