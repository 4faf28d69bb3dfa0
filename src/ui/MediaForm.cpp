#include "ui/MediaForm.h"

#include "packing/PackResult.h"
#include "platform/Translation.h"

namespace stowra {

std::optional<FormProblem> MediaForm::Validate() const {
    const MediaValues& v = values;
    bool taken = false;
    for (std::size_t i = 0; i < profileNames.size(); ++i) {
        if (!addMode && static_cast<int>(i) == selectedIndex) {
            continue;
        }
        taken = taken || profileNames[i] == v.name;
    }
    struct Check {
        bool failed;
        const char* message;
        MediaField focus;
    };
    const Check names[] = {
        {v.name.empty(), "メディア名を入れてください", MediaField::Name},
        {v.name == "Stowra", "そのメディア名は使用できません", MediaField::Name},
        {taken, "そのメディア名はすでに使用されています", MediaField::Name},
    };
    for (const Check& c : names) {
        if (c.failed) {
            return FormProblem{Tr(c.message), c.focus};
        }
    }
    if (nameProblem) {
        if (std::string problem = nameProblem(v.name); !problem.empty()) {
            return FormProblem{std::move(problem), MediaField::Name};
        }
    }
    const Check numbers[] = {
        {v.cluster == 0, "クラスタサイズを入れてください", MediaField::Cluster},
        {v.total == 0, "総サイズを入れてください", MediaField::Total},
        {v.system == 0, "システムサイズはゼロより大きくしてください", MediaField::System},
        {v.system >= v.total, "システムサイズは総サイズより小さくなければいけません", MediaField::System},
        {v.slack >= v.total, "スラックサイズは総サイズより小さくなければいけません", MediaField::Slack},
    };
    for (const Check& c : numbers) {
        if (c.failed) {
            return FormProblem{Tr(c.message), c.focus};
        }
    }
    return std::nullopt;
}

bool MediaForm::PickPreset(int index) {
    if (index < 1 || static_cast<std::size_t>(index) > kDiscPresets.size()) {
        return false;
    }
    const DiscPreset& p = kDiscPresets[static_cast<std::size_t>(index - 1)];
    // The name, the sector size and the total as the disc's standard has them; System and Slack
    // stay the user's, and every field stays editable.
    values.name = p.name;
    values.cluster = p.cluster;
    values.total = p.total;
    return true;
}

std::vector<std::string> PresetItems() {
    std::vector<std::string> items{Tr("（一覧から選ぶと、名前と大きさが入ります）")};
    for (const DiscPreset& p : kDiscPresets) {
        items.emplace_back(p.name);
    }
    return items;
}

std::string SizeTip(std::int32_t sectors, std::int32_t cluster) {
    return SizeText(static_cast<std::uint32_t>(sectors), static_cast<std::uint32_t>(cluster));
}

}  // namespace stowra
