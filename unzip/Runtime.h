// The small object model the engine is written against: objects with a class name,
// persistent objects that copy themselves, owned components with a loaded notification,
// the base exception types, and GBK-aware string helpers.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace unzip {

class TStream;

// ---- Exceptions ------------------------------------------------------------------------
// The system's base exception: a message text (a GBK byte string), returned by what().
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }

 private:
  std::string message_;
};

#define UNZIP_EXCEPTION(Name, Base) \
  class Name : public Base {        \
   public:                          \
    using Base::Base;               \
  }

UNZIP_EXCEPTION(EStreamError, Exception);
UNZIP_EXCEPTION(EFileStreamError, EStreamError);
UNZIP_EXCEPTION(EFOpenError, EFileStreamError);
UNZIP_EXCEPTION(EFCreateError, EFileStreamError);
UNZIP_EXCEPTION(EReadError, EStreamError);
UNZIP_EXCEPTION(EWriteError, EStreamError);
UNZIP_EXCEPTION(EFilerError, EStreamError);
UNZIP_EXCEPTION(EClassNotFound, EFilerError);
UNZIP_EXCEPTION(EListError, Exception);
UNZIP_EXCEPTION(EConvertError, Exception);
UNZIP_EXCEPTION(EAbstractError, Exception);

// printf-style formatting into a byte string.
std::string Format(const char* format, ...);

// ---- Objects ---------------------------------------------------------------------------
class TObject {
 public:
  virtual ~TObject() = default;
  virtual const char* ClassName() const { return "TObject"; }
};

// Receives the binary properties an object declares for streaming.
class TFiler {
 public:
  virtual ~TFiler() = default;
  virtual void DefineBinaryProperty(const std::string& name,
                                    const std::function<void(TStream*)>& readData,
                                    const std::function<void(TStream*)>& writeData,
                                    bool hasData) = 0;
};

class TPersistent : public TObject {
 public:
  const char* ClassName() const override { return "TPersistent"; }
  // Copies source into this object; the default asks the source (AssignTo).
  virtual void Assign(const TPersistent* source);
  virtual void DefineProperties(TFiler* /*filer*/) {}

 protected:
  // Copies this object into dest; the default raises the conversion error.
  virtual void AssignTo(TPersistent* dest) const;
  // EConvertError "Cannot assign a %s to a %s" (source class or "nil", this class).
  [[noreturn]] void AssignError(const TPersistent* source) const;
};

enum TComponentStateFlag : uint32_t { csLoading = 0x1, csDesigning = 0x2 };

// A component may have an owner, which frees it; it is notified once its stored settings
// have been read (Loaded).
class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;
  const char* ClassName() const override { return "TComponent"; }

  TComponent* Owner() const { return owner_; }
  uint32_t ComponentState() const { return state_; }
  // The window framework's form loader sets these.
  void SetDesigning(bool on) { state_ = on ? state_ | csDesigning : state_ & ~csDesigning; }
  void BeginLoading() { state_ |= csLoading; }
  virtual void Loaded() { state_ &= ~csLoading; }

 private:
  TComponent* owner_;
  std::vector<TComponent*> components_;
  uint32_t state_ = 0;
};

// ---- GBK byte strings ------------------------------------------------------------------
// True when the byte at index is the second byte of a double-byte character.
bool IsTrailByte(const std::string& text, size_t index);
// Index of the last byte of text that is one of delimiters and not a trail byte, or npos.
size_t LastDelimiter(const std::string& delimiters, const std::string& text);
// True when the last character is a single-byte "\".
bool EndsWithBackslash(const std::string& text);
// Up to and including the last "\" or ":"; the name after it.
std::string ExtractFilePath(const std::string& fileName);
std::string ExtractFileName(const std::string& fileName);
// From the last "." of the name part (included), or "".
std::string ExtractFileExt(const std::string& fileName);
std::string ChangeFileExt(const std::string& fileName, const std::string& extension);
// ASCII letters in upper / lower case, every byte alike.
std::string UpperCaseAscii(std::string text);
std::string LowerCaseAscii(std::string text);
// CompareText: ASCII letters compared without case, then the lengths.
int CompareTextAscii(const std::string& a, const std::string& b);
// Equality ignoring the case of ASCII letters, trail bytes of double-byte characters
// compared exactly (the system locale's case-insensitive comparison for GBK names).
bool SameTextAnsi(const std::string& a, const std::string& b);

}  // namespace unzip
