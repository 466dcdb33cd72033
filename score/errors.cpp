#include "score/errors.h"

namespace kestu {

namespace {

constexpr size_t kShownCharacters = 60;

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// How many continuation bytes the lead byte of a UTF-8 character announces.
int ContinuationsAfter(char lead) {
  const auto b = static_cast<unsigned char>(lead);
  if (b >= 0xF0 && b <= 0xF7) return 3;
  if (b >= 0xE0) return b <= 0xEF ? 2 : 0;
  if (b >= 0xC0) return 1;
  return 0;
}

}  // namespace

std::string ShortenedForMessage(const std::string& value) {
  // Characters, not bytes: a UTF-8 character is never cut in two. A file is not always UTF-8, so a
  // continuation byte that no lead byte announced counts as a character of its own; otherwise a
  // run of them would never be shortened.
  size_t characters = 0;
  int announced = 0;
  for (size_t i = 0; i < value.size(); ++i) {
    if (IsContinuationByte(value[i]) && announced > 0) {
      --announced;
      continue;
    }
    announced = ContinuationsAfter(value[i]);
    if (characters++ == kShownCharacters) return value.substr(0, i) + "…";
  }
  return value;
}

EConvertError::EConvertError(const std::string& value)
    : KestuError("'" + ShortenedForMessage(value) + "' は整数ではありません") {}

EFOpenError::EFOpenError(const std::string& fileName)
    : KestuError("ファイル " + fileName + " は開けません") {}

EFCreateError::EFCreateError(const std::string& fileName)
    : KestuError("ファイル " + fileName + " を作成できません") {}

}  // namespace kestu
