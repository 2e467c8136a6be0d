// The in-memory records of a zip directory and the routines that read them: one entry
// (TZipHeaderInfo), the end record with the archive comment and the Zip64 records
// (TEndCentral), and the sorted list of entries (TSortedZip).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/dos_time.h"
#include "unzip/ObjectContainers.h"
#include "unzip/Runtime.h"

namespace unzip {

class TStream;

// ---- Record layout: the engine's one place for signatures, sizes and field offsets ----

inline constexpr uint32_t kLocalFileHeaderSig = 0x04034b50;
inline constexpr uint32_t kCentralFileHeaderSig = 0x02014b50;
inline constexpr uint32_t kEndCentralDirSig = 0x06054b50;
inline constexpr uint32_t kZip64EndCentralDirSig = 0x06064b50;
inline constexpr uint32_t kZip64EndLocatorSig = 0x07064b50;
inline constexpr uint32_t kDataDescriptorSig = 0x08074b50;

// The fixed parts of the records, before their names, extra fields and comments.
inline constexpr int32_t kLocalHeaderSize = 30;
inline constexpr int32_t kCentralHeaderSize = 46;
inline constexpr int32_t kEndRecordSize = 22;
inline constexpr int32_t kZip64LocatorSize = 20;
// A Zip64 end record: signature and size (which counts the bytes after it), then the rest.
inline constexpr int32_t kZip64EndLeadSize = 12;
inline constexpr int32_t kZip64EndSize = 56;

// Little-endian fields.
inline uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t ReadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t ReadLe64(const uint8_t* p) {
  return static_cast<uint64_t>(ReadLe32(p)) | (static_cast<uint64_t>(ReadLe32(p + 4)) << 32);
}

enum TZipSortMode : uint8_t {
  ByName,
  ByFileName,
  ByDirectoryName,
  ByDate,
  ByCompressedSize,
  ByUnCompressedSize,
  ByRate,
  ByNone
};

enum TOEMConvert : uint8_t { oemAlways, oemNever, oemFlexible };

// The Zip64 extended information of one entry: the values of the four fields that hold
// their marker. Present tells which of them the archive supplied (or a setter stored).
struct TZip64Info {
  enum : uint8_t { kUncompressed = 1, kCompressed = 2, kOffset = 4, kDisk = 8 };
  uint16_t Tag = 1;
  uint16_t Size = 0;
  uint64_t UncompressedSize64 = 0;
  uint64_t CompressedSize64 = 0;
  uint64_t LocalHeaderOffset64 = 0;
  uint32_t DiskNumberStart32 = 0;
  uint8_t Present = 0;
};

using platform::DosDateTimeSeconds;
using platform::SanitizeDosDateTime;

// One directory entry.
class TZipHeaderInfo : public TPersistent {
 public:
  TZipHeaderInfo() = default;
  const char* ClassName() const override { return "TZipHeaderInfo"; }
  void Assign(const TPersistent* source) override;

  uint16_t VersionMadeBy = 45;
  uint16_t VersionNeeded = 20;
  uint16_t Flags = 0;
  uint16_t CompressionMethod = 8;
  uint32_t FileDateTime = 0;
  uint32_t Crc32 = 0xFFFFFFFF;
  uint32_t CompressedSize = 0;
  uint32_t UncompressedSize = 0;
  uint16_t NameLength = 0;
  uint16_t CentralExtraLength = 0;
  uint16_t LocalExtraLength = 0;
  uint16_t CommentLength = 0;
  uint16_t DiskNumberStart = 0;
  uint16_t InternalAttributes = 1;
  uint32_t ExternalAttributes = 0x20;
  uint32_t LocalHeaderOffset = 0;
  int64_t CentralEntryOffset = 0;
  std::unique_ptr<TZip64Info> Zip64Info;
  std::optional<std::string> FileComment;  // nullopt while not loaded
  bool Selected = false;
  TOEMConvert OemMode = oemNever;
  // The stored name is UTF-8 text holding characters the ANSI code page cannot show:
  // FileName and Directory hold "?" for them, Utf8Name holds the real name (with "\"
  // separators), and extraction gives the entry up.
  bool NameNotRepresentable = false;
  std::string Utf8Name;

