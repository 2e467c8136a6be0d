// The installer's resources, built into the program: the window definition (Main.def)
// and its four skin images (background.png, footer.png, close.png, close_hover.png).
#pragma once

#include <string>

// The bytes of the resource called name, or null.
const std::string* FindInstallerResource(const std::string& name);
