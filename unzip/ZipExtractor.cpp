#include "unzip/ZipExtractor.h"

#include <algorithm>
#include <set>
#include <utility>

#include <zlib.h>

#include "platform/dialogs.h"
#include "platform/files.h"

namespace unzip {

TZipExtractor::TZipExtractor(TComponent* Owner)
    : TComponent(Owner),
      FEndCentral(std::make_unique<TEndCentral>()),
      FWorkEntry(std::make_unique<TZipHeaderInfo>()) {
  FWorkEntry->OemMode = OEMConvert;
}

TZipExtractor::~TZipExtractor() { ClearArchive(); }

void TZipExtractor::Loaded() {
  TComponent::Loaded();
  FThisVersion = kThisVersion;
  FThisBuild = kThisBuild;
  FWorkEntry->OemMode = OEMConvert;
}

void TZipExtractor::Assign(const TPersistent* Source) {
  const auto* src = dynamic_cast<const TZipExtractor*>(Source);
  if (!src) {
    TComponent::Assign(Source);
    return;
  }
  if (src == this) return;
  // A directory read for another archive must not answer for the copied name.
  if (!SameTextAnsi(src->FZipName, FZipName)) ForgetArchive();
  FZipName = src->FZipName;
  FPartBaseName = src->FPartBaseName;
  FDestDir = src->FDestDir;
  FRootDir = src->FRootDir;
  SortMode = src->SortMode;
  RecreateDirs = src->RecreateDirs;
  OverwriteMode = src->OverwriteMode;
  FFilesList = src->FFilesList;
  FRelativePathList = src->FRelativePathList;
  DoAll = src->DoAll;
  IncompleteZipMode = src->IncompleteZipMode;
  KeepZipOpen = src->KeepZipOpen;
  DoProcessMessages = src->DoProcessMessages;
  RetainAttributes = src->RetainAttributes;
  ReplaceReadOnly = src->ReplaceReadOnly;
  OnStartUnZipInfo = src->OnStartUnZipInfo;
  OnFilePercentDone = src->OnFilePercentDone;
  OnTotalPercentDone = src->OnTotalPercentDone;
  OnStartUnZip = src->OnStartUnZip;
  OnEndUnZip = src->OnEndUnZip;
  OnPromptForOverwrite = src->OnPromptForOverwrite;
  OnSkippingFile = src->OnSkippingFile;
  OnBadPassword = src->OnBadPassword;
  OnBadCRC = src->OnBadCRC;
  OnInCompleteZip = src->OnInCompleteZip;
  OnGetNextDisk = src->OnGetNextDisk;
  OnUnZipComplete = src->OnUnZipComplete;
  OnGetNextBuffer = src->OnGetNextBuffer;
  OnFileNameForSplitPart = src->OnFileNameForSplitPart;
}

// ---- Setters -------------------------------------------------------------------------------

void TZipExtractor::SetZipName(const std::string& Value) {
  if (ComponentState() & csDesigning) {
    FZipName = Value;
    return;
  }
  if (SameTextAnsi(Value, FZipName)) return;
  std::string name = Value;
  if (!Value.empty() && Value.back() == '?') {
    platform::OpenFileRequest request;
    request.title = "Open a Zip File";
    request.filter =
        "Zip Files (*.ZIP)|*.zip|SFX Files (*.EXE)|*.exe|Jar Files (*.JAR)|*.jar|All Files "
        "(*.*)|*.*";
    const std::string folder = ExtractFilePath(Value);
    request.initialDir = !folder.empty() && platform::DirectoryExists(folder) ? folder : "C:\\";
    std::string chosen;
    if (!platform::GetOpenFileNameA(request, &chosen)) throw EUserCanceled(kCanceledZipName);
    name = chosen;
  }
  FZipName = name;
  // The base name of split parts: up to the first "." of the file-name part.
  const size_t separator = LastDelimiter("\\:", FZipName);
  const size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
  const size_t dot = FZipName.find('.', nameStart);
  FPartBaseName = dot == std::string::npos ? FZipName : FZipName.substr(0, dot);
  ForgetArchive();
}

void TZipExtractor::SetDestDir(const std::string& Value) {
  std::string value = Value;
  if (Value == "?") {
    std::string start = FDestDir;
    if (!platform::DirectoryExists(start + "\\")) start = platform::GetCurrentDirectoryA();
    std::string chosen;
    if (!platform::SelectDirectoryA(
            start, platform::kDirAllowCreate | platform::kDirPromptCreate | platform::kDirPerformCreate,
            &chosen))
      throw EUserCanceled(kCanceledDestDir);
    value = chosen;
  }
  if (EndsWithBackslash(value)) value.pop_back();
  FDestDir = value;
}

void TZipExtractor::SetRootDir(const std::string& Value) {
  FRootDir = Value.empty() || EndsWithBackslash(Value) ? Value : Value + "\\";
  FRelativePathList.assign(1, FRootDir);
}

// ---- Messages ------------------------------------------------------------------------------

int32_t TZipExtractor::HandleMessage(int32_t MessageID, const std::string& Msg1,
                                     const std::string& Msg2, uint32_t flags) {
  if (OnHandleMessage) {
    // A handler that stores nothing answers Cancel: no question it could be asked is
    // then taken as yes, and the disk prompt ends instead of asking for ever.
    int32_t reply = platform::kIdCancel;
    OnHandleMessage(this, MessageID, Msg1, Msg2, flags, reply);
    return reply;
  }
  return platform::MessageBoxA(0, Msg1, Msg2.empty() ? nullptr : Msg2.c_str(), flags);
}

// ---- Archive state -----------------------------------------------------------------------

void TZipExtractor::ReleaseLists() {
  if (FSortedView != FEntryList) delete FSortedView;
  delete FEntryList;
  FSortedView = nullptr;
  FEntryList = nullptr;
}

void TZipExtractor::ForgetArchive() {
  ReleaseLists();
  FArchiveDate = 0;
  FEndCentral->Reset();
  delete FArchiveStream;
  FArchiveStream = nullptr;
  FDirectoryRebuilt = false;
  FDamageOffset = -1;
  // The volumes of the previous archive say nothing about this one.
  FMultiMode = kMultiNone;
  FDiskCount = 1;
  FCurrentDisk = 0;
}

void TZipExtractor::ClearArchive() {
  delete FArchiveStream;
  FArchiveStream = nullptr;
  ReleaseLists();
  FEndCentral->Reset();
  FDirectoryRebuilt = false;
  FDamageOffset = -1;
  FArchiveDate = 0;
  FDiskCount = 1;
  FMultiMode = kMultiNone;
  FZipName.clear();
}

uint32_t TZipExtractor::FileDate(TStream* Stream) {
  platform::Handle handle = platform::kInvalidHandle;
  if (auto* buffered = dynamic_cast<TBufferedFileStream*>(Stream))
    handle = buffered->Handle();
  else if (auto* plain = dynamic_cast<THandleStream*>(Stream))
    handle = plain->Handle();
  uint32_t date = 0;
  if (handle == platform::kInvalidHandle || !platform::GetFileDosDateTime(handle, &date)) return 0;
  return date;
}

std::unique_ptr<TZipHeaderInfo> TZipExtractor::NewRecord() const {
  auto record = std::make_unique<TZipHeaderInfo>();
  record->OemMode = OEMConvert;
  return record;
}

int32_t TZipExtractor::Count() const { return FEntryList ? FEntryList->Count() : 0; }

void TZipExtractor::CheckIndex(int32_t Index) const {
  if (Index < 0 || Index >= Count() || !FSortedView || Index >= FSortedView->Count())
    throw EListError(Format("Index %d is out of range", Index));
}

std::string TZipExtractor::EntryFileName(int32_t Index) const {
  CheckIndex(Index);
  return FSortedView->Entry(Index)->FileName();
}

void TZipExtractor::OpenArchive() {
  if (!FArchiveStream)
    FArchiveStream = new TBufferedFileStream(FZipName, BufferSize, FlushFilesOnClose,
                                             fmOpenRead | fmShareDenyWrite);
  // A changed file is read as a new archive, which may need its own rebuild.
  if (!FEntryList || FileDate(FArchiveStream) != FArchiveDate) ReadDirectory(FArchiveStream);
}

void TZipExtractor::CloseArchive() {
  if (KeepZipOpen) return;
  delete FArchiveStream;
  FArchiveStream = nullptr;
}

void TZipExtractor::OpenWithRetry() {
  for (;;) {
    try {
      OpenArchive();
      break;
    } catch (const EIncompleteZip&) {
      delete FArchiveStream;
      FArchiveStream = nullptr;
      if (OnInCompleteZip) continue;
      break;
    } catch (...) {
      ClearArchive();
      CloseArchive();
      throw;
    }
  }
  CloseArchive();
}

// ---- Directory reading -------------------------------------------------------------------

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t Le64(const uint8_t* p) {
  return static_cast<uint64_t>(Le32(p)) | (static_cast<uint64_t>(Le32(p + 4)) << 32);
}

constexpr uint32_t kDataDescriptorSig = 0x08074b50;

// Points the component's reading slot at a stream for one directory read, and puts the
// previous value back on every way out, exceptions included.
class TReadingScope {
 public:
  TReadingScope(TStream*& slot, TStream* stream) : slot_(slot), previous_(slot) { slot_ = stream; }
  ~TReadingScope() { slot_ = previous_; }
  TReadingScope(const TReadingScope&) = delete;
  TReadingScope& operator=(const TReadingScope&) = delete;

