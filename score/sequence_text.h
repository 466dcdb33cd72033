#pragma once
// The sequence text: the stored and exchanged form of a document, five lines
// SCORE=, TEMPO=, LOOP=, END=, TIME44=, each ended by CR LF.
#include <functional>
#include <string>
#include <string_view>

#include "score/document.h"

namespace kestu {

inline constexpr const char* kBadDataMessage = "データが不正です";
inline constexpr const char* kSequenceExtension = ".ksq";

// The five lines of the document as one text. Reads only.
std::string WriteSequenceText(const ScoreDocument& doc);

enum class ReadResult {
  Loaded,    // every step done
  BadScore,  // the score value did not decode: the message was shown; the caller runs New
};

// Loads a text into the document step by step: tempo, loop switch, end mark, time signature, then
// the score column by column. A TEMPO or END that does not convert throws EConvertError and leaves
// the steps before it done. On a bad score value the reader shows kBadDataMessage through
// showMessage, clears Modified and returns BadScore. Modified is false at every other end.
ReadResult ReadSequenceText(ScoreDocument& doc, std::string_view text,
                            const std::function<void(const std::string&)>& showMessage);

// The name a save writes to: fileName with ".ksq" appended when it holds no ".ksq" anywhere.
std::string WithSequenceExtension(const std::string& fileName);

// Writes the document's text to CurrentFileName, which first gets ".ksq" appended when it holds no
// ".ksq" anywhere (case-sensitive). The old file survives a failed write: EFCreateError names the
// file, Modified stays as it was and the appended name stays. Success clears Modified.
void SaveToCurrentFile(ScoreDocument& doc);

}  // namespace kestu
