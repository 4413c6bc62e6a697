#pragma once
// Lookup over a firmware image list. A short-lived local of its user; the list itself is
// constant, so each thread may keep its own CTarnList without a lock.

#include <cstdint>

#include "firmware/tarn_packet.h"

class CTarnList {
 public:
  // A key of this value matches any kind; -1 (0xFFFF) does the same for target and region.
  // An all-ones 32-bit kind key is no wildcard.
  static constexpr std::uint32_t kAnyKind = 0xFFFF;
  static constexpr std::uint16_t kAny = 0xFFFF;

  static constexpr int kAttached = 0;
  static constexpr int kNotAList = 2;

  // kAttached when the head's kind is TARN_KIND_HEAD, else kNotAList (a null head included).
  int Attach(const TarnPacket* head);
  // The first record in list order (the head included) that matches all three keys, or null.
  // `notFound` gets 0 on a match and 1 when nothing matched; a list that did not attach
  // returns null and leaves it untouched.
  const TarnPacket* Find(std::uint32_t kind, std::uint16_t target, std::uint16_t region,
                         int* notFound = nullptr) const;

 private:
  const TarnPacket* m_pHead = nullptr;
};

// Sum of the segment lengths of one image: its 100 % of a download.
std::uint32_t TarnImageBytes(const TarnPacket& packet);
