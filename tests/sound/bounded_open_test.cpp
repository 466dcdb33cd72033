// The bounded wait every output opens through: the first word counts, and a word that comes
// after the wait gave up is refused, so the helper closes what it opened.
#include "sound/output/bounded_open.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

namespace kestu::test {
namespace {

using namespace std::chrono_literals;
using Outcome = BoundedOpen::Outcome;

TEST(BoundedOpen, TheFirstWordBeforeOrDuringTheWaitIsTheOutcome) {
  for (const bool opened : {true, false}) {
    BoundedOpen before;
    EXPECT_TRUE(before.Report(opened));
    EXPECT_TRUE(before.Report(!opened)) << "a later word is taken but changes nothing";
    EXPECT_EQ(before.Await(10ms), opened ? Outcome::kOpened : Outcome::kFailed);

    auto during = std::make_shared<BoundedOpen>();
    ASSERT_TRUE(BoundedOpen::Launch([during, opened] {
      std::this_thread::sleep_for(20ms);
      during->Report(opened);
    }));
    EXPECT_EQ(during->Await(60s), opened ? Outcome::kOpened : Outcome::kFailed);
  }
}

TEST(BoundedOpen, AWordAfterTheBoundIsRefusedSoTheHelperClosesWhatItOpened) {
  BoundedOpen opening;
  EXPECT_EQ(opening.Await(20ms), Outcome::kTimedOut);
  EXPECT_FALSE(opening.Report(true));
  EXPECT_FALSE(opening.Report(false));
}

}  // namespace
}  // namespace kestu::test
