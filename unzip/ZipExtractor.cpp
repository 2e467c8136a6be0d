#include "unzip/ZipExtractor.h"

#include <algorithm>
#include <optional>
#include <set>
#include <utility>

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
  const size_t separator = AnsiLastDelimiter("\\:", FZipName);
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

TZipExtractor::TEntryInfo TZipExtractor::EntryInfo(int32_t Index) const {
  CheckIndex(Index);
  const TZipHeaderInfo& e = *FSortedView->Entry(Index);
  TEntryInfo info;
  info.name = e.Directory() + e.FileName();
  info.nameNotRepresentable = e.NameNotRepresentable;
  if (e.NameNotRepresentable) info.utf8Name = e.Utf8Name;
  info.size = e.UncompressedSize64();
  info.packed = e.CompressedSize64();
  info.method = e.CompressionMethod;
  info.dosDateTime = e.FileDateTime;
  info.crc32 = e.Crc32;
  info.attributes = e.ExternalAttributes;
  info.encrypted = e.IsEncrypted();
  return info;
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

// Central headers one after the other. A header that cannot be read right after one with
// an extra field is looked for again that many bytes earlier: that extra field was not
// really there, and the record it was read into (when one is named) loses it.
class TCentralWalk {
 public:
  bool Read(TZipHeaderInfo& rec, TStream*& s, const std::function<TStream*()>& nextDisk,
            bool mayStepBack) {
    bool ok = rec.ReadCentral(s, nextDisk);
    if (!ok && extraBehind_ > 0 && mayStepBack) {
      if (owner_) owner_->CentralExtraLength = 0;
      s->Seek(-static_cast<int64_t>(extraBehind_), soFromCurrent);
      owner_ = nullptr;
      ok = rec.ReadCentral(s, nextDisk);
    }
    extraBehind_ = 0;
    return ok;
  }
  // The header just read had an extra field of this length, now stepped over; owner is the
  // record that keeps its values (none: nothing to mend).
  void SteppedOver(uint16_t extraLength, TZipHeaderInfo* owner) {
    extraBehind_ = extraLength;
    owner_ = owner;
  }

 private:
  uint16_t extraBehind_ = 0;
  TZipHeaderInfo* owner_ = nullptr;
};

const std::function<TStream*()> kNoNextDisk;

// Raises EBadZipFile when a size field holds the Zip64 marker and no Zip64 field the value.
void RequireSizes(const TZipHeaderInfo& rec) {
  static_cast<void>(rec.CompressedSize64());
  static_cast<void>(rec.UncompressedSize64());
}

}  // namespace

void TZipExtractor::ReadDirectory(TStream* Stream) {
  const TReadingScope reading(FReading, Stream);
  StartRead(Stream);                                   // forget the read before
  const TEndLookup located = LocateEndRecord();        // end record, Zip64 records, side file
  const bool useSide = located.side != nullptr;
  bool readable = false;  // the central headers can be read where the end record puts them
  if (located.found) {
    EnterVolume(useSide);                              // volume mode, first central volume
    readable = CheckRoom(useSide);                     // entry count against the bytes there
  } else {
    IncompleteArchive();                               // throws unless a rebuild is wanted
  }
  NewEntryList();
  FDiskCount = static_cast<int64_t>(FEndCentral->ThisDisk32()) + 1;
  try {
    std::optional<TRecordList> records;
    if (readable) records = ReadCentralHeaders(useSide || GetMultiMode() == kMultiNone);
    // The records read, or those a rebuild found: either list becomes the directory.
    if (records)
      AdoptRecords(std::move(*records));
    else
      AdoptRebuilt(RebuildOrFail());
    ReadVolumeComments(located.side.get());            // volumes: the archive comment now
    // CurrentDisk stays the volume the archive stream is open on (OpenDisk keeps it).
    if (useSide) FCurrentDisk = 0;
    ApplySortMode(SortMode);
  } catch (const EBadZipFile&) {
    // A Zip64 value that is needed but missing: the same in every sort mode.
    ClearArchive();
    throw;
  }
}

// Step 0: nothing of an earlier read's records, end record, rebuild or damage stays (an
// empty file has no end record to overwrite it).
void TZipExtractor::StartRead(TStream* Stream) {
  FArchiveDate = FileDate(Stream);
  if (Count() > 0) ReleaseLists();
  FDirectoryRebuilt = false;
  FDamageOffset = -1;
  FEndCentral->Reset();
}

