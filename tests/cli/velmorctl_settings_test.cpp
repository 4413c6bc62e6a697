// velmorctl's settings document, single fields and read-only reads against the real velmor-sim,
// with the simulator's trace as the witness of what reached the device.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <sstream>

#include "settings/settings_document.h"
#include "settings/settings_image.h"
#include "tests/cli/sim_fixture.h"
#include "tests/support/random_image.h"

namespace {

using nlohmann::ordered_json;

class VelmorctlSettingsTest : public SimFixture<> {
 protected:
  // Command codes the device received since the last call.
  std::vector<unsigned> Received() {
    const std::string trace = ReadWholeFile(TraceFile());
    std::istringstream lines(trace.substr(m_traceSeen));
    m_traceSeen = trace.size();
    std::vector<unsigned> codes;
    for (std::string line; std::getline(lines, line);) {
      const std::size_t at = line.find("(0x");
      if (at != std::string::npos) codes.push_back(std::stoul(line.substr(at + 3, 2), nullptr, 16));
    }
    return codes;
  }

  // Nothing but identity, busy polls, settings reads and the speed status reached the device.
  void ExpectOnlyReads(const std::string& what) {
    const std::set<unsigned> reads = {0x01, 0x09, 0x0A, 0x13};
    for (unsigned code : Received())
      EXPECT_TRUE(reads.count(code)) << what << " sent command " << code;
  }

  std::string Image() {
    const std::string file = state / "image.bin";
    EXPECT_EQ(Run("settings save " + file).exitCode, 0);
    return ReadWholeFile(file);
  }

  void LoadImage(const std::string& bytes, const std::string& flags = "") {
    const std::string file = state / "load.bin";
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    const CommandOutcome r = Run("settings load " + flags + " " + file);
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }

  ordered_json Export() {
    const CommandOutcome r = Run("settings export -");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return ordered_json::parse(r.out);  // throws on invalid UTF-8 too
  }

  std::size_t m_traceSeen = 0;
};

TEST_F(VelmorctlSettingsTest, AnEditedDocumentChangesExactlyThatField) {
  const std::string file = state / "unit.json";
  ASSERT_EQ(Run("settings export " + file).exitCode, 0);
  std::string text = ReadWholeFile(file);
  const std::size_t at = text.find("\"gain_db\": 3.0,");
  ASSERT_NE(at, std::string::npos) << text;
  text.replace(at, 15, "\"gain_db\": -3.5,");  // by hand, as in an editor
  std::ofstream(file, std::ios::trunc) << text;
  const CommandOutcome r = Run("settings import " + file);
  ASSERT_EQ(r.exitCode, 0) << r.err;

  ordered_json before = ordered_json::parse(ReadWholeFile(file));
  ordered_json after = Export();
  EXPECT_EQ(after["gain_db"], -3.5);
  // Byte 25 of the raw bytes, on the second line, holds the gain: -35 steps.
  std::string line = before["raw"][1];
  line.replace(9 * 3, 2, "dd");
  before["raw"][1] = line;
  EXPECT_EQ(after, before);
}

TEST_F(VelmorctlSettingsTest, RandomImagesTravelByteForByte) {
  std::mt19937 random(7);
  for (int run = 0; run < 3; ++run) {
    const SettingsImage image = testsupport::RandomValidImage(random);
    const std::string bytes(image.Bytes().begin(), image.Bytes().begin() + 238);
    LoadImage(bytes);

    const std::string file = state / "unit.json";
    ASSERT_EQ(Run("settings export " + file).exitCode, 0);
    LoadImage(std::string(238, '\0'), "--force");  // something else in between
    const CommandOutcome r = Run("settings import - < " + file);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Image(), bytes) << "run " << run;
  }
}

