#include "unzip/ZipRecords.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>

#include <zlib.h>

#include "platform/system.h"
#include "unzip/BufferStreams.h"
#include "unzip/ZipExceptions.h"

namespace unzip {
namespace {

// Field offsets of the records, from the start of each (signature included).
namespace central {
constexpr size_t kVersionMadeBy = 4, kHostSystem = 5, kShared = 6, kNameLength = 28,
                 kExtraLength = 30, kCommentLength = 32, kDiskNumberStart = 34,
                 kInternalAttributes = 36, kExternalAttributes = 38, kLocalHeaderOffset = 42;
}
namespace local {
constexpr size_t kShared = 4, kNameLength = 26, kExtraLength = 28;
}
// The fields a local and a central header share, in the same order, from kShared on.
namespace shared {
constexpr size_t kVersionNeeded = 0, kFlags = 2, kMethod = 4, kDateTime = 6, kCrc32 = 10,
                 kCompressedSize = 14, kUncompressedSize = 18;
}
namespace endrec {
constexpr size_t kThisDisk = 4, kStartCentralDisk = 6, kEntriesThisDisk = 8, kEntryCount = 10,
                 kCentralSize = 12, kCentralOffset = 16, kCommentLength = 20;
}
namespace locator {
constexpr size_t kZip64EndDisk = 4, kZip64EndOffset = 8, kDiskCount = 16;
}
namespace zip64end {
constexpr size_t kRecordSize = 4, kVersionMadeBy = 12, kVersionNeeded = 14, kThisDisk = 16,
                 kStartCentralDisk = 20, kEntriesThisDisk = 24, kEntryCount = 32,
                 kCentralSize = 40, kCentralOffset = 48;
}
// An extra field: tag, size of the data, the data.
namespace extrafield {
constexpr size_t kTag = 0, kSize = 2, kData = 4;
}
// The values of a data descriptor, after its signature when it has one: CRC-32, then the
// compressed and uncompressed sizes, 4 bytes each or 8 (Zip64).
namespace descriptor {
constexpr size_t kCrc32 = 0, kCompressedSize = 4, kNarrowUncompressed = 8, kWideUncompressed = 12;
}
// The Zip64 extra field of a local header, from the field's tag: the sizes, then an offset
// and a start disk.
namespace zip64local {
constexpr size_t kUncompressed = 4, kCompressed = 12, kDisk = 28;
}

constexpr uint16_t kUtf8NameFlag = 0x0800;
constexpr uint16_t kUnicodePathTag = 0x7075;

bool IsAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return (static_cast<uint8_t>(c) & 0x80) == 0; });
}

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const uint8_t b = static_cast<uint8_t>(s[i]);
    size_t length;
    uint32_t low;  // smallest code point of that length: shorter forms are overlong
    if (b < 0x80) {
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      length = 2, low = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      length = 3, low = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      length = 4, low = 0x10000;
    } else {
      return false;
    }
    if (i + length > s.size()) return false;
    uint32_t cp = b & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      const uint8_t c = static_cast<uint8_t>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < low || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

// The UTF-8 name of a Unicode path extra field (tag 0x7075: version 1, the CRC-32 of the
// stored name, the name), when the field is there, its version is 1, its CRC-32 matches
// the stored bytes and its name is well-formed UTF-8.
std::optional<std::string> UnicodePathField(const uint8_t* extra, size_t length,
                                            const std::string& storedName) {
  size_t offset = 0;
  while (offset + 4 <= length) {
    const uint16_t tag = ReadLe16(extra + offset + extrafield::kTag);
    const size_t end =
        std::min(length, offset + extrafield::kData + ReadLe16(extra + offset + extrafield::kSize));
    offset += extrafield::kData;
    if (tag == kUnicodePathTag && end - offset >= 5 && extra[offset] == 1) {
      const uint32_t stored = ReadLe32(extra + offset + 1);
      const uint32_t actual = static_cast<uint32_t>(
          crc32(0, reinterpret_cast<const Bytef*>(storedName.data()),
                static_cast<uInt>(storedName.size())));
      std::string name(reinterpret_cast<const char*>(extra + offset + 5), end - offset - 5);
      if (stored == actual && !name.empty() && IsValidUtf8(name)) return name;
      return std::nullopt;
    }
    offset = end;
  }
  return std::nullopt;
}

// UTF-8 text in the ANSI code page, each character without an ANSI form as "?".
std::string Utf8ToAnsiOrQuestionMarks(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const uint8_t b = static_cast<uint8_t>(utf8[i]);
    // A byte that cannot start a character stands alone (and becomes one "?").
    const size_t length = (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 1;
    const std::optional<std::string> piece = platform::Utf8ToAnsi(utf8.substr(i, length));
    out += piece ? *piece : "?";
    i += length;
  }
  return out;
}

// Case-insensitive (ASCII letters) comparison of a1 + a2 with b1 + b2.
int CompareTextParts(const std::string& a1, const std::string& a2, const std::string& b1,
                     const std::string& b2) {
  const size_t la = a1.size() + a2.size();
  const size_t lb = b1.size() + b2.size();
  const size_t n = std::min(la, lb);
  for (size_t i = 0; i < n; ++i) {
    int x = static_cast<uint8_t>(i < a1.size() ? a1[i] : a2[i - a1.size()]);
    int y = static_cast<uint8_t>(i < b1.size() ? b1[i] : b2[i - b1.size()]);
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return x - y;
  }
  return static_cast<int>(la) - static_cast<int>(lb);
}