  const std::string& FileName() const { return fileName_; }
  const std::string& Directory() const { return directory_; }
  void SetFileName(const std::string& value);
  // A non-empty value gets a trailing "\" when it has none.
  void SetDirectory(const std::string& value);

  // The 32-bit fields, or the Zip64 values when the field holds its marker. A marker
  // without the value in a Zip64 block raises EBadZipFile.
  uint64_t CompressedSize64() const;
  uint64_t UncompressedSize64() const;
  uint64_t LocalHeaderOffset64() const;
  uint32_t DiskNumberStart32() const;
  // Values of 0xFFFFFFFF or more go to the Zip64 block (created when absent) and leave
  // the marker; smaller (or negative) ones go to the 32-bit field as their low 32 bits.
  void SetCompressedSize64(int64_t value);
  void SetUncompressedSize64(int64_t value);
  void SetLocalHeaderOffset64(int64_t value);
  void SetDiskNumberStart32(uint32_t value);

  bool IsEncrypted() const { return (Flags & 0x1) != 0; }
  bool HasDataDescriptor() const { return (Flags & 0x8) != 0; }
  bool HasComment() const { return CommentLength != 0; }

  // Reads the central header at the stream's position. nextDisk, when given, opens the
  // next volume and returns its stream, which then replaces stream. On success the
  // stream stands at the start of the extra field; on failure where the call began.
  bool ReadCentral(TStream*& stream, const std::function<TStream*()>& nextDisk);
  // Reads the local header at the stream's position; on success the stream stands at the
  // start of the local extra field, on failure where the call began.
  bool ReadLocal(TStream* stream);

 protected:
  void AssignTo(TPersistent* dest) const override;

 private:
  TZip64Info& EnsureZip64();
  // How a stored name's bytes are to be read.
  enum class TNameEncoding : uint8_t { Stored, Oem, Utf8 };
  // The rules for a stored name: a Unicode path extra field (tag 0x7075) whose CRC-32
  // matches the stored bytes gives the name; else flag bit 11 marks the name as UTF-8;
  // else a name from a host system other than 0 (hostSystem < 0: not known, as in a
  // local header) that is valid UTF-8 with non-ASCII bytes is read as UTF-8; else the
  // OEM conversion applies when oemConvert says so.
  void DecodeStoredName(std::string name, const uint8_t* extra, size_t extraLength,
                        int hostSystem, bool oemConvert);
  void SetStoredName(std::string name, TNameEncoding encoding);
  void WalkCentralExtra(const uint8_t* extra, size_t length);

  std::string fileName_;
  std::string directory_;
};

struct TZip64Locator {
  uint32_t Signature = kZip64EndLocatorSig;
  uint32_t Zip64EndDisk = 0;
  uint64_t Zip64EndOffset = 0;
  uint32_t DiskCount = 0;
};

struct TZip64EndRecord {
  uint32_t Signature = kZip64EndCentralDirSig;
  uint64_t RecordSize = 44;
  uint16_t VersionMadeBy = 45;
  uint16_t VersionNeeded = 45;
  uint32_t ThisDisk = 0;
  uint32_t StartCentralDisk = 0;
  uint64_t EntriesThisDisk = 0;
  uint64_t EntryCount = 0;
  uint64_t CentralSize = 0;
  uint64_t CentralOffset = 0;
};

// The end-of-central-directory record, the archive comment and the Zip64 records.
class TEndCentral : public TPersistent {
 public:
  TEndCentral() { Reset(); }
  const char* ClassName() const override { return "TEndCentral"; }
  void Assign(const TPersistent* source) override;

