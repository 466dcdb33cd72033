#include "score/errors.h"

namespace kestu {

namespace {

constexpr size_t kShownCharacters = 60;

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::string ShortenedForMessage(const std::string& value) {
  // Characters, not bytes: a UTF-8 character is never cut in two.
  size_t characters = 0;
  for (size_t i = 0; i < value.size(); ++i) {
    if (IsContinuationByte(value[i])) continue;
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
