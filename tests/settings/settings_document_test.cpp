// The settings document: byte-exact round trips, exact decimals, Latin-1 names, refusals.

#include "settings/settings_document.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <random>

#include "settings/latin1_text.h"
#include "settings/settings_fields.h"
#include "tests/support/random_image.h"

namespace {

using settings::Document;

using testsupport::RandomValidImage;

TEST(SettingsDocumentTest, RoundTripIsByteExactForRandomImages) {
  std::mt19937 random(20261207);
  for (int run = 0; run < 300; ++run) {
    const SettingsImage image = RandomValidImage(random);
    // Through text, as a file would carry it.
    const std::string text = settings::ExportDocument(image, 238).dump(2);
    const Document document = Document::parse(text);
    SettingsImage back;
    const auto problems = settings::ImportDocument(document, 238, back);
    ASSERT_TRUE(problems.empty()) << settings::ProblemText(problems.front()) << "\n" << text;
    ASSERT_TRUE(
        std::equal(image.Bytes().begin(), image.Bytes().begin() + 238, back.Bytes().begin()))
        << text;
  }
}

TEST(SettingsDocumentTest, FieldsComeOutInTheirUnitsAndExactly) {
  SettingsImage image;
  image.SetPanelDefaults();
  image.SetPhonoGain(7);
  image.SetMotorVoltage(155);
  image.SetAbsoluteCorrection(SettingsImage::Speed::k45, -3);
  image.SetDeliveryYear(6);
  image.SetDeliveryMonth(3);
  image.SetDeliveryDay(7);
  image.SetSystemFlags(0xFFFD);
  EqCurve curve = image.Curve(2);
  curve.SetName("H\xF6he");
  image.SetCurve(2, curve);
  const std::string text = settings::ExportDocument(image, 238).dump();
  EXPECT_NE(text.find("\"gain_db\":0.7,"), std::string::npos) << text;
  EXPECT_NE(text.find("\"motor_voltage_v\":15.5,"), std::string::npos);
  EXPECT_NE(text.find("\"45\":{\"absolute_percent\":-0.3,"), std::string::npos);
  EXPECT_NE(text.find("\"delivery_date\":\"2006-03-07\""), std::string::npos);
  EXPECT_NE(text.find("\"motor_control_unit\":true,\"auto_mute\":false"), std::string::npos);
  EXPECT_NE(text.find("\"name\":\"H\xC3\xB6he\""), std::string::npos);
  EXPECT_NE(text.find("\"output_rate_khz\":96"), std::string::npos);
}

TEST(SettingsDocumentTest, AnEditedFieldChangesOnlyItsOwnBits) {
  SettingsImage image;
  image.SetPanelDefaults();
  image.SetModeFlags(0xFF81);  // carried bits 7..15
  Document document = settings::ExportDocument(image, 238);
  document["polarity_inverted"] = false;
  document["ramp_speed"] = 6;
  document["curves"][0]["name"] = "Mein Entzerrer";
  SettingsImage back;
  ASSERT_TRUE(settings::ImportDocument(document, 238, back).empty());
  EXPECT_EQ(back.ModeFlags(), 0xFFE0);
  EXPECT_EQ(back.Curve(0).Name(), "Mein Entzerrer");
  SettingsImage expected = image;
  expected.SetModeFlags(0xFFE0);
  EqCurve curve = expected.Curve(0);
  curve.SetName("Mein Entzerrer");
  expected.SetCurve(0, curve);
  EXPECT_EQ(back, expected);
}

TEST(SettingsDocumentTest, BadDocumentsNameTheirField) {
  SettingsImage image;
  image.SetPanelDefaults();
  const Document good = settings::ExportDocument(image, 238);
  struct Case {
    const char* pointer;
    Document value;
    const char* key;
    bool outOfRange;
  };
  const std::vector<Case> cases = {
      {"/gain_db", 12.1, "gain_db", true},
      {"/gain_db", 0.25, "gain_db", false},
      {"/gain_db", "3", "gain_db", false},
      {"/gain_db", 300.0, "gain_db", false},  // no byte holds it, so no force either
      {"/motor_voltage_v", 5.9, "motor_voltage_v", true},
      {"/ramp_speed", 7, "ramp_speed", true},
      {"/preset_index", 8, "preset_index", false},
      {"/serial_number", -1, "serial_number", false},
      {"/output_rate_khz", 44, "output_rate_khz", false},
      {"/delivery_date", "2006-02-30", "delivery_date", false},
      {"/delivery_date", "7.3.2006", "delivery_date", false},
      {"/auto_mute", "on", "auto_mute", false},
      {"/speed_corrections/78/relative_percent", -50.1, "speed_corrections.78.relative_percent",
       true},
      {"/curves/3/t2_us", 65536, "curves.3.t2_us", false},
      {"/curves/3/name", "Sixteen letters!", "curves.3.name", false},
      {"/curves/3/name", "\xE2\x82\xAC curve", "curves.3.name", false},  // the euro sign
      {"/gain", 1, "gain", false},
      {"/curves/8", Document{{"name", "ninth"}}, "curves.8.name", false},
      {"/format", 2, "format", false},
      {"/raw/0", "01 02", "raw", false},
      {"/raw/1", "zz", "raw", false},
  };
  for (const Case& c : cases) {
    Document bad = good;
    bad[Document::json_pointer(c.pointer)] = c.value;
    SettingsImage out;
    const auto problems = settings::ImportDocument(bad, 238, out);
    ASSERT_EQ(problems.size(), 1u) << c.pointer << " " << c.value.dump();
    EXPECT_EQ(problems[0].key, c.key) << settings::ProblemText(problems[0]);
    EXPECT_EQ(problems[0].outOfRange, c.outOfRange) << settings::ProblemText(problems[0]);
  }
  SettingsImage out;
  EXPECT_FALSE(settings::ImportDocument(good, 200, out).empty()) << "raw size must fit the device";
  EXPECT_FALSE(settings::ImportDocument(Document::array(), 238, out).empty());
}

TEST(SettingsDocumentTest, RangesOfARawImage) {
  SettingsImage image;
  image.SetPanelDefaults();
  EXPECT_TRUE(settings::RangeProblems(image).empty()) << "a zero date means no date";
  image.SetMotorVoltage(29464);
  image.SetDeliveryMonth(113);
  image.SetDeliveryDay(119);
  image.SetOutputRate(0);
  std::vector<std::string> keys;
  for (const auto& p : settings::RangeProblems(image)) keys.push_back(p.key);
  EXPECT_EQ(keys,
            (std::vector<std::string>{"delivery_date", "output_rate_khz", "motor_voltage_v"}));
}

TEST(SettingsDocumentTest, Latin1AndUtf8) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(settings::Utf8ToLatin1(settings::Latin1ToUtf8(all)), all);
  EXPECT_EQ(settings::Latin1ToUtf8("H\xF6he"), "H\xC3\xB6he");
  EXPECT_FALSE(settings::Utf8ToLatin1("\xC3"));         // cut short
  EXPECT_FALSE(settings::Utf8ToLatin1("\xF6"));         // Latin-1, not UTF-8
  EXPECT_FALSE(settings::Utf8ToLatin1("\xC5\x81odz"));  // U+0141 does not fit
}

