#pragma once
// "メディア設定" as values and rules: what the fields hold, the order the checks run in, which
// message each failure gives and which field takes the focus, the size tooltips and the list of
// common discs. The dialog of each front end only draws the fields and hands their values over.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "image/ImageSize.h"
#include "packing/DiscPresets.h"

namespace stowra {

// The note under the media dialog's fields, the same in every front end.
inline constexpr char kMediaComment[] =
    "オプションで\n"
    "スラックサイズを有効にすると、\n"
    "詰め込み率の下限を設定できます。\n"
    "\n"
    "総サイズをＡ、システムサイズをＢ、\n"
    "スラックサイズをＣとしたときに、\n"
    "Ａ－（Ｂ＋Ｃ）≦ Ｘ ≦Ａ－Ｂ\n"
    "の範囲のＸになるように\n"
    "ファイルを詰め込みます。\n"
    "\n"
    "ただし詰め込み率を高めに誘導すると、\n"
    "うまい組み合わせが見つからない\n"
    "可能性も高くなります。\n";

enum class MediaField { Name, Cluster, Total, System, Slack };

struct MediaValues {
    std::string name;
    std::int32_t cluster = 2048;
    std::int32_t total = 0;
    std::int32_t system = 256;
    std::int32_t slack = 2048;
    FileSystem fileSystem = FileSystem::None;
};

struct FormProblem {
    std::string message;  // translated
    MediaField focus;     // the field to put the focus in, when it can take it
};

struct MediaForm {
    MediaValues values;
    bool addMode = false;
    // The names of the profile list, and the entry being edited (skipped by the name check in
    // edit mode).
    std::vector<std::string> profileNames;
    int selectedIndex = -1;
    // Further name rules of the settings file (empty text when the name can be stored).
    std::function<std::string(const std::string& name)> nameProblem;
    bool slackEnabled = true;  // the slack field is used only when the option says so
    bool readAtip = false;     // "自動取得" reads a CD-R's ATIP as well

    // The first check that fails, in the order a user meets them, or nothing when OK may close.
    std::optional<FormProblem> Validate() const;
    // Picking entry `index` of the list of common discs (0 is the hint): fills the name, the
    // sector size and the total; false for the hint or an index off the list.
    bool PickPreset(int index);
};

// The items of the list of common discs: the hint first, then each disc's own name.
std::vector<std::string> PresetItems();

// The tooltip of a size field: its value in sectors of `cluster` bytes, as a size.
std::string SizeTip(std::int32_t sectors, std::int32_t cluster);

}  // namespace stowra
