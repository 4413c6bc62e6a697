#pragma once
// velmorctl scenarios that must send the same requests, frame by frame, and show the same
// texts on every system: against velmor-sim over the local socket, and under Wine through the
// Win32 driver channel against the stand-in driver. Both compare with the same recorded files.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/command_runner.h"
#include "tests/support/frame_summary.h"

// A device both systems can drive: the control words of velmor-sim, and its request trace.
class FrameRig : public CommandTest {
 protected:
  virtual void ControlDevice(const std::vector<std::string>& words) = 0;
  // The trace file the device writes, one line per request.
  virtual std::string TracePath() = 0;

  // Forgets the trace so far.
  void MarkTrace() { m_traceMark = ReadWholeFile(TracePath()).size(); }
  std::vector<std::string> TraceSinceMark() {
    return SummariseTrace(ReadWholeFile(TracePath()).substr(m_traceMark));
  }

  // The summary of what went to the device since the mark equals the recorded `name`.
  // VELMOR_RECORD_FRAMES=1 records it instead, after a deliberate change of the requests.
  void ExpectFrames(const std::string& name) {
    const auto got = TraceSinceMark();
    const std::string path = std::string(VELMOR_FRAMES_DATA) + "/" + name;
    if (const char* record = std::getenv("VELMOR_RECORD_FRAMES"); record && *record == '1') {
      std::ofstream out(path, std::ios::binary);
      for (const auto& line : got) out << line << "\n";
    }
    const auto want = ReadLines(path);
    const std::size_t n = std::max(got.size(), want.size());
    for (std::size_t i = 0; i < n; ++i) {
      ASSERT_EQ(i < got.size() ? got[i] : "(none)", i < want.size() ? want[i] : "(none)")
          << name << ", request " << i + 1;
    }
  }

  // Waits until the device has seen `count` program packets since the mark.
  bool WaitForPrograms(unsigned count) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < end) {
      const std::string trace = ReadWholeFile(TracePath()).substr(m_traceMark);
      unsigned seen = 0;
      for (std::size_t at = trace.find("\nPROGRAM "); at != std::string::npos;
           at = trace.find("\nPROGRAM ", at + 1)) {
        ++seen;
      }
      if (seen >= count) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

  void IdentityFrames() {
    MarkTrace();
    const CommandOutcome r = Run("identity");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("V1.012"), std::string::npos) << r.out;
    ExpectFrames("identity.frames");
  }

  void SettingsFrames() {
    const std::string file = (m_dir / "settings.bin").string();
    MarkTrace();
    CommandOutcome r = Run("settings save " + file);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(ReadWholeFile(file).size(), 238u);  // the image length
    r = Run("settings load " + file);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Run("defaults");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ExpectFrames("settings.frames");
  }

  void UpdateFrames() {
    MarkTrace();
    const CommandOutcome r = Run("update");
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("The device runs application V1.013 (05.03.2006).\n"), std::string::npos)
        << r.out;
    ExpectFrames("update.frames");
  }

  // Unplugged in the middle of programming: the texts the user reads. Progress lines carry
  // the transfer rate and repeats depend on the moment, so each other text counts once.
  // The device stays away past the update's wait for it, which the variable shortens.
  void UnplugDuringUpdate() {
    SetVariable("VELMORCTL_REPLUG_WAIT_MS", "500");
    MarkTrace();
    Start("update");
    ASSERT_TRUE(WaitForPrograms(200));
    ControlDevice({"unplug"});
    const CommandOutcome r = Finish();
    SetVariable("VELMORCTL_REPLUG_WAIT_MS", "");
    EXPECT_EQ(r.exitCode, 1);
    std::vector<std::string> texts;
    std::string line;
    for (const char c : r.out + "\n") {
      if (c != '\r' && c != '\n') {
        line += c;
        continue;
      }
      // One packet fails, or two when the unplug came in the middle of one.
      if (const std::size_t count = line.find(" packets)"); count != std::string::npos) {
        line.erase(line.rfind(" (", count));
      }
      const bool progress = line.find("%: ") != std::string::npos;
      if (!line.empty() && !progress &&
          std::find(texts.begin(), texts.end(), line) == texts.end()) {
        texts.push_back(line);
      }
      line.clear();
    }
    // How many packets were refused depends on the moment too. (No std::regex: GCC 12 warns
    // inside it in the sanitizer builds.)
    std::string err = r.err;
    for (std::size_t at = err.find(" packets"); at != std::string::npos;
         at = err.find(" packets", at + 1)) {
      std::size_t first = at;
      while (first > 0 && std::isdigit(static_cast<unsigned char>(err[first - 1]))) --first;
      if (first == at) continue;
      err.replace(first, at - first, "N");
      at = first;
    }
    texts.push_back("stderr: " + err);
    std::string got;
    for (const auto& text : texts) got += text + "\n";

    const std::string path = std::string(VELMOR_FRAMES_DATA) + "/unplugged-update.texts";
    if (const char* record = std::getenv("VELMOR_RECORD_FRAMES"); record && *record == '1') {
      std::ofstream(path, std::ios::binary) << got;
    }
    std::string want;
    for (const auto& text : ReadLines(path)) want += text + "\n";
    EXPECT_EQ(got, want);
    ControlDevice({"plug"});
  }

 private:
  // For the programs a test starts; empty removes it.
  static void SetVariable(const char* name, const char* value) {
#ifdef _WIN32
    // The block CreateProcess hands on.
    SetEnvironmentVariableA(name, *value == '\0' ? nullptr : value);
#else
    if (*value == '\0') {
      unsetenv(name);
    } else {
      setenv(name, value, 1);
    }
#endif
  }

  std::size_t m_traceMark = 0;
};
