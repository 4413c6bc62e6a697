#include "panel/embedded_version.h"

#include "firmware/tarn_list.h"

namespace panel {

std::optional<EmbeddedVersion> EmbeddedApplicationVersion() {
  CTarnList list;
  if (list.Attach(GetTarnBase()) != CTarnList::kAttached) return std::nullopt;
  const TarnPacket* packet = list.Find(TARN_KIND_IMAGE, TARN_TARGET_VELMOR,
                                       static_cast<std::uint16_t>(TARN_REGION_APPLICATION));
  if (!packet) return std::nullopt;
  return EmbeddedVersion{packet->Major(), packet->Minor(), packet->day, packet->month,
                         packet->year};
}

}  // namespace panel
