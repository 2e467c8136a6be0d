#include "tests/support/registry_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/files.h"
#include "platform/system.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <stdlib.h>

#include "platform/posix/native.h"
#include "platform/posix/text.h"
#endif

namespace testing_support {
namespace {

#ifdef _WIN32
// Marks a root key as the fixture's, so that one left behind by a crashed run may go.
constexpr char kMarker[] = "InstallerTestFixture";
#endif

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

}  // namespace

bool RegistryFixture::InRoot(const std::string& key) const {
  const bool inside = key.size() >= root_.size() &&
                      EqualNoCase(key.substr(0, root_.size()), root_) &&
                      (key.size() == root_.size() || key[root_.size()] == '\\');
  if (!inside) ADD_FAILURE() << "registry fixture: key " << key << " is not below " << root_;
  return inside && usable_;
}

void RegistryFixture::SetString(const std::string& key, const std::string& name,
                                const std::string& text) {
  SetValue(key, name, platform::kRegSz, text + '\0');
}

void RegistryFixture::SetExpandString(const std::string& key, const std::string& name,
                                      const std::string& text) {
  SetValue(key, name, platform::kRegExpandSz, text + '\0');
}

void RegistryFixture::SetDword(const std::string& key, const std::string& name, uint32_t value) {
  std::string data;
  for (int i = 0; i < 4; ++i) data += static_cast<char>((value >> (8 * i)) & 0xFF);
  SetValue(key, name, platform::kRegDword, data);
}

#ifdef _WIN32

RegistryFixture::RegistryFixture(const std::string& root) : root_(root) {
  HKEY existing = nullptr;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, root_.c_str(), 0, KEY_READ, &existing) == ERROR_SUCCESS) {
    const bool ours =
        ::RegQueryValueExA(existing, kMarker, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    ::RegCloseKey(existing);
    if (!ours) {
      usable_ = false;
      ADD_FAILURE() << "registry fixture: HKEY_CURRENT_USER\\" << root_
                    << " exists already and is not a test key; it is left alone";
      return;
    }
    ::RegDeleteTreeA(HKEY_CURRENT_USER, root_.c_str());
  }
  AddKey(root_);
  SetString(root_, kMarker, "1");
}

RegistryFixture::~RegistryFixture() {
  if (usable_) ::RegDeleteTreeA(HKEY_CURRENT_USER, root_.c_str());
}

void RegistryFixture::AddKey(const std::string& key) {
  if (!InRoot(key)) return;
  HKEY created = nullptr;
  const LONG r = ::RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                   nullptr, &created, nullptr);
  if (r != ERROR_SUCCESS) {
    ADD_FAILURE() << "registry fixture: cannot create " << key << " (error " << r << ")";
    return;
  }
  ::RegCloseKey(created);
}

void RegistryFixture::SetValue(const std::string& key, const std::string& name, uint32_t type,
                               const std::string& data) {
  if (!InRoot(key)) return;
  HKEY created = nullptr;
  LONG r = ::RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             &created, nullptr);
  if (r == ERROR_SUCCESS) {
    r = ::RegSetValueExA(created, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                         static_cast<DWORD>(data.size()));
    ::RegCloseKey(created);
  }
  if (r != ERROR_SUCCESS)
    ADD_FAILURE() << "registry fixture: cannot set " << key << "\\" << name << " (error " << r
                  << ")";
}

#else  // POSIX

ScopedEnvironment::ScopedEnvironment(const std::string& name,
                                     const std::optional<std::string>& value)
    : name_(name) {
  if (const char* old = getenv(name.c_str())) saved_ = old;
  if (value) {
    setenv(name.c_str(), value->c_str(), 1);
  } else {
    unsetenv(name.c_str());
  }
}

ScopedEnvironment::~ScopedEnvironment() {
  if (saved_) {
    setenv(name_.c_str(), saved_->c_str(), 1);
  } else {
    unsetenv(name_.c_str());
  }
}

RegistryFixture::RegistryFixture(const std::string& root)
    : root_(root),
      dir_(std::make_unique<TempDir>()),
      variable_("INSTALLER_REGISTRY_FILE", std::nullopt) {
  AddKey(root_);
}