TEST(SettingsDocumentTest, CommandLineValues) {
  std::string error;
  EXPECT_EQ(*settings::ParseValue("gain_db", "-3.5", error), Document(-3.5));
  EXPECT_EQ(*settings::ParseValue("curves.2.name", "My LP", error), Document("My LP"));
  EXPECT_EQ(*settings::ParseValue("auto_mute", "true", error), Document(true));
  EXPECT_FALSE(settings::ParseValue("auto_mute", "yes please", error));
  EXPECT_FALSE(settings::ParseValue("gain_db", "loud", error));
  EXPECT_FALSE(settings::ParseValue("volume", "1", error));
  EXPECT_NE(error.find("volume"), std::string::npos);
}

// docs/json.md tells people the ranges; it must tell them the table's.
TEST(SettingsDocumentTest, DescriptionStatesTheRangesOfTheTable) {
  std::ifstream in(VELMOR_JSON_DOC);
  ASSERT_TRUE(in) << VELMOR_JSON_DOC;
  std::map<std::string, std::string> meanings;  // by key, of the settings export's table
  for (std::string line; std::getline(in, line);) {
    if (!line.starts_with("| `")) continue;
    const std::size_t end = line.find('`', 3);
    meanings.emplace(line.substr(3, end - 3), line.substr(end));
  }
  for (const settings::BoundField& f : settings::AllFields()) {
    const settings::Field& field = *f.field;
    const bool limited = field.min > field.lowest || field.max < field.highest;
    if (field.kind != settings::FieldKind::kNumber || !limited) continue;
    const auto meaning = meanings.find(f.key);
    ASSERT_NE(meaning, meanings.end()) << f.key;
    if (meaning->second.find("as for ") != std::string::npos) continue;
    if (field.names.empty()) {
      EXPECT_NE(meaning->second.find(settings::RangeText(field)), std::string::npos)
          << f.key << " wants " << settings::RangeText(field);
    }
    for (std::size_t i = 0; i < field.names.size(); ++i) {
      const std::string named = std::to_string(field.min + static_cast<long long>(i)) + " \"" +
                                std::string(field.names[i]) + "\"";
      EXPECT_NE(meaning->second.find(named), std::string::npos) << f.key << " wants " << named;
    }
  }
}

}  // namespace
