// The framework's own modal message box: the text in a label above one row of push
// buttons (OK, OK/Cancel, Abort/Retry/Ignore ... by the low four bits of type), centred
// on the screen. Answers the id of the button pressed, the default button's id when the
// host can give no more input, 0 without an application object.
#pragma once

#include <cstdint>
#include <string>

namespace ui {

int ShowFrameworkMessageBox(const std::string& text, const std::string& caption, uint32_t type);

}  // namespace ui