RegistryFixture::~RegistryFixture() = default;

RegistryFixture::Key& RegistryFixture::KeyAt(const std::string& path) {
  for (Key& key : keys_)
    if (EqualNoCase(key.path, path)) return key;
  keys_.push_back({path, {}});
  return keys_.back();
}

void RegistryFixture::AddKey(const std::string& key) {
  if (!InRoot(key)) return;
  KeyAt(key);
  WriteFile();
}

void RegistryFixture::SetValue(const std::string& key, const std::string& name, uint32_t type,
                               const std::string& data) {
  if (!InRoot(key)) return;
  std::vector<Entry>& values = KeyAt(key).values;
  Entry entry{name, type, data};
  bool replaced = false;
  for (Entry& old : values)
    if (EqualNoCase(old.name, name)) old = entry, replaced = true;
  if (!replaced) values.push_back(entry);
  WriteFile();
}

namespace {

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::u16string Quoted(const std::string& gbk) {
  std::u16string out = u"\"";
  for (char16_t c : platform::posix::GbkToUtf16(gbk)) {
    if (c == u'\\' || c == u'"') out += u'\\';
    out += c;
  }
  return out + u"\"";
}

// hex:01,02,... wrapped with "\" line continuations, as `reg export` wraps it.
std::u16string HexList(std::u16string line, const std::string& bytes) {
  std::u16string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    char hex[4];
    snprintf(hex, sizeof hex, "%02x", static_cast<uint8_t>(bytes[i]));
    line += Ascii(hex);
    if (i + 1 == bytes.size()) break;
    line += u',';
    if (line.size() > 76) {
      out += line + u"\\\r\n";
      line = u"  ";
    }
  }
  return out + line + u"\r\n";
}

}  // namespace

void RegistryFixture::WriteFile() {
  using platform::kRegBinary;
  using platform::kRegDword;
  using platform::kRegExpandSz;
  using platform::kRegMultiSz;
  using platform::kRegSz;
  std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n";
  for (const Key& key : keys_) {
    text += u"[HKEY_CURRENT_USER\\" + platform::posix::GbkToUtf16(key.path) + u"]\r\n";
    for (const Entry& value : key.values) {
      const std::u16string name = value.name.empty() ? u"@" : Quoted(value.name);
      const bool plainString = value.type == kRegSz && !value.data.empty() &&
                               value.data.find('\0') == value.data.size() - 1;
      if (plainString) {
        text += name + u"=" + Quoted(value.data.substr(0, value.data.size() - 1)) + u"\r\n";
      } else if (value.type == kRegDword && value.data.size() == 4) {
        uint32_t number = 0;
        for (int i = 3; i >= 0; --i) number = (number << 8) | static_cast<uint8_t>(value.data[i]);
        char digits[16];
        snprintf(digits, sizeof digits, "%08x", number);
        text += name + u"=dword:" + Ascii(digits) + u"\r\n";
      } else {
        char prefix[16];
        snprintf(prefix, sizeof prefix, value.type == kRegBinary ? "hex:" : "hex(%x):", value.type);
        const bool isString =
            value.type == kRegSz || value.type == kRegExpandSz || value.type == kRegMultiSz;
        // Version 5 files hold string data as UTF-16LE.
        const std::string bytes =
            isString ? platform::posix::Utf16ToBytes(platform::posix::GbkToUtf16(value.data))
                     : value.data;
        text += HexList(name + u"=" + Ascii(prefix), bytes);
      }
    }
    text += u"\r\n";
  }

  // A new file for every change: the registry notices a new name at once, while a
  // rewrite of the same size within one clock tick might look unchanged.
  const std::string old =
      generation_ ? dir_->path() + "registry" + std::to_string(generation_) + ".reg" : "";
  const std::string file = dir_->path() + "registry" + std::to_string(++generation_) + ".reg";
  if (!WriteFileBytes(file, "\xFF\xFE" + platform::posix::Utf16ToBytes(text))) return;
  nativeFile_ = platform::posix::ToNativePath(file).value_or("");
  setenv("INSTALLER_REGISTRY_FILE", nativeFile_.c_str(), 1);
  if (!old.empty()) platform::DeleteFileA(old);
}

#endif

}  // namespace testing_support
