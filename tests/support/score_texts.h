#pragma once
// Score files' text as the program writes it, for tests to read or to compare with.
#include <string>

namespace kestu::test {

// The five keys, each on its line (Windows line ends unless `eol` says otherwise).
inline std::string SequenceText(const std::string& score, const std::string& tempo = "250",
                                const std::string& loop = "FALSE", const std::string& end = "961",
                                const std::string& time44 = "TRUE", const char* eol = "\r\n") {
  return "SCORE=" + score + eol + "TEMPO=" + tempo + eol + "LOOP=" + loop + eol + "END=" + end + eol +
         "TIME44=" + time44 + eol;
}

inline std::string EmptyScore() { return std::string(2880, '0'); }

// A score whose first column group is `first` and the rest empty.
inline std::string ScoreStartingWith(const std::string& first) { return first + std::string(2877, '0'); }

}  // namespace kestu::test
