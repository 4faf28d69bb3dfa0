#include "relocate/FolderCleanup.h"

#include <vector>

#include "platform/Folder.h"
#include "platform/PathInfo.h"
#include "platform/Text.h"

namespace stowra {

namespace {

// One folder being looked at; the pass keeps these on an explicit stack, so a deep tree never
// reaches the depth of the call stack.
struct Level {
    std::string path;  // ends in the delimiter
    DirListing listing;
    std::size_t next = 0;
    bool onlyFolders = true;
};

void Enter(std::vector<Level>& stack, std::string path) {
    Level level;
    level.path = std::move(path);
    // Every entry counts, hidden and special files and symbolic links included (links are never
    // moved, so a folder holding one stays); an unreadable folder looks empty and is then simply
    // not removable.
    if (auto folder = Folder::Open(level.path)) {
        folder->List(AttributeFilter{true, true, true}, level.listing);
        // Entries whose names the system cannot spell to us are entries all the same.
        level.onlyFolders = level.listing.SkippedNames() == 0;
    }
    stack.push_back(std::move(level));
}

}  // namespace

bool RemoveEmptyFolders(const std::string& folder) {
    std::vector<Level> stack;
    Enter(stack, folder);
    while (true) {
        Level& level = stack.back();
        const auto& entries = level.listing.Entries();
        if (level.next == entries.size()) {
            bool onlyFolders = level.onlyFolders;
            std::string path = std::move(level.path);
            stack.pop_back();
            if (stack.empty()) {
                return onlyFolders;
            }
            if (onlyFolders) {
                RemoveFolder(path);  // refused while a subfolder that could not go is still there
            }
            continue;
        }
        const DirListing::Entry& e = entries[level.next++];
        if (e.kind == EntryKind::Folder && !e.isLink) {
            std::string child = level.path;
            child.append(level.listing.Name(e));
            child.push_back(kPathDelimiter);
            Enter(stack, std::move(child));  // invalidates `level`
        } else {
            level.onlyFolders = false;
        }
    }
}

}  // namespace stowra
