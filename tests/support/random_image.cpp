#include "tests/support/random_image.h"

#include "settings/settings_fields.h"

namespace testsupport {

SettingsImage RandomValidImage(std::mt19937& random) {
  auto pick = [&random](long long lo, long long hi) {
    return std::uniform_int_distribution<long long>(lo, hi)(random);
  };
  SettingsImage image;
  for (auto& b : image.Bytes()) b = static_cast<std::uint8_t>(pick(0, 255));
  for (const settings::BoundField& f : settings::AllFields()) {
    switch (f.field->kind) {
      case settings::FieldKind::kName: {
        // A name of up to 15 bytes ending in a NUL, random bytes after it.
        EqCurve curve = image.Curve(f.index);
        const auto length = static_cast<std::size_t>(pick(0, EqCurve::kMaxNameLength));
        for (std::size_t i = 0; i < length; ++i)
          curve.bytes[EqCurve::kName + i] = static_cast<std::uint8_t>(pick(1, 255));
        curve.bytes[EqCurve::kName + length] = 0;
        image.SetCurve(f.index, curve);
        break;
      }
      case settings::FieldKind::kDate:
        f.Set(image, settings::PackDate(pick(0, 255), pick(1, 12), pick(1, 28)));
        break;
      default:
        if (!f.field->InRange(f.Get(image))) f.Set(image, pick(f.field->min, f.field->max));
        break;
    }
  }
  return image;
}

}  // namespace testsupport
