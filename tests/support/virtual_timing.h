#pragma once
// Timing in which a sleep advances the tick counter at once: fixed waits cost no real time.

#include <atomic>
#include <cstdint>

#include "device/timing.h"

class VirtualTiming final : public Timing {
 public:
  explicit VirtualTiming(std::uint32_t start = 0) : m_now(start) {}

  void SleepMs(std::uint32_t ms) override;
  std::uint32_t TickMs() override { return m_now.load(); }

  void Advance(std::uint32_t ms) { m_now += ms; }
  std::uint64_t TotalSleptMs() const { return m_slept.load(); }

 private:
  std::atomic<std::uint32_t> m_now;
  std::atomic<std::uint64_t> m_slept{0};
};
