#pragma once
// The settings file: read once when the main window is created, written whole when it closes.

#include <string>

#include "platform/PrivateProfile.h"
#include "settings/AppSettings.h"

namespace stowra {

inline constexpr char kSettingsSection[] = "Stowra";
inline constexpr char kBuiltinCdName[] = "CD-R 700MiB";
inline constexpr char kBuiltinDvdName[] = "DVD-R 4.7GB(4.38GiB)";
inline constexpr std::int32_t kBuiltinDvdTotal = 2298496;

// Fills the settings from the file. A missing file reads as one without sections; without the
// section "Stowra" the fields keep the values they had. Profiles are appended to the list, the
// two built-in profiles after them unless the list already has those names (in any letter case),
// and the selected index is brought into the list.
void LoadSettings(const std::string& path, AppSettings& settings);

// Writes the whole state as a new file that replaces the old one in one step. When the system
// refuses, throws std::runtime_error "<path> に書き込めません" and the old file stays as it was.
// The folders on the way are made only with `makeFolders` (the program's own per-user folder may
// not exist before its first save; a path the user typed is taken as it is).
void SaveSettings(const std::string& path, const AppSettings& settings, bool makeFolders = true);

// Why the file at `path` cannot be read as a settings file (translated, with the path), or the
// empty text when it can. A missing file can: it reads as one without sections.
std::string SettingsReadProblem(const std::string& path);
// Why a settings file could not be written at `path` when the program closes, or the empty text.
std::string SettingsWriteProblem(const std::string& path);

// The section of one profile.
void WriteProfileSection(ProfileWriter& file, const std::string& name, const MediaProfile& profile);

// The settings file of the running program: beside the program file, on Windows named after it
// with its extension replaced by ".ini" (appended when it has none), elsewhere "stowra.ini" for
// every program of the package; when that folder cannot be written, a file of the same name in the
// folder "stowra" of the user's configuration folder. A program installed for all
// users (in `installedFolder`, the install prefix's bin folder) always uses the user's file, even
// when run by root, who could write beside it into a folder the package manager owns.
std::string SettingsPath();
std::string SettingsPathFor(const std::string& programPath, const std::string& userConfigFolder,
                            const std::string& installedFolder = {});

}  // namespace stowra
