// velmorctl firmware: the carried image list, and the check of an S-record file.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/json_output.h"
#include "cli/update_checks.h"
#include "device/version_text.h"
#include "firmware/srecord_file.h"
#include "firmware/tarn_list.h"

namespace cli {

namespace {

const char* RegionName(std::int16_t region) {
  if (region == TARN_REGION_APPLICATION) return "application";
  if (region == TARN_REGION_BOOT) return "boot";
  return "?";
}

std::string IsoDate(unsigned day, unsigned month, unsigned year) {
  char date[32];
  std::snprintf(date, sizeof date, "%04u-%02u-%02u", year, month, day);
  return date;
}

std::string Hex(std::uint64_t address) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(address));
  return text;
}

void PrintListJson() {
  Json packets = Json::array();
  for (const TarnPacket* p = GetTarnBase(); p != nullptr; p = p->next) {
    char time[16];
    std::snprintf(time, sizeof time, "%02u:%02u:%02u", p->hour, p->minute, p->second);
    Json segments = Json::array();
    for (const TarnSegment* s = p->segments; s != nullptr; s = s->next) {
      segments.push_back({{"first", Hex(s->address)},
                          {"last", Hex(s->address + s->length - 1)},
                          {"bytes", s->length}});
    }
    packets.push_back({{"kind", p->kind == TARN_KIND_HEAD    ? "head"
                                : p->kind == TARN_KIND_IMAGE ? "image"
                                                             : "?"},
                       {"target", p->target},
                       {"region", RegionName(p->region)},
                       {"version", device::FormatVersion(p->Major(), p->Minor())},
                       {"date", IsoDate(p->day, p->month, p->year)},
                       {"time", time},
                       {"segments", segments},
                       {"bytes", p->segments ? TarnImageBytes(*p) : 0}});
  }
  PrintJson({{"packets", packets}});
}

void PrintList() {
  for (const TarnPacket* p = GetTarnBase(); p != nullptr; p = p->next) {
    const char* kind = p->kind == TARN_KIND_HEAD    ? "head"
                       : p->kind == TARN_KIND_IMAGE ? "image"
                                                    : "?";
    std::printf("%-5s kind %u  target %d  region 0x%02X (%s)  %s  %s %02u:%02u:%02u\n", kind,
                static_cast<unsigned>(p->kind), p->target, static_cast<unsigned>(p->region),
                RegionName(p->region), device::FormatVersion(p->Major(), p->Minor()).c_str(),
                device::FormatDate(p->day, p->month, p->year).c_str(), p->hour, p->minute,
                p->second);
    unsigned count = 0;
    for (const TarnSegment* s = p->segments; s != nullptr; s = s->next, ++count) {
      std::printf("      segment 0x%08X-0x%08X  %u bytes\n", static_cast<unsigned>(s->address),
                  static_cast<unsigned>(s->address + s->length - 1),
                  static_cast<unsigned>(s->length));
    }
    if (count > 0) {
      std::printf("      %u segments, %u bytes\n", count,
                  static_cast<unsigned>(TarnImageBytes(*p)));
    }
  }
}

// Address ranges the file's data covers, in address order, neighbours and overlaps merged.
struct Range {
  std::uint64_t first = 0;
  std::uint64_t end = 0;  // one past
};

void CheckFile(const std::string& path, bool boot, bool json) {
  firmware::SRecordFile file;
  LoadFirmwareFile(file, path, boot);
  std::vector<Range> ranges;
  for (const firmware::SRecord& r : file.Records()) {
    if (r.IsData() && r.length > 0)
      ranges.push_back({r.address, std::uint64_t{r.address} + r.length});
  }
  std::sort(ranges.begin(), ranges.end(),
            [](const Range& a, const Range& b) { return a.first < b.first; });
  std::vector<Range> merged;
  for (const Range& range : ranges) {
    if (!merged.empty() && range.first <= merged.back().end) {
      merged.back().end = std::max(merged.back().end, range.end);
    } else {
      merged.push_back(range);
    }
  }
  if (json) {
    Json covered = Json::array();
    for (const Range& range : merged) {
      covered.push_back({{"first", Hex(range.first)},
                         {"last", Hex(range.end - 1)},
                         {"bytes", range.end - range.first}});
    }
    PrintJson({{"file", path},
               {"valid", true},
               {"records", file.Records().size()},
               {"data_records", file.DataRecords()},
               {"data_bytes", file.DataBytes()},
               {"ranges", covered}});
    return;
  }
  std::printf("%s: %zu records, %zu data records, %llu data bytes\n", path.c_str(),
              file.Records().size(), file.DataRecords(),
              static_cast<unsigned long long>(file.DataBytes()));
  for (const Range& range : merged) {
    std::printf("  0x%08llX-0x%08llX  %llu bytes\n", static_cast<unsigned long long>(range.first),
                static_cast<unsigned long long>(range.end - 1),
                static_cast<unsigned long long>(range.end - range.first));
  }
}

}  // namespace

void AddFirmwareCommands(CLI::App& app, CliContext& context) {
  auto* firmwareCommand =
      app.add_subcommand("firmware", "List the firmware image carried, or check an S-record file");
  auto checkPath = std::make_shared<std::string>();
  auto checkBoot = std::make_shared<bool>(false);
  auto json = std::make_shared<bool>(false);
  firmwareCommand
      ->add_option(
          "--check", *checkPath,
          "Check an S-record file (- for standard input) as an update would, without the device")
      ->type_name("FILE");
  firmwareCommand->add_flag("--boot", *checkBoot,
                            "Check the file as one for the boot region (any addresses)");
  firmwareCommand->add_flag("--json", *json, "Print JSON");
  firmwareCommand->callback([checkPath, checkBoot, json] {
    if (checkPath->empty()) {
      *json ? PrintListJson() : PrintList();
    } else {
      CheckFile(*checkPath, *checkBoot, *json);
    }
  });

  AddUpdateCommand(app, context);
}

}  // namespace cli
