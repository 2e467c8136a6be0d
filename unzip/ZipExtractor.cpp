#include "unzip/ZipExtractor.h"

#include <algorithm>
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
      damaged = at < 0 || end.EntryCount64() > room / kCentralHeaderSize;
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
  const int64_t recordsStart = end.CommentPosition - kEndRecordSize;
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
        const std::string text = ReadStoredText(s, rec->CommentLength);
        rec->FileComment = text.empty() ? std::nullopt : std::optional<std::string>(text);
      } else {
        s->Seek(static_cast<int64_t>(rec->CentralExtraLength) + rec->CommentLength, soFromCurrent);
      }
      consumed += kCentralHeaderSize + rec->NameLength + rec->CentralExtraLength + rec->CommentLength;
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
        const std::string text = ReadStoredText(side.get(), end.CommentLength);
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

  // The first local header.
  if (!SeekLocalHeader(s, [this] {
        if (DoProcessMessages) PumpMessages();
      }))
    return giveUp();

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
  FDamageOffset = EndRecordsStopAt(s, s->Position(), size);
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
