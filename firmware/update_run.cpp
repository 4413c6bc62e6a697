#include "firmware/update_run.h"

namespace firmware {

bool RunUpdate(UpdateRun& run) {
  run.sink.Start();
  const bool success = run.fileName.empty() ? DownloadImage(run) : DownloadFile(run);
  run.sink.End(success);
  return success;
}

}  // namespace firmware
