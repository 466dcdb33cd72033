#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

namespace kestu {

// The integer conversion sequence texts use for TEMPO and END: optional leading spaces, an optional
// sign, then decimal digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X". Nothing may
// follow, and the value must fit in a signed 32-bit integer.
std::optional<int32_t> TryStrToInt(std::string_view text);

// As TryStrToInt, throwing EConvertError carrying the text when it does not convert.
int32_t StrToInt(std::string_view text);

}  // namespace kestu
