#include "score/int_conversion.h"

#include <gtest/gtest.h>

#include "score/errors.h"
#include "tests/support/thrown.h"

namespace kestu::test {
namespace {

TEST(StrToInt, AcceptsTheRuntimeNumberSyntax) {
  const std::pair<const char*, std::optional<int32_t>> cases[] = {
      {"250", 250},        {"  250", 250},     {"+7", 7},
      {"-5", -5},          {"0", 0},           {"$FA", 250},
      {"$fa", 250},        {"xFA", 250},       {"X10", 16},
      {"0x10", 16},        {"0XfF", 255},      {"-$10", -16},
      {"2147483647", INT32_MAX},               {"-2147483648", INT32_MIN},
      {"$7FFFFFFF", INT32_MAX},                {"00012", 12},
      {"", std::nullopt},  {"   ", std::nullopt}, {"250 ", std::nullopt},
      {"2 50", std::nullopt}, {"\t250", std::nullopt}, {"+", std::nullopt},
      {"$", std::nullopt}, {"0x", std::nullopt}, {"12a", std::nullopt},
      {"2147483648", std::nullopt}, {"-2147483649", std::nullopt},
      {"$80000000", std::nullopt}, {"99999999999999999999", std::nullopt},
      {"--1", std::nullopt}, {"0b1", std::nullopt}, {"1.5", std::nullopt},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(TryStrToInt(text), value) << '"' << text << '"';
}

TEST(StrToInt, FailureCarriesTheValueInItsMessage) {
  EXPECT_EQ(ThrownMessage<EConvertError>([] { StrToInt("250 "); }), "'250 ' は整数ではありません");
  EXPECT_THROW(StrToInt(""), EConvertError);
}

TEST(StrToInt, ALongValueIsShortenedInTheMessage) {
  const std::string sixty(60, '9');
  const std::string kana = "あ";  // three bytes, one character
  // Each value and how the message shows it.
  const std::pair<std::string, std::string> cases[] = {
      {sixty, sixty},
      {sixty + "9", sixty + "…"},
      {std::string(10'000'000, '7'), std::string(60, '7') + "…"},
      {std::string(59, '1') + kana + kana, std::string(59, '1') + kana + "…"},
      {std::string(60, '1') + kana, std::string(60, '1') + "…"},
      // Not UTF-8: a continuation byte no lead byte announced is a character of its own.
      {std::string(1000, '\x80'), std::string(60, '\x80') + "…"},
      {std::string(1000, '\xE3'), std::string(60, '\xE3') + "…"},
      {"\xF0" + std::string(1000, '\x80'), "\xF0" + std::string(3 + 59, '\x80') + "…"},
  };
  for (const auto& [value, shown] : cases) {
    EXPECT_EQ(ThrownMessage<EConvertError>([&value] { StrToInt(value); }), "'" + shown + "' は整数ではありません")
        << value.size();
  }
}

}  // namespace
}  // namespace kestu::test