 private:
  TStream*& slot_;
  TStream* previous_;
};

// Where the data of an entry with a data descriptor ends, found by reading forward from
// dataStart: at the first position where a descriptor (signature 0x08074b50 or none; 32-
// or 64-bit sizes) holds a compressed size equal to the bytes stepped over (for a stored,
// unencrypted entry also their size and CRC-32), or else where the next local header or
// the central directory begins. A descriptor without signature only counts when a record
// of the archive or the end of the file follows it. The record takes the descriptor's
// values (only the compressed size when none was found). Returns the offset after the
// descriptor, or -1 when the data runs to the end of the file.
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
      const uint32_t sig = Le32(p + k);
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
    const auto matches = [&](const Form& f) {
      if (f.k > avail) return false;
      const uint8_t* v = p + f.at;
      return f.wide ? fits(Le32(v), Le64(v + 4), Le64(v + 12))
                    : fits(Le32(v), Le32(v + 4), Le32(v + 8));
    };
    const auto take = [&](const Form& f) {
      const uint8_t* v = p + f.at;
      rec.Crc32 = Le32(v);
      rec.SetCompressedSize64(static_cast<int64_t>(f.wide ? Le64(v + 4) : Le32(v + 4)));
      rec.SetUncompressedSize64(static_cast<int64_t>(f.wide ? Le64(v + 12) : Le32(v + 8)));
      return q + f.k;
    };
    const bool signature = avail >= 4 && Le32(p) == kDataDescriptorSig;
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
    if (avail >= 4 && (Le32(p) == kLocalFileHeaderSig || Le32(p) == kCentralFileHeaderSig)) {
      rec.SetCompressedSize64(static_cast<int64_t>(length));
      return q;
    }
  }
  return -1;
}