  uint32_t Signature = kEndCentralDirSig;
  uint16_t ThisDisk = 0;
  uint16_t StartCentralDisk = 0;
  uint16_t EntriesThisDisk = 0;
  uint16_t EntryCount = 0;
  uint32_t CentralSize = 0;
  uint32_t CentralOffset = 0;
  uint16_t CommentLength = 0;
  std::optional<std::string> ZipComment;  // nullopt while not loaded
  int64_t CommentPosition = 0;
  bool CommentModified = false;
  std::unique_ptr<TZip64EndRecord> Zip64End;
  std::unique_ptr<TZip64Locator> Zip64Locator;

  // The empty state: signature set, every other field 0, comment released. Zip64
  // records stay allocated.
  void Reset();

  uint32_t ThisDisk32() const;
  uint32_t StartCentralDisk32() const;
  uint64_t EntryCount64() const;
  uint64_t CentralOffset64() const;
  uint64_t CentralSize64() const;
  void SetThisDisk32(uint32_t value);
  void SetEntryCount64(uint64_t value);
  void SetCentralOffset64(uint64_t value);

  // Locates the end record in the last 65557 bytes of the stream and fills the object.
  bool FindEndRecord(TStream* stream);

 protected:
  void AssignTo(TPersistent* dest) const override;

 private:
  TZip64EndRecord& EnsureZip64End();
};

// A sorted list of entries.
class TSortedZip : public TSortedObjectList {
 public:
  explicit TSortedZip(TDuplicates duplicates) : TSortedObjectList(duplicates) {}
  const char* ClassName() const override { return "TSortedZip"; }

  int32_t Add(TObject* item) override;
  int32_t Compare(const TObject* item, const TObject* key) const override;
  // Adds the records in this order, with exactly the result (order, Count, Capacity,
  // exceptions) of calling Add for each, without the cost of one insertion each.
  void AddAll(const std::vector<TZipHeaderInfo*>& records);

  TZipHeaderInfo* Entry(int32_t index) const { return static_cast<TZipHeaderInfo*>(Get(index)); }

  TZipSortMode SortMode = ByNone;
  bool HasZip64 = false;
};

// ---- Reading records from a stream ----

// Up to length bytes from the stream's position (fewer where the stream ends).
std::string ReadStoredText(TStream* stream, int32_t length);

// Steps from the start of a local header to its data: reads the fixed part and goes past
// the name and extra field it declares (a header cut short declares none).
void StepOverLocalHeader(TStream* stream);

// The comment of the central header at offset at; nullopt when no central header is there.
// The stream is left after what was read.
std::optional<std::string> ReadCentralComment(TStream* stream, int64_t at);

// Finds the next local header from the stream's position: "PK" 3 4 followed by a version
// whose high byte is below 10, and leaves the stream at it; false at the end of the stream.
// pump is called every 10240 bytes that cannot start a signature.
bool SeekLocalHeader(TStream* stream, const std::function<void()>& pump);

// Where the data of an entry with a data descriptor ends, found by reading forward from
// dataStart: at the first position where a descriptor (signature 0x08074b50 or none; 32-
// or 64-bit sizes) holds a compressed size equal to the bytes stepped over (for a stored,
// unencrypted entry also their size and CRC-32), or else where the next local header or
// the central directory begins. A descriptor without signature only counts when a record
// of the archive or the end of the file follows it. The record takes the descriptor's
// values (only the compressed size when none was found). Returns the offset after the
// descriptor, or -1 when the data runs to the end of the file.
int64_t StepOverDescribedData(TStream* stream, TZipHeaderInfo& rec, int64_t dataStart,
                              int64_t size);

// Where the bytes from at stop being the archive's end records, each where the one before
// ended: the Zip64 end record, its locator, the end record and its comment (all optional);
// -1 when they reach the end of the file.
int64_t EndRecordsStopAt(TStream* stream, int64_t at, int64_t size);

}  // namespace unzip
