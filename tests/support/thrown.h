// What a failing call says, for tests that check the message word for word.
#pragma once

#include <string>

namespace kestu::test {

// The message `call` throws as an E, or "nothing thrown" when it returns; any other exception passes on.
template <class E, class F>
std::string ThrownMessage(F&& call) {
  try {
    call();
  } catch (const E& e) {
    return e.what();
  }
  return "nothing thrown";
}

}  // namespace kestu::test