// Where the bytes from `at` stop being the archive's end records, each where the one
// before ended: the Zip64 end record, its locator, the end record and its comment (all
// optional); -1 when they reach the end of the file.
int64_t UnaccountedFrom(TStream* s, int64_t at, int64_t size) {
  uint8_t b[22];
  const auto record = [&](uint32_t signature, int32_t length) {
    return at + length <= size && s->Seek(at, soFromBeginning) == at &&
           s->Read(b, length) == length && Le32(b) == signature;
  };
  if (record(kZip64EndCentralDirSig, 12)) {
    const uint64_t length = Le64(b + 4);
    if (length > static_cast<uint64_t>(size - at - 12)) return at;
    at += 12 + static_cast<int64_t>(length);
  }
  if (record(kZip64EndLocatorSig, 20)) at += 20;
  if (record(kEndCentralDirSig, 22)) at += 22 + Le16(b + 20);  // a comment cut short is no loss
  return at >= size ? -1 : at;
}

}  // namespace

void TZipExtractor::ReadDirectory(TStream* Stream) {
  TStream* s = Stream;
  const TReadingScope reading(FReading, s);
  FArchiveDate = FileDate(s);
  if (Count() > 0) ReleaseLists();
  // Each read may rebuild once; nothing of an earlier read's end record or damage stays
  // (an empty file has no end record to overwrite it).
  FDirectoryRebuilt = false;
  FDamageOffset = -1;
  TEndCentral& end = *FEndCentral;
  end.Reset();

  bool found = end.FindEndRecord(s);
  if (found && end.StartCentralDisk32() > end.ThisDisk32()) found = false;
  std::unique_ptr<TBufferedFileStream> side;
  bool useSide = false;
  if (!found) {
    const std::string sideName = ChangeFileExt(FZipName, ".zfc");
    if (platform::FileExists(sideName)) {
      side = std::make_unique<TBufferedFileStream>(sideName, BufferSize, false, fmOpenRead);
      if (end.FindEndRecord(side.get())) {
        useSide = true;
        found = true;
        s = side.get();
        FReading = s;
      } else {
        side.reset();
      }
    }
  }

  bool damaged = false;
  if (found) {
    FCurrentDisk = useSide ? 0 : end.ThisDisk32();
    if (end.ThisDisk32() == 0)
      SetMultiMode(kMultiNone);
    else if (GetMultiMode() == kMultiNone)
      DecideMultiMode();
    if (end.EntryCount64() > 0) {
      if (!useSide && GetMultiMode() != kMultiNone && end.StartCentralDisk32() != FCurrentDisk) {
        s = OpenDisk(static_cast<int64_t>(end.StartCentralDisk32()) + 1);
        FReading = s;
      }
      const uint64_t offset = useSide ? 0 : end.CentralOffset64();
      s->Seek(offset > static_cast<uint64_t>(INT64_MAX) ? -1 : static_cast<int64_t>(offset),
              soFromBeginning);
      // Every central header takes at least 46 bytes: a count that the bytes there cannot
      // carry is a damaged directory, not an amount of records to expect.
      const int64_t at = s->Position();
      const uint64_t room = useSide || GetMultiMode() == kMultiNone
                                ? static_cast<uint64_t>(std::max<int64_t>(0, s->Size() - at))
                                : end.CentralSize64();
      damaged = at < 0 || end.EntryCount64() > room / 46;
    } else if (useSide || GetMultiMode() == kMultiNone) {
      // No entries declared: central headers there would still be read.
      const uint64_t offset = useSide ? 0 : end.CentralOffset64();
      s->Seek(std::min<uint64_t>(offset, INT64_MAX), soFromBeginning);
    }
  } else {
    if (OnInCompleteZip) OnInCompleteZip(this, IncompleteZipMode);
    switch (IncompleteZipMode) {
      case izAssumeNotAZip:
        throw ENotAZipFile();
      case izAssumeBad:
        if (!RebuildDirectory()) {
          ClearArchive();
          throw EBadZipFile();
        }
        break;
      case izAssumeMulti:
      default:
        throw EIncompleteZip();
    }
  }

  if (Count() == 0 && !FDirectoryRebuilt) {
    ReleaseLists();
    FEntryList = new TSortedZip(dupError);
    FSortedView = FEntryList;
  }
  FDiskCount = static_cast<int64_t>(end.ThisDisk32()) + 1;

  const auto fail = [this]() {
    ClearArchive();
    throw EBadZipFile();
  };
  if (damaged && (GetMultiMode() != kMultiNone || !RebuildDirectory())) fail();

  // Records read from the central directory, in its order; they go into EntryList in
  // one step at the end. Keys (start disk, local header offset) already seen tell a
  // second header for the same local header. A rebuild reads the central headers after
  // the local ones itself, and its records are complete.
  std::vector<std::unique_ptr<TZipHeaderInfo>> pending;
  std::set<std::pair<uint32_t, uint64_t>> keys;
  const std::function<TStream*()> nextDisk = [this]() { return OpenDisk(FCurrentDisk + 2); };
  static const std::function<TStream*()> kNone;
  // Central headers beyond the entry count are read up to the end record (single file,
  // side file) or within the declared size on the volume at hand (volumes).
  const bool wholeFile = useSide || GetMultiMode() == kMultiNone;
  const bool lookBeyond = wholeFile || end.EntryCount64() > 0;
  const int64_t recordsStart = end.CommentPosition - 22;
  uint64_t consumed = 0;
  uint16_t pendingExtra = 0;
  TZipHeaderInfo* prevEntry = nullptr;
  try {
    for (uint64_t i = 0; found && !FDirectoryRebuilt; ++i) {
      const bool beyond = i >= end.EntryCount64();
      if (beyond && (!lookBeyond || (wholeFile ? s->Position() >= recordsStart
                                               : consumed >= end.CentralSize64())))
        break;
      if (DoProcessMessages) PumpMessages();
      std::unique_ptr<TZipHeaderInfo> rec = NewRecord();
      const std::function<TStream*()>& next = GetMultiMode() != kMultiNone && !beyond ? nextDisk : kNone;
      bool ok = rec->ReadCentral(s, next);
      if (!ok && pendingExtra > 0 && !beyond) {
        // The previous header's extra field was not really there.
        if (prevEntry) prevEntry->CentralExtraLength = 0;
        s->Seek(-static_cast<int64_t>(pendingExtra), soFromCurrent);
        prevEntry = nullptr;
        ok = rec->ReadCentral(s, next);
      }
      FReading = s;
      pendingExtra = 0;
      if (!ok) {
        if (beyond) break;
        if (GetMultiMode() == kMultiNone && RebuildDirectory()) break;
        fail();
      }
      // Every later step may need these values: a marker whose value is missing fails the
      // read here, whatever the sort mode.
      static_cast<void>(rec->CompressedSize64());
      static_cast<void>(rec->UncompressedSize64());
      if (!keys.emplace(rec->DiskNumberStart32(), rec->LocalHeaderOffset64()).second) {
        // A second central header for the same local header.
        if (GetMultiMode() == kMultiNone && RebuildDirectory()) break;
        fail();
      }
      // More headers than the count says: all are read, and the count is wrong.
      if (beyond && FDamageOffset < 0) FDamageOffset = rec->CentralEntryOffset;
      if (end.ThisDisk32() > 0 && rec->HasComment()) {
        // Its volume may not be at hand later: take the comment now, from where it is.
        s->Seek(rec->CentralExtraLength, soFromCurrent);
        std::string text(rec->CommentLength, '\0');
        const int32_t n = std::max(0, s->Read(text.data(), rec->CommentLength));
        text.resize(static_cast<size_t>(n));
        rec->FileComment = text.empty() ? std::nullopt : std::optional<std::string>(text);
      } else {
        s->Seek(static_cast<int64_t>(rec->CentralExtraLength) + rec->CommentLength, soFromCurrent);
      }
      consumed += 46u + rec->NameLength + rec->CentralExtraLength + rec->CommentLength;
      if (rec->CentralExtraLength > 0) {
        pendingExtra = rec->CentralExtraLength;
        prevEntry = rec.get();
      }
      pending.push_back(std::move(rec));
    }
    if (FDirectoryRebuilt) pending.clear();
    if (!pending.empty()) {
      std::vector<TZipHeaderInfo*> records;
      records.reserve(pending.size());
      for (auto& rec : pending) records.push_back(rec.release());
      FEntryList->AddAll(records);
    }

    if (end.ThisDisk32() > 0 && end.CommentLength != 0) {
      if (useSide) {
        side->Seek(end.CommentPosition, soFromBeginning);
        std::string text(end.CommentLength, '\0');
        const int32_t n = std::max(0, side->Read(text.data(), end.CommentLength));
        text.resize(static_cast<size_t>(n));
        end.ZipComment = text.empty() ? std::nullopt : std::optional<std::string>(text);
        end.CommentModified = false;
      } else {
        if (end.ThisDisk32() != FCurrentDisk) OpenDisk(static_cast<int64_t>(end.ThisDisk32()) + 1);
        GetZipComment();
      }
    }
    // CurrentDisk stays the volume the archive stream is open on (OpenDisk keeps it).
    if (useSide) FCurrentDisk = 0;
    ApplySortMode(SortMode);
  } catch (const EBadZipFile&) {
    // A Zip64 value that is needed but missing: the same in every sort mode.
    ClearArchive();
    throw;
  }
}

