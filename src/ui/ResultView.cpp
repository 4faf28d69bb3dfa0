#include "ui/ResultView.h"

#include <algorithm>

#include "packing/PackResult.h"
#include "platform/Translation.h"

namespace stowra {

std::vector<TreeNode> ResultTree(const ScanState& state) {
    std::vector<TreeNode> nodes{{state.scanStamp, 0, -1}};
    const int media = static_cast<int>(state.result.media.size());
    for (int i = 1; i <= media; ++i) {
        nodes.push_back({std::to_string(i), i, 0});
    }
    nodes.push_back({Tr("残り"), media + 1, -1});
    return nodes;
}

int SelectionAfterCollapse(const std::vector<TreeNode>& tree, int selected, int collapsed) {
    auto parentOf = [&](int node) {
        return node >= 0 && static_cast<std::size_t>(node) < tree.size() ? tree[node].parent : -1;
    };
    // Bounded by the tree's size, so a malformed parent chain cannot loop.
    int p = parentOf(selected);
    for (std::size_t steps = 0; p != -1 && steps < tree.size(); ++steps, p = parentOf(p)) {
        if (p == collapsed) {
            return collapsed;
        }
    }
    return selected;
}

void ResultList::ShowNode(int index) {
    const int media = static_cast<int>(state_.result.media.size());
    if (index == 0) {
        mode_ = ListMode::Summary;
    } else if (index > 0 && index <= media + 1) {
        if (index <= media) {
            BuildFileList(state_.result.media[static_cast<std::size_t>(index - 1)], state_.fileList);
        } else {
            BuildFileList(state_.result.remainder, state_.fileList);
        }
        mode_ = ListMode::Files;
    } else {
        mode_ = ListMode::Empty;
    }
}

int ResultList::RowCount() const {
    switch (mode_) {
        case ListMode::Summary:
            return static_cast<int>(state_.result.media.size());
        case ListMode::Files:
            return static_cast<int>(state_.fileList.size());
        default:
            return 0;
    }
}

int ResultList::ColumnCount() const {
    switch (mode_) {
        case ListMode::Summary:
            return 4;
        case ListMode::Files:
            return 2;
        default:
            return 0;
    }
}

std::vector<std::string> ResultList::RowTexts(int row) const {
    const auto cluster = static_cast<std::uint32_t>(state_.profile.Cluster);
    if (mode_ == ListMode::Summary && row >= 0 &&
        static_cast<std::size_t>(row) < state_.result.media.size()) {
        const PackedMedium& m = state_.result.media[static_cast<std::size_t>(row)];
        return {std::to_string(row + 1), std::to_string(m.files), SizeText(m.used, cluster),
                PercentText(m.fill)};
    }
    if (mode_ == ListMode::Files && row >= 0 && static_cast<std::size_t>(row) < state_.fileList.size()) {
        const FileItem* f = state_.fileList[static_cast<std::size_t>(row)];
        return {std::string(f->path()), SizeText(f->fullSectors, cluster)};
    }
    return {};
}

std::string ResultList::HeaderText(int column) const {
    if (mode_ == ListMode::Summary && column >= 0 && column < 4) {
        const char* const summary[] = {"No.", Tr("ファイル数"), Tr("総サイズ"), Tr("詰め込み率")};
        return summary[column];
    }
    if (mode_ == ListMode::Files && column >= 0 && column < 2) {
        const char* const files[] = {Tr("ファイル名"), Tr("サイズ")};
        return files[column];
    }
    return {};
}

int ScaledWidth(int designPixels, double digitWidth) {
    return static_cast<int>(designPixels * std::max(1.0, digitWidth / 6.0) + 0.5);
}

std::array<int, 2> FileColumnWidths(int room, double digitWidth) {
    return {std::max(room - ScaledWidth(100, digitWidth), 0), ScaledWidth(84, digitWidth)};
}

std::array<int, 4> FitWidths(const std::array<int, 4>& wanted, const std::array<int, 4>& least, int room) {
    const int sumWanted = wanted[0] + wanted[1] + wanted[2] + wanted[3];
    const int sumLeast = least[0] + least[1] + least[2] + least[3];
    if (sumWanted <= room) {
        return wanted;
    }
    if (sumLeast >= room) {
        return least;
    }
    const double share = static_cast<double>(room - sumLeast) / (sumWanted - sumLeast);
    std::array<int, 4> widths{};
    for (std::size_t c = 0; c < widths.size(); ++c) {
        widths[c] = least[c] + static_cast<int>((wanted[c] - least[c]) * share);
    }
    return widths;
}

}  // namespace stowra
