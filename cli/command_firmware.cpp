// velmorctl firmware: the carried image list, and the check of an S-record file.
// velmorctl update: a firmware update driven from the terminal.

#if defined(_WIN32)
#include <io.h>
#define isatty _isatty
#define STDOUT_FILENO 1
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "device/device_operations.h"
#include "device/version_text.h"
#include "firmware/srecord_file.h"
#include "firmware/tarn_list.h"
#include "firmware/update_run.h"
#include "firmware/update_texts.h"

namespace cli {

namespace {

const char* RegionName(std::int16_t region) {
  if (region == TARN_REGION_APPLICATION) return "application";
  if (region == TARN_REGION_BOOT) return "boot";
  return "?";
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

void CheckFile(const std::string& path) {
  firmware::SRecordFile file;
  switch (file.ReadFile(path)) {
    case firmware::SRecordFile::Load::kOk:
      break;
    case firmware::SRecordFile::Load::kCannotOpen:
      throw Failure(kExitUsage, firmware::CannotOpenText(path));
    case firmware::SRecordFile::Load::kBad:
      throw Failure(kExitUsage, file.FaultText(path));
  }
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
  std::printf("%s: %zu records, %zu data records, %llu data bytes\n", path.c_str(),
              file.Records().size(), file.DataRecords(),
              static_cast<unsigned long long>(file.DataBytes()));
  for (const Range& range : merged) {
    std::printf("  0x%08llX-0x%08llX  %llu bytes\n", static_cast<unsigned long long>(range.first),
                static_cast<unsigned long long>(range.end - 1),
                static_cast<unsigned long long>(range.end - range.first));
  }
}

// Each status on a line of its own on stdout; a progress bar on stderr below them while stdout
// is a terminal.
class ConsoleSink final : public firmware::UpdateSink {
 public:
  ConsoleSink() : m_bar(isatty(STDOUT_FILENO) != 0) {}

  void Start() override {}
  void PostStatus(unsigned percent, std::string text) override { Show(percent, text); }
  void SendStatus(unsigned percent, std::string text) override { Show(percent, text); }
  void End(bool /*success*/) override {
    if (m_bar) std::fputs("\r\033[K", stderr);
  }

 private:
  void Show(unsigned percent, const std::string& text) {
    if (m_bar) std::fputs("\r\033[K", stderr);
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
    if (!m_bar) return;
    constexpr unsigned kWidth = 40;
    const unsigned filled = (percent > 100 ? 100 : percent) * kWidth / 100;
    std::fprintf(stderr, "[%s%s] %3u%%", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, ' ').c_str(), percent);
    std::fflush(stderr);
  }

  bool m_bar;
};

struct UpdateOptions {
  std::string file;
  bool boot = false;
};

void RunUpdate(CliContext& context, const UpdateOptions& options) {
  // A bad file is refused before the device is looked at.
  if (!options.file.empty()) CheckFile(options.file);
  context.RequirePresent();
  SystemTiming timing;
  ConsoleSink sink;
  firmware::UpdateRun run{context.Link(), timing, sink};
  run.boot = options.boot;
  run.fileName = options.file;
  if (!firmware::RunUpdate(run)) throw Failure(kExitDevice, "update failed");

  // The device restarts into what was just programmed; the update has worked only once it runs.
  const device::RestartOutcome seen =
      device::WaitForApplication(context.Link(), timing, device::RestartLimits{});
  if (seen.answered && seen.identity.ApplicationRunning()) {
    const DeviceIdentity::Firmware app = seen.identity.Application();
    std::printf("The device runs application %s (%s).\n",
                device::FormatVersion(app.major, app.minor).c_str(),
                device::FormatDate(app.day, app.month, 2000u + app.year).c_str());
    return;
  }
  if (seen.answered && seen.identity.BootLoaderOnly()) {
    throw Failure(
        kExitDevice,
        "the device stays in its boot loader: the programmed application failed its check");
  }
  throw Failure(kExitDevice, seen.present
                                 ? "the device does not run its application after the update"
                                 : "the device did not come back after the update");
}

}  // namespace

void AddFirmwareCommands(CLI::App& app, CliContext& context) {
  auto* firmwareCommand =
      app.add_subcommand("firmware", "List the firmware image carried, or check an S-record file");
  auto checkPath = std::make_shared<std::string>();
  firmwareCommand->add_option("--check", *checkPath,
                              "Check an S-record file as an update would, without the device");
  firmwareCommand->callback([checkPath] {
    if (checkPath->empty()) {
      PrintList();
    } else {
      CheckFile(*checkPath);
    }
  });

  auto* updateCommand = app.add_subcommand(
      "update", "Update the device's firmware from the carried image or an S-record file");
  auto options = std::make_shared<UpdateOptions>();
  updateCommand->add_option("--file", options->file, "S-record file instead of the carried image");
  updateCommand->add_flag("--boot", options->boot, "Update the boot region");
  updateCommand->callback([&context, options] { RunUpdate(context, *options); });
}

}  // namespace cli