int32_t Rate(const TZipHeaderInfo& r) {
  const uint64_t uncompressed = r.UncompressedSize64();
  if (uncompressed == 0) return 0;
  const double rate = std::nearbyint(static_cast<double>(r.CompressedSize64()) * 100.0 /
                                     static_cast<double>(uncompressed));
  return rate > 100 ? 100 : static_cast<int32_t>(rate);
}

int32_t Sign(int64_t v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

}  // namespace

// ---- TZipHeaderInfo ------------------------------------------------------------------------

void TZipHeaderInfo::SetFileName(const std::string& value) {
  fileName_ = value;
  NameLength = static_cast<uint16_t>(directory_.size() + fileName_.size());
}

void TZipHeaderInfo::SetDirectory(const std::string& value) {
  directory_ = value;
  if (!directory_.empty() && !EndsWithBackslash(directory_)) directory_ += '\\';
  NameLength = static_cast<uint16_t>(directory_.size() + fileName_.size());
}

TZip64Info& TZipHeaderInfo::EnsureZip64() {
  if (!Zip64Info) Zip64Info = std::make_unique<TZip64Info>();
  return *Zip64Info;
}

namespace {

[[noreturn]] void MissingZip64() { throw EBadZipFile(); }

// The fields a local and a central header share, from where they start in the header.
void ReadSharedFields(TZipHeaderInfo& rec, const uint8_t* p) {
  rec.VersionNeeded = ReadLe16(p + shared::kVersionNeeded);
  rec.Flags = ReadLe16(p + shared::kFlags);
  rec.CompressionMethod = ReadLe16(p + shared::kMethod);
  rec.FileDateTime = SanitizeDosDateTime(ReadLe32(p + shared::kDateTime));
  rec.Crc32 = ReadLe32(p + shared::kCrc32);
  rec.CompressedSize = ReadLe32(p + shared::kCompressedSize);
  rec.UncompressedSize = ReadLe32(p + shared::kUncompressedSize);
}

}  // namespace

uint64_t TZipHeaderInfo::CompressedSize64() const {
  if (CompressedSize != 0xFFFFFFFFu) return CompressedSize;
  if (!Zip64Info || !(Zip64Info->Present & TZip64Info::kCompressed)) MissingZip64();
  return Zip64Info->CompressedSize64;
}

uint64_t TZipHeaderInfo::UncompressedSize64() const {
  if (UncompressedSize != 0xFFFFFFFFu) return UncompressedSize;
  if (!Zip64Info || !(Zip64Info->Present & TZip64Info::kUncompressed)) MissingZip64();
  return Zip64Info->UncompressedSize64;
}

uint64_t TZipHeaderInfo::LocalHeaderOffset64() const {
  if (LocalHeaderOffset != 0xFFFFFFFFu) return LocalHeaderOffset;
  if (!Zip64Info || !(Zip64Info->Present & TZip64Info::kOffset)) MissingZip64();
  return Zip64Info->LocalHeaderOffset64;
}

uint32_t TZipHeaderInfo::DiskNumberStart32() const {
  if (DiskNumberStart != 0xFFFF) return DiskNumberStart;
  if (!Zip64Info || !(Zip64Info->Present & TZip64Info::kDisk)) MissingZip64();
  return Zip64Info->DiskNumberStart32;
}

void TZipHeaderInfo::SetCompressedSize64(int64_t value) {
  if (value >= 0xFFFFFFFFll) {
    EnsureZip64().CompressedSize64 = static_cast<uint64_t>(value);
    Zip64Info->Present |= TZip64Info::kCompressed;
    CompressedSize = 0xFFFFFFFFu;
  } else {
    CompressedSize = static_cast<uint32_t>(value);
  }
}

void TZipHeaderInfo::SetUncompressedSize64(int64_t value) {
  if (value >= 0xFFFFFFFFll) {
    EnsureZip64().UncompressedSize64 = static_cast<uint64_t>(value);
    Zip64Info->Present |= TZip64Info::kUncompressed;
    UncompressedSize = 0xFFFFFFFFu;
  } else {
    UncompressedSize = static_cast<uint32_t>(value);
  }
}

void TZipHeaderInfo::SetLocalHeaderOffset64(int64_t value) {
  if (value >= 0xFFFFFFFFll) {
    EnsureZip64().LocalHeaderOffset64 = static_cast<uint64_t>(value);
    Zip64Info->Present |= TZip64Info::kOffset;
    LocalHeaderOffset = 0xFFFFFFFFu;
  } else {
    LocalHeaderOffset = static_cast<uint32_t>(value);
  }
}

void TZipHeaderInfo::SetDiskNumberStart32(uint32_t value) {
  if (value >= 0xFFFF) {
    EnsureZip64().DiskNumberStart32 = value;
    Zip64Info->Present |= TZip64Info::kDisk;
    DiskNumberStart = 0xFFFF;
  } else {
    DiskNumberStart = static_cast<uint16_t>(value);
  }
}