// Step 1: the end record and the Zip64 records it points to, in the stream or else in the
// side file (".zfc"), which then is the stream read. An end record whose central directory
// would start on a later volume than its own is no end record.
TZipExtractor::TEndLookup TZipExtractor::LocateEndRecord() {
  TEndCentral& end = *FEndCentral;
  TEndLookup located;
  located.found = end.FindEndRecord(FReading) && end.StartCentralDisk32() <= end.ThisDisk32();
  if (located.found) return located;
  const std::string sideName = ChangeFileExt(FZipName, ".zfc");
  if (!platform::FileExists(sideName)) return located;
  auto side = std::make_unique<TBufferedFileStream>(sideName, BufferSize, false, fmOpenRead);
  if (!end.FindEndRecord(side.get())) return located;
  located.found = true;
  located.side = std::move(side);
  FReading = located.side.get();
  return located;
}

// Step 1, without an end record: IncompleteZipMode (which OnInCompleteZip may change)
// says not a zip file (ENotAZipFile), a volume of a set (EIncompleteZip) or damaged: the
// call returns and the directory is rebuilt.
void TZipExtractor::IncompleteArchive() {
  if (OnInCompleteZip) OnInCompleteZip(this, IncompleteZipMode);
  switch (IncompleteZipMode) {
    case izAssumeNotAZip:
      throw ENotAZipFile();
    case izAssumeBad:
      return;
    case izAssumeMulti:
    default:
      throw EIncompleteZip();
  }
}

// Step 2: the volume mode the end record calls for, and the volume on which the central
// directory starts.
void TZipExtractor::EnterVolume(bool UseSide) {
  const TEndCentral& end = *FEndCentral;
  FCurrentDisk = UseSide ? 0 : end.ThisDisk32();
  if (end.ThisDisk32() == 0)
    SetMultiMode(kMultiNone);
  else if (GetMultiMode() == kMultiNone)
    DecideMultiMode();
  if (end.EntryCount64() > 0 && !UseSide && GetMultiMode() != kMultiNone &&
      end.StartCentralDisk32() != FCurrentDisk)
    FReading = OpenDisk(static_cast<int64_t>(end.StartCentralDisk32()) + 1);
}

// Step 3: the stream goes to the central directory, and the entry count is checked against
// the bytes there. Every central header takes at least 46 bytes: a count that the bytes
// cannot carry is a damaged directory, not an amount of records to expect. False: to be
// rebuilt (single file); on volumes EBadZipFile.
bool TZipExtractor::CheckRoom(bool UseSide) {
  const TEndCentral& end = *FEndCentral;
  TStream* s = FReading;
  const bool wholeFile = UseSide || GetMultiMode() == kMultiNone;
  const uint64_t offset = UseSide ? 0 : end.CentralOffset64();
  if (end.EntryCount64() == 0) {
    // No entries declared: central headers there would still be read.
    if (wholeFile) s->Seek(std::min<uint64_t>(offset, INT64_MAX), soFromBeginning);
    return true;
  }
  s->Seek(offset > static_cast<uint64_t>(INT64_MAX) ? -1 : static_cast<int64_t>(offset),
          soFromBeginning);
  const int64_t at = s->Position();
  const uint64_t room = wholeFile ? static_cast<uint64_t>(std::max<int64_t>(0, s->Size() - at))
                                  : end.CentralSize64();
  const bool fits = at >= 0 && end.EntryCount64() <= room / kCentralHeaderSize;
  if (!fits && GetMultiMode() != kMultiNone) FailRead();
  return fits;
}

