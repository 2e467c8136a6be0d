// What the decoder tests share: a host over archive bytes in memory, a minimal reader of
// real zip archives, the traditional encryption and a bit writer for hand-made streams.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/zip_writer/zip_writer.h"
#include "unzip/decoders/EntryDecoder.h"

namespace decoder_test {

// The archive is a list of volumes (one for a single-volume archive); the output is a
// string that can be told to accept fewer bytes than given.
class FakeHost : public unzip::TDecoderHost {
 public:
  // ---- Archive side ----
  std::vector<std::string> volumes{std::string()};
  size_t volume = 0;
  int64_t position = 0;
  bool multiDisk = false;
  int reads = 0;
  std::vector<int32_t> readSizes;
  int pumps = 0;
  int volumesOpened = 0;
  std::function<void(uint8_t*, int32_t)> onDecrypt;  // unset: the keys decrypt
  struct Message {
    int32_t id;
    std::string text, caption;
  };
  std::vector<Message> messages;

  // ---- The entry ----
  int64_t compressedSize = 0;
  int64_t uncompressedSize = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  std::string password;

  // ---- Output side ----
  std::string output;
  int64_t acceptLimit = INT64_MAX;  // bytes WriteOutput still accepts
  int writes = 0;
  std::vector<int32_t> writeSizes;
  int64_t progress = 0;
  int progressCalls = 0;

  std::string& archive() { return volumes[0]; }

  int32_t ReadArchive(void* buffer, int32_t count) override {
    ++reads;
    readSizes.push_back(count);
    const std::string& data = volumes[volume];
    if (count <= 0 || position >= static_cast<int64_t>(data.size())) return 0;
    const auto n = static_cast<int32_t>(
        std::min<int64_t>(count, static_cast<int64_t>(data.size()) - position));
    std::memcpy(buffer, data.data() + position, static_cast<size_t>(n));
    position += n;
    return n;
  }
  bool MultiDisk() override { return multiDisk; }
  void OpenNextVolume() override {
    if (volume + 1 >= volumes.size()) throw unzip::EUserCanceled();
    ++volume;
    ++volumesOpened;
    position = 0;
  }
  bool Decrypt(uint8_t* buffer, int32_t length) override {
    if (!onDecrypt) return false;
    onDecrypt(buffer, length);
    return true;
  }
  void PumpMessages() override { ++pumps; }
  int32_t HandleMessage(int32_t id, const std::string& text, const std::string& caption,
                        uint32_t) override {
    messages.push_back({id, text, caption});
    return 1;
  }
  int64_t CompressedSize64() override { return compressedSize; }
  void SetCompressedSize64(int64_t value) override { compressedSize = value; }
  int64_t UncompressedSize64() override { return uncompressedSize; }
  uint16_t Flags() override { return flags; }
  uint16_t CompressionMethod() override { return method; }
  const std::string& Password() override { return password; }
  int32_t WriteOutput(const void* buffer, int32_t count) override {
    ++writes;
    writeSizes.push_back(count);
    const auto n = static_cast<int32_t>(std::clamp<int64_t>(acceptLimit, 0, count));
    acceptLimit -= n;
    output.append(static_cast<const char*>(buffer), static_cast<size_t>(n));
    return n;
  }
  int64_t OutputPosition() override { return static_cast<int64_t>(output.size()); }
  void ReportProgress(int64_t n) override {
    progress += n;
    ++progressCalls;
  }
};


// Resets the decoder for the host's entry and runs the decoder of its method, as the
// extraction driver does. Returns the finished CRC (complemented).
inline uint32_t Decode(unzip::TEntryDecoder& decoder, FakeHost& host) {
  decoder.Reset();
  switch (host.method) {
    case 0: decoder.DecodeStored(); break;
    case 1: decoder.DecodeShrunk(); break;
    case 2: case 3: case 4: case 5: decoder.DecodeReduced(host.method - 1); break;
    case 6: decoder.DecodeImploded(); break;
    case 8: decoder.DecodeDeflated(); break;
    default: ADD_FAILURE() << "method " << host.method;
  }
  return ~decoder.RunningCrc;
}

// The CRC-32 of the zip format, bit by bit: an oracle independent of any table.
inline uint32_t ReferenceCrc(const std::string& data) {
  uint32_t crc = 0xFFFFFFFF;
  for (const unsigned char c : data) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return ~crc;
}

// ---- Real archives ----

struct ArchiveEntry {
  std::string name;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t dosTime = 0;
  uint32_t crc = 0;
  int64_t compressedSize = 0;
  int64_t uncompressedSize = 0;
  int64_t dataOffset = 0;  // the entry's data, after its local header
};

inline uint32_t Le(const std::string& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int k = bytes - 1; k >= 0; --k) v = (v << 8) | static_cast<uint8_t>(b.at(at + k));
  return v;
}

