// Helpers shared by the engine's tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "tests/unzip/expect_text.h"
#include "tests/zip_writer/zip_writer.h"
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

// An encrypted entry: a 12-byte header whose last byte is the check byte (the CRC's high
// byte, or the time's high byte with a data descriptor), then the encrypted data.
inline zip_writer::Entry Encrypted(const std::string& name, const std::string& data,
                                   const std::string& password, uint16_t method,
                                   bool descriptor = false) {
  zip_writer::Entry e;
  e.name = name;
  e.data = data;
  e.method = method;
  e.flags = static_cast<uint16_t>(1 | (descriptor ? 8 : 0));
  const uint8_t check = descriptor ? static_cast<uint8_t>(e.dosDateTime >> 8)
                                   : static_cast<uint8_t>(zip_writer::Crc32(data) >> 24);
  std::string header = "\x11\x22\x33\x44\x55\x66\x77\x88\x99\xAA\xBB";
  header += static_cast<char>(check);
  zip_writer::Encryptor cipher(password);
  e.rawData = cipher.Encrypt(header + (method == 8 ? zip_writer::Deflate(data) : data));
  return e;
}

}  // namespace unzip_test
