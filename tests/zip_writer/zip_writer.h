// A small zip writer for the tests: builds archives of the shapes the directory reader
// must cope with, in memory, with entry data encrypted as the traditional cipher does.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zip_writer {

struct Entry {
  std::string name;  // stored bytes, "/" separators as written by most tools
  std::string data;  // uncompressed contents
  uint16_t method = 0;  // 0 stored, 8 deflated (zlib, raw)
  uint32_t dosDateTime = 0x5A8C6000;  // 2025-04-12 12:00:00
  std::string comment;
  std::string centralExtra;  // extra fields besides a Zip64 one, verbatim
  std::string localExtra;
  uint16_t versionMadeBy = 20;  // host system 0
  uint16_t flags = 0;
  uint32_t externalAttributes = 0x20;
  uint16_t internalAttributes = 0;
  // Zip64: the central header carries markers for these fields and a Zip64 extra field
  // with their values; the local header carries both sizes.
  bool zip64Uncompressed = false;
  bool zip64Compressed = false;
  bool zip64Offset = false;
  bool zip64ExtraInLocal = true;
  bool zip64AfterLocalExtra = false;  // the local Zip64 field after localExtra's fields
  // A data descriptor: flag bit 3, CRC and sizes 0 in the local header (0 also in its
  // Zip64 field), and after the data a descriptor of this many bytes: 16 (signature,
  // 32-bit sizes), 12 (no signature), 24 (signature, 64-bit sizes) or 0 (none written).
  std::optional<uint8_t> descriptor;
  // Damage: a central extra length larger than what is written, a local-header offset
  // written in place of the real one, a central header without its Zip64 extra field.
  uint16_t declaredExtraSurplus = 0;
  std::optional<uint32_t> centralOffsetField;
  bool omitZip64Extra = false;
  // The entry's bytes as stored (for example encrypted), written instead of data's
  // stored or deflated form; data still gives the uncompressed size and the CRC.
  std::optional<std::string> rawData;
  // A stored CRC other than data's.
  std::optional<uint32_t> crc;
};

struct Options {
  std::string stub;  // bytes before the first local header
  bool offsetsIgnoreStub = false;  // offsets as if the stub were not there
  std::string comment;
  bool zip64End = false;  // Zip64 end record + locator, markers in the end record
  std::optional<uint16_t> entryCount;  // declared in the end record
  std::optional<uint64_t> zip64EntryCount;
  std::optional<uint32_t> centralOffset;
  std::optional<uint16_t> thisDisk;
  std::optional<uint16_t> startCentralDisk;
  std::vector<size_t> duplicateCentral;  // entries whose central header is written twice
  std::optional<size_t> corruptCentral;  // entry whose central signature is spoiled
  std::optional<size_t> corruptLocal;    // entry whose local signature is spoiled
  bool omitCentral = false;  // no central headers (an end record then declares none)
  bool omitEndRecord = false;
};

// The archive's bytes.
std::string Build(const std::vector<Entry>& entries, const Options& options = {});

// A split set: entries go to parts by partOf[i] (0-based); the central directory starts
// on part centralPart, its first centralOnFirstPart headers there and the rest on the
// last part, which also holds the end record. Offsets are relative to each part.
struct SplitSet {
  std::vector<std::string> parts;
  std::string sideFile;  // central directory, end record and comment
};
SplitSet BuildSplit(const std::vector<Entry>& entries, const std::vector<size_t>& partOf,
                    size_t partCount, size_t centralPart, size_t centralOnFirstPart,
                    const std::string& comment = {});

uint32_t Crc32(const std::string& data);

// The traditional PKWARE encryption, encrypting side, from the published key schedule.
class Encryptor {
 public:
  explicit Encryptor(const std::string& password) {
    for (const char c : password) Update(static_cast<uint8_t>(c));
  }
  std::string Encrypt(const std::string& plain) {
    std::string out = plain;
    for (char& c : out) {
      const uint32_t t = (key2_ | 2) & 0xFFFF;
      const auto p = static_cast<uint8_t>(c);
      c = static_cast<char>(p ^ static_cast<uint8_t>((t * (t ^ 1)) >> 8));
      Update(p);
    }
    return out;
  }

 private:
  static uint32_t Crc(uint32_t crc, uint8_t b) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    return crc;
  }
  void Update(uint8_t b) {
    key0_ = Crc(key0_, b);
    key1_ = (key1_ + (key0_ & 0xFF)) * 134775813u + 1;
    key2_ = Crc(key2_, static_cast<uint8_t>(key1_ >> 24));
  }
  uint32_t key0_ = 0x12345678, key1_ = 0x23456789, key2_ = 0x34567890;
};

std::string Deflate(const std::string& data);

}  // namespace zip_writer
