// Replaceable platform services, for tests.
//
// Each slot is empty in normal runs, and the backend's own service answers. A test that
// needs a clock it controls, another executable path or a failing registry read puts a
// function in the slot for its duration with ScopedServices.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/system.h"

namespace platform::inject {

struct Services {
  std::function<SystemTime()> localTime;
  std::function<std::string()> moduleFileName;
  std::function<void(const std::string&)> debugOutput;
  // Answers RegQueryValueExA before the registry does; nullopt lets the registry answer.
  std::function<std::optional<long>(HKey key, const std::string& valueName, uint32_t* type,
                                    uint8_t* data, uint32_t* dataSize)>
      regQueryValue;
};

Services& services();

// Installs replacement services for the lifetime of the object and restores the
// previous ones afterwards.
class ScopedServices {
 public:
  ScopedServices() : saved_(services()) {}
  ~ScopedServices() { services() = saved_; }
  ScopedServices(const ScopedServices&) = delete;
  ScopedServices& operator=(const ScopedServices&) = delete;
  Services* operator->() { return &services(); }

 private:
  Services saved_;
};

}  // namespace platform::inject
