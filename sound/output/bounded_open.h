// Opening a stream without letting a sound server or device hold up the GUI thread: the work
// runs on a helper thread (or the server's own), and the GUI thread waits for its word a
// bounded time. A server that does not answer in time counts as no device; whatever the helper
// opens after the GUI thread gave up is the helper's to close. Shared by the GUI thread and
// the one thread that reports.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace kestu {

class BoundedOpen {
 public:
  // How long an output waits for its device unless told otherwise.
  static constexpr std::chrono::milliseconds kDefaultBound{3000};

  enum class Outcome { kOpened, kFailed, kTimedOut };

  // GUI thread: runs `work` on a thread of its own, left to end by itself. False when no
  // thread can be made, which counts as no device.
  template <typename Work>
  static bool Launch(Work&& work) {
    try {
      std::thread(std::forward<Work>(work)).detach();
      return true;
    } catch (const std::system_error&) {
      return false;
    }
  }

  // The reporting thread: how the open went; the first word counts. False when the GUI
  // thread no longer waits: what was opened is then the reporter's to close.
  bool Report(bool opened) {
    std::lock_guard lock(mutex_);
    if (abandoned_) return false;
    if (!reported_) {
      reported_ = true;
      opened_ = opened;
      changed_.notify_all();
    }
    return true;
  }

  // GUI thread: waits at most `bound` for the word. Without one in time, the reporter is
  // left to clean up after itself.
  Outcome Await(std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, bound, [&] { return reported_; })) {
      abandoned_ = true;
      return Outcome::kTimedOut;
    }
    return opened_ ? Outcome::kOpened : Outcome::kFailed;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool reported_ = false;
  bool opened_ = false;
  bool abandoned_ = false;
};

}  // namespace kestu