void TZipHeaderInfo::Assign(const TPersistent* source) {
  const auto* src = dynamic_cast<const TZipHeaderInfo*>(source);
  if (!src) {
    TPersistent::Assign(source);
    return;
  }
  if (src == this) return;
  VersionMadeBy = src->VersionMadeBy;
  VersionNeeded = src->VersionNeeded;
  Flags = src->Flags;
  CompressionMethod = src->CompressionMethod;
  FileDateTime = src->FileDateTime;
  Crc32 = src->Crc32;
  CompressedSize = src->CompressedSize;
  UncompressedSize = src->UncompressedSize;
  NameLength = src->NameLength;
  CentralExtraLength = src->CentralExtraLength;
  LocalExtraLength = src->LocalExtraLength;
  CommentLength = src->CommentLength;
  // A start-disk marker whose value is missing stays a marker: the copy reports it where
  // the value is needed, as the source does.
  const bool diskKnown = src->DiskNumberStart != 0xFFFF ||
                         (src->Zip64Info && (src->Zip64Info->Present & TZip64Info::kDisk));
  DiskNumberStart = diskKnown ? static_cast<uint16_t>(src->DiskNumberStart32()) : 0xFFFF;
  InternalAttributes = src->InternalAttributes;
  ExternalAttributes = src->ExternalAttributes;
  LocalHeaderOffset = src->LocalHeaderOffset;
  CentralEntryOffset = src->CentralEntryOffset;
  SetFileName(src->FileName());
  SetDirectory(src->Directory());
  // The block and the comment of a previous copy must not survive into this one.
  if (src->Zip64Info)
    EnsureZip64() = *src->Zip64Info;
  else
    Zip64Info.reset();
  if (src->CommentLength != 0 && src->FileComment)
    FileComment = src->FileComment;
  else
    FileComment.reset();
  Selected = src->Selected;
  NameNotRepresentable = src->NameNotRepresentable;
  Utf8Name = src->Utf8Name;
}

void TZipHeaderInfo::AssignTo(TPersistent* dest) const {
  if (auto* target = dynamic_cast<TZipHeaderInfo*>(dest)) {
    target->Assign(this);
    return;
  }
  TPersistent::AssignTo(dest);
}

void TZipHeaderInfo::DecodeStoredName(std::string name, const uint8_t* extra,
                                      size_t extraLength, int hostSystem, bool oemConvert) {
  if (std::optional<std::string> unicode = UnicodePathField(extra, extraLength, name)) {
    SetStoredName(std::move(*unicode), TNameEncoding::Utf8);
  } else if ((Flags & kUtf8NameFlag) != 0 ||
             (hostSystem > 0 && !IsAscii(name) && IsValidUtf8(name))) {
    SetStoredName(std::move(name), TNameEncoding::Utf8);
  } else {
    SetStoredName(std::move(name), oemConvert ? TNameEncoding::Oem : TNameEncoding::Stored);
  }
}

void TZipHeaderInfo::SetStoredName(std::string name, TNameEncoding encoding) {
  std::replace(name.begin(), name.end(), '/', '\\');
  NameNotRepresentable = false;
  Utf8Name.clear();
  if (encoding == TNameEncoding::Oem) {
    name = platform::OemToCharA(name);
  } else if (encoding == TNameEncoding::Utf8) {
    if (std::optional<std::string> ansi = platform::Utf8ToAnsi(name)) {
      name = std::move(*ansi);
    } else {
      NameNotRepresentable = true;
      Utf8Name = name;
      name = Utf8ToAnsiOrQuestionMarks(name);
    }
  }
  const size_t at = AnsiLastDelimiter("\\:", name);
  if (at == std::string::npos) {
    fileName_.clear();
    SetDirectory(std::string());
    SetFileName(name);
  } else {
    fileName_.clear();
    SetDirectory(name.substr(0, at + 1));
    SetFileName(name.substr(at + 1));
  }
}

void TZipHeaderInfo::WalkCentralExtra(const uint8_t* extra, size_t length) {
  size_t offset = 0;
  while (offset + 4 <= length) {
    const uint16_t tag = ReadLe16(extra + offset + extrafield::kTag);
    const uint16_t size = ReadLe16(extra + offset + extrafield::kSize);
    offset += extrafield::kData;
    // A field never reaches past the extra data, whatever size it declares.
    const size_t end = std::min(length, offset + size);
    if (tag == 1) {
      TZip64Info& block = EnsureZip64();
      size_t at = offset;
      const auto take = [&](bool wanted, size_t width, uint8_t bit, auto store) {
        if (!wanted) return;
        if (at + width > end) {
          at = end;  // the value is not there: later values are not either
          return;
        }
        store(extra + at);
        block.Present |= bit;
        at += width;
      };
      take(UncompressedSize == 0xFFFFFFFFu, 8, TZip64Info::kUncompressed,
           [&](const uint8_t* p) { block.UncompressedSize64 = ReadLe64(p); });
      take(CompressedSize == 0xFFFFFFFFu, 8, TZip64Info::kCompressed,
           [&](const uint8_t* p) { block.CompressedSize64 = ReadLe64(p); });
      take(LocalHeaderOffset == 0xFFFFFFFFu, 8, TZip64Info::kOffset,
           [&](const uint8_t* p) { block.LocalHeaderOffset64 = ReadLe64(p); });
      take(DiskNumberStart == 0xFFFF, 4, TZip64Info::kDisk,
           [&](const uint8_t* p) { block.DiskNumberStart32 = ReadLe32(p); });
    }
    offset = end;
  }
}