inline std::string ReadTestFile(const std::string& name) {
  bool ok = false;
  std::string bytes = testing_support::ReadFileBytes(std::string(TEST_DATA_DIR) + "/" + name, &ok);
  EXPECT_TRUE(ok) << name;
  return bytes;
}

// The central directory of a small single-volume archive without a comment or Zip64.
inline std::vector<ArchiveEntry> ReadDirectory(const std::string& zip) {
  std::vector<ArchiveEntry> entries;
  if (zip.size() < 22 || Le(zip, zip.size() - 22, 4) != 0x06054b50) {
    ADD_FAILURE() << "no end record";
    return entries;
  }
  const size_t end = zip.size() - 22;
  size_t at = Le(zip, end + 16, 4);
  for (uint32_t i = 0, n = Le(zip, end + 10, 2); i < n; ++i) {
    ArchiveEntry e;
    e.flags = static_cast<uint16_t>(Le(zip, at + 8, 2));
    e.method = static_cast<uint16_t>(Le(zip, at + 10, 2));
    e.dosTime = static_cast<uint16_t>(Le(zip, at + 12, 2));
    e.crc = Le(zip, at + 16, 4);
    e.compressedSize = Le(zip, at + 20, 4);
    e.uncompressedSize = Le(zip, at + 24, 4);
    const uint32_t nameLength = Le(zip, at + 28, 2);
    const uint32_t local = Le(zip, at + 42, 4);
    e.name = zip.substr(at + 46, nameLength);
    e.dataOffset = local + 30 + Le(zip, local + 26, 2) + Le(zip, local + 28, 2);
    at += 46 + nameLength + Le(zip, at + 30, 2) + Le(zip, at + 32, 2);
    entries.push_back(e);
  }
  return entries;
}

inline const ArchiveEntry* FindEntry(const std::vector<ArchiveEntry>& entries,
                                     const std::string& name) {
  for (const auto& e : entries)
    if (e.name == name) return &e;
  ADD_FAILURE() << "no entry " << name;
  return nullptr;
}

// Points the host at one entry of an archive, as the driver leaves it before decoding.
inline void SelectEntry(FakeHost& host, const std::string& zip, const ArchiveEntry& e) {
  host.volumes = {zip};
  host.volume = 0;
  host.position = e.dataOffset;
  host.compressedSize = e.compressedSize;
  host.uncompressedSize = e.uncompressedSize;
  host.flags = e.flags;
  host.method = e.method;
  host.output.clear();
}

// ---- Bits, least significant first, as Shrink, Reduce and Implode read them ----

class BitWriter {
 public:
  void Put(uint32_t value, int n) {
    for (int k = 0; k < n; ++k) {
      if (count_ == 0) bytes_.push_back(0);
      if ((value >> k) & 1) bytes_.back() = static_cast<char>(bytes_.back() | (1 << count_));
      count_ = (count_ + 1) & 7;
    }
  }
  void PutByte(uint8_t b) { Put(b, 8); }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
  int count_ = 0;
};

}  // namespace decoder_test
