// A fixed-size single-producer single-consumer ring of plain records. The
// producer and the consumer may be different threads; neither ever blocks,
// locks or allocates.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <type_traits>

namespace kestu::ds {

template <typename T, std::size_t Capacity>
class SpscQueue {
  static_assert((Capacity & (Capacity - 1)) == 0, "capacity must be a power of two");
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  // Producer thread. False when the ring is full.
  bool Push(const T& item) noexcept {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail - head_.load(std::memory_order_acquire) == Capacity) return false;
    items_[tail & (Capacity - 1)] = item;
    tail_.store(tail + 1, std::memory_order_release);
    return true;
  }

  // Consumer thread. False when the ring is empty.
  bool Pop(T& item) noexcept {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load(std::memory_order_acquire)) return false;
    item = items_[head & (Capacity - 1)];
    head_.store(head + 1, std::memory_order_release);
    return true;
  }

 private:
  std::array<T, Capacity> items_{};
  alignas(64) std::atomic<std::size_t> head_{0};
  alignas(64) std::atomic<std::size_t> tail_{0};
};

}  // namespace kestu::ds
