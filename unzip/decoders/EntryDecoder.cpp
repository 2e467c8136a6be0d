// The shared input and output sides, the traditional decryption, Stored and Deflated.
#include "unzip/decoders/EntryDecoder.h"

#include "unzip/decoders/Crc32.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace unzip {

namespace {

constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

constexpr uint16_t kEncryptedFlag = 0x0001;

}  // namespace

const std::array<uint32_t, 256> TEntryDecoder::crcTable_ = MakeCrcTable();

TEntryDecoder::TEntryDecoder(TDecoderHost& host)
    : host_(host),
      input_(new uint8_t[kBufferSize]()),
      output_(new uint8_t[kBufferSize]()),
      window_(new TWindowArea()) {
  static_assert(sizeof(TWindowArea) == kWindowAreaSize);
  Reset();
}

TEntryDecoder::~TEntryDecoder() = default;

void TEntryDecoder::Reset() {
  InputCount = 0;
  InputPos = input_.get();
  OutputCount = 0;
  OutputPos = output_.get();
  BitBuffer = 0;
  BitCount = 0;
  InputExhausted = false;
  CompressedLeft = host_.CompressedSize64();
  UncompressedLeft = host_.UncompressedSize64();
  RunningCrc = 0xFFFFFFFF;
}

// ---- Input side ---------------------------------------------------------------------

void TEntryDecoder::ReadBlock(uint8_t* buffer, int32_t want) {
  int32_t got = std::max(0, host_.ReadArchive(buffer, want));
  if (got < want && !host_.MultiDisk()) throw EFatalUnzipError();
  while (got < want) {
    host_.OpenNextVolume();
    got += std::max(0, host_.ReadArchive(buffer + got, want - got));
  }
}

bool TEntryDecoder::RefillInput() {
  host_.PumpMessages();
  const int64_t left = host_.CompressedSize64();
  const auto want = static_cast<int32_t>(std::clamp<int64_t>(left, 0, kBlockSize));
  host_.SetCompressedSize64(left - want);
  uint8_t* const buffer = input_.get();
  ReadBlock(buffer, want);
  InputCount = static_cast<uint16_t>(want);
  if (host_.Flags() & kEncryptedFlag) {
    if (!host_.Decrypt(buffer, want)) DecryptBuffer(buffer, want);
  }
  if (InputCount == 0) return false;
  InputPos = buffer;
  return true;
}

void TEntryDecoder::FillBits() {
  InputExhausted = true;
  uint8_t b;
  while (BitCount < 25 && ReadInputByte(b)) {
    BitBuffer |= static_cast<uint32_t>(b) << BitCount;
    BitCount = static_cast<uint16_t>(BitCount + 8);
    InputExhausted = false;
  }
}

// Past the entry's data the missing bits read as zeros, and the input counts as used up
// even when a last byte arrived: a code that does not fit the data is no code (Shrink
// and Reduce stop on it). The bit count never wraps below 0.
uint32_t TEntryDecoder::ReadBits(int n) {
  if (BitCount < n) {
    FillBits();
    if (BitCount < n) {
      InputExhausted = true;
      const uint32_t partial = BitBuffer & ((1u << n) - 1);
      BitBuffer = 0;
      BitCount = 0;
      return partial;
    }
  }
  const uint32_t result = BitBuffer & ((1u << n) - 1);
  BitBuffer >>= n;
  BitCount = static_cast<uint16_t>(BitCount - n);
  return result;
}

// ---- Output side --------------------------------------------------------------------

void TEntryDecoder::FlushOutput() {
  const uint16_t n = OutputCount;
  if (n == 0) return;
  uint8_t* const buffer = output_.get();
  // Stored data is decrypted here, with the keys the password check left, whatever the
  // password: an entry that passed the check with the empty password is encrypted too.
  if ((host_.Flags() & kEncryptedFlag) && host_.CompressionMethod() == 0)
    DecryptBuffer(buffer, n);
  if (host_.OutputPosition() + n > host_.UncompressedSize64()) throw EBiggerThanUncompressed();
  if (host_.WriteOutput(buffer, n) < n) throw ECantWriteUCF();
  UpdateCrc(buffer, n);
  host_.ReportProgress(n);
  OutputCount = 0;
  OutputPos = buffer;
}

void TEntryDecoder::FlushWindow(int32_t n) {
  const uint8_t* source = window_->bytes;
  while (n > 0) {
    const int32_t piece = std::min<int32_t>(n, kBlockSize - OutputCount);
    std::memcpy(OutputPos, source, static_cast<size_t>(piece));
    OutputPos += piece;
    OutputCount = static_cast<uint16_t>(OutputCount + piece);
    source += piece;
    n -= piece;
    if (OutputCount == kBlockSize) FlushOutput();
  }
}

