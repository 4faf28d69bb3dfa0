#pragma once
// What the result tree and the list beside it show, as plain values: the tree's nodes, the list
// each node shows, its rows, headers and alignment, and how the columns share the list's width.
// The front end only draws; a list of a hundred thousand files costs no per-row objects, since
// each row's texts are made when the view asks for them.

#include <array>
#include <string>
#include <vector>

#include "packing/ScanSession.h"

namespace stowra {

enum class ListMode { Empty, Summary, Files };

// A node of the result tree. Nodes are numbered from 0: the root (the scan's stamp), one child of
// the root per disc, then the remainder beside the root.
struct TreeNode {
    std::string caption;
    int index = 0;
    int parent = -1;  // -1 for a node at the top
};
std::vector<TreeNode> ResultTree(const ScanState& state);

// When a node is collapsed while the selection lies below it, the selection would vanish with
// its files still listed: the collapsed node takes it. Returns the node to select.
int SelectionAfterCollapse(const std::vector<TreeNode>& tree, int selected, int collapsed);

class ResultList {
public:
    explicit ResultList(ScanState& state) : state_(state) {}

    // Shows what node `index` of the result tree stands for: the summary for the root, the files
    // of a disc or of the remainder otherwise; nothing for a node off the tree.
    void ShowNode(int index);
    void Show(ListMode mode) { mode_ = mode; }
    ListMode Mode() const { return mode_; }

    int RowCount() const;
    int ColumnCount() const;
    // The texts of one row: the caption first, then one text per further column.
    std::vector<std::string> RowTexts(int row) const;
    std::string HeaderText(int column) const;
    // File names read from the left; numbers line up on the right.
    bool LeftAligned(int column) const { return mode_ == ListMode::Files && column == 0; }

private:
    ScanState& state_;
    ListMode mode_ = ListMode::Empty;
};

// Column widths are designed in pixels for a font whose digits are 6 pixels wide; larger fonts
// and screens widen them in proportion, so sizes are never cut off.
int ScaledWidth(int designPixels, double digitWidth);
// The summary's design widths: "No.", the file count, the size and the fill ratio.
inline constexpr std::array<int, 4> kSummaryDesignWidths = {30, 80, 100, 100};
// The file list: the size column keeps its width and the name takes the rest of the room.
std::array<int, 2> FileColumnWidths(int room, double digitWidth);

// Narrows the wanted widths towards the least ones, each in proportion to what it can give, until
// together they fit the room; never below the least, which keep every text readable.
std::array<int, 4> FitWidths(const std::array<int, 4>& wanted, const std::array<int, 4>& least, int room);

}  // namespace stowra