bool TZipHeaderInfo::ReadCentral(TStream*& stream, const std::function<TStream*()>& nextDisk) {
  const int64_t start = stream->Position();
  uint8_t h[kCentralHeaderSize];
  int32_t got = std::max(0, stream->Read(h, kCentralHeaderSize));
  if ((got == 0 || (got >= 4 && got < kCentralHeaderSize && ReadLe32(h) == kCentralFileHeaderSig)) &&
      nextDisk) {
    stream = nextDisk();
    got += std::max(0, stream->Read(h + got, kCentralHeaderSize - got));
  }
  if (got < kCentralHeaderSize || ReadLe32(h) != kCentralFileHeaderSig) {
    stream->Seek(start, soFromBeginning);
    return false;
  }
  const uint16_t nameLength = ReadLe16(h + central::kNameLength);
  std::string name(nameLength, '\0');
  if (nameLength != 0 && stream->Read(name.data(), nameLength) != nameLength) {
    stream->Seek(start, soFromBeginning);
    return false;
  }
  const uint8_t hostSystem = h[central::kHostSystem];
  const bool flexibleSkip = OemMode == oemFlexible && (VersionMadeBy & 0x0B00) == 0x0B00;
  const bool convert = OemMode != oemNever && hostSystem == 0 && !flexibleSkip;
  VersionMadeBy = ReadLe16(h + central::kVersionMadeBy);
  ReadSharedFields(*this, h + central::kShared);
  NameLength = nameLength;
  CentralExtraLength = ReadLe16(h + central::kExtraLength);
  CommentLength = ReadLe16(h + central::kCommentLength);
  DiskNumberStart = ReadLe16(h + central::kDiskNumberStart);
  InternalAttributes = ReadLe16(h + central::kInternalAttributes);
  ExternalAttributes = ReadLe32(h + central::kExternalAttributes);
  LocalHeaderOffset = ReadLe32(h + central::kLocalHeaderOffset);
  FileComment.reset();
  Zip64Info.reset();
  Selected = false;
  CentralEntryOffset = start;
  if (CentralExtraLength != 0) {
    std::vector<uint8_t> extra(CentralExtraLength);
    const int32_t n = std::max(0, stream->Read(extra.data(), CentralExtraLength));
    WalkCentralExtra(extra.data(), static_cast<size_t>(n));
    DecodeStoredName(std::move(name), extra.data(), static_cast<size_t>(n), hostSystem, convert);
    stream->Seek(-n, soFromCurrent);
  } else {
    DecodeStoredName(std::move(name), nullptr, 0, hostSystem, convert);
  }
  return true;
}

bool TZipHeaderInfo::ReadLocal(TStream* stream) {
  const int64_t start = stream->Position();
  uint8_t h[kLocalHeaderSize];
  if (stream->Read(h, kLocalHeaderSize) != kLocalHeaderSize || ReadLe32(h) != kLocalFileHeaderSig) {
    stream->Seek(start, soFromBeginning);
    return false;
  }
  const uint16_t nameLength = ReadLe16(h + local::kNameLength);
  std::string name(nameLength, '\0');
  if (nameLength != 0 && stream->Read(name.data(), nameLength) != nameLength) {
    stream->Seek(start, soFromBeginning);
    return false;
  }
  const bool flexibleSkip = OemMode == oemFlexible && (VersionMadeBy & 0x0B00) == 0x0B00;
  const bool convert = OemMode != oemNever && !flexibleSkip;
  VersionMadeBy = 0;
  ReadSharedFields(*this, h + local::kShared);
  NameLength = nameLength;
  LocalExtraLength = ReadLe16(h + local::kExtraLength);
  CommentLength = 0;
  DiskNumberStart = 0;
  InternalAttributes = 0;
  ExternalAttributes = 0;
  CentralEntryOffset = 0;
  FileComment.reset();
  Zip64Info.reset();
  Selected = false;
  SetLocalHeaderOffset64(start);
  if (LocalExtraLength == 0) {
    DecodeStoredName(std::move(name), nullptr, 0, -1, convert);
  } else {
    std::vector<uint8_t> extra(LocalExtraLength);
    const int32_t n = std::max(0, stream->Read(extra.data(), LocalExtraLength));
    DecodeStoredName(std::move(name), extra.data(), static_cast<size_t>(n), -1, convert);
    // The Zip64 field, wherever it stands among the extra fields, in the layout of the
    // block; values that would lie beyond the field are not taken.
    const size_t length = static_cast<size_t>(n);
    for (size_t offset = 0; offset + 4 <= length;) {
      const uint8_t* b = extra.data() + offset;
      const size_t end = std::min(length, offset + extrafield::kData + ReadLe16(b + extrafield::kSize));
      if (ReadLe16(b + extrafield::kTag) != 1) {
        offset = end;
        continue;
      }
      TZip64Info& block = EnsureZip64();
      block.Tag = 1;
      block.Size = ReadLe16(b + extrafield::kSize);
      const size_t size = end - offset;  // the field's bytes, its tag and size included
      if (size >= zip64local::kUncompressed + 8) {
        block.UncompressedSize64 = ReadLe64(b + zip64local::kUncompressed);
        block.Present |= TZip64Info::kUncompressed;
      }
      if (size >= zip64local::kCompressed + 8) {
        block.CompressedSize64 = ReadLe64(b + zip64local::kCompressed);
        block.Present |= TZip64Info::kCompressed;
      }
      // The 8 bytes before the disk would be an offset: a local header's offset is where
      // it was found.
      if (size >= zip64local::kDisk + 4) {
        block.DiskNumberStart32 = ReadLe32(b + zip64local::kDisk);
        block.Present |= TZip64Info::kDisk;
      }
      break;
    }
    stream->Seek(-n, soFromCurrent);
  }
  return true;
}

// ---- TEndCentral ---------------------------------------------------------------------------

void TEndCentral::Reset() {
  Signature = kEndCentralDirSig;
  ThisDisk = StartCentralDisk = EntriesThisDisk = EntryCount = 0;
  CentralSize = CentralOffset = 0;
  CommentLength = 0;
  CommentPosition = 0;
  ZipComment.reset();
  CommentModified = false;
}

TZip64EndRecord& TEndCentral::EnsureZip64End() {
  if (!Zip64End) Zip64End = std::make_unique<TZip64EndRecord>();
  return *Zip64End;
}

uint32_t TEndCentral::ThisDisk32() const {
  return ThisDisk == 0xFFFF && Zip64End ? Zip64End->ThisDisk : ThisDisk;
}

