#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "device/flash_trailer.h"
#include "device/version_text.h"
#include "firmware/tarn_list.h"

namespace {

TarnPacket Record(std::uint32_t kind, std::int16_t target, std::int16_t region,
                  const TarnPacket* next) {
  return TarnPacket{next, kind, 2, target, region, 0x0341, 5, 3, 2006, 19, 10, 56, {}, nullptr};
}

TEST(TarnList, CarriedListHasTheHeadAndOneApplicationImage) {
  const TarnPacket* head = GetTarnBase();
  ASSERT_NE(head, nullptr);
  CTarnList list;
  EXPECT_EQ(list.Attach(head), CTarnList::kAttached);

  int notFound = -1;
  const TarnPacket* image = list.Find(10, 5, 0x22, &notFound);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image, head->next);
  EXPECT_EQ(notFound, 0);
  EXPECT_EQ(image->next, nullptr);

  for (const TarnPacket* p : {head, image}) {
    EXPECT_EQ(p->target, 5);
    EXPECT_EQ(p->region, 0x22);
    EXPECT_EQ(p->reserved, 2);
    EXPECT_EQ(device::FormatVersion(p->Major(), p->Minor()), "V1.013");
    EXPECT_EQ(device::FormatDate(p->day, p->month, p->year), "05.03.2006");
    EXPECT_EQ(p->hour * 10000 + p->minute * 100 + p->second, 191056);
  }
  EXPECT_EQ(head->kind, 1u);
  EXPECT_EQ(head->segments, nullptr);

  EXPECT_EQ(list.Find(10, 5, 0x21, &notFound), nullptr);
  EXPECT_EQ(notFound, 1);
  EXPECT_EQ(list.Find(1, 5, 0x22), head);
  EXPECT_EQ(list.Find(CTarnList::kAnyKind, CTarnList::kAny, CTarnList::kAny), head);
  // An all-ones 32-bit kind is compared, not a wildcard.
  EXPECT_EQ(list.Find(0xFFFFFFFF, 5, 0x22), nullptr);
}

TEST(TarnList, CarriedImageIsTwoSegmentsWithAnIdentityTrailerTheDeviceAccepts) {
  CTarnList list;
  list.Attach(GetTarnBase());
  const TarnPacket* image = list.Find(10, 5, 0x22);
  ASSERT_NE(image, nullptr);
  const TarnSegment* program = image->segments;
  ASSERT_NE(program, nullptr);
  const TarnSegment* trailerSegment = program->next;
  ASSERT_NE(trailerSegment, nullptr);
  EXPECT_EQ(trailerSegment->next, nullptr);
  EXPECT_EQ(program->address, 0x40010000u);
  EXPECT_EQ(program->length, 69130u);
  EXPECT_EQ(trailerSegment->address, 0x4003FFF0u);
  EXPECT_EQ(trailerSegment->length, 16u);
  EXPECT_EQ(TarnImageBytes(*image), 69146u);

  // The flash as the device holds it after the update.
  std::vector<std::uint8_t> region(flash::kApplicationEnd - flash::kApplicationStart, 0xFF);
  for (const TarnSegment* s = image->segments; s != nullptr; s = s->next) {
    std::copy_n(s->data, s->length, region.begin() + (s->address - flash::kApplicationStart));
  }
  const flash::Trailer trailer = flash::Trailer::Decode(trailerSegment->data);
  EXPECT_EQ(trailer.region, 0x22);
  EXPECT_EQ(trailer.major, 1);
  EXPECT_EQ(trailer.minor, 13);
  EXPECT_EQ(trailer.day, 5);
  EXPECT_EQ(trailer.month, 3);
  EXPECT_EQ(trailer.year, 2006);
  EXPECT_EQ(trailer.sum, flash::ApplicationSum(region));
}

TEST(TarnList, FirstMatchWinsAndAnAllOnesNextEndsTheList) {
  const auto* allOnes = reinterpret_cast<const TarnPacket*>(~std::uintptr_t{0});
  const TarnPacket boot = Record(10, 5, 0x21, allOnes);
  const TarnPacket second = Record(10, 5, 0x22, &boot);
  const TarnPacket first = Record(10, 5, 0x22, &second);
  const TarnPacket head = Record(1, 5, 0x22, &first);
  CTarnList list;
  list.Attach(&head);
  EXPECT_EQ(list.Find(10, 5, 0x22), &first);
  EXPECT_EQ(list.Find(10, 5, 0x21), &boot);
  EXPECT_EQ(list.Find(10, CTarnList::kAny, static_cast<std::uint16_t>(-1)), &first);
  int notFound = 0;
  EXPECT_EQ(list.Find(10, 6, 0x22, &notFound), nullptr);
  EXPECT_EQ(notFound, 1);

  const auto* allOnes32 = reinterpret_cast<const TarnPacket*>(std::uintptr_t{0xFFFFFFFF});
  const TarnPacket shortHead = Record(1, 5, 0x22, allOnes32);
  list.Attach(&shortHead);
  EXPECT_EQ(list.Find(10, 5, 0x22, &notFound), nullptr);
}

TEST(TarnList, ListWithoutAHeadFindsNothingAndLeavesNotFoundAlone) {
  const TarnPacket image = Record(10, 5, 0x22, nullptr);
  CTarnList list;
  EXPECT_EQ(list.Attach(&image), CTarnList::kNotAList);
  int notFound = 7;
  EXPECT_EQ(list.Find(10, 5, 0x22, &notFound), nullptr);
  EXPECT_EQ(notFound, 7);
  EXPECT_EQ(list.Attach(nullptr), CTarnList::kNotAList);
  EXPECT_EQ(list.Find(10, 5, 0x22, &notFound), nullptr);
  EXPECT_EQ(CTarnList().Find(1, 5, 0x22, &notFound), nullptr);
}

TEST(TarnList, VersionWordPacksMajorInTheLowSixBits) {
  TarnPacket p = Record(10, 5, 0x22, nullptr);
  p.version = 0xFFFF;
  EXPECT_EQ(p.Major(), 63u);
  EXPECT_EQ(p.Minor(), 1023u);
}

}  // namespace
