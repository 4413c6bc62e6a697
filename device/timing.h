#pragma once
// Sleeps and the millisecond tick counter, passed in so tests can run fixed waits in virtual time.

#include <cstdint>

class Timing {
 public:
  virtual ~Timing() = default;
  virtual void SleepMs(std::uint32_t ms) = 0;
  // Milliseconds since some start, cut to 32 bits; take differences as uint32_t.
  virtual std::uint32_t TickMs() = 0;
};

class SystemTiming final : public Timing {
 public:
  void SleepMs(std::uint32_t ms) override;
  std::uint32_t TickMs() override;
};