uint32_t TEndCentral::StartCentralDisk32() const {
  return StartCentralDisk == 0xFFFF && Zip64End ? Zip64End->StartCentralDisk : StartCentralDisk;
}

uint64_t TEndCentral::EntryCount64() const {
  return EntryCount == 0xFFFF && Zip64End ? Zip64End->EntryCount : EntryCount;
}

uint64_t TEndCentral::CentralOffset64() const {
  return CentralOffset == 0xFFFFFFFFu && Zip64End ? Zip64End->CentralOffset : CentralOffset;
}

uint64_t TEndCentral::CentralSize64() const {
  return CentralSize == 0xFFFFFFFFu && Zip64End ? Zip64End->CentralSize : CentralSize;
}

void TEndCentral::SetThisDisk32(uint32_t value) {
  if (value > 0xFFFE) {
    EnsureZip64End().ThisDisk = value;
    ThisDisk = 0xFFFF;
  } else {
    ThisDisk = static_cast<uint16_t>(value);
  }
}

void TEndCentral::SetEntryCount64(uint64_t value) {
  if (value > 0xFFFE) {
    EnsureZip64End().EntryCount = value;
    EntryCount = 0xFFFF;
  } else {
    EntryCount = static_cast<uint16_t>(value);
    if (Zip64End) Zip64End->EntryCount = value;
  }
}

void TEndCentral::SetCentralOffset64(uint64_t value) {
  if (value >= 0xFFFFFFFFu) {
    EnsureZip64End().CentralOffset = value;
    CentralOffset = 0xFFFFFFFFu;
  } else {
    CentralOffset = static_cast<uint32_t>(value);
  }
}

void TEndCentral::Assign(const TPersistent* source) {
  const auto* src = dynamic_cast<const TEndCentral*>(source);
  if (!src) {
    TPersistent::Assign(source);
    return;
  }
  if (src == this) return;
  Signature = src->Signature;
  ThisDisk = src->ThisDisk;
  StartCentralDisk = src->StartCentralDisk;
  EntriesThisDisk = src->EntriesThisDisk;
  EntryCount = src->EntryCount;
  CentralSize = src->CentralSize;
  CentralOffset = src->CentralOffset;
  CommentLength = src->CommentLength;
  if (src->CommentLength != 0 && src->ZipComment) {
    ZipComment = src->ZipComment;
    CommentLength = static_cast<uint16_t>(ZipComment->size());
  } else {
    ZipComment.reset();  // not loaded: the text of another archive must not stay
  }
  CommentPosition = src->CommentPosition;
}

void TEndCentral::AssignTo(TPersistent* dest) const {
  if (auto* target = dynamic_cast<TEndCentral*>(dest)) {
    target->Assign(this);
    return;
  }
  TPersistent::AssignTo(dest);
}

bool TEndCentral::FindEndRecord(TStream* stream) {
  const int64_t size = stream->Size();
  if (size < kEndRecordSize) return size == 0;
  // The end record and the longest comment it can declare.
  const auto n = static_cast<int32_t>(std::min<int64_t>(kEndRecordSize + 0xFFFF, size));
  std::vector<uint8_t> buffer(static_cast<size_t>(n));
  stream->Seek(size - n, soFromBeginning);
  if (stream->Read(buffer.data(), n) != n) return false;
  int32_t pos = n - kEndRecordSize;
  while (pos >= 0 && !(buffer[static_cast<size_t>(pos)] == 'P' &&
                       ReadLe32(&buffer[static_cast<size_t>(pos)]) == kEndCentralDirSig))
    --pos;
  if (pos < 0) return false;
  const uint8_t* e = &buffer[static_cast<size_t>(pos)];
  Signature = kEndCentralDirSig;
  ThisDisk = ReadLe16(e + endrec::kThisDisk);
  StartCentralDisk = ReadLe16(e + endrec::kStartCentralDisk);
  EntriesThisDisk = ReadLe16(e + endrec::kEntriesThisDisk);
  EntryCount = ReadLe16(e + endrec::kEntryCount);
  CentralSize = ReadLe32(e + endrec::kCentralSize);
  CentralOffset = ReadLe32(e + endrec::kCentralOffset);
  CommentLength = ReadLe16(e + endrec::kCommentLength);
  CommentPosition = size - n + pos + kEndRecordSize;
  // A comment or Zip64 record of an archive read before must not answer for this one.
  ZipComment.reset();
  CommentModified = false;
  const uint8_t* l = e - kZip64LocatorSize;  // the locator stands right before the end record
  if (pos >= kZip64LocatorSize && ReadLe32(l) == kZip64EndLocatorSig) {
    if (!Zip64Locator) Zip64Locator = std::make_unique<TZip64Locator>();
    Zip64Locator->Signature = kZip64EndLocatorSig;
    Zip64Locator->Zip64EndDisk = ReadLe32(l + locator::kZip64EndDisk);
    Zip64Locator->Zip64EndOffset = ReadLe64(l + locator::kZip64EndOffset);
    Zip64Locator->DiskCount = ReadLe32(l + locator::kDiskCount);
    uint8_t z[kZip64EndSize];
    const uint64_t at = Zip64Locator->Zip64EndOffset;
    const bool read = at <= static_cast<uint64_t>(INT64_MAX) &&
                      stream->Seek(static_cast<int64_t>(at), soFromBeginning) ==
                          static_cast<int64_t>(at) &&
                      stream->Read(z, kZip64EndSize) == kZip64EndSize;
    if (read) {
      TZip64EndRecord& r = EnsureZip64End();
      r.Signature = ReadLe32(z);
      r.RecordSize = ReadLe64(z + zip64end::kRecordSize);
      r.VersionMadeBy = ReadLe16(z + zip64end::kVersionMadeBy);
      r.VersionNeeded = ReadLe16(z + zip64end::kVersionNeeded);
      r.ThisDisk = ReadLe32(z + zip64end::kThisDisk);
      r.StartCentralDisk = ReadLe32(z + zip64end::kStartCentralDisk);
      r.EntriesThisDisk = ReadLe64(z + zip64end::kEntriesThisDisk);
      r.EntryCount = ReadLe64(z + zip64end::kEntryCount);
      r.CentralSize = ReadLe64(z + zip64end::kCentralSize);
      r.CentralOffset = ReadLe64(z + zip64end::kCentralOffset);
    } else {
      Zip64End.reset();
    }
  } else {
    Zip64End.reset();
    Zip64Locator.reset();
  }
  return true;
}

