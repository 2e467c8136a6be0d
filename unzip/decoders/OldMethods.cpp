// The old zip methods: Shrink (dynamic LZW with partial clearing), Reduce (follower sets
// and a 16 KiB window) and Implode (Shannon-Fano trees and a 4 or 8 KiB dictionary).
// Damaged data never leads outside a table: each decoder stops instead.
#include <algorithm>
#include <cstring>
#include <new>

#include "unzip/decoders/EntryDecoder.h"

namespace unzip {

// ---- Sliding windows --------------------------------------------------------------------

// Copies length bytes from distance back, in pieces that cross neither the window's end
// nor the write position's wrap. In the first pass, positions not yet written in this
// entry read as zeros.
void TEntryDecoder::CopyMatch(uint8_t* window, uint32_t mask, uint32_t& w, uint32_t distance,
                              uint32_t length, bool& firstPass) {
  const uint32_t size = mask + 1;
  uint32_t source = (w - distance) & mask;
  while (length > 0) {
    const uint32_t piece = std::min(length, size - std::max(source, w));
    if (firstPass && source >= w) {
      std::memset(window + w, 0, piece);
    } else if (source < w && w - source < piece) {
      // Overlapping forward copy: each byte may be one this copy has just written.
      for (uint32_t k = 0; k < piece; ++k) window[w + k] = window[source + k];
    } else {
      std::memmove(window + w, window + source, piece);
    }
    source = (source + piece) & mask;
    w += piece;
    length -= piece;
    if (w == size) {
      FlushWindow(static_cast<int32_t>(size));
      w = 0;
      firstPass = false;
    }
  }
}

// ---- Shrink -----------------------------------------------------------------------------

namespace {
constexpr int kMaxCode = 8192;  // codes of at most 13 bits lie below it
constexpr int kStackSize = 8192;
}  // namespace

// Frees every leaf: every code in use that is no other code's prefix. All codes are
// walked, not only those below freeCode: after an earlier clear, codes still in use lie
// above it, and their prefixes must survive. Free codes (prefix -1) are never followed.
void TEntryDecoder::PartialClear(int16_t* prefix, int& freeCode) {
  constexpr uint16_t kMark = 0x8000;
  for (int c = 257; c < kMaxCode; ++c)
    if (prefix[c] != -1) prefix[c] = static_cast<int16_t>(static_cast<uint16_t>(prefix[c]) | kMark);
  for (int c = 257; c < kMaxCode; ++c) {
    if (prefix[c] == -1) continue;
    const int p = static_cast<uint16_t>(prefix[c]) & ~kMark & 0xFFFF;
    // A prefix that names a free code (damaged data) is left alone.
    if (p >= 257 && p < kMaxCode && prefix[p] != -1)
      prefix[p] = static_cast<int16_t>(static_cast<uint16_t>(prefix[p]) & ~kMark);
  }
  for (int c = 257; c < kMaxCode; ++c)
    if (prefix[c] != -1 && (static_cast<uint16_t>(prefix[c]) & kMark)) prefix[c] = -1;
  freeCode = 257;
  while (freeCode < kMaxCode && prefix[freeCode] != -1) ++freeCode;
}

// Shrink (method 1) reads LZW codes, least significant bit first, 9 bits wide at the
// start. Codes 0-255 stand for their byte; each code after the first makes a new string:
// the string of the code before plus the first byte of this one (a code that is not yet
// defined is that very string, the one before plus its own first byte). The new string
// takes the lowest free code. Code 256 is an escape: the code after it is a command, 1
// to read one bit more per code from then on (13 at the most), 2 to free every code that
// no other code continues (a partial clear). No code marks the end: the data does.
void TEntryDecoder::DecodeShrunk() {
  int16_t* const prefix = window_->shrink.prefix;
  uint8_t* const suffix = window_->shrink.suffix;
  uint8_t* const stack = window_->shrink.stack;
  uint8_t* const stackTop = stack + kStackSize;
  for (int c = 0; c < 256; ++c) {
    prefix[c] = 0;
    suffix[c] = static_cast<uint8_t>(c);
  }
  for (int c = 256; c <= kMaxCode; ++c) {
    prefix[c] = -1;
    suffix[c] = 0;
  }
  int codeSize = 9;
  int freeCode = 257;

  uint32_t code = ReadBits(codeSize);
  if (InputExhausted) {
    FlushOutput();
    return;
  }
  uint8_t lastChar = static_cast<uint8_t>(code);
  uint32_t oldCode = code;
  PutOutputByte(lastChar);

  for (;;) {
    code = ReadBits(codeSize);
    if (InputExhausted) break;
    bool stop = false;
    while (code == 256) {
      const uint32_t sub = ReadBits(codeSize);
      if (sub == 1) {
        // Wider than 13 bits is not Shrink data: stop.
        if (++codeSize > 13) {
          stop = true;
          break;
        }
      } else if (sub == 2) {
        PartialClear(prefix, freeCode);
      }
      code = ReadBits(codeSize);
      if (InputExhausted) {
        stop = true;
        break;
      }
    }
    if (stop) break;

    const uint32_t inCode = code;
    uint8_t* sp = stackTop;
    if (prefix[code] == -1) {
      *--sp = lastChar;
      code = oldCode;
    }
    // A chain longer than the stack (a loop through free codes) is damage: stop.
    while (code >= 257) {
      if (sp == stack) break;
      if (prefix[code] == -1) {
        *--sp = lastChar;
        code = oldCode;
      } else {
        *--sp = suffix[code];
        code = static_cast<uint32_t>(prefix[code]);
      }
    }
    if (sp == stack) break;
    lastChar = suffix[code];
    *--sp = lastChar;

    const auto n = static_cast<int32_t>(stackTop - sp);
    if (OutputCount + n < kBlockSize) {
      std::memcpy(OutputPos, sp, static_cast<size_t>(n));
      OutputPos += n;
      OutputCount = static_cast<uint16_t>(OutputCount + n);
    } else {
      while (sp < stackTop) PutOutputByte(*sp++);
    }

    if (freeCode < kMaxCode) {
      prefix[freeCode] = static_cast<int16_t>(oldCode);
      suffix[freeCode] = lastChar;
      do ++freeCode;
      while (freeCode < kMaxCode && prefix[freeCode] != -1);
    }
    oldCode = inCode;
  }
  FlushOutput();
}

// ---- Reduce -----------------------------------------------------------------------------

// Reduce (methods 2-5, factor 1-4) comes in two layers. The lower one gives bytes: first,
// for each byte value from 255 down to 0, a set of up to 63 bytes likely to follow it (a
// 6-bit count, then 8 bits each); then per byte a bit 1 and 8 plain bits, or a bit 0 and
// the index of a byte in the set of the byte before (no bit at all when that set is
// empty). The upper layer reads those bytes with 144 (0x90) as its escape, as the states
// below do: 0, a byte is output unless it is 144; 1, after the escape, 0 means a plain
// 144, any other value V starts a match whose length is the low 8 - factor bits of V;
// 2, when they are all ones, the next byte adds to the length; 3, the next byte and the
// high factor bits of V give the distance. A match copies length + 3 bytes from distance
// + 1 back in a 16 KiB window.
void TEntryDecoder::DecodeReduced(int factor) {
  static constexpr uint32_t kLengthMask[4] = {0x7F, 0x3F, 0x1F, 0x0F};
  static constexpr int kShift[4] = {7, 6, 5, 4};
  static constexpr uint32_t kDistanceMask[4] = {1, 3, 7, 15};
  const int f = std::clamp(factor, 1, 4) - 1;
  const uint32_t lengthMask = kLengthMask[f];
  const int shift = kShift[f];
  const uint32_t distanceMask = kDistanceMask[f];

  uint8_t* const window = window_->reduce.window;
  uint8_t (*const followers)[64] = window_->reduce.followers;
  uint8_t setSize[256];
  // The fewest bits (at least 1) that number the elements of a set of each size.
  uint8_t indexBits[64];
  indexBits[0] = 0;
  for (int size = 1; size < 64; ++size) {
    int b = 1;
    while ((1 << b) < size) ++b;
    indexBits[size] = static_cast<uint8_t>(b);
  }
  std::memset(followers, 0, sizeof window_->reduce.followers);
  for (int x = 255; x >= 0; --x) {
    const uint32_t count = ReadBits(6);
    setSize[x] = static_cast<uint8_t>(count);
    for (uint32_t i = 0; i < count; ++i) followers[x][i] = static_cast<uint8_t>(ReadBits(8));
  }
  if (InputExhausted) return;  // the follower sets are cut short: nothing to decode

  constexpr uint32_t kMask = 16384 - 1;
  uint32_t lastByte = 0;
  int state = 0;
  uint32_t w = 0;
  bool firstPass = true;
  uint32_t length = 0;
  uint32_t distance = 0;
  const auto emit = [&](uint8_t b) {
    window[w++] = b;
    --UncompressedLeft;
    if (w == kMask + 1) {
      FlushWindow(static_cast<int32_t>(kMask + 1));
      w = 0;
      firstPass = false;
    }
  };
  // Decoding ends at the declared size, or at a value the data cannot fill: what came
  // before it is written and the entry then fails its CRC.
  while (UncompressedLeft > 0) {
    uint32_t v;
    const uint32_t size = setSize[lastByte];
    if (size == 0 || ReadBits(1))
      v = ReadBits(8);
    else
      v = followers[lastByte][ReadBits(indexBits[size])];
    if (InputExhausted) break;

    switch (state) {
      case 0:
        if (v == 144)
          state = 1;
        else
          emit(static_cast<uint8_t>(v));
        break;
      case 1:
        if (v == 0) {
          emit(144);
          state = 0;
        } else {
          distance = v;
          length = v & lengthMask;
          state = length == lengthMask ? 2 : 3;
        }
        break;
      case 2:
        length += v;
        state = 3;
        break;
      default: {
        const uint32_t back = ((distance >> shift) & distanceMask) * 256 + v + 1;
        UncompressedLeft -= length + 3;
        CopyMatch(window, kMask, w, back, length + 3, firstPass);
        state = 0;
        break;
      }
    }
    lastByte = v;
  }
  FlushWindow(static_cast<int32_t>(w));
  FlushOutput();
}

// ---- Implode ----------------------------------------------------------------------------

// A Shannon-Fano code for decoding: symbols in code order, the count of codes of each
// length, and a first-level table for codes of up to `bits` bits. Implode stores its
// codes complemented with respect to the canonical order, so the decoder looks up the
// inverted input bits.
struct TEntryDecoder::TSfTree {
  static constexpr int kMaxBits = 16;
  uint16_t count[kMaxBits + 1];
  uint16_t symbols[256];
  uint16_t table[1 << 9];  // (length << 8) | symbol; 0 for longer codes
  int bits;

