#pragma once
// What the move needs to know about folders on disk: where a path really leads, which file system
// holds it, and removing a folder that is empty.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Folder.h"

namespace stowra {

// The absolute path that `path` leads to, with every symbolic link, "." and ".." resolved and no
// trailing delimiter (except for the root itself). Empty when the path does not exist.
std::optional<std::string> ResolvePath(const std::string& path);

// The absolute form of `path` by text alone, for a path that does not exist (yet): relative paths
// are taken from the current folder, "." and ".." are folded, repeated delimiters merged.
std::string AbsolutePathText(const std::string& path);

// An identifier of the file system (volume) that holds `path`, or nothing when it cannot be read.
std::optional<std::uint64_t> FileSystemOf(const std::string& path);

// Identity of a file or folder on disk (device and inode), links followed.
std::optional<FolderId> IdentityOf(const std::string& path);

// The folder above a drive's root, when the letter stands for a folder of another drive (under
// wine every letter is a link to a Linux folder, and one letter may lead below another), and the
// folder above what this function returned. Nothing for other paths, whose text names the folder
// above, and where the system cannot tell.
std::optional<std::string> FolderAboveRoot(const std::string& path);

// A file's size and when it was last written, in local time; nothing when it cannot be read.
struct FileFacts {
    std::uint64_t size = 0;
    LocalTime modified{};
};
std::optional<FileFacts> FileFactsOf(const std::string& path);

// Removes the folder if it is empty. Never follows a symbolic link: a link is not removed.
bool RemoveFolder(const std::string& path);

}  // namespace stowra
