// The entry decoders: the shared input side (block reader with the traditional PKWARE
// decryption), the shared output side (writer with the size check, CRC-32 and progress)
// and the decoders of the zip methods Stored, Shrunk, Reduced (1-4), Imploded and Deflated.
//
// One TEntryDecoder lives for one extraction run and owns the run's three work buffers;
// the driver resets it before every entry and reaches it through TDecoderHost.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "unzip/ZipExceptions.h"

namespace unzip {

// What the decoders need of the component: the archive stream, the entry being decoded
// (the driver's work copy), the output file and the events.
class TDecoderHost {
 public:
  virtual ~TDecoderHost() = default;

  // ---- Archive side ----
  // Reads up to count bytes from the current archive stream; fewer only at its end.
  virtual int32_t ReadArchive(void* buffer, int32_t count) = 0;
  // True for a multi-disk archive (ThisDisk32 is not 0).
  virtual bool MultiDisk() = 0;
  // Makes the next volume the archive stream (OpenDisk(CurrentDisk + 2)), positioned at
  // its start; raises the volume layer's exception when it cannot be obtained.
  virtual void OpenNextVolume() = 0;
  // OnDecrypt: when a handler is assigned, raises it on the block (decrypted in place)
  // and returns true; returns false when there is none.
  virtual bool Decrypt(uint8_t* buffer, int32_t length) = 0;
  // Dispatches pending window messages when DoProcessMessages is set.
  virtual void PumpMessages() = 0;
  // The component's message routine.
  virtual int32_t HandleMessage(int32_t messageId, const std::string& text,
                                const std::string& caption, uint32_t flags) = 0;

  // ---- The entry (WorkEntry) ----
  // Bytes of the entry's data not yet read from the archive.
  virtual int64_t CompressedSize64() = 0;
  virtual void SetCompressedSize64(int64_t value) = 0;
  virtual int64_t UncompressedSize64() = 0;
  // General purpose flags: bit 0 encrypted, bits 1 and 2 the Implode options.
  virtual uint16_t Flags() = 0;
  virtual uint16_t CompressionMethod() = 0;
  virtual const std::string& Password() = 0;

  // ---- Output side ----
  // Writes to the output file; returns the bytes it accepted.
  virtual int32_t WriteOutput(const void* buffer, int32_t count) = 0;
  // The output file's position (0 when the entry's decoding starts).
  virtual int64_t OutputPosition() = 0;
  // Called after each block of n bytes written.
  virtual void ReportProgress(int64_t n) = 0;
};

class TEntryDecoder {
 public:
  static constexpr int32_t kBlockSize = 32768;
  static constexpr int32_t kBufferSize = kBlockSize + 1;
  static constexpr int32_t kWindowAreaSize = 32780;

  // Allocates the work buffers; they live as long as the decoder.
  explicit TEntryDecoder(TDecoderHost& host);
  ~TEntryDecoder();
  TEntryDecoder(const TEntryDecoder&) = delete;
  TEntryDecoder& operator=(const TEntryDecoder&) = delete;

  // Before every entry's decoding: counts and positions at the buffer starts, bit buffer
  // empty, CompressedLeft and UncompressedLeft from the entry, running CRC 0xFFFFFFFF.
  void Reset();

  // ---- Decoders, called with the archive stream at the entry's data ----
  void DecodeStored();
  void DecodeShrunk();
  void DecodeReduced(int factor);  // 1 to 4
  void DecodeImploded();
  void DecodeDeflated();

  // ---- Traditional PKWARE decryption ----
  void InitKeys(const std::string& password);
  void UpdateKeys(uint8_t b) {
    Key0 = CrcStep(Key0, b);
    Key1 = (Key1 + (Key0 & 0xFF)) * 134775813u + 1;
    Key2 = CrcStep(Key2, static_cast<uint8_t>(Key1 >> 24));
  }
  uint8_t DecryptByte() const {
    const uint32_t t = (Key2 | 2) & 0xFFFF;
    return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
  }
  void DecryptBuffer(uint8_t* buffer, int64_t n);
  // Reads the 12-byte encryption header, lowers the entry's CompressedSize64 by 12, sets
  // the keys from password and returns the last decrypted header byte (the check byte).
  // An entry whose data holds fewer than 12 bytes has no header: nothing is read or
  // changed and the result is -1, which matches no check byte. Raises EFatalUnzipError
  // when the archive ends inside the header.
  int DecryptHeader(const std::string& password);