TEST_F(VelmorctlSettingsTest, BadDocumentsAreRefusedWithNothingSent) {
  const ordered_json good = Export();
  struct Case {
    std::string pointer;
    ordered_json value;
    std::string named;  // the message names it
  };
  const std::vector<Case> cases = {
      {"/gain_db", 12.5, "gain_db: 12.5 is outside -12.0..12.0"},
      {"/motor_voltage_v", 24.05, "motor_voltage_v"},
      {"/volume", 11, "volume: is not a settings key"},
      {"/curves/2/name", "A name much too long", "curves.2.name"},
      {"/curves/2/name", "\xE2\x82\xAC", "curves.2.name"},
      {"/delivery_date", "2006-13-01", "delivery_date"},
      {"/raw", ordered_json::array({"00"}), "raw: holds 1 bytes"},
  };
  const std::string file = state / "bad.json";
  Received();
  for (const Case& c : cases) {
    ordered_json bad = good;
    bad[ordered_json::json_pointer(c.pointer)] = c.value;
    std::ofstream(file, std::ios::trunc) << bad.dump(2);
    const CommandOutcome r = Run("settings import " + file);
    EXPECT_EQ(r.exitCode, 2) << c.pointer;
    EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing sent"), std::string::npos) << r.err;
  }
  std::ofstream(file, std::ios::trunc) << "{\"format\": 1,";
  EXPECT_EQ(Run("settings import " + file).exitCode, 2);
  ExpectOnlyReads("a refused import");
  EXPECT_EQ(Export(), good);
}

TEST_F(VelmorctlSettingsTest, SetChangesNamedFieldsOnly) {
  const std::string before = Image();
  CommandOutcome r = Run("settings set gain_db=-3.5 'curves.2.name=My LP'");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "gain_db=-3.5\ncurves.2.name=My LP\n");
  r = Run("settings get curves.2.name gain_db motor_voltage_v");
  EXPECT_EQ(r.out, "curves.2.name=My LP\ngain_db=-3.5\nmotor_voltage_v=15.5\n");

  std::string expected = before;
  expected[25] = static_cast<char>(-35);
  const std::size_t name = SettingsImage::kCurves + 2 * EqCurve::kSize + EqCurve::kName;
  expected.replace(name, 15, std::string("My LP") + std::string(10, '\0'));
  EXPECT_EQ(Image(), expected);

  Received();
  r = Run("settings set gain_db=1.0 ramp_speed=7");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("ramp_speed: 7 is outside 0..6"), std::string::npos) << r.err;
  EXPECT_EQ(Run("settings set gain_db").exitCode, 2);
  EXPECT_EQ(Run("settings get loudness").exitCode, 2);
  ExpectOnlyReads("a refused set");
  EXPECT_EQ(Image(), expected);
}

// The commit went through, so the user must not be told the write failed and try again.
TEST_F(VelmorctlSettingsTest, AFailedReadBackAfterTheCommitSaysTheDeviceMayHoldTheChange) {
  std::string image = Image();
  image[SettingsImage::kPhonoGain] = 50;
  const std::string file = state / "changed.bin";
  std::ofstream(file, std::ios::binary | std::ios::trunc) << image;
  std::string output;
  ASSERT_EQ(simtest::RunSim(deviceFolder.Path(), {"--control", "fail", "command", "READ_SETTINGS"},
                            output),
            0)
      << output;

  const CommandOutcome r = Run("settings load " + file);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err,
            "velmorctl: the settings were written and committed, but reading the settings failed "
            "afterwards; the device may hold the change: see it with `velmorctl settings get "
            "KEY...` or `velmorctl settings show`\n");

  ASSERT_EQ(simtest::RunSim(deviceFolder.Path(), {"--control", "reset"}, output), 0) << output;
  EXPECT_EQ(Run("settings get gain_db").out, "gain_db=5.0\n");
}

TEST_F(VelmorctlSettingsTest, LoadRefusesFieldsOutOfRangeUnlessForced) {
  std::mt19937 random(11);
  std::string bytes(238, '\0');
  for (char& b : bytes) b = static_cast<char>(random());
  bytes[27] = static_cast<char>(0x73);  // motor voltage 0x73xx: far beyond 24.0 V
  const std::string file = state / "random.bin";
  std::ofstream(file, std::ios::binary) << bytes;
  const std::string before = Image();
  Received();
  CommandOutcome r = Run("settings load " + file);
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("motor_voltage_v"), std::string::npos) << r.err;
  ExpectOnlyReads("a refused load");
  EXPECT_EQ(Image(), before);

  r = Run("settings load --force " + file);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(Image(), bytes);
  // Read back as the device holds it, the document still parses and keeps every byte.
  const ordered_json document = Export();
  EXPECT_EQ(document["raw"].size(), 15u);
}