// ---- TSortedZip ----------------------------------------------------------------------------

int32_t TSortedZip::Add(TObject* item) {
  if (auto* rec = dynamic_cast<TZipHeaderInfo*>(item); rec && rec->Zip64Info) HasZip64 = true;
  return TSortedObjectList::Add(item);
}

int32_t TSortedZip::Compare(const TObject* itemObject, const TObject* keyObject) const {
  const auto& item = *static_cast<const TZipHeaderInfo*>(itemObject);
  const auto& key = *static_cast<const TZipHeaderInfo*>(keyObject);
  switch (SortMode) {
    case ByName:
      return CompareTextParts(item.Directory(), item.FileName(), key.Directory(), key.FileName());
    case ByFileName:
      return CompareTextAscii(item.FileName(), key.FileName());
    case ByDirectoryName:
      return CompareTextAscii(item.Directory(), key.Directory());
    case ByDate:
      return DosDateTimeSeconds(key.FileDateTime) > DosDateTimeSeconds(item.FileDateTime) ? 1 : -1;
    case ByCompressedSize: {
      const auto d = static_cast<int32_t>(static_cast<uint32_t>(key.CompressedSize64()) -
                                          static_cast<uint32_t>(item.CompressedSize64()));
      return d > 0 ? 1 : -1;
    }
    case ByUnCompressedSize: {
      const auto d = static_cast<int32_t>(static_cast<uint32_t>(key.UncompressedSize64()) -
                                          static_cast<uint32_t>(item.UncompressedSize64()));
      return d > 0 ? 1 : -1;
    }
    case ByRate:
      return Rate(key) - Rate(item);
    case ByNone:
    default: {
      const int32_t disk = Sign(static_cast<int64_t>(item.DiskNumberStart32()) -
                                static_cast<int64_t>(key.DiskNumberStart32()));
      if (disk != 0) return disk;
      const uint64_t a = item.LocalHeaderOffset64(), b = key.LocalHeaderOffset64();
      return a > b ? 1 : (a == b ? 0 : -1);
    }
  }
}

