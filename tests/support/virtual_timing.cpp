#include "tests/support/virtual_timing.h"

void VirtualTiming::SleepMs(std::uint32_t ms) {
  m_now += ms;
  m_slept += ms;
}
