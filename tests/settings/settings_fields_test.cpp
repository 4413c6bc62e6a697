// The field table: each row reads and writes its own bits only, and the range check finds the
// first field a device or a file got wrong.

#include "settings/settings_fields.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "tests/support/random_image.h"

namespace {

using settings::AllFields;
using settings::BoundField;
using settings::FieldKind;

// Another value the field can hold, within its range where it has one.
long long OtherValue(const BoundField& f, long long now) {
  if (f.field->kind == FieldKind::kDate)
    return now == settings::PackDate(6, 3, 7) ? settings::PackDate(7, 4, 8)
                                              : settings::PackDate(6, 3, 7);
  return now == f.field->max ? f.field->min : f.field->max;
}

TEST(SettingsFieldsTest, EachFieldChangesItselfAndNothingElse) {
  std::mt19937 random(2026);
  const SettingsImage before = testsupport::RandomValidImage(random);
  std::set<std::string> keys;
  for (const BoundField& f : AllFields()) {
    EXPECT_TRUE(keys.insert(f.key).second) << f.key << " twice";
    if (f.field->kind == FieldKind::kName) continue;
    SettingsImage image = before;
    const long long value = OtherValue(f, f.Get(before));
    f.Set(image, value);
    EXPECT_EQ(f.Get(image), value) << f.key;
    for (const BoundField& other : AllFields()) {
      if (&other == &f || other.field->kind == FieldKind::kName) continue;
      EXPECT_EQ(other.Get(image), other.Get(before))
          << "setting " << f.key << " moved " << other.key;
    }
    // Only the field's own bytes differ from the image before.
    int changed = 0;
    for (std::size_t i = 0; i < SettingsImage::kSize; ++i)
      changed += image.Bytes()[i] != before.Bytes()[i];
    EXPECT_LE(changed, 4) << f.key;
  }
}

TEST(SettingsFieldsTest, FirstFieldOutOfRangeNamesTheField) {
  SettingsImage image;
  image.SetPanelDefaults();
  EXPECT_FALSE(settings::FirstFieldOutOfRange(image)) << "the zero date is no fault";

  for (const BoundField& f : AllFields()) {
    if (f.field->kind == FieldKind::kName || f.field->kind == FieldKind::kDate) continue;
    for (const long long beyond : {f.field->min - 1, f.field->max + 1}) {
      if (beyond < f.field->lowest || beyond > f.field->highest) continue;  // cannot be stored
      SettingsImage bad = image;
      f.Set(bad, beyond);
      const auto fault = settings::FirstFieldOutOfRange(bad);
      ASSERT_TRUE(fault) << f.key << " = " << beyond;
      EXPECT_EQ(fault->field->key, f.key);
      EXPECT_EQ(fault->value, beyond);
    }
  }

  SettingsImage bad = image;
  bad.SetDeliveryYear(7);
  bad.SetDeliveryMonth(2);
  bad.SetDeliveryDay(29);
  ASSERT_TRUE(settings::FirstFieldOutOfRange(bad));
  EXPECT_EQ(settings::FirstFieldOutOfRange(bad)->text,
            "the stored date 2007-02-29 is not a date of the calendar");
  bad.SetDeliveryYear(8);
  EXPECT_FALSE(settings::FirstFieldOutOfRange(bad)) << "2008 is a leap year";

  bad = image;
  bad.SetPhonoGain(-121);
  bad.SetMotorVoltage(59);
  const auto first = settings::FirstFieldOutOfRange(bad);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->field->key, "gain_db") << "document order";
  EXPECT_EQ(first->text, "-12.1 is outside -12.0..12.0");
}

TEST(SettingsFieldsTest, ValueNamesOfCodedFields) {
  EXPECT_EQ(settings::kOutputRateField.ValueName(1), "48 kHz/24 bit");
  EXPECT_EQ(settings::kOutputRateField.ValueName(3), "192 kHz/24 bit");
  EXPECT_EQ(settings::kOutputRateField.ValueName(0), "unknown");
  EXPECT_EQ(settings::kRampSpeedField.ValueName(6), "No Ramping");
  EXPECT_EQ(settings::kRampSpeedField.ValueName(7), "unknown");
  EXPECT_EQ(settings::kMotorUnitField.ValueName(0), "not installed");
}

}  // namespace
