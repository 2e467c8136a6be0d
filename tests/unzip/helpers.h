// Helpers shared by the engine's tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "tests/unzip/expect_text.h"
#include "unzip/BufferStreams.h"

namespace unzip_test {

// A stream over bytes in memory; Write can be told to refuse bytes.
class MemoryStream : public unzip::TStream {
 public:
  explicit MemoryStream(std::string bytes = {}) : data(std::move(bytes)) {}
  int32_t Read(void* buffer, int32_t count) override {
    ++reads;
    if (count <= 0 || position >= static_cast<int64_t>(data.size())) return 0;
    const auto n = static_cast<int32_t>(
        std::min<int64_t>(count, static_cast<int64_t>(data.size()) - position));
    std::memcpy(buffer, data.data() + position, static_cast<size_t>(n));
    position += n;
    return n;
  }
  int32_t Write(const void* buffer, int32_t count) override {
    if (count <= 0) return 0;
    const int32_t n = std::min(count, acceptLimit);
    acceptLimit -= n;
    if (static_cast<int64_t>(data.size()) < position + n) data.resize(static_cast<size_t>(position + n));
    std::memcpy(data.data() + position, buffer, static_cast<size_t>(n));
    position += n;
    return n;
  }
  int64_t Seek(int64_t offset, uint16_t origin) override {
    const int64_t target = origin == 0 ? offset : origin == 1 ? position + offset
                                                               : static_cast<int64_t>(data.size()) + offset;
    if (target < 0) return -1;
    position = target;
    return position;
  }
  std::string data;
  int64_t position = 0;
  int reads = 0;
  int32_t acceptLimit = INT32_MAX;
};

}  // namespace unzip_test
