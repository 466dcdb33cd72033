// Any file read as a score comes back byte for byte (it is far below the size limit), reads into a
// document whose counts stay equal to its cells, and a number that does not convert is shown
// shortened.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "score/errors.h"
#include "score/sequence_text.h"
#include "score/text_file.h"
#include "tests/support/scratch_folder.h"

namespace {

const std::string& ScorePath() {
  static const kestu::test::ScratchFolder folder("fuzz-score");
  static const std::string path = (folder / "input.ksq").string();
  return path;
}

// The message of a value shortened to 60 characters of at most four bytes each, with "…".
constexpr size_t kLongestConvertMessage = 2 + 60 * 4 + 3 + std::char_traits<char>::length(" は整数ではありません");

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen(ScorePath().c_str(), "wb");
  if (f == nullptr) std::abort();
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  const std::string text = kestu::ReadTextFile(ScorePath());
  if (text.size() != size || std::memcmp(text.data(), data, size) != 0) std::abort();

  kestu::ScoreDocument doc;
  try {
    if (kestu::ReadSequenceText(doc, text, nullptr) == kestu::ReadResult::BadScore) doc.ResetToNew();
  } catch (const kestu::EConvertError& e) {
    if (std::strlen(e.what()) > kLongestConvertMessage) std::abort();
  }
  for (int c = 1; c <= kestu::kColumns; ++c) {
    int cells = 0;
    for (int r = 1; r <= kestu::kRows; ++r) cells += doc.Cell(r, c) != 0;
    if (cells != doc.NoteCount(c)) std::abort();
  }
  return 0;
}
