#include "score/sequence_text.h"

#include <array>

#include "score/int_conversion.h"
#include "score/text_file.h"
#include "score/text_lines.h"

namespace kestu {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr char kEmptyCharacter = '\0';  // the character past the end of the score value

std::string EncodeScore(const ScoreDocument& doc) {
  std::string value;
  value.reserve(kColumns * (kMaxNotesPerColumn * 2));
  for (int c = 1; c <= kColumns; ++c) {
    const int32_t count = doc.NoteCount(c);
    for (int32_t pad = count; pad < kMaxNotesPerColumn; ++pad) value += '0';
    for (int r = 1; r <= kRows; ++r) {
      const int32_t cell = doc.Cell(r, c);
      if (cell == 0) continue;
      value += kHexDigits[r & 0xF];
      value += kHexDigits[cell & 0xF];
    }
  }
  return value;
}

// A row digit: "1".."9" and "A".."D"; anything else fails (0).
int RowDigit(char c) {
  if (c >= '1' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'D') return c - 'A' + 10;
  return 0;
}

// An instrument digit: "1".."9" and "A".."F"; anything else fails (0). An instrument "0" and a pair
// cut off by the end of the value are refused too: counting them would leave the count above the
// number of filled cells.
int InstrumentDigit(char c) {
  if (c >= '1' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

bool DecodeScore(ScoreDocument& doc, std::string_view value) {
  size_t p = 0;  // 0-based position in the value
  auto at = [&](size_t i) { return i < value.size() ? value[i] : kEmptyCharacter; };
  for (int c = 1; c <= kColumns; ++c) {
    doc.ClearColumn(c);
    for (int slot = 0; slot < kMaxNotesPerColumn; ++slot) {
      if (at(p) == '0') {
        ++p;
        continue;
      }
      const int row = RowDigit(at(p++));
      if (row == 0) return false;
      const int instrument = InstrumentDigit(at(p++));
      if (instrument == 0) return false;
      if (doc.Cell(row, c) != 0) return false;  // the same row twice in one column group
      doc.AddDecodedNote(row, c, instrument);
    }
  }
  return true;
}

}  // namespace

std::string WriteSequenceText(const ScoreDocument& doc) {
  return JoinLines({
      "SCORE=" + EncodeScore(doc),
      "TEMPO=" + std::to_string(doc.Tempo()),
      doc.Loop() ? "LOOP=TRUE" : "LOOP=FALSE",
      "END=" + std::to_string(doc.EndColumn()),
      doc.Time44() ? "TIME44=TRUE" : "TIME44=FALSE",
  });
}

ReadResult ReadSequenceText(ScoreDocument& doc, std::string_view text,
                            const std::function<void(const std::string&)>& showMessage) {
  text = WithoutByteOrderMark(text);
  // Looked up straight in the text: holding it as lines would cost a string for every line.
  const std::string score = ValueOf(text, "SCORE");

  doc.SetTempo(StrToInt(ValueOf(text, "TEMPO")));
  doc.SetLoop(ValueOf(text, "LOOP") != "FALSE");
  const int32_t end = StrToInt(ValueOf(text, "END"));
  doc.SetEndColumn(end > kNewEndColumn || end < 1 ? kNewEndColumn : end);
  doc.SetTime44(ValueOf(text, "TIME44") != "FALSE");

  if (!DecodeScore(doc, score)) {
    if (showMessage) showMessage(kBadDataMessage);
    doc.Modified = false;
    return ReadResult::BadScore;
  }
  doc.Modified = false;
  return ReadResult::Loaded;
}

std::string WithSequenceExtension(const std::string& fileName) {
  if (fileName.find(kSequenceExtension) != std::string::npos) return fileName;
  return fileName + kSequenceExtension;
}

void SaveToCurrentFile(ScoreDocument& doc) {
  doc.CurrentFileName = WithSequenceExtension(doc.CurrentFileName);
  WriteTextFileReplacing(doc.CurrentFileName, WriteSequenceText(doc));
  doc.Modified = false;
}

}  // namespace kestu