// Step 4: the central headers, in the directory's order. Headers beyond the entry count
// are read up to the end record (whole file: single or side file) or within the declared
// size on the volume at hand (volumes); the first of them is the damage offset. nullopt: a
// header that cannot be read or a second one for the same local header, a damaged
// directory to be rebuilt (single file; on volumes EBadZipFile).
std::optional<TZipExtractor::TRecordList> TZipExtractor::ReadCentralHeaders(bool WholeFile) {
  const TEndCentral& end = *FEndCentral;
  const std::function<TStream*()> nextDisk = [this]() { return OpenDisk(FCurrentDisk + 2); };
  const bool lookBeyond = WholeFile || end.EntryCount64() > 0;
  const int64_t recordsStart = end.CommentPosition - kEndRecordSize;
  TRecordList records;
  // Keys (start disk, local header offset) already seen tell a second header for the same
  // local header.
  std::set<std::pair<uint32_t, uint64_t>> keys;
  uint64_t consumed = 0;
  TCentralWalk walk;
  const auto damaged = [&]() -> std::optional<TRecordList> {
    if (GetMultiMode() != kMultiNone) FailRead();
    return std::nullopt;
  };
  for (uint64_t i = 0;; ++i) {
    const bool beyond = i >= end.EntryCount64();
    if (beyond && (!lookBeyond || (WholeFile ? FReading->Position() >= recordsStart
                                             : consumed >= end.CentralSize64())))
      break;
    if (DoProcessMessages) PumpMessages();
    std::unique_ptr<TZipHeaderInfo> rec = NewRecord();
    if (!walk.Read(*rec, FReading,
                   GetMultiMode() != kMultiNone && !beyond ? nextDisk : kNoNextDisk, !beyond)) {
      if (beyond) break;
      return damaged();
    }
    // Every later step may need these values: a marker whose value is missing fails the
    // read here, whatever the sort mode.
    RequireSizes(*rec);
    if (!keys.emplace(rec->DiskNumberStart32(), rec->LocalHeaderOffset64()).second)
      return damaged();
    // More headers than the count says: all are read, and the count is wrong.
    if (beyond && FDamageOffset < 0) FDamageOffset = rec->CentralEntryOffset;
    TStream* s = FReading;
    if (end.ThisDisk32() > 0 && rec->HasComment()) {
      // Its volume may not be at hand later: take the comment now, from where it is.
      s->Seek(rec->CentralExtraLength, soFromCurrent);
      const std::string text = ReadStoredText(s, rec->CommentLength);
      rec->FileComment = text.empty() ? std::nullopt : std::optional<std::string>(text);
    } else {
      s->Seek(static_cast<int64_t>(rec->CentralExtraLength) + rec->CommentLength, soFromCurrent);
    }
    consumed += kCentralHeaderSize + rec->NameLength + rec->CentralExtraLength + rec->CommentLength;
    walk.SteppedOver(rec->CentralExtraLength, rec.get());
    records.push_back(std::move(rec));
  }
  return records;
}

// Step 5 (volumes): the archive comment, read now from the side file or the last volume.
// The file comments came with their headers.
void TZipExtractor::ReadVolumeComments(TStream* Side) {
  TEndCentral& end = *FEndCentral;
  if (end.ThisDisk32() == 0 || end.CommentLength == 0) return;
  if (Side) {
    Side->Seek(end.CommentPosition, soFromBeginning);
    const std::string text = ReadStoredText(Side, end.CommentLength);
    end.ZipComment = text.empty() ? std::nullopt : std::optional<std::string>(text);
    end.CommentModified = false;
    return;
  }
  if (end.ThisDisk32() != FCurrentDisk) OpenDisk(static_cast<int64_t>(end.ThisDisk32()) + 1);
  GetZipComment();
}

// A damaged directory read cannot go on: everything is forgotten.
void TZipExtractor::FailRead() {
  ClearArchive();
  throw EBadZipFile();
}

void TZipExtractor::NewEntryList() {
  ReleaseLists();
  FEntryList = new TSortedZip(dupError);
  FSortedView = FEntryList;
}

// The records of a read or a rebuild become the directory, in one step.
void TZipExtractor::AdoptRecords(TRecordList Records) {
  NewEntryList();
  if (Records.empty()) return;
  std::vector<TZipHeaderInfo*> list;
  list.reserve(Records.size());
  for (auto& rec : Records) list.push_back(rec.release());
  FEntryList->AddAll(list);
}

// ---- Rebuilding --------------------------------------------------------------------------

// The rebuild of a damaged single-file directory during a read; EBadZipFile when the file
// holds no local header or this read rebuilt already.
TZipExtractor::TRebuilt TZipExtractor::RebuildOrFail() {
  std::optional<TRebuilt> rebuilt;
  if (!FDirectoryRebuilt) rebuilt = RebuildRecords(FReading);
  if (!rebuilt) FailRead();
  return std::move(*rebuilt);
}

bool TZipExtractor::RebuildDirectory() {
  if (FDirectoryRebuilt) return false;
  if (FReading) {
    std::optional<TRebuilt> rebuilt = RebuildRecords(FReading);
    if (rebuilt) AdoptRebuilt(std::move(*rebuilt));
    return rebuilt.has_value();
  }
  // Called from outside a directory read: the archive itself, a single file.
  if (GetMultiMode() != kMultiNone) return false;
  bool opened = false;
  if (!FArchiveStream) {
    try {
      FArchiveStream = new TBufferedFileStream(FZipName, BufferSize, FlushFilesOnClose,
                                               fmOpenRead | fmShareDenyWrite);
    } catch (const Exception&) {
      return false;
    }
    opened = true;
  }
  std::optional<TRebuilt> rebuilt = RebuildRecords(FArchiveStream);
  if (rebuilt) {
    AdoptRebuilt(std::move(*rebuilt));
    // A directory as a read leaves it: dated, in the sort mode, the file closed again.
    FArchiveDate = FileDate(FArchiveStream);
    ApplySortMode(SortMode);
  }
  if (opened) CloseArchive();
  return rebuilt.has_value();
}