bool TZipExtractor::RebuildDirectory() {
  if (FDirectoryRebuilt) return false;
  TStream* s = FReading;
  const bool outside = s == nullptr;
  bool opened = false;
  if (outside) {
    // Called from outside a directory read: the archive itself, a single file.
    if (GetMultiMode() != kMultiNone) return false;
    if (!FArchiveStream) {
      try {
        FArchiveStream = new TBufferedFileStream(FZipName, BufferSize, FlushFilesOnClose,
                                                 fmOpenRead | fmShareDenyWrite);
      } catch (const Exception&) {
        return false;
      }
      opened = true;
    }
    s = FArchiveStream;
  }
  const auto giveUp = [&]() {
    if (opened) CloseArchive();
    return false;
  };
  const int64_t size = s->Size();
  s->Seek(SameTextAnsi(ExtractFileExt(FZipName), ".EXE") ? 14000 : 0, soFromBeginning);

  // Scan for "P" "K" 3 4 and a version whose high byte is below 10.
  uint8_t byte = 0;
  bool have = false;  // byte holds a byte still to be examined
  uint32_t notP = 0;
  const auto next = [&](uint8_t* out) {
    if (have) {
      have = false;
      *out = byte;
      return true;
    }
    return s->Read(out, 1) == 1;
  };
  for (;;) {
    uint8_t b = 0;
    if (!next(&b)) return giveUp();
    if (b != 'P') {
      if (++notP % 10240 == 0 && DoProcessMessages) PumpMessages();
      continue;
    }
    static const uint8_t kRest[3] = {'K', 3, 4};
    bool matched = true;
    for (uint8_t want : kRest) {
      if (!next(&b)) return giveUp();
      if (b != want) {
        byte = b;  // the search resumes at the mismatching byte
        have = true;
        matched = false;
        break;
      }
    }
    if (!matched) continue;
    uint8_t version[2];
    if (!next(&version[0]) || !next(&version[1])) return giveUp();
    if (version[1] < 10) break;
  }
  s->Seek(-6, soFromCurrent);

  // The local entries, one after the other. The walk stops at the first local header it
  // cannot read, or whose data it cannot step over (the stream then stands at it).
  auto list = std::make_unique<TSortedZip>(dupError);
  for (;;) {
    const int64_t at = s->Position();
    std::unique_ptr<TZipHeaderInfo> rec = NewRecord();
    if (!rec->ReadLocal(s)) break;
    if (DoProcessMessages) PumpMessages();
    const int64_t dataStart = s->Position() + rec->LocalExtraLength;
    const auto left = static_cast<uint64_t>(std::max<int64_t>(0, size - dataStart));
    int64_t after = -1;
    try {
      if (rec->HasDataDescriptor())
        after = StepOverDescribedData(s, *rec, dataStart, size);
      else if (rec->CompressedSize64() <= left)
        after = dataStart + static_cast<int64_t>(rec->CompressedSize64());
      static_cast<void>(rec->UncompressedSize64());
    } catch (const EBadZipFile&) {
      after = -1;  // a size that is not known
    }
    if (after < 0) {
      s->Seek(at, soFromBeginning);
      break;
    }
    list->Add(rec.get());
    rec.release();
    s->Seek(after, soFromBeginning);
  }
  const int64_t localEnd = s->Position();

  // The central headers that follow give the records their central data (a header whose
  // values are missing gives nothing); after them come the end records.
  uint16_t pendingExtra = 0;
  TZipHeaderInfo* prevEntry = nullptr;
  static const std::function<TStream*()> kNone;
  for (;;) {
    std::unique_ptr<TZipHeaderInfo> rec = NewRecord();
    bool ok = rec->ReadCentral(s, kNone);
    if (!ok && pendingExtra > 0) {
      // The previous header's extra field was not really there.
      if (prevEntry) prevEntry->CentralExtraLength = 0;
      s->Seek(-static_cast<int64_t>(pendingExtra), soFromCurrent);
      prevEntry = nullptr;
      ok = rec->ReadCentral(s, kNone);
    }
    pendingExtra = 0;
    if (!ok) break;
    if (DoProcessMessages) PumpMessages();
    s->Seek(static_cast<int64_t>(rec->CentralExtraLength) + rec->CommentLength, soFromCurrent);
    pendingExtra = rec->CentralExtraLength;
    prevEntry = nullptr;
    try {
      static_cast<void>(rec->CompressedSize64());
      static_cast<void>(rec->UncompressedSize64());
      int32_t index = 0;
      if (list->Find(rec.get(), &index)) {
        // Fill the record found at the same local header.
        TZipHeaderInfo* match = list->Entry(index);
        const uint64_t offset = match->LocalHeaderOffset64();
        match->Assign(rec.get());
        match->SetLocalHeaderOffset64(static_cast<int64_t>(offset));
        prevEntry = match;
      }
    } catch (const EBadZipFile&) {
    }
  }

  ReleaseLists();
  FEntryList = list.release();
  FSortedView = FEntryList;
  FDirectoryRebuilt = true;
  FDamageOffset = UnaccountedFrom(s, s->Position(), size);
  FEndCentral->SetThisDisk32(0);
  FCurrentDisk = 0;
  FEndCentral->SetCentralOffset64(static_cast<uint64_t>(std::max<int64_t>(0, localEnd)));
  FEndCentral->SetEntryCount64(static_cast<uint64_t>(Count()));
  FDiskCount = 1;
  if (outside) {
    // A directory as a read leaves it: dated, in the sort mode, the file closed again.
    FArchiveDate = FileDate(s);
    ApplySortMode(SortMode);
    if (opened) CloseArchive();
  }
  return true;
}

