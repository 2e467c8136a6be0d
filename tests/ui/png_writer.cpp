#include <zlib.h>

#include "tests/ui/headless_fixture.h"

namespace ui_testing {
namespace {

void Put32(std::string* s, uint32_t v) {
  for (int i = 3; i >= 0; --i) s->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void Chunk(std::string* file, const char* type, const std::string& data) {
  Put32(file, static_cast<uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  file->append(body);
  Put32(file, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                          static_cast<uInt>(body.size()))));
}

}  // namespace

std::string PngFile(int w, int h, int colorType, const std::vector<std::string>& rows,
                    const std::string& plte, const std::string& trns) {
  std::string file = "\x89PNG\r\n\x1a\n";
  std::string ihdr;
  Put32(&ihdr, static_cast<uint32_t>(w));
  Put32(&ihdr, static_cast<uint32_t>(h));
  ihdr += std::string{8, static_cast<char>(colorType), 0, 0, 0};
  Chunk(&file, "IHDR", ihdr);
  if (!plte.empty()) Chunk(&file, "PLTE", plte);
  if (!trns.empty()) Chunk(&file, "tRNS", trns);
  std::string raw;
  for (const std::string& row : rows) raw += '\0' + row;
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(size, '\0');
  compress(reinterpret_cast<Bytef*>(packed.data()), &size,
           reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()));
  packed.resize(size);
  Chunk(&file, "IDAT", packed);
  Chunk(&file, "IEND", "");
  return file;
}

}  // namespace ui_testing