void TSortedZip::AddAll(const std::vector<TZipHeaderInfo*>& records) {
  const bool nameMode = SortMode == ByName || SortMode == ByFileName || SortMode == ByDirectoryName;
  if (!nameMode || count_ != 0)  // the name keys below look at each record once anyway
    for (const TZipHeaderInfo* r : records)
      if (r->Zip64Info) HasZip64 = true;
  const auto oneByOne = [&] {
    for (TZipHeaderInfo* r : records) TSortedObjectList::Add(r);
  };
  if (count_ != 0 || records.size() >= static_cast<size_t>(kMaxListSize)) return oneByOne();

  // Modes whose comparison never answers 0 put equal values after those already there,
  // which a stable sort on the value reproduces. Each mode's value is computed once.
  const bool sizeMode = SortMode == ByCompressedSize || SortMode == ByUnCompressedSize;
  if (SortMode == ByDate || sizeMode) {
    std::vector<std::pair<int64_t, TZipHeaderInfo*>> keyed;
    keyed.reserve(records.size());
    int64_t lo = INT64_MAX, hi = INT64_MIN;
    for (TZipHeaderInfo* r : records) {
      int64_t v = 0;
      if (SortMode == ByDate)
        v = DosDateTimeSeconds(r->FileDateTime);
      else
        v = static_cast<uint32_t>(SortMode == ByCompressedSize ? r->CompressedSize64()
                                                               : r->UncompressedSize64());
      lo = std::min(lo, v);
      hi = std::max(hi, v);
      keyed.emplace_back(v, r);
    }
    // The size comparison is a difference taken modulo 2^32: it orders consistently only
    // while every two values lie less than 2^31 apart.
    if (sizeMode && !keyed.empty() && hi - lo > 0x7FFFFFFF) return oneByOne();
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<TObject*> ordered;
    ordered.reserve(keyed.size());
    for (const auto& k : keyed) ordered.push_back(k.second);
    AdoptOrdered(ordered);
    return;
  }

  // The other modes answer 0 for equal records: with accept a newcomer goes before the
  // equal ones already there, with ignore it is left out, with error it raises (the
  // one-by-one path raises at the same record).
  std::vector<TZipHeaderInfo*> sorted(records);
  // equal[i]: sorted[i] compares equal to sorted[i - 1].
  std::vector<bool> equal(records.size(), false);
  bool equalKnown = false;
  if (SortMode == ByRate) {
    std::vector<std::pair<int32_t, TZipHeaderInfo*>> keyed;
    keyed.reserve(records.size());
    for (TZipHeaderInfo* r : records) keyed.emplace_back(Rate(*r), r);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (size_t i = 0; i < keyed.size(); ++i) {
      sorted[i] = keyed[i].second;
      equal[i] = i > 0 && keyed[i].first == keyed[i - 1].first;
    }
    equalKnown = true;
  } else if (nameMode) {
    // The names with their ASCII letters folded, side by side in one block: comparing
    // them bytewise is the case-insensitive comparison, without visiting the records.
    std::string arena;
    struct Key {
      uint64_t head[4];  // the first 32 bytes, big-endian, zero-padded
      uint32_t at, length;
      uint32_t index;  // position in records: equal names keep their arrival order
    };
    std::vector<Key> keys;
    keys.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
      const TZipHeaderInfo* r = records[i];
      if (r->Zip64Info) HasZip64 = true;
      const size_t at = arena.size();
      if (SortMode != ByFileName) arena += r->Directory();
      if (SortMode != ByDirectoryName) arena += r->FileName();
      keys.push_back({{0, 0, 0, 0}, static_cast<uint32_t>(at),
                      static_cast<uint32_t>(arena.size() - at), static_cast<uint32_t>(i)});
    }
    if (arena.size() > UINT32_MAX) return oneByOne();
    for (char& c : arena)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    for (Key& k : keys)
      for (size_t i = 0; i < 32 && i < k.length; ++i)
        k.head[i / 8] |= static_cast<uint64_t>(static_cast<uint8_t>(arena[k.at + i]))
                         << (56 - 8 * (i % 8));
    const auto view = [&arena](const Key& k) { return std::string_view(arena).substr(k.at, k.length); };
    // The heads decide most comparisons without leaving the keys; equal heads (NUL
    // padding included) leave it to the whole names, and equal names to their arrival.
    // With that last rule an in-place sort gives the stable order.
    std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
      for (int i = 0; i < 4; ++i)
        if (a.head[i] != b.head[i]) return a.head[i] < b.head[i];
      if (a.length > 32 || b.length > 32) {
        const int c = view(a).compare(view(b));
        if (c != 0) return c < 0;
      } else if (a.length != b.length) {
        return a.length < b.length;
      }
      return a.index < b.index;
    });
    for (size_t i = 0; i < keys.size(); ++i) {
      sorted[i] = records[keys[i].index];
      equal[i] = i > 0 && keys[i].length == keys[i - 1].length &&
                 view(keys[i]) == view(keys[i - 1]);
    }
    equalKnown = true;
  } else {
    std::stable_sort(sorted.begin(), sorted.end(), [this](TZipHeaderInfo* a, TZipHeaderInfo* b) {
      return Compare(a, b) < 0;
    });
  }
  std::vector<TObject*> ordered;
  ordered.reserve(sorted.size());
  for (size_t i = 0; i < sorted.size();) {
    size_t j = i + 1;
    while (j < sorted.size() && (equalKnown ? bool(equal[j]) : Compare(sorted[i], sorted[j]) == 0)) ++j;
    if (j - i > 1 && Duplicates == dupError) return oneByOne();
    if (j - i > 1 && Duplicates == dupIgnore) {
      ordered.push_back(sorted[i]);
    } else {
      for (size_t k = j; k > i; --k) ordered.push_back(sorted[k - 1]);
    }
    i = j;
  }
  AdoptOrdered(ordered);
}

// ---- Reading records from a stream -------------------------------------------------------

std::string ReadStoredText(TStream* stream, int32_t length) {
  std::string text(static_cast<size_t>(std::max(0, length)), '\0');
  const int32_t n = std::max(0, stream->Read(text.data(), length));
  text.resize(static_cast<size_t>(n));
  return text;
}

void StepOverLocalHeader(TStream* stream) {
  uint8_t h[kLocalHeaderSize] = {};
  stream->Read(h, kLocalHeaderSize);
  stream->Seek(ReadLe16(h + local::kNameLength) + ReadLe16(h + local::kExtraLength), soFromCurrent);
}

std::optional<std::string> ReadCentralComment(TStream* stream, int64_t at) {
  uint8_t h[kCentralHeaderSize];
  stream->Seek(at, soFromBeginning);
  if (stream->Read(h, kCentralHeaderSize) != kCentralHeaderSize ||
      ReadLe32(h) != kCentralFileHeaderSig)
    return std::nullopt;
  stream->Seek(ReadLe16(h + central::kNameLength) + ReadLe16(h + central::kExtraLength), soFromCurrent);
  return ReadStoredText(stream, ReadLe16(h + central::kCommentLength));
}

bool SeekLocalHeader(TStream* stream, const std::function<void()>& pump) {
  uint8_t byte = 0;
  bool have = false;  // byte holds a byte still to be examined
  uint32_t notP = 0;
  const auto next = [&](uint8_t* out) {
    if (have) {
      have = false;
      *out = byte;
      return true;
    }
    return stream->Read(out, 1) == 1;
  };
  for (;;) {
    uint8_t b = 0;
    if (!next(&b)) return false;
    if (b != 'P') {
      if (++notP % 10240 == 0) pump();
      continue;
    }
    static const uint8_t kRest[3] = {'K', 3, 4};
    bool matched = true;
    for (uint8_t want : kRest) {
      if (!next(&b)) return false;
      if (b != want) {
        byte = b;  // the search resumes at the mismatching byte
        have = true;
        matched = false;
        break;
      }
    }
    if (!matched) continue;
    uint8_t version[2];
    if (!next(&version[0]) || !next(&version[1])) return false;
    if (version[1] < 10) break;
  }
  stream->Seek(-6, soFromCurrent);  // the signature and the version
  return true;
}

