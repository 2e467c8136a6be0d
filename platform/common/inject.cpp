#include "platform/inject.h"

namespace platform::inject {

Services& services() {
  static Services instance;
  return instance;
}

Services& framework() {
  static Services instance;
  return instance;
}

}  // namespace platform::inject
