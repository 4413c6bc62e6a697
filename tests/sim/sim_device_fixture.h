#pragma once
// SimDevice behind a real CDeviceLink over the in-process channel, in virtual time.

#include <gtest/gtest.h>

#include "device/device_operations.h"
#include "settings/settings_transfer.h"
#include "sim/sim_device.h"
#include "tests/support/recording_device.h"
#include "tests/support/virtual_timing.h"

class SimDeviceTest : public ::testing::Test {
 protected:
  static SimOptions Options(VirtualTiming& timing) {
    SimOptions o;
    o.timing = &timing;
    o.requestMs = 1;
    return o;
  }

  bool Read(unsigned offset, unsigned count, ControlReply* reply = nullptr) {
    ControlReply scratch;
    return link->Request(reply ? reply : &scratch, CMD_READ_SETTINGS, offset, count, 0, 0, nullptr);
  }
  bool WriteChunk(unsigned offset, std::span<const std::uint8_t> data) {
    return link->Request(nullptr, CMD_WRITE_SETTINGS, offset, 0, 0,
                         static_cast<unsigned>(data.size()), data.data());
  }
  bool Commit() { return link->Request(nullptr, CMD_WRITE_SETTINGS, 0, 1, 0, 0, nullptr); }
  bool Live(std::uint8_t command, unsigned value, std::span<const std::uint8_t> data = {}) {
    return link->Request(nullptr, command, value, 0, 0, static_cast<unsigned>(data.size()),
                         data.empty() ? nullptr : data.data());
  }
  std::uint16_t BusyWord() {
    ControlReply reply;
    EXPECT_TRUE(link->Request(&reply, CMD_GET_BUSY, 0, 0, 0, 0, nullptr));
    return reply.Word();
  }
  settings::SettingsTransfer Transfer(SettingsImage& image) {
    return settings::SettingsTransfer(*link, timing, image);
  }

  VirtualTiming timing;
  SimDevice device{Options(timing)};
  std::unique_ptr<CDeviceLink> link = MakeLinkTo(device);
};
