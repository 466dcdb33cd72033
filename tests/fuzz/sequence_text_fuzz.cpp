// Any text read into a document leaves every column's count equal to its filled cells, and writing
// the document and reading it back gives the same document.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "score/errors.h"
#include "score/sequence_text.h"

namespace {

void CheckCounts(const kestu::ScoreDocument& doc) {
  for (int c = 1; c <= kestu::kColumns; ++c) {
    int cells = 0;
    for (int r = 1; r <= kestu::kRows; ++r) {
      const int32_t v = doc.Cell(r, c);
      if (v < 0 || v > 15) std::abort();
      cells += v != 0;
    }
    if (cells != doc.NoteCount(c) || cells > 3) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kestu::ScoreDocument doc;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    if (kestu::ReadSequenceText(doc, text, nullptr) == kestu::ReadResult::BadScore) doc.ResetToNew();
  } catch (const kestu::EConvertError& e) {
    // The value is shortened to 60 characters of up to four bytes each and "…".
    if (std::string_view(e.what()).size() > 2 + 60 * 4 + 3 + std::string_view(" は整数ではありません").size()) std::abort();
  }
  CheckCounts(doc);
  if (doc.EndColumn() < 1 || doc.EndColumn() > 961) std::abort();
  if (doc.Tempo() < 100 || doc.Tempo() > 1500) std::abort();

  const std::string written = kestu::WriteSequenceText(doc);
  kestu::ScoreDocument again;
  if (kestu::ReadSequenceText(again, written, nullptr) != kestu::ReadResult::Loaded) std::abort();
  CheckCounts(again);
  if (kestu::WriteSequenceText(again) != written) std::abort();
  return 0;
}