// The walk of a rebuild: the local entries from the first local header on, then the
// central headers after them, which fill in the records they match, then the end records.
// The records come in local order; nullopt when the file holds no local header.
std::optional<TZipExtractor::TRebuilt> TZipExtractor::RebuildRecords(TStream* s) {
  const int64_t size = s->Size();
  s->Seek(SameTextAnsi(ExtractFileExt(FZipName), ".EXE") ? 14000 : 0, soFromBeginning);
  if (!SeekLocalHeader(s, [this] {
        if (DoProcessMessages) PumpMessages();
      }))
    return std::nullopt;
  TRebuilt rebuilt;
  rebuilt.records = ReadLocalEntries(s, size);
  rebuilt.localEnd = s->Position();
  FillFromCentralHeaders(s, rebuilt.records);
  rebuilt.damageOffset = EndRecordsStopAt(s, s->Position(), size);
  return rebuilt;
}

// Rebuild step 1: the local entries, one after the other. The walk stops at the first local
// header it cannot read, or whose data it cannot step over (the stream then stands at it).
TZipExtractor::TRecordList TZipExtractor::ReadLocalEntries(TStream* s, int64_t Size) {
  TRecordList records;
  for (;;) {
    const int64_t at = s->Position();
    std::unique_ptr<TZipHeaderInfo> rec = NewRecord();
    if (!rec->ReadLocal(s)) break;
    if (DoProcessMessages) PumpMessages();
    const int64_t dataStart = s->Position() + rec->LocalExtraLength;
    const auto left = static_cast<uint64_t>(std::max<int64_t>(0, Size - dataStart));
    int64_t after = -1;
    try {
      if (rec->HasDataDescriptor())
        after = StepOverDescribedData(s, *rec, dataStart, Size);
      else if (rec->CompressedSize64() <= left)
        after = dataStart + static_cast<int64_t>(rec->CompressedSize64());
      RequireSizes(*rec);
    } catch (const EBadZipFile&) {
      after = -1;  // a size that is not known
    }
    if (after < 0) {
      s->Seek(at, soFromBeginning);
      break;
    }
    records.push_back(std::move(rec));
    s->Seek(after, soFromBeginning);
  }
  return records;
}

// Rebuild step 2: the central headers that follow give the records of the same local
// header their central data (a header whose values are missing, or that matches no local
// header, gives nothing).
void TZipExtractor::FillFromCentralHeaders(TStream* s, TRecordList& Records) {
  // The local headers were found in the order of their offsets, all on volume 0.
  const auto byOffset = [](const std::unique_ptr<TZipHeaderInfo>& r, uint64_t offset) {
    return r->LocalHeaderOffset64() < offset;
  };
  TCentralWalk walk;
  for (;;) {
    std::unique_ptr<TZipHeaderInfo> rec = NewRecord();
    if (!walk.Read(*rec, s, kNoNextDisk, true)) break;
    if (DoProcessMessages) PumpMessages();
    s->Seek(static_cast<int64_t>(rec->CentralExtraLength) + rec->CommentLength, soFromCurrent);
    walk.SteppedOver(rec->CentralExtraLength, nullptr);
    try {
      RequireSizes(*rec);
      if (rec->DiskNumberStart32() != 0) continue;
      const uint64_t offset = rec->LocalHeaderOffset64();
      const auto found = std::lower_bound(Records.begin(), Records.end(), offset, byOffset);
      if (found == Records.end() || (*found)->LocalHeaderOffset64() != offset) continue;
      TZipHeaderInfo* match = found->get();
      match->Assign(rec.get());
      match->SetLocalHeaderOffset64(static_cast<int64_t>(offset));
      walk.SteppedOver(rec->CentralExtraLength, match);
    } catch (const EBadZipFile&) {
    }
  }
}

// A rebuilt directory takes the place of the one read: its records, the end record of a
// single file whose central directory starts where the local entries end, and the offset
// where the walk stopped short of the end of the file.
void TZipExtractor::AdoptRebuilt(TRebuilt Rebuilt) {
  AdoptRecords(std::move(Rebuilt.records));
  FDirectoryRebuilt = true;
  FDamageOffset = Rebuilt.damageOffset;
  FEndCentral->SetThisDisk32(0);
  FCurrentDisk = 0;
  FEndCentral->SetCentralOffset64(static_cast<uint64_t>(std::max<int64_t>(0, Rebuilt.localEnd)));
  FEndCentral->SetEntryCount64(static_cast<uint64_t>(Count()));
  FDiskCount = 1;
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
  const std::string text = ReadStoredText(s, end.CommentLength);
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
  if (std::optional<std::string> stored = ReadCentralComment(s, rec->CentralEntryOffset)) {
    text = std::move(*stored);
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
