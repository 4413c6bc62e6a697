// The download of the image carried in the tool.

#include "firmware/tarn_list.h"
#include "firmware/update_run.h"
#include "firmware/update_steps.h"
#include "firmware/update_texts.h"

namespace firmware {

bool DownloadImage(UpdateRun& run) {
  CTarnList list;
  list.Attach(run.base);
  const TarnPacket* packet =
      list.Find(TARN_KIND_IMAGE, TARN_TARGET_VELMOR,
                static_cast<std::uint16_t>(run.boot ? TARN_REGION_BOOT : TARN_REGION_APPLICATION));

  // The device is told first, whatever the lookup gave.
  run.link.BeginUpdate(run.boot ? 1 : 0);
  if (packet == nullptr) {
    run.sink.SendStatus(0, kTextSoftwareNotFound);
    return false;
  }
  const char* notice = EraseNotice(run.boot);
  steps::Post(run, 0, notice);
  // A device still away makes the erase fail below.
  steps::WaitForDevice(run);
  steps::Post(run, 0, notice);
  if (!run.link.Erase()) return false;
  if (!steps::AwaitErase(run)) return false;

  const std::uint32_t total = TarnImageBytes(*packet);
  std::uint32_t sent = 0;
  bool error = false;
  std::uint32_t lastReport = 0;
  const std::uint32_t start = run.timing.TickMs();
  for (const TarnSegment* segment = packet->segments; segment != nullptr; segment = segment->next) {
    steps::SendBytes(
        run, segment->address, {segment->data, segment->length}, error,
        [&](std::size_t n, bool accepted) {
          sent += static_cast<std::uint32_t>(n);
          if (!accepted || error) return;
          if (run.timing.TickMs() - lastReport <= kProgressIntervalMs) return;
          lastReport = run.timing.TickMs();
          const auto percent = static_cast<unsigned>(std::uint64_t{sent} * 100 / total);
          run.sink.PostStatus(percent, ImageProgressText(percent, packet->Major(), packet->Minor(),
                                                         ByteRate(sent, lastReport - start)));
        });
    if (run.Stopping()) return false;
  }

  run.link.EndDownload();
  if (!run.boot) run.link.StartApplication();
  if (!error) steps::Post(run, 100, kTextFinished);
  run.timing.SleepMs(kImageEndPauseMs);
  return !error;
}

}  // namespace firmware
