#include "platform/ui_hooks.h"

namespace platform::ui_hooks {

Hooks& hooks() {
  static Hooks instance;
  return instance;
}

}  // namespace platform::ui_hooks
