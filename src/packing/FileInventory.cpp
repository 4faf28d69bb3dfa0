#include "packing/FileInventory.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace stowra {

FileInventory::FileInventory() = default;
FileInventory::~FileInventory() = default;

const char* FileInventory::StorePath(std::string_view path) {
    if (path.empty()) {
        return "";
    }
    if (path.size() > kTextChunk / 4) {
        // A very long path gets a block of its own so the shared blocks stay dense.
        auto block = std::make_unique<char[]>(path.size());
        std::memcpy(block.get(), path.data(), path.size());
        const char* p = block.get();
        textChunks_.insert(textChunks_.end() - (textChunks_.empty() ? 0 : 1), std::move(block));
        return p;
    }
    if (textUsed_ + path.size() > kTextChunk) {
        textChunks_.push_back(std::make_unique<char[]>(kTextChunk));
        textUsed_ = 0;
    }
    char* p = textChunks_.back().get() + textUsed_;
    std::memcpy(p, path.data(), path.size());
    textUsed_ += path.size();
    return p;
}

FileItem* FileInventory::Append(std::uint8_t flags, std::uint64_t sectors, std::string_view path) {
    if (itemsInLastChunk_ == kItemsPerChunk) {
        itemChunks_.push_back(std::make_unique<FileItem[]>(kItemsPerChunk));
        itemsInLastChunk_ = 0;
    }
    FileItem* item = &itemChunks_.back()[itemsInLastChunk_++];
    item->flags = flags;
    item->sectors = static_cast<std::uint32_t>(std::min<std::uint64_t>(sectors, UINT32_MAX));
    item->fullSectors = sectors;
    item->link.nextMember = nullptr;
    item->pathData = StorePath(path);
    item->pathSize = static_cast<std::uint32_t>(path.size());
    order_.push_back(item);
    return item;
}

GroupInfo* FileInventory::NewGroupInfo() {
    if (groupsInLastChunk_ == kItemsPerChunk) {
        groupChunks_.push_back(std::make_unique<GroupInfo[]>(kItemsPerChunk));
        groupsInLastChunk_ = 0;
    }
    return &groupChunks_.back()[groupsInLastChunk_++];
}

void FileInventory::Clear() {
    order_.clear();
    order_.shrink_to_fit();
    itemChunks_.clear();
    itemsInLastChunk_ = kItemsPerChunk;
    groupChunks_.clear();
    groupsInLastChunk_ = kItemsPerChunk;
    textChunks_.clear();
    textUsed_ = kTextChunk;
    totalSectors = 0;
    fileCount = 0;
    skippedLinks = 0;
    skippedNames = 0;
    skippedCopies = 0;
    folderCount = 0;
}

}  // namespace stowra
