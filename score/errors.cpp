#include "score/errors.h"

namespace kestu {

EConvertError::EConvertError(const std::string& value)
    : KestuError("'" + value + "' は整数ではありません") {}

EFOpenError::EFOpenError(const std::string& fileName)
    : KestuError("ファイル " + fileName + " は開けません") {}

EFCreateError::EFCreateError(const std::string& fileName)
    : KestuError("ファイル " + fileName + " を作成できません") {}

}  // namespace kestu
