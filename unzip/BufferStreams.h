// Streams: the stream base, the handle and file streams over the platform's files, and
// the buffering stream every file of the engine goes through. Also the file-system and
// message routines the engine uses in its long loops.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/files.h"
#include "unzip/Runtime.h"

namespace unzip {

inline constexpr uint16_t soFromBeginning = 0;
inline constexpr uint16_t soFromCurrent = 1;
inline constexpr uint16_t soFromEnd = 2;

class TStream : public TObject {
 public:
  const char* ClassName() const override { return "TStream"; }
  // Bytes transferred; fewer than count only at the end of the data or on failure.
  virtual int32_t Read(void* buffer, int32_t count) = 0;
  virtual int32_t Write(const void* buffer, int32_t count) = 0;
  // origin 0 beginning, 1 current, 2 end; returns the new position (-1 on failure).
  virtual int64_t Seek(int64_t offset, uint16_t origin) = 0;
  int64_t Position() { return Seek(0, soFromCurrent); }
  void SetPosition(int64_t position) { Seek(position, soFromBeginning); }
  // Seeks to the end and back.
  virtual int64_t Size();
  virtual void SetSize(int64_t newSize);
  // Read/Write that raise EReadError "Stream read error" / EWriteError "Stream write
  // error" when not every byte moves.
  void ReadBuffer(void* buffer, int32_t count);
  void WriteBuffer(const void* buffer, int32_t count);
};

// A stream over an open platform file handle, which it does not close.
// The stream remembers the handle's file pointer, so that asking for the position costs
// no system call: the pointer must be moved only through the stream.
class THandleStream : public TStream {
 public:
  // position: where the handle's file pointer stands, when the caller knows it.
  explicit THandleStream(platform::Handle handle, int64_t position = -1)
      : handle_(handle), position_(position) {}
  const char* ClassName() const override { return "THandleStream"; }
  platform::Handle Handle() const { return handle_; }
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, uint16_t origin) override;
  int64_t Size() override;
  // Moves to newSize and ends the file there; raises EStreamError on failure.
  void SetSize(int64_t newSize) override;

 protected:
  platform::Handle handle_;

 private:
  int64_t position_ = -1;  // the file pointer; -1 when not known
};

// Open modes: low two bits the access, bits 4-6 the sharing, 0xFFFF create.
inline constexpr uint16_t fmOpenRead = 0x0000;
inline constexpr uint16_t fmOpenWrite = 0x0001;
inline constexpr uint16_t fmOpenReadWrite = 0x0002;
inline constexpr uint16_t fmShareCompat = 0x0000;
inline constexpr uint16_t fmShareExclusive = 0x0010;
inline constexpr uint16_t fmShareDenyWrite = 0x0020;
inline constexpr uint16_t fmShareDenyRead = 0x0030;
inline constexpr uint16_t fmShareDenyNone = 0x0040;
inline constexpr uint16_t fmCreate = 0xFFFF;

// A file opened by name; closed on destruction. Raises EFCreateError "Cannot create file
// "%s". %s" or EFOpenError "Cannot open file "%s". %s" (name, system error text).
class TFileStream : public THandleStream {
 public:
  TFileStream(const std::string& fileName, uint16_t mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
  const char* ClassName() const override { return "TFileStream"; }
  const std::string& FileName() const { return fileName_; }

 private:
  static platform::Handle OpenHandle(const std::string& fileName, uint16_t mode);
  std::string fileName_;
};

// Buffers reads and writes of another stream in one block of BufSize bytes.
class TBufferStream : public TStream {
 public:
  enum : uint8_t { kIdle = 0, kReading = 1, kWriting = 2 };

  TBufferStream(TStream* inner, int32_t bufSize);
  ~TBufferStream() override;
  TBufferStream(const TBufferStream&) = delete;
  TBufferStream& operator=(const TBufferStream&) = delete;
  const char* ClassName() const override { return "TBufferStream"; }

  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, uint16_t origin) override;

  virtual bool FillBuffer();
  virtual bool FlushBuffer();
  // Makes byte the next one Read returns; raises EStreamError "Putback overflow" when
  // there is nothing in the buffer to step back over.
  virtual void PutBack(uint8_t byte);
  virtual void AfterFillBuffer();
  virtual void AfterFlushBuffer();

  // Writes out a pending write buffer now; false when the inner stream refused bytes
  // (then, and after any failed flush, WriteFailed() stays true). A caller that must know
  // whether its last bytes reached the file calls this before releasing the stream.
  bool Flush();
  bool WriteFailed() const { return writeFailed_; }

  uint8_t State() const { return state_; }
  int32_t BufSize() const { return bufSize_; }
  bool FlushOnDestroy() const { return flushOnDestroy_; }
  bool Written() const { return written_; }

  std::function<void(TObject* sender)> OnFillBuffer;
  std::function<void(TObject* sender)> OnFlushBuffer;

 protected:
  // The final flush and forcing to the device of destruction; runs once.
  void Finish();
  int64_t BufferedOffset() const;
  // The inner stream's position, asked once and then followed through this stream's own
  // reads, writes and seeks (the directory reader asks for the position per header).
  int64_t InnerPosition();
  int64_t innerPos_ = -1;  // -1: not known

  TStream* inner_;
  std::unique_ptr<uint8_t[]> buffer_;
  uint8_t* bufPos_ = nullptr;  // null: none (after a seek)
  uint8_t* bufEnd_;
  int32_t bufSize_;
  uint8_t state_ = kIdle;
  bool flushOnDestroy_ = false;
  bool written_ = false;
  bool writeFailed_ = false;
  bool finished_ = false;
};

// A buffered stream over a file it opens and owns.
class TBufferedFileStream : public TBufferStream {
 public:
  TBufferedFileStream(const std::string& fileName, int32_t bufSize, bool flushOnClose,
                      uint16_t mode);
  ~TBufferedFileStream() override;
  const char* ClassName() const override { return "TBufferedFileStream"; }
  platform::Handle Handle() const { return fileStream_->Handle(); }
  const std::string& FileName() const { return fileStream_->FileName(); }
  void SetSize(int64_t newSize) override;

 private:
  TFileStream* fileStream_;
};

// Creates every missing folder of path, outermost first; failures are ignored and paths
// shorter than three characters (a bare drive) are never created.
void CreateDirPath(const std::string& path);
// True when the process can change into path (its current directory is restored).
bool DirExistsByChDir(const std::string& path);
// Dispatches pending window messages; true when a quit message was seen.
bool PumpMessages();

}  // namespace unzip
