#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An S3 file of `bytes` at `address`, 32 bytes a record, with an S7 end record.
std::string S3File(std::uint32_t address, const std::vector<std::uint8_t>& bytes);