  // False for an over-subscribed or incomplete set of lengths (each from 1 to 16).
  bool Build(const uint8_t* lengths, int n, int tableBits) {
    bits = tableBits;
    std::memset(count, 0, sizeof count);
    for (int s = 0; s < n; ++s) ++count[lengths[s]];
    int32_t left = 1;
    for (int len = 1; len <= kMaxBits; ++len) {
      left = (left << 1) - count[len];
      if (left < 0) return false;
    }
    if (left != 0) return false;

    uint16_t offset[kMaxBits + 2];
    uint32_t next[kMaxBits + 2];
    offset[1] = 0;
    next[1] = 0;
    for (int len = 1; len <= kMaxBits; ++len) {
      offset[len + 1] = static_cast<uint16_t>(offset[len] + count[len]);
      next[len + 1] = (next[len] + count[len]) << 1;
    }
    std::memset(table, 0, sizeof table);
    for (int s = 0; s < n; ++s) {
      const int len = lengths[s];
      symbols[offset[len]++] = static_cast<uint16_t>(s);
      const uint32_t code = next[len]++;
      if (len > tableBits) continue;
      uint32_t reversed = 0;
      for (int k = 0; k < len; ++k) reversed |= ((code >> k) & 1) << (len - 1 - k);
      for (uint32_t i = reversed; i < (1u << tableBits); i += 1u << len)
        table[i] = static_cast<uint16_t>((len << 8) | s);
    }
    return true;
  }
};

void TEntryDecoder::NeedBits(TImplodeBits& bits, int n) {
  while (bits.count < n) {
    uint8_t b = 0;
    if (!ReadInputByte(b)) {
      b = 0;  // past the entry's data: zeros, which a code may look at but not use
      bits.filler += 8;
    }
    bits.buffer |= static_cast<uint32_t>(b) << bits.count;
    bits.count += 8;
  }
}

bool TEntryDecoder::ReadTreeLengths(TImplodeBits& bits, uint8_t* lengths, int n) {
  NeedBits(bits, 8);
  const int bytes = static_cast<int>(bits.buffer & 0xFF) + 1;
  DropBits(bits, 8);
  int k = 0;
  for (int i = 0; i < bytes; ++i) {
    NeedBits(bits, 8);
    const uint32_t v = bits.buffer & 0xFF;
    DropBits(bits, 8);
    const int length = static_cast<int>(v & 0x0F) + 1;
    const int count = static_cast<int>(v >> 4) + 1;
    if (k + count > n) return false;
    std::memset(lengths + k, length, static_cast<size_t>(count));
    k += count;
  }
  return k == n;
}

int TEntryDecoder::DecodeSymbol(TImplodeBits& bits, const TSfTree& tree) {
  NeedBits(bits, tree.bits);
  const uint16_t entry = tree.table[~bits.buffer & ((1u << tree.bits) - 1)];
  if (entry != 0) {
    DropBits(bits, entry >> 8);
    return entry & 0xFF;
  }
  // A code longer than the table: walk the lengths one bit at a time.
  NeedBits(bits, TSfTree::kMaxBits);
  uint32_t inverted = ~bits.buffer;
  int32_t code = 0;
  int32_t first = 0;
  int32_t index = 0;
  for (int len = 1; len <= TSfTree::kMaxBits; ++len) {
    code |= static_cast<int32_t>(inverted & 1);
    inverted >>= 1;
    const int32_t count = tree.count[len];
    if (code - first < count) {
      DropBits(bits, len);
      return tree.symbols[index + code - first];
    }
    index += count;
    first = (first + count) << 1;
    code <<= 1;
  }
  return -1;
}

// Implode (method 6) is a sliding dictionary of 4 KiB, or 8 KiB with flag bit 1, whose
// lengths and distances are Shannon-Fano coded; with flag bit 2 literals are coded too
// and the shortest match is 3 bytes (else literals are plain bytes and matches start at
// 2). The data opens with the trees: the literal tree (256 lengths, only with bit 2),
// then the length and the distance trees (64 each), each as a byte holding the count of
// bytes to follow less one, then bytes whose high nibble is a repeat count less one and
// whose low nibble a code length less one. Then, step by step, a bit 1 brings a literal
// (a code, or 8 plain bits); a bit 0 a match: 6 plain low distance bits (7 with the large
// dictionary), the high bits from the distance tree, a length code (63: add 8 plain bits).
// Codes are stored bit-inverted and read least significant bit first.
void TEntryDecoder::DecodeImploded() {
  const uint16_t flags = host_.Flags();
  const bool bigDictionary = (flags & 2) != 0;
  const bool literalTree = (flags & 4) != 0;
  TImplodeBits bits;

  // Three trees of a few KiB; obtained per entry as the published decoder does.
  std::unique_ptr<TSfTree[]> trees(new (std::nothrow) TSfTree[3]);
  if (!trees) {
    host_.HandleMessage(193, "*** inflate out of memory ***", "Error", 0);
    return;
  }
  TSfTree& literals = trees[0];
  TSfTree& lengths = trees[1];
  TSfTree& distances = trees[2];
  uint8_t bitLengths[256];
  if (literalTree &&
      (!ReadTreeLengths(bits, bitLengths, 256) || !literals.Build(bitLengths, 256, 9)))
    return;
  if (!ReadTreeLengths(bits, bitLengths, 64) || !lengths.Build(bitLengths, 64, 7)) return;
  if (!ReadTreeLengths(bits, bitLengths, 64) ||
      !distances.Build(bitLengths, 64, CompressedLeft > 200000 ? 8 : 7))
    return;
  if (bits.PastData()) return;

  const int lowBits = bigDictionary ? 7 : 6;
  const uint32_t lowMask = (1u << lowBits) - 1;
  const uint32_t minMatch = literalTree ? 3 : 2;
  constexpr uint32_t kMask = 32768 - 1;
  uint8_t* const window = window_->implode;
  uint32_t w = 0;
  bool firstPass = true;
  // Decoding ends at the declared size, or at a step that needs bits past the entry's
  // data: what came before it is written and the entry then fails its CRC.
  while (UncompressedLeft > 0) {
    NeedBits(bits, 1);
    const bool literal = bits.buffer & 1;
    DropBits(bits, 1);
    if (literal) {
      int c;
      if (literalTree) {
        c = DecodeSymbol(bits, literals);
        if (c < 0) return;
      } else {
        NeedBits(bits, 8);
        c = static_cast<int>(bits.buffer & 0xFF);
        DropBits(bits, 8);
      }
      if (bits.PastData()) break;
      window[w++] = static_cast<uint8_t>(c);
      --UncompressedLeft;
      if (w == kMask + 1) {
        FlushWindow(static_cast<int32_t>(kMask + 1));
        w = 0;
        firstPass = false;
      }
      continue;
    }
    NeedBits(bits, lowBits);
    uint32_t distance = bits.buffer & lowMask;
    DropBits(bits, lowBits);
    const int high = DecodeSymbol(bits, distances);
    if (high < 0) return;
    distance += static_cast<uint32_t>(high) << lowBits;
    const int code = DecodeSymbol(bits, lengths);
    if (code < 0) return;
    uint32_t length = static_cast<uint32_t>(code) + minMatch;
    if (code == 63) {
      NeedBits(bits, 8);
      length += bits.buffer & 0xFF;
      DropBits(bits, 8);
    }
    if (bits.PastData()) break;
    UncompressedLeft -= length;
    CopyMatch(window, kMask, w, distance + 1, length, firstPass);
  }
  FlushWindow(static_cast<int32_t>(w));
  trees.reset();
  FlushOutput();
}

}  // namespace unzip
