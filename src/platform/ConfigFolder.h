#pragma once
// Where a program keeps its settings when the folder it is installed in cannot be written.

#include <string>

namespace stowra {

// The user's configuration folder: $XDG_CONFIG_HOME when set to an absolute path, else
// $HOME/.config (the home folder from the user database when HOME is unset); on Windows the
// user's application-data folder. No trailing delimiter; the folder may not exist yet.
std::string UserConfigFolder();

// True when the folder exists and this process may create files in it.
bool CanWriteInFolder(const std::string& folder);

}  // namespace stowra
