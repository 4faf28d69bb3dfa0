#pragma once
// stowra-cli profiles: the settings file as the main window loads it.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "settings/AppSettings.h"

namespace stowra::cli {

struct ProfilesOptions {
    std::string settingsFile;  // empty: the program's own settings file
    bool json = false;
    bool save = false;  // write the loaded state back as the window does when it closes
};

void AddProfilesOptions(CLI::App& command, ProfilesOptions& options);

nlohmann::json SettingsJson(const AppSettings& settings);
void PrintSettingsText(const AppSettings& settings, const std::string& path, std::FILE* out);

int RunProfilesCommand(const ProfilesOptions& options);

}  // namespace stowra::cli