void TZipExtractor::ApplySortMode(TZipSortMode Mode) {
  if (FSortedView != FEntryList) delete FSortedView;
  FSortedView = FEntryList;
  if (Mode != ByNone && FEntryList) {
    auto view = std::make_unique<TSortedZip>(dupAccept);
    view->OwnsObjects = false;
    view->SortMode = Mode;
    std::vector<TZipHeaderInfo*> records;
    records.reserve(static_cast<size_t>(FEntryList->Count()));
    for (int32_t i = 0; i < FEntryList->Count(); ++i) records.push_back(FEntryList->Entry(i));
    view->AddAll(records);
    FSortedView = view.release();
  }
  SortMode = Mode;
}

// ---- Comments ------------------------------------------------------------------------------

std::string TZipExtractor::GetZipComment() {
  TEndCentral& end = *FEndCentral;
  if (end.CommentLength == 0) return {};
  if (end.ZipComment) return *end.ZipComment;
  OpenArchive();
  if (end.CommentLength == 0) return {};
  TStream* s = FArchiveStream;
  const int64_t position = s->Position();
  s->Seek(end.CommentPosition, soFromBeginning);
  std::string text(end.CommentLength, '\0');
  const int32_t n = std::max(0, s->Read(text.data(), end.CommentLength));
  text.resize(static_cast<size_t>(n));
  const bool modified = end.CommentModified;
  SetZipComment(text);
  end.CommentModified = modified;
  s->Seek(position, soFromBeginning);
  if (GetMultiMode() == kMultiNone) CloseArchive();
  return text;
}

