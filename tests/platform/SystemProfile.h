#pragma once
// The system's own profile functions over one file, beside our reader, so that the tests can show
// that our reader takes a file as the system does. Windows only.

#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/PrivateProfile.h"

namespace stowra::test {

class SystemProfile {
public:
    explicit SystemProfile(std::string path) : path_(std::move(path)) {}

    std::vector<std::string> SectionNames() const {
        std::vector<char> buffer(1 << 20);
        const DWORD n =
            ::GetPrivateProfileSectionNamesA(buffer.data(), static_cast<DWORD>(buffer.size()), path_.c_str());
        std::vector<std::string> names;
        for (DWORD i = 0; i < n;) {
            names.emplace_back(buffer.data() + i);
            i += static_cast<DWORD>(names.back().size()) + 1;
        }
        return names;
    }
    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const {
        std::vector<char> buffer(1 << 16);
        const DWORD n = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buffer.data(),
                                                   static_cast<DWORD>(buffer.size()), path_.c_str());
        return std::string(buffer.data(), n);
    }
    std::int32_t ReadInteger(const std::string& section, const std::string& key, std::int32_t def) const {
        return static_cast<std::int32_t>(
            ::GetPrivateProfileIntA(section.c_str(), key.c_str(), def, path_.c_str()));
    }

private:
    std::string path_;
};

// Where the system's functions and our reader disagree about the given keys of every section, one
// line per difference; empty when they agree. Integers are compared where our rule takes the value
// as one: the system also reads a number at the start of any text, which the settings do not.
inline std::vector<std::string> DifferencesFromSystem(const std::string& path,
                                                      const std::vector<std::string>& keys) {
    const ProfileReader ours = ProfileReader::Load(path);
    const SystemProfile system(path);
    std::vector<std::string> out;
    if (ours.SectionNames() != system.SectionNames()) {
        out.push_back("section names differ");
    }
    for (const std::string& section : ours.SectionNames()) {
        for (const std::string& key : keys) {
            const std::string mine = ours.ReadString(section, key, "\x01");
            const std::string theirs = system.ReadString(section, key, "\x01");
            if (mine != theirs) {
                out.push_back(section + "/" + key + ": [" + mine + "] system [" + theirs + "]");
            } else if (ParseProfileInteger(mine) &&
                       ours.ReadInteger(section, key, -7) != system.ReadInteger(section, key, -7)) {
                out.push_back(section + "/" + key + ": integer " + mine);
            }
        }
    }
    return out;
}

}  // namespace stowra::test
#endif
