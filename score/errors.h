#pragma once
// Errors that reach the user through the window's default error report, which shows what() with a
// full stop appended. Each carries its exact message text.
#include <stdexcept>
#include <string>

namespace kestu {

class KestuError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A value as a message shows it: up to 60 characters, longer ones cut there and ended by "…", so
// that a box never has to lay out a value of megabytes.
std::string ShortenedForMessage(const std::string& value);

// A number in a sequence text that does not convert: "'%s' は整数ではありません", the value
// shortened for the message.
class EConvertError : public KestuError {
 public:
  explicit EConvertError(const std::string& value);
};

// A file that cannot be opened or read: "ファイル %s は開けません".
class EFOpenError : public KestuError {
 public:
  explicit EFOpenError(const std::string& fileName);
};

// A file that cannot be created or written: "ファイル %s を作成できません".
class EFCreateError : public KestuError {
 public:
  explicit EFCreateError(const std::string& fileName);
};

}  // namespace kestu