void TZipExtractor::SetZipComment(const std::string& Text) {
  TEndCentral& end = *FEndCentral;
  if (Text == end.ZipComment.value_or(std::string())) return;
  end.ZipComment = Text.empty() ? std::nullopt : std::optional<std::string>(Text);
  end.CommentLength = static_cast<uint16_t>(Text.size());
  end.CommentModified = true;
}

std::string TZipExtractor::GetFileComment(int32_t Index) {
  CheckIndex(Index);
  {
    const TZipHeaderInfo* rec = FSortedView->Entry(Index);
    if (rec->CommentLength == 0) return {};
    if (rec->FileComment) return *rec->FileComment;
  }
  OpenArchive();  // may read the directory again: look the record up afterwards
  CheckIndex(Index);
  const TZipHeaderInfo* rec = FSortedView->Entry(Index);
  if (rec->CommentLength == 0) return {};
  if (rec->FileComment) return *rec->FileComment;
  TStream* s = FArchiveStream;
  const int64_t position = s->Position();
  std::string text;
  uint8_t h[46];
  s->Seek(rec->CentralEntryOffset, soFromBeginning);
  if (s->Read(h, 46) == 46 && h[0] == 'P' && h[1] == 'K' && h[2] == 1 && h[3] == 2) {
    const int64_t skip = (h[28] | (h[29] << 8)) + (h[30] | (h[31] << 8));
    const int32_t length = h[32] | (h[33] << 8);
    s->Seek(skip, soFromCurrent);
    text.assign(static_cast<size_t>(length), '\0');
    const int32_t n = std::max(0, s->Read(text.data(), length));
    text.resize(static_cast<size_t>(n));
    const bool modified = FEndCentral->CommentModified;
    SetFileComment(Index, text);
    FEndCentral->CommentModified = modified;
  }
  s->Seek(position, soFromBeginning);
  if (GetMultiMode() == kMultiNone) CloseArchive();
  return text;
}

void TZipExtractor::SetFileComment(int32_t Index, const std::string& Text) {
  CheckIndex(Index);
  TZipHeaderInfo* rec = FSortedView->Entry(Index);
  if (Text == rec->FileComment.value_or(std::string())) return;
  rec->FileComment = Text.empty() ? std::nullopt : std::optional<std::string>(Text);
  rec->CommentLength = static_cast<uint16_t>(Text.size());
  FEndCentral->CommentModified = true;
}

}  // namespace unzip