int64_t StepOverDescribedData(TStream* s, TZipHeaderInfo& rec, int64_t dataStart, int64_t size) {
  constexpr int64_t kChunk = 64 * 1024;
  constexpr int64_t kLook = 28;  // the longest descriptor and the signature after it
  const bool stored = rec.CompressionMethod == 0 && !rec.IsEncrypted();
  std::vector<uint8_t> buffer;
  int64_t base = dataStart;  // the offset of buffer[0]
  uLong crc = crc32(0, Z_NULL, 0);
  int64_t crcAt = dataStart;  // crc covers [dataStart, crcAt)
  const auto crcUpTo = [&](int64_t q) {
    if (!stored) return;
    for (int64_t at = crcAt; at < q;) {
      const auto n = static_cast<uInt>(std::min<int64_t>(q - at, kChunk));
      crc = crc32(crc, buffer.data() + (at - base), n);
      at += n;
    }
    crcAt = std::max(crcAt, q);
  };
  s->Seek(dataStart, soFromBeginning);
  for (int64_t q = dataStart; q < size; ++q) {
    if (q + kLook > base + static_cast<int64_t>(buffer.size()) &&
        base + static_cast<int64_t>(buffer.size()) < size) {
      crcUpTo(q);
      buffer.erase(buffer.begin(), buffer.begin() + (q - base));
      base = q;
      const size_t kept = buffer.size();
      buffer.resize(kept + kChunk);
      const int32_t n = std::max(0, s->Read(buffer.data() + kept, static_cast<int32_t>(kChunk)));
      buffer.resize(kept + static_cast<size_t>(n));
      if (n == 0 && kept == 0) return -1;
    }
    const uint8_t* p = buffer.data() + (q - base);
    const int64_t avail = base + static_cast<int64_t>(buffer.size()) - q;
    const auto length = static_cast<uint64_t>(q - dataStart);
    // A record of the archive, or the end of the file, k bytes after q.
    const auto followed = [&](int64_t k) {
      if (q + k == size) return true;
      if (k + 4 > avail) return false;
      const uint32_t sig = ReadLe32(p + k);
      return sig == kLocalFileHeaderSig || sig == kCentralFileHeaderSig ||
             sig == kEndCentralDirSig || sig == kZip64EndCentralDirSig;
    };
    const auto fits = [&](uint32_t c32, uint64_t packed, uint64_t unpacked) {
      if (packed != length) return false;
      if (!stored) return true;
      crcUpTo(q);
      return unpacked == length && c32 == static_cast<uint32_t>(crc);
    };
    struct Form {
      int64_t at, k;  // where the values start, the descriptor's length
      bool wide;
    };
    const auto crcOf = [&](const Form& f) { return ReadLe32(p + f.at + descriptor::kCrc32); };
    const auto packedOf = [&](const Form& f) {
      const uint8_t* v = p + f.at + descriptor::kCompressedSize;
      return f.wide ? ReadLe64(v) : ReadLe32(v);
    };
    const auto unpackedOf = [&](const Form& f) {
      return f.wide ? ReadLe64(p + f.at + descriptor::kWideUncompressed)
                    : ReadLe32(p + f.at + descriptor::kNarrowUncompressed);
    };
    const auto matches = [&](const Form& f) {
      return f.k <= avail && fits(crcOf(f), packedOf(f), unpackedOf(f));
    };
    const auto take = [&](const Form& f) {
      rec.Crc32 = crcOf(f);
      rec.SetCompressedSize64(static_cast<int64_t>(packedOf(f)));
      rec.SetUncompressedSize64(static_cast<int64_t>(unpackedOf(f)));
      return q + f.k;
    };
    const bool signature = avail >= 4 && ReadLe32(p) == kDataDescriptorSig;
    if (signature) {
      const Form narrow{4, 16, false}, wide{4, 24, true};
      const bool n = matches(narrow), w = matches(wide);
      if (n && w) {
        // An empty deflated entry fits both: what follows tells, then the local Zip64 field.
        if (followed(narrow.k) != followed(wide.k)) return take(followed(wide.k) ? wide : narrow);
        return take(rec.Zip64Info ? wide : narrow);
      }
      if (n) return take(narrow);
      if (w) return take(wide);
    }
    for (const Form& f : {Form{0, 12, false}, Form{0, 20, true}})
      if (matches(f) && followed(f.k)) return take(f);
    if (avail >= 4 && (ReadLe32(p) == kLocalFileHeaderSig || ReadLe32(p) == kCentralFileHeaderSig)) {
      rec.SetCompressedSize64(static_cast<int64_t>(length));
      return q;
    }
  }
  return -1;
}

int64_t EndRecordsStopAt(TStream* s, int64_t at, int64_t size) {
  uint8_t b[kEndRecordSize];
  const auto record = [&](uint32_t signature, int32_t length) {
    return at + length <= size && s->Seek(at, soFromBeginning) == at &&
           s->Read(b, length) == length && ReadLe32(b) == signature;
  };
  if (record(kZip64EndCentralDirSig, kZip64EndLeadSize)) {
    const uint64_t length = ReadLe64(b + zip64end::kRecordSize);
    if (length > static_cast<uint64_t>(size - at - kZip64EndLeadSize)) return at;
    at += kZip64EndLeadSize + static_cast<int64_t>(length);
  }
  if (record(kZip64EndLocatorSig, kZip64LocatorSize)) at += kZip64LocatorSize;
  // A comment cut short is no loss.
  if (record(kEndCentralDirSig, kEndRecordSize))
    at += kEndRecordSize + ReadLe16(b + endrec::kCommentLength);
  return at >= size ? -1 : at;
}

}  // namespace unzip
