#include "firmware/tarn_list.h"

#include <cstdint>

namespace {

// Lists written by other tools end with an all-ones pointer as well as with null. On a 64-bit
// build the 32-bit all-ones value can never be a record either: it is not aligned.
bool EndsList(const TarnPacket* p) {
  const auto value = reinterpret_cast<std::uintptr_t>(p);
  return p == nullptr || value == ~std::uintptr_t{0} || value == 0xFFFFFFFFu;
}

}  // namespace

int CTarnList::Attach(const TarnPacket* head) {
  m_pHead = head;
  return head != nullptr && head->kind == TARN_KIND_HEAD ? kAttached : kNotAList;
}

const TarnPacket* CTarnList::Find(std::uint32_t kind, std::uint16_t target, std::uint16_t region,
                                  int* notFound) const {
  if (m_pHead == nullptr || m_pHead->kind != TARN_KIND_HEAD) return nullptr;
  for (const TarnPacket* p = m_pHead; !EndsList(p); p = p->next) {
    const bool kindMatches = kind == kAnyKind || kind == p->kind;
    const bool targetMatches = target == kAny || target == static_cast<std::uint16_t>(p->target);
    const bool regionMatches = region == kAny || region == static_cast<std::uint16_t>(p->region);
    if (kindMatches && targetMatches && regionMatches) {
      if (notFound != nullptr) *notFound = 0;
      return p;
    }
  }
  if (notFound != nullptr) *notFound = 1;
  return nullptr;
}

std::uint32_t TarnImageBytes(const TarnPacket& packet) {
  std::uint32_t total = 0;
  for (const TarnSegment* s = packet.segments; s != nullptr; s = s->next) total += s->length;
  return total;
}
