#pragma once
// The names a disc image gives one file or folder in each of its trees, as the image builders
// derive them from the name's bytes. Only lengths and sort order matter to the image size, but
// both depend on the exact characters (duplicates are renamed, records are placed in name order),
// so the names are built in full.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace stowra::image {

// Appends the code points of a name in UTF-8 (names in another code page are converted before
// they reach the model). A byte that does not start a valid sequence stands for one '_', as the
// builders count it. Returns whether the name is all ASCII.
bool AppendDecodedName(std::string_view bytes, std::u32string& out);

// The name functions below take the name's code points, or for a name all in ASCII its bytes
// as they are, which spares decoding the most common names.

// ISO 9660 level 3 name (at most 31 characters, upper case, '.' only before the extension), as
// xorriso makes it. A file without an extension ends in '.'; the ";1" is not included.
template <class Ch>
void AppendLevel3Name(std::basic_string_view<Ch> name, bool folder, std::string& out);

// ISO 9660 level 1 name (8.3) as genisoimage makes it, ";1" included for a file. Works on bytes:
// every byte of a multibyte character becomes one '_'.
void AppendLevel1Name(std::string_view bytes, bool folder, std::string& out);

// The same name without the ";1", written to `out` (room for 16) with `dot` for its '.', for
// building sort keys directly. Returns its length (at most 13).
std::size_t Level1Chars(std::string_view bytes, bool folder, char dot, char* out);

// Joliet name with long names allowed, as xorriso makes it: at most 103 characters (104 for a
// file whose extension is kept).
template <class Ch>
void AppendJolietName(std::basic_string_view<Ch> name, bool folder, std::u16string& out);

// Joliet name as genisoimage makes it: cut at 103 units and at the first character outside the
// Basic Multilingual Plane.
template <class Ch>
void AppendPlainJolietName(std::basic_string_view<Ch> name, std::u16string& out);

// Rank of a level 1 name character in genisoimage's sort: ';' before '.', '.' before the rest.
inline int Level1Rank(char c) {
    return c == ';' ? 0 : c == '.' ? 1 : static_cast<unsigned char>(c) + 2;
}

// Level 1 names in genisoimage's order.
bool Level1Less(std::string_view a, std::string_view b);

// One name of a folder's entry, kept in the folder's name buffer.
struct NamedEntry {
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
    std::uint32_t node = 0;  // the entry in the disc's tree
    bool folder = false;
    std::uint64_t head = 0;  // the name's first characters, for sorting (filled by the sort)
    std::uint64_t next = 0;
};

// A set of names held in a name buffer that only grows, so that entries stay valid.
template <class Ch>
class NameSet {
public:
    using View = std::basic_string_view<Ch>;
    void Reset(std::size_t expected);
    bool Contains(View name, const std::basic_string<Ch>& pool) const;
    void Insert(std::uint32_t offset, std::uint32_t size, const std::basic_string<Ch>& pool);

private:
    struct Slot {
        std::uint32_t offset;
        std::uint32_t size;  // kEmpty: free
    };
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;
    std::size_t Find(View name, const std::basic_string<Ch>& pool) const;
    std::vector<Slot> slots_;
    std::size_t count_ = 0;
};

// How xorriso shortens a name to make room for a counter: the longest result with and without
// an extension, and whether a folder's name can have an extension at all.
struct RenameLimits {
    int withExtension;
    int withoutExtension;
    bool folderExtension;
};
inline constexpr RenameLimits kLevel3Limits{31, 31, true};
inline constexpr RenameLimits kJolietLimits{104, 103, false};

// Renames every member of each run of equal names in `entries` (sorted by name, then by the
// original name) the way xorriso does: a counter of as few digits as serve the whole run, placed
// before the extension, skipping names already present. Returns whether any name changed.
// `head` and `next` must be the names' first characters as the sort left them, or all zero.
template <class Ch>
bool RenameDuplicates(std::basic_string<Ch>& pool, std::vector<NamedEntry>& entries,
                      const RenameLimits& limits, NameSet<Ch>& names);

}  // namespace stowra::image