TEST_F(VelmorctlSettingsTest, Latin1NamesReadAsUtf8) {
  ASSERT_EQ(Run("settings set curves.3.name=H\xC3\xB6he").exitCode, 0);
  const std::string bytes = Image();
  const std::size_t name = SettingsImage::kCurves + 3 * EqCurve::kSize + EqCurve::kName;
  EXPECT_EQ(bytes.substr(name, 5), std::string("H\xF6he\0", 5)) << "Latin-1 on the device";
  const CommandOutcome r = Run("settings show --json");
  ASSERT_EQ(r.exitCode, 0);
  const ordered_json shown = ordered_json::parse(r.out);  // throws on invalid UTF-8
  EXPECT_EQ(shown["curves"][3]["name"], "H\xC3\xB6he");
  EXPECT_EQ(shown["format"], 1);
  EXPECT_NE(Run("settings show").out.find("H\xC3\xB6he"), std::string::npos);
}

TEST_F(VelmorctlSettingsTest, ReadingCommandsChangeNothing) {
  Received();
  for (const char* command :
       {"identity", "identity --json", "settings show", "settings show --json", "settings export -",
        "settings get gain_db curves.0.name"}) {
    ASSERT_EQ(Run(command).exitCode, 0) << command;
    ExpectOnlyReads(command);
  }
  ASSERT_EQ(Run("settings save " + (state / "x.bin")).exitCode, 0);
  ExpectOnlyReads("settings save");
  EXPECT_EQ(Run("settings save -").out, ReadWholeFile(state / "x.bin")) << "'-' is stdout";
  // A file name that is not UTF-8 still gives valid JSON.
  const CommandOutcome r = Run("settings save '" + (state / "unit\xFF.bin") + "' --json");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ordered_json::parse(r.out)["bytes"], 238);
}

TEST_F(CommandTest, CommandLineConventions) {
  CommandOutcome r = Run("--version");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.out.starts_with("velmorctl ")) << r.out;
  EXPECT_GT(r.out.size(), std::string("velmorctl \n").size());

  r = Run("setings show");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "velmorctl: unknown command 'setings'; see 'velmorctl --help'\n");
  r = Run("settings shw");
  EXPECT_EQ(r.err, "velmorctl: unknown command 'shw'; see 'velmorctl settings --help'\n");

  r = Run("settings load --help");
  EXPECT_NE(r.out.find("Usage: velmorctl settings load"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("FILE"), std::string::npos);
  EXPECT_EQ(r.out.find("TEXT"), std::string::npos) << "every value says what it takes";
  r = Run("response --help");
  EXPECT_NE(r.out.find("MICROSECONDS"), std::string::npos) << r.out;
  EXPECT_EQ(Run("response 3180 318 75 0 --png - --cursor 1024").exitCode, 2);

  r = Run("response 3180 318 75 0 --png - --size 40x30");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(PngSize(r.out), (std::pair{40, 30})) << "'-' is standard output";
}

TEST_F(CommandTest, CompletionOffersEveryDocumentKey) {
  const std::string command = "bash -c 'source " VELMOR_COMPLETION " && _velmorctl_settings_keys'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string text;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  ASSERT_EQ(pclose(pipe), 0);
  std::istringstream words(text);
  std::vector<std::string> offered;
  for (std::string word; words >> word;) offered.push_back(word);
  EXPECT_EQ(offered, settings::DocumentKeys());
}

TEST(SimConventionsTest, VersionFromTheBuild) {
  std::string output;
  simtest::TempFolder folder;
  EXPECT_EQ(simtest::RunSim(folder.Path(), {"--version"}, output), 0);
  EXPECT_TRUE(output.starts_with("velmor-sim ")) << output;
}

// One documented command of docs/json.md: its command line and its keys with their types.
struct DocumentedCommand {
  std::string line;
  std::map<std::string, std::set<std::string>> keys;  // dotted path, [] for array elements
};

