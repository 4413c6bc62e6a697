#include "firmware/update_steps.h"

namespace firmware::steps {

bool WaitForDevice(UpdateRun& run) {
  for (unsigned i = 0; i < kPresenceTries; ++i) {
    run.timing.SleepMs(kPresencePauseMs);
    if (run.link.IsPresent()) return true;
  }
  return false;
}

Erase PollErase(UpdateRun& run) {
  for (unsigned i = 0; i < kErasePolls; ++i) {
    run.timing.SleepMs(kErasePollPauseMs);
    bool done = false;
    if (!run.link.GetEraseStatus(done)) return Erase::kExchangeFailed;
    if (done) return Erase::kFinished;
  }
  return Erase::kNotFinished;
}

void Post(UpdateRun& run, unsigned percent, const char* text) {
  run.sink.PostStatus(percent, text);
}

}  // namespace firmware::steps
