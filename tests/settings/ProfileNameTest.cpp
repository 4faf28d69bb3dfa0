#include <gtest/gtest.h>

#include "settings/ProfileName.h"

namespace stowra {
namespace {

TEST(ProfileNameProblem, RefusesNamesTheFileCannotKeepApart) {
    ProfileList list;
    list.Append("CD-R 700MiB", {});
    list.Append("Mine", {});
    const std::string brackets = "メディア名に「[」「]」や改行は使用できません";
    const std::string reserved = "そのメディア名は使用できません";
    const std::string caseOnly = "大文字と小文字が違うだけの同じメディア名がすでに使用されています";
    const struct {
        std::string name;
        std::size_t skip;
        std::string expected;
    } cases[] = {
        {"New", ProfileList::npos, ""},
        {"Mine ", ProfileList::npos, ""},
        {"マイ", ProfileList::npos, ""},
        {"a[b", ProfileList::npos, brackets},
        {"a]", ProfileList::npos, brackets},
        {"two\nlines", ProfileList::npos, brackets},
        {"x\r", ProfileList::npos, brackets},
        {"stowra", ProfileList::npos, reserved},
        {"STOWRA", 0, reserved},
        {"cd-r 700mib", ProfileList::npos, caseOnly},
        {"MINE", 0, caseOnly},
        {"MINE", 1, ""},  // renaming the edited entry itself
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProfileNameProblem(c.name, list, c.skip), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace stowra
