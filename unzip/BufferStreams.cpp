#include "unzip/BufferStreams.h"

#include <algorithm>
#include <cstring>

#include "platform/dialogs.h"
#include "platform/errors.h"

namespace unzip {

// ---- TStream ---------------------------------------------------------------------------

int64_t TStream::Size() {
  const int64_t position = Seek(0, soFromCurrent);
  const int64_t end = Seek(0, soFromEnd);
  Seek(position, soFromBeginning);
  return end;
}

void TStream::SetSize(int64_t /*newSize*/) {}

void TStream::ReadBuffer(void* buffer, int32_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int32_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

// ---- THandleStream ---------------------------------------------------------------------

int32_t THandleStream::Read(void* buffer, int32_t count) {
  if (count <= 0) return 0;
  uint32_t done = 0;
  if (!platform::ReadFile(handle_, buffer, static_cast<uint32_t>(count), &done)) {
    position_ = -1;
    return 0;
  }
  if (position_ >= 0) position_ += done;
  return static_cast<int32_t>(done);
}

int32_t THandleStream::Write(const void* buffer, int32_t count) {
  if (count <= 0) return 0;
  uint32_t done = 0;
  if (!platform::WriteFile(handle_, buffer, static_cast<uint32_t>(count), &done)) {
    position_ = -1;
    return 0;
  }
  if (position_ >= 0) position_ += done;
  return static_cast<int32_t>(done);
}

int64_t THandleStream::Seek(int64_t offset, uint16_t origin) {
  if (origin == soFromCurrent && offset == 0 && position_ >= 0) return position_;
  int64_t position = -1;
  if (!platform::SetFilePointerEx(handle_, offset, &position, origin)) {
    position_ = -1;
    return -1;
  }
  position_ = position;
  return position;
}

int64_t THandleStream::Size() {
  int64_t size = 0;
  if (!platform::GetFileSizeEx(handle_, &size)) return TStream::Size();
  return size;
}

void THandleStream::SetSize(int64_t newSize) {
  if (Seek(newSize, soFromBeginning) != newSize || !platform::SetEndOfFile(handle_))
    throw EStreamError(platform::SysErrorMessage(platform::GetLastError()));
}

// ---- TFileStream -----------------------------------------------------------------------

platform::Handle TFileStream::OpenHandle(const std::string& fileName, uint16_t mode) {
  using namespace platform;
  if (mode == fmCreate) {
    platform::Handle h = CreateFileA(fileName, kGenericRead | kGenericWrite, kShareNone, kCreateAlways);
    if (h == kInvalidHandle)
      throw EFCreateError(Format("Cannot create file \"%s\". %s", fileName.c_str(),
                                 SysErrorMessage(GetLastError()).c_str()));
    return h;
  }
  static const uint32_t kAccess[3] = {kGenericRead, kGenericWrite, kGenericRead | kGenericWrite};
  static const uint32_t kShare[5] = {kShareNone, kShareNone, kShareRead, kShareWrite,
                                     kShareRead | kShareWrite};
  const uint32_t accessBits = mode & 0x3;
  const uint32_t shareBits = (mode & 0xF0) >> 4;
  platform::Handle h = kInvalidHandle;
  if (accessBits < 3) {
    h = CreateFileA(fileName, kAccess[accessBits], shareBits < 5 ? kShare[shareBits] : kShareNone,
                    kOpenExisting);
  } else {
    SetLastError(kErrorInvalidParameter);
  }
  if (h == kInvalidHandle)
    throw EFOpenError(Format("Cannot open file \"%s\". %s", fileName.c_str(),
                             SysErrorMessage(GetLastError()).c_str()));
  return h;
}

TFileStream::TFileStream(const std::string& fileName, uint16_t mode)
    : THandleStream(OpenHandle(fileName, mode), 0), fileName_(fileName) {}

TFileStream::~TFileStream() { platform::CloseHandle(handle_); }

// ---- TBufferStream ---------------------------------------------------------------------

TBufferStream::TBufferStream(TStream* inner, int32_t bufSize)
    : inner_(inner),
      buffer_(new uint8_t[static_cast<size_t>(std::max(bufSize, 1))]),
      bufSize_(std::max(bufSize, 1)) {
  bufEnd_ = buffer_.get() + bufSize_;
}

TBufferStream::~TBufferStream() { Finish(); }

void TBufferStream::Finish() {
  if (finished_) return;
  finished_ = true;
  if (state_ == kWriting) FlushBuffer();
  if (flushOnDestroy_ && written_) {
    if (auto* handleStream = dynamic_cast<THandleStream*>(inner_))
      platform::FlushFileBuffers(handleStream->Handle());
  }
}

int64_t TBufferStream::BufferedOffset() const {
  if (state_ == kReading && bufPos_) return bufPos_ - bufEnd_;
  if (state_ == kWriting && bufPos_) return bufPos_ - buffer_.get();
  return 0;
}

int64_t TBufferStream::InnerPosition() {
  if (innerPos_ < 0) innerPos_ = inner_->Seek(0, soFromCurrent);
  return innerPos_;
}

bool TBufferStream::FillBuffer() {
  const int32_t n = inner_->Read(buffer_.get(), bufSize_);
  // A short read may have ended in a failure that moved the pointer: ask next time.
  innerPos_ = innerPos_ >= 0 && n == bufSize_ ? innerPos_ + n : -1;
  bufPos_ = buffer_.get();
  bufEnd_ = buffer_.get() + std::max(n, 0);
  state_ = n > 0 ? kReading : kIdle;
  AfterFillBuffer();
  return n > 0;
}

bool TBufferStream::FlushBuffer() {
  const int32_t count = bufPos_ ? static_cast<int32_t>(bufPos_ - buffer_.get()) : 0;
  const int32_t done = count > 0 ? inner_->Write(buffer_.get(), count) : 0;
  innerPos_ = innerPos_ >= 0 && done == count ? innerPos_ + done : -1;
  bufPos_ = buffer_.get();
  state_ = kIdle;
  AfterFlushBuffer();
  const bool ok = done == count;
  if (!ok) writeFailed_ = true;
  return ok;
}

void TBufferStream::AfterFillBuffer() {
  if (OnFillBuffer) OnFillBuffer(this);
}

void TBufferStream::AfterFlushBuffer() {
  if (OnFlushBuffer) OnFlushBuffer(this);
}

bool TBufferStream::Flush() {
  if (state_ == kWriting) return FlushBuffer();
  return true;
}

int32_t TBufferStream::Read(void* buffer, int32_t count) {
  if (state_ != kReading) {
    // Only a read buffer holds bytes to read. A write buffer goes out first; an idle one
    // (after a seek, or after a write that ended on a block boundary) holds bytes already
    // written: the next bytes come from the inner stream at the logical position.
    if (state_ == kWriting) FlushBuffer();
    bufEnd_ = buffer_.get() + bufSize_;
    bufPos_ = bufEnd_;
  }
  auto* out = static_cast<uint8_t*>(buffer);
  int32_t result = 0;
  while (count > 0) {
    if (bufPos_ == bufEnd_ && count >= bufSize_) {
      // Nothing read ahead and at least a block wanted: the whole blocks go straight
      // into the caller's memory, in one request, instead of through the buffer.
      const int32_t want = count - count % bufSize_;
      const int32_t n = std::max(0, inner_->Read(out, want));
      innerPos_ = innerPos_ >= 0 && n == want ? innerPos_ + n : -1;
      state_ = n > 0 ? kReading : kIdle;
      out += n;
      result += n;
      count -= n;
      if (n < want) break;
      continue;
    }
    if (bufPos_ == bufEnd_ && !FillBuffer()) break;
    const int32_t n = std::min<int32_t>(count, static_cast<int32_t>(bufEnd_ - bufPos_));
    std::memcpy(out, bufPos_, static_cast<size_t>(n));
    bufPos_ += n;
    out += n;
    result += n;
    count -= n;
  }
  return result;
}

int32_t TBufferStream::Write(const void* buffer, int32_t count) {
  if (state_ != kWriting) {
    // Discard what was read ahead: the inner stream goes back to the logical position.
    if (state_ == kReading && bufPos_) {
      const int64_t back = InnerPosition() + (bufPos_ - bufEnd_);
      innerPos_ = inner_->Seek(back, soFromBeginning);
    }
    bufPos_ = buffer_.get();
    bufEnd_ = buffer_.get() + bufSize_;
    state_ = kIdle;
  }
  const auto* in = static_cast<const uint8_t*>(buffer);
  int32_t result = 0;
  int32_t ownInBuffer = 0;  // bytes of this call in the buffer, not yet flushed
  while (count > 0) {
    if (bufPos_ == buffer_.get() && count >= bufSize_) {
      // Nothing waiting and at least a block given: the whole blocks go to the inner
      // stream in one request, as a run of full-buffer flushes would write them.
      const int32_t want = count - count % bufSize_;
      const int32_t done = inner_->Write(in, want);
      innerPos_ = innerPos_ >= 0 && done == want ? innerPos_ + done : -1;
      AfterFlushBuffer();
      if (done != want) {
        writeFailed_ = true;
        break;  // as with a failed flush, the bytes of this request count as not written
      }
      in += want;
      result += want;
      count -= want;
      continue;
    }
    const int32_t n = std::min<int32_t>(count, static_cast<int32_t>(bufEnd_ - bufPos_));
    std::memcpy(bufPos_, in, static_cast<size_t>(n));
    bufPos_ += n;
    in += n;
    result += n;
    ownInBuffer += n;
    count -= n;
    if (bufPos_ == bufEnd_) {
      if (!FlushBuffer()) {
        // The bytes are gone: report those of this call as not written, so that the
        // caller sees a short count.
        result -= ownInBuffer;
        break;
      }
      ownInBuffer = 0;
    }
  }
  if (bufPos_ != buffer_.get()) state_ = kWriting;
  written_ = true;
  return result;
}

int64_t TBufferStream::Seek(int64_t offset, uint16_t origin) {
  const int64_t current = InnerPosition() + BufferedOffset();
  int64_t target = 0;
  switch (origin) {
    case soFromBeginning:
      target = offset;
      break;
    case soFromCurrent:
      target = current + offset;
      break;
    case soFromEnd: {
      const int64_t end = std::max(current, inner_->Size());
      target = end - (offset < 0 ? -offset : offset);
      break;
    }
    default:
      throw Exception(Format("Invalid seek origin (%d)", static_cast<int>(origin)));
  }
  if (target == current) return target;
  if (state_ == kWriting && !FlushBuffer()) throw Exception("Seek error");
  const int64_t moved = inner_->Seek(target, soFromBeginning);
  innerPos_ = moved;  // -1 after a failure: asked again next time
  bufPos_ = nullptr;
  state_ = kIdle;
  return moved < 0 ? moved : target;
}

void TBufferStream::PutBack(uint8_t byte) {
  if (state_ != kReading || !bufPos_ || bufPos_ == buffer_.get())
    throw EStreamError("Putback overflow");
  *--bufPos_ = byte;
}

// ---- TBufferedFileStream -------------------------------------------------------------------

TBufferedFileStream::TBufferedFileStream(const std::string& fileName, int32_t bufSize,
                                         bool flushOnClose, uint16_t mode)
    : TBufferStream(new TFileStream(fileName, mode), bufSize),
      fileStream_(static_cast<TFileStream*>(inner_)) {
  flushOnDestroy_ = flushOnClose && (mode & 0x3) != 0;
}

TBufferedFileStream::~TBufferedFileStream() {
  Finish();
  delete fileStream_;
}

void TBufferedFileStream::SetSize(int64_t newSize) {
  innerPos_ = -1;  // the file stream moves its pointer
  fileStream_->SetSize(newSize);
}

// ---- File-system and message routines ----------------------------------------------------

void CreateDirPath(const std::string& path) { platform::CreateFolderPath(path); }

bool DirExistsByChDir(const std::string& path) {
  const std::string saved = platform::GetCurrentDirectoryA();
  const bool exists = platform::SetCurrentDirectoryA(path);
  if (exists) platform::SetCurrentDirectoryA(saved);
  return exists;
}

bool PumpMessages() { return platform::PumpMessages(); }

}  // namespace unzip