void TEntryDecoder::UpdateCrc(const uint8_t* buffer, int64_t n) {
  // Crc32 works on the complemented value, as zlib's does; the running CRC is kept raw.
  RunningCrc = ~Crc32(~RunningCrc, buffer, static_cast<size_t>(n));
}

// ---- Traditional PKWARE decryption --------------------------------------------------

void TEntryDecoder::InitKeys(const std::string& password) {
  Key0 = 0x12345678;
  Key1 = 0x23456789;
  Key2 = 0x34567890;
  for (const char c : password) UpdateKeys(static_cast<uint8_t>(c));
}

void TEntryDecoder::DecryptBuffer(uint8_t* buffer, int64_t n) {
  for (int64_t i = 0; i < n; ++i) {
    const auto p = static_cast<uint8_t>(buffer[i] ^ DecryptByte());
    UpdateKeys(p);
    buffer[i] = p;
  }
}

int TEntryDecoder::DecryptHeader(const std::string& password) {
  const int64_t left = host_.CompressedSize64();
  if (left < 12) return -1;
  uint8_t header[12];
  ReadBlock(header, 12);
  host_.SetCompressedSize64(left - 12);
  InitKeys(password);
  DecryptBuffer(header, 12);
  return header[11];
}

// ---- Stored ---------------------------------------------------------------------------

// Stored (method 0) is the entry's bytes as they are, CompressedSize of them (with
// traditional encryption the writer decrypts each block): copied in blocks of 32 KiB.
void TEntryDecoder::DecodeStored() {
  uint8_t* const buffer = output_.get();
  OutputCount = static_cast<uint16_t>(std::clamp<int64_t>(host_.CompressedSize64(), 0, kBlockSize));
  while (host_.CompressedSize64() > 0) {
    host_.PumpMessages();
    const int64_t left = host_.CompressedSize64();
    const auto want = static_cast<int32_t>(std::min<int64_t>(left, kBlockSize));
    host_.SetCompressedSize64(left - want);
    ReadBlock(buffer, want);
    OutputCount = static_cast<uint16_t>(want);
    OutputPos = buffer + want;
    FlushOutput();
    OutputCount =
        static_cast<uint16_t>(std::clamp<int64_t>(host_.CompressedSize64(), 0, kBlockSize));
  }
  OutputCount = 0;
  OutputPos = buffer;
}

// ---- Deflated -------------------------------------------------------------------------

int TEntryDecoder::CheckZlib(int result) {
  if (result < 0) throw EZCompressionError();
  return result;
}

namespace {

// Releases the inflate state on every way out, without raising a second error.
struct TInflateGuard {
  z_stream* stream = nullptr;
  ~TInflateGuard() {
    if (stream) inflateEnd(stream);
  }
};

}  // namespace

// Deflated (method 8) is a raw deflate stream, without zlib's header or checksum: zlib
// inflates it from input blocks of 32 KiB straight into the output block, and the stream's
// own end block ends the entry.
void TEntryDecoder::DecodeDeflated() {
  uint8_t* const output = output_.get();
  uint8_t* const input = input_.get();
  z_stream stream;
  std::memset(&stream, 0, sizeof stream);
  stream.next_out = output;
  stream.avail_out = kBlockSize;
  int flush = Z_NO_FLUSH;

  // A block is read and one byte of it taken: the whole block goes to inflate.
  const auto nextBlock = [&] {
    InputCount = 0;
    uint8_t first;
    if (ReadInputByte(first)) {
      stream.next_in = input;
      stream.avail_in = static_cast<uInt>(InputCount) + 1;
    } else {
      stream.next_in = input;
      stream.avail_in = 0;
      flush = Z_FINISH;
    }
  };
  nextBlock();

  // Raw Deflate, 32 KiB window. zlib checks only the major digit of the version text.
  CheckZlib(inflateInit2_(&stream, -15, "1.2.3", static_cast<int>(sizeof(z_stream))));
  TInflateGuard guard{&stream};
  int result;
  do {
    if (stream.avail_in == 0 && flush == Z_NO_FLUSH) nextBlock();
    result = CheckZlib(inflate(&stream, flush));
    if (stream.avail_out == 0 || result == Z_STREAM_END) {
      OutputCount = static_cast<uint16_t>(kBlockSize - stream.avail_out);
      OutputPos = output + OutputCount;
      FlushOutput();
      stream.next_out = output;
      stream.avail_out = kBlockSize;
    }
  } while (result != Z_STREAM_END);
  guard.stream = nullptr;
  CheckZlib(inflateEnd(&stream));
}

}  // namespace unzip
