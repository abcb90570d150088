#pragma once
// Whole files as bytes.
#include <cstdint>
#include <string>
#include <vector>

namespace morvane::support {

using Bytes = std::vector<uint8_t>;

// Empty when the file cannot be read.
Bytes ReadBytes(const std::string& path);
// Replaces the file; a failed write fails the test.
void WriteBytes(const std::string& path, const Bytes& bytes);

} // namespace morvane::support