  // ---- Input and output sides ----
  // 8 when a byte was delivered, 0 when none (the entry's data is used up).
  int ReadInputByte(uint8_t& b) {
    if (CompressedLeft <= 0) {
      --CompressedLeft;
      return 0;
    }
    --CompressedLeft;
    if (InputCount == 0 && !RefillInput()) return 0;
    b = *InputPos++;
    --InputCount;
    return 8;
  }
  void FlushOutput();
  void PutOutputByte(uint8_t b) {
    *OutputPos++ = b;
    if (++OutputCount == kBlockSize) FlushOutput();
  }
  void FlushWindow(int32_t n);
  void UpdateCrc(const uint8_t* buffer, int64_t n);

  // Bit input of Shrink and Reduce, least significant bit first.
  void FillBits();
  uint32_t ReadBits(int n);

  // Returns result; raises EZCompressionError "error" when it is negative.
  static int CheckZlib(int result);

  // ---- State of one extraction run, reset for each entry ----
  uint16_t InputCount = 0;
  uint8_t* InputPos = nullptr;
  uint16_t OutputCount = 0;
  uint8_t* OutputPos = nullptr;
  uint32_t BitBuffer = 0;
  uint16_t BitCount = 0;
  bool InputExhausted = false;
  int64_t CompressedLeft = 0;
  int64_t UncompressedLeft = 0;
  uint32_t RunningCrc = 0xFFFFFFFF;  // the driver complements it after decoding
  uint32_t Key0 = 0;
  uint32_t Key1 = 0;
  uint32_t Key2 = 0;

  uint8_t* WindowArea() { return window_->bytes; }

 private:
  // The window area as each old method lays it out.
  union TWindowArea {
    uint8_t bytes[kWindowAreaSize];
    struct {
      int16_t prefix[8193];  // -1: a free code
      uint8_t gap1[4];
      uint8_t suffix[8193];
      uint8_t gap2[2];
      uint8_t stack[8192];
    } shrink;
    struct {
      uint8_t window[16384];
      uint8_t followers[256][64];
    } reduce;
    uint8_t implode[32768];
  };
  struct TImplodeBits {
    uint32_t buffer = 0;
    int count = 0;
    int filler = 0;  // how many of the count bits (the latest) lie past the entry's data
    // True once a bit past the data was used.
    bool PastData() const { return count < filler; }
  };
  struct TSfTree;

  static uint32_t CrcStep(uint32_t crc, uint8_t b) {
    return crcTable_[(crc ^ b) & 0xFF] ^ (crc >> 8);
  }
  // Reads want bytes of entry data, continuing on the next volumes of a multi-disk
  // archive; EFatalUnzipError when a single-volume archive ends first.
  void ReadBlock(uint8_t* buffer, int32_t want);
  bool RefillInput();

  // Shrink
  void PartialClear(int16_t* prefix, int& freeCode);
  // Sliding windows of Reduce and Implode
  void CopyMatch(uint8_t* window, uint32_t mask, uint32_t& w, uint32_t distance,
                 uint32_t length, bool& firstPass);
  // Implode
  void NeedBits(TImplodeBits& bits, int n);
  static void DropBits(TImplodeBits& bits, int n) {
    bits.buffer >>= n;
    bits.count -= n;
  }
  bool ReadTreeLengths(TImplodeBits& bits, uint8_t* lengths, int n);
  int DecodeSymbol(TImplodeBits& bits, const TSfTree& tree);

  TDecoderHost& host_;
  std::unique_ptr<uint8_t[]> input_;
  std::unique_ptr<uint8_t[]> output_;
  std::unique_ptr<TWindowArea> window_;
  static const std::array<uint32_t, 256> crcTable_;
};

}  // namespace unzip
