#include "firmware/update_steps.h"

namespace firmware::steps {

bool WaitForDevice(UpdateRun& run) {
  for (unsigned i = 0; i < kPresenceTries; ++i) {
    run.timing.SleepMs(kPresencePauseMs);
    if (run.link.IsPresent()) return true;
  }
  return false;
}

bool AwaitErase(UpdateRun& run) {
  for (unsigned i = 0; i < kErasePolls; ++i) {
    run.timing.SleepMs(kErasePollPauseMs);
    bool done = false;
    if (!run.link.GetEraseStatus(done)) return false;
    if (done) return true;
  }
  Post(run, 0, kTextRestartUnit);
  return false;
}

void Post(UpdateRun& run, unsigned percent, const char* text) {
  run.sink.PostStatus(percent, text);
}

}  // namespace firmware::steps
