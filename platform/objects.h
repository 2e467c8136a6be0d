// The object model the engine and the window framework share: objects with a class name,
// persistent objects that copy themselves, and components with an owner that frees them,
// notifications of insertion and removal, and loading and designing states.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace platform {

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

// An exception class that only names a kind of failure.
#define PLATFORM_EXCEPTION(Name, Base) \
  class Name : public Base {           \
   public:                             \
    using Base::Base;                  \
  }

PLATFORM_EXCEPTION(EConvertError, Exception);

// ---- Objects ---------------------------------------------------------------------------
class TObject {
 public:
  virtual ~TObject() = default;
  virtual const char* ClassName() const { return "TObject"; }
};

class TPersistent : public TObject {
 public:
  const char* ClassName() const override { return "TPersistent"; }
  // Copies source into this object; the default asks the source (AssignTo).
  virtual void Assign(const TPersistent* source);

 protected:
  // Copies this object into dest; the default raises the conversion error.
  virtual void AssignTo(TPersistent* dest) const;
  // EConvertError "Cannot assign a %s to a %s" (source class or "nil", this class).
  [[noreturn]] void AssignError(const TPersistent* source) const;
};

// ---- Components ------------------------------------------------------------------------
inline constexpr uint32_t csLoading = 0x1;
inline constexpr uint32_t csDesigning = 0x2;
inline constexpr uint32_t csDestroying = 0x4;

enum TOperation { opInsert, opRemove };

// A component may have an owner, which frees it (owned components go first, the newest
// first). The owner and every component that asked with FreeNotification hear of its
// insertion and removal. Loaded() follows the reading of its stored settings.
class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;
  const char* ClassName() const override { return "TComponent"; }

  std::string Name;
  int Tag = 0;
  TComponent* Owner() const { return owner_; }
  const std::vector<TComponent*>& Components() const { return components_; }
  TComponent* FindComponent(const std::string& name) const;

  uint32_t ComponentState() const { return state_; }
  bool IsDesigning() const { return state_ & csDesigning; }
  bool IsLoading() const { return state_ & csLoading; }
  void SetDesigning(bool on) { state_ = on ? state_ | csDesigning : state_ & ~csDesigning; }
  // A reader of stored settings calls this before it sets them, and Loaded() after.
  void BeginLoading() { state_ |= csLoading; }
  virtual void Loaded() { state_ &= ~csLoading; }

  // A component of the same owner, or one that asked with FreeNotification, is inserted
  // or removed; the owner passes it on to everything it owns.
  virtual void Notification(TComponent* component, TOperation operation);
  void FreeNotification(TComponent* component);

 protected:
  // Frees the owned components, last first. Destructors of classes whose members the
  // owned components may reach call it before those members go.
  void DestroyComponents();

 private:
  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  uint32_t state_ = 0;
};

}  // namespace platform
