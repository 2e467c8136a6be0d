#include "platform/posix/text.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace platform::posix {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Runs iconv over the whole input. When the converter stops at input it cannot take,
// onBad(position, remaining) appends a substitute to out and returns how many input
// bytes to skip (0 ends the conversion). Returns false when iconv is unavailable.
template <typename OnBad>
bool Convert(const char* to, const char* from, const std::string& in, std::string* out,
             OnBad onBad) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  std::string buffer(in.size() * 2 + 16, '\0');
  while (srcLeft > 0) {
    char* dst = buffer.data();
    size_t dstLeft = buffer.size();
    const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    const int error = errno;
    out->append(buffer.data(), buffer.size() - dstLeft);
    if (r != static_cast<size_t>(-1)) break;
    if (error == E2BIG) continue;
    const size_t skip = onBad(src, srcLeft, out);
    if (skip == 0 || skip > srcLeft) break;
    src += skip;
    srcLeft -= skip;
  }
  iconv_close(cd);
  return true;
}

bool AllAscii(const std::u16string& text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; });
}

}  // namespace

std::string Utf16ToBytes(const std::u16string& text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

std::u16string BytesToUtf16(const std::string& bytes) {
  std::u16string text;
  text.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    text += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                  (static_cast<uint8_t>(bytes[i + 1]) << 8));
  return text;
}

std::string Utf16ToGbkLossy(const std::u16string& text) {
  if (AllAscii(text)) return std::string(text.begin(), text.end());
  std::string out;
  const bool ok =
      Convert("CP936", "UTF-16LE", Utf16ToBytes(text), &out,
              [](const char* at, size_t left, std::string* sink) -> size_t {
                const auto unit = [&](size_t i) {
                  return static_cast<char16_t>(static_cast<uint8_t>(at[2 * i]) |
                                               (static_cast<uint8_t>(at[2 * i + 1]) << 8));
                };
                if (left < 2) return 0;
                if (left >= 4 && IsHighSurrogate(unit(0)) && IsLowSurrogate(unit(1))) {
                  *sink += "??";
                  return 4;
                }
                *sink += '?';
                return 2;
              });
  if (!ok) {
    for (char16_t unit : text) out += unit < 0x80 ? static_cast<char>(unit) : '?';
  }
  return out;
}

std::string Utf8ToGbkLossy(const std::string& text) {
  if (std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; })) return text;
  return Utf16ToGbkLossy(Utf8ToUtf16(text));
}

std::u16string GbkToUtf16(const std::string& text) {
  if (std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; }))
    return std::u16string(text.begin(), text.end());
  std::string bytes;
  const bool ok = Convert("UTF-16LE", "CP936", text, &bytes,
                          [](const char*, size_t, std::string* sink) -> size_t {
                            *sink += Utf16ToBytes(std::u16string(1, kReplacement));
                            return 1;
                          });
  if (!ok) {
    std::u16string out;
    for (char c : text) out += (c & 0x80) ? kReplacement : static_cast<char16_t>(c);
    return out;
  }
  return BytesToUtf16(bytes);
}

std::u16string Utf8ToUtf16(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  const size_t n = text.size();
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  while (i < n) {
    const uint8_t lead = byte(i);
    if (lead < 0x80) {
      out += static_cast<char16_t>(lead);
      ++i;
      continue;
    }
    size_t length = 0;
    uint32_t code = 0;
    uint32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, code = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, code = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, code = lead & 0x07, minimum = 0x10000;
    }
    size_t k = 1;
    for (; length && k < length && i + k < n && (byte(i + k) & 0xC0) == 0x80; ++k)
      code = (code << 6) | (byte(i + k) & 0x3F);
    if (length == 0 || k < length || code < minimum || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF)) {
      out += kReplacement;
      i += std::max<size_t>(k, 1);
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
    i += length;
  }
  return out;
}

}  // namespace platform::posix
