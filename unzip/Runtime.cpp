#include "unzip/Runtime.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "platform/system.h"

namespace unzip {

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(out.data(), out.size() + 1, format, args);
  va_end(args);
  return out;
}

void TPersistent::Assign(const TPersistent* source) {
  if (source) {
    source->AssignTo(this);
    return;
  }
  AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* dest) const { dest->AssignError(this); }

void TPersistent::AssignError(const TPersistent* source) const {
  throw EConvertError(
      Format("Cannot assign a %s to a %s", source ? source->ClassName() : "nil", ClassName()));
}

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
  // Owned components go first, newest first; each takes itself off this list.
  while (!components_.empty()) delete components_.back();
  if (owner_) {
    auto& siblings = owner_->components_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
}

bool IsTrailByte(const std::string& text, size_t index) {
  // Walk from the start: lead bytes pair with the byte after them.
  size_t i = 0;
  while (i < index) {
    i += platform::IsDBCSLeadByte(static_cast<uint8_t>(text[i])) ? 2 : 1;
  }
  return i > index;
}

size_t LastDelimiter(const std::string& delimiters, const std::string& text) {
  size_t found = std::string::npos;
  for (size_t i = 0; i < text.size();) {
    const uint8_t byte = static_cast<uint8_t>(text[i]);
    if (platform::IsDBCSLeadByte(byte) && i + 1 < text.size()) {
      i += 2;
      continue;
    }
    if (delimiters.find(static_cast<char>(byte)) != std::string::npos) found = i;
    ++i;
  }
  return found;
}

bool EndsWithBackslash(const std::string& text) {
  return !text.empty() && text.back() == '\\' && !IsTrailByte(text, text.size() - 1);
}

std::string ExtractFilePath(const std::string& fileName) {
  const size_t at = LastDelimiter("\\:", fileName);
  return at == std::string::npos ? std::string() : fileName.substr(0, at + 1);
}

std::string ExtractFileName(const std::string& fileName) {
  const size_t at = LastDelimiter("\\:", fileName);
  return at == std::string::npos ? fileName : fileName.substr(at + 1);
}

std::string ExtractFileExt(const std::string& fileName) {
  const size_t at = LastDelimiter(".\\:", fileName);
  if (at == std::string::npos || fileName[at] != '.') return {};
  return fileName.substr(at);
}

std::string ChangeFileExt(const std::string& fileName, const std::string& extension) {
  const size_t at = LastDelimiter(".\\:", fileName);
  if (at == std::string::npos || fileName[at] != '.') return fileName + extension;
  return fileName.substr(0, at) + extension;
}

std::string UpperCaseAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::string LowerCaseAscii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

int CompareTextAscii(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int x = static_cast<uint8_t>(a[i]);
    int y = static_cast<uint8_t>(b[i]);
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return x - y;
  }
  return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

bool SameTextAnsi(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const uint8_t x = static_cast<uint8_t>(a[i]);
    const uint8_t y = static_cast<uint8_t>(b[i]);
    if (platform::IsDBCSLeadByte(x) && i + 1 < a.size()) {
      if (x != y || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    const auto fold = [](uint8_t c) { return c >= 'a' && c <= 'z' ? c - 32 : c; };
    if (fold(x) != fold(y)) return false;
  }
  return true;
}

}  // namespace unzip