std::vector<DocumentedCommand> ReadJsonDescription() {
  std::ifstream in(VELMOR_JSON_DOC);
  std::vector<DocumentedCommand> commands;
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("## `velmorctl ")) {
      commands.push_back({line.substr(4, line.size() - 5), {}});
    } else if (!commands.empty() && line.starts_with("| `")) {
      const std::size_t end = line.find('`', 3);
      const std::string key = line.substr(3, end - 3);
      const std::size_t typeStart = line.find('|', end) + 1;
      std::istringstream types(line.substr(typeStart, line.find('|', typeStart) - typeStart));
      for (std::string word; types >> word;) {
        if (word != "or") commands.back().keys[key].insert(word);
      }
    }
  }
  return commands;
}

std::string TypeName(const ordered_json& value) {
  if (value.is_boolean()) return "boolean";
  if (value.is_number_integer()) return "integer";
  if (value.is_number()) return "number";
  if (value.is_string()) return "string";
  if (value.is_null()) return "null";
  return value.is_array() ? "array" : "object";
}

// Every key of `value` with its type; containers too, so an empty one is seen.
void Flatten(const ordered_json& value, const std::string& path,
             std::vector<std::pair<std::string, std::string>>& out) {
  if (!path.empty()) out.emplace_back(path, TypeName(value));
  if (value.is_object()) {
    for (auto it = value.begin(); it != value.end(); ++it)
      Flatten(*it, path.empty() ? it.key() : path + "." + it.key(), out);
  } else if (value.is_array()) {
    for (const auto& element : value) Flatten(element, path + "[]", out);
  }
}

TEST_F(VelmorctlSettingsTest, JsonOutputIsAsDocumented) {
  const auto commands = ReadJsonDescription();
  ASSERT_GE(commands.size(), 10u);
  for (const DocumentedCommand& command : commands) {
    std::string arguments = command.line.substr(std::string("velmorctl ").size());
    const std::size_t file = arguments.find("FILE");
    if (file != std::string::npos && arguments.starts_with("firmware")) {
      std::ofstream(state / "app.s3") << S3File(0x40010000, std::vector<std::uint8_t>(64, 0x5A));
      arguments.replace(file, 4, state / "app.s3");
    } else if (file != std::string::npos) {
      const bool document = arguments.find("port") != std::string::npos;  // export, import
      arguments.replace(file, 4, state / (document ? "unit.json" : "unit.bin"));
    }
    const CommandOutcome r = Run(arguments);
    ASSERT_EQ(r.exitCode, 0) << arguments << "\n" << r.err;
    // An object per line for streams, else one object.
    std::vector<ordered_json> objects;
    const std::string text =
        file != std::string::npos && arguments.find("export") != std::string::npos
            ? ReadWholeFile(state / "unit.json")
            : r.out;
    if (ordered_json::accept(text)) {
      objects.push_back(ordered_json::parse(text));
    } else {
      std::istringstream lines(text);
      for (std::string line; std::getline(lines, line);)
        objects.push_back(ordered_json::parse(line));
    }
    ASSERT_FALSE(objects.empty()) << arguments;
    for (const ordered_json& object : objects) {
      EXPECT_EQ(object["format"], 1) << arguments;
      std::vector<std::pair<std::string, std::string>> keys;
      Flatten(object, "", keys);
      for (const auto& [key, type] : keys) {
        const auto documented = command.keys.find(key);
        if (documented == command.keys.end()) {
          // An object is described by its keys.
          if (type != "object")
            ADD_FAILURE() << arguments << ": key " << key << " is not documented";
        } else {
          EXPECT_TRUE(documented->second.count(type))
              << arguments << ": " << key << " is " << type << " against the description";
        }
      }
      for (const auto& [key, types] : command.keys) {
        if (objects.size() == 1 && key.find('.') == std::string::npos &&
            key.find('[') == std::string::npos) {
          EXPECT_TRUE(object.contains(key)) << arguments << ": documented " << key << " missing";
        }
      }
    }
  }
}

}  // namespace
