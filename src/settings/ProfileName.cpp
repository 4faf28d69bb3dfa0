#include "settings/ProfileName.h"

#include "platform/PrivateProfile.h"
#include "platform/Translation.h"
#include "settings/SettingsFile.h"

namespace stowra {

std::string ProfileNameProblem(std::string_view name, const ProfileList& list, std::size_t skipIndex) {
    if (name.find_first_of("[]\r\n") != std::string_view::npos) {
        return Tr("メディア名に「[」「]」や改行は使用できません");
    }
    if (SameNameIgnoringCase(name, kSettingsSection)) {
        return Tr("そのメディア名は使用できません");
    }
    if (list.FindIgnoringCase(name, skipIndex) != ProfileList::npos) {
        return Tr("大文字と小文字が違うだけの同じメディア名がすでに使用されています");
    }
    return {};
}

}  // namespace stowra
