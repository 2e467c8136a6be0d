// Finding the folder the host product is installed in, from the current user's
// registry.
#pragma once

#include <string>

// The install folder recorded under HKEY_CURRENT_USER\SOFTWARE\Norvell\ (the first of six
// keys that opens decides), with a trailing "\", when it exists and holds
// "Lumoranew.exe"; "" otherwise. Writes an enter and a leave line to the log. A value of
// a non-string type, or whose data cannot be fetched, throws ERegistryException after
// the key is closed and the leave line written.
std::string GetLumoraPathByRegedit();
