// The download of an S-record file: the whole file is read and checked first, then programmed
// record by record with progress by file position.

#include "firmware/srecord_file.h"
#include "firmware/update_run.h"
#include "firmware/update_steps.h"
#include "firmware/update_texts.h"

namespace firmware {

bool DownloadFile(UpdateRun& run) {
  SRecordFile file;
  switch (file.ReadFile(run.fileName)) {
    case SRecordFile::Load::kOk:
      break;
    case SRecordFile::Load::kCannotOpen:
      run.sink.SendStatus(0, CannotOpenText(run.fileName));
      return false;
    case SRecordFile::Load::kBad:
      // Nothing has reached the device: a bad file must not leave it half erased.
      run.sink.SendStatus(0, file.FaultText(run.fileName));
      return false;
  }

  run.link.BeginUpdate(run.boot ? 1 : 0);
  const char* notice = EraseNotice(run.boot);
  steps::Post(run, 0, notice);
  steps::WaitForDevice(run);
  if (!run.link.IsPresent()) return false;
  steps::Post(run, 0, notice);
  // Not tested: the poll decides.
  run.link.Erase();
  if (!steps::AwaitErase(run)) return false;

  const std::uint64_t length = file.Length();
  const std::uint32_t start = run.timing.TickMs();
  std::uint32_t sent = 0;
  bool error = false;
  std::uint32_t lastReport = 0;
  for (const SRecord& record : file.Records()) {
    if (record.IsData()) {
      steps::SendBytes(run, record.address, file.Data(record), error,
                       [&sent](std::size_t n, bool) { sent += static_cast<std::uint32_t>(n); });
    }
    if (run.Stopping()) return false;
    // A record that failed ends the reading.
    if (error) break;
    if (run.timing.TickMs() - lastReport > kProgressIntervalMs) {
      lastReport = run.timing.TickMs();
      const auto percent = static_cast<unsigned>(record.position * 100 / length);
      run.sink.PostStatus(percent, FileProgressText(percent, ByteRate(sent, lastReport - start)));
    }
  }

  run.link.EndDownload();
  if (!run.boot) run.link.StartApplication();
  if (!error) steps::Post(run, 100, kTextFinished);
  return !error;
}

}  // namespace firmware
