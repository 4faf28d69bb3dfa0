#include "image/ImageNames.h"

#include <algorithm>
#include <type_traits>

#include "platform/Text.h"

namespace stowra::image {

namespace {

bool Continuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Length of the valid UTF-8 sequence at bytes[i] (no overlong forms, no surrogates, nothing
// above U+10FFFF), or 0.
std::size_t SequenceLength(std::string_view bytes, std::size_t i) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[i + k]); };
    const std::size_t left = bytes.size() - i;
    const unsigned char c = at(0);
    if (c < 0x80) {
        return 1;
    }
    if (c >= 0xC2 && c <= 0xDF) {
        return left >= 2 && Continuation(at(1)) ? 2 : 0;
    }
    if (c >= 0xE0 && c <= 0xEF) {
        if (left < 3 || !Continuation(at(1)) || !Continuation(at(2))) {
            return 0;
        }
        if ((c == 0xE0 && at(1) < 0xA0) || (c == 0xED && at(1) > 0x9F)) {
            return 0;
        }
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (left < 4 || !Continuation(at(1)) || !Continuation(at(2)) || !Continuation(at(3))) {
            return 0;
        }
        if ((c == 0xF0 && at(1) < 0x90) || (c == 0xF4 && at(1) > 0x8F)) {
            return 0;
        }
        return 4;
    }
    return 0;
}

// The d-character a byte becomes in an ISO 9660 name: letters in upper case, digits and '_'
// kept, everything else '_'.
struct DCharTable {
    char map[256];
    constexpr DCharTable() : map() {
        for (int c = 0; c < 256; ++c) {
            const bool keep = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
            map[c] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A')
                     : keep               ? static_cast<char>(c)
                                          : '_';
        }
    }
};
constexpr DCharTable kDChars;

inline char ToDChar(char c) {
    return kDChars.map[static_cast<unsigned char>(c)];
}

// Characters Joliet does not allow become '_', as does a character outside the Basic
// Multilingual Plane (for xorriso; genisoimage ends the name there instead).
struct JolietTable {
    char16_t map[256];
    constexpr JolietTable() : map() {
        for (int c = 0; c < 256; ++c) {
            const bool refused =
                c < 0x20 || c == '*' || c == '/' || c == ':' || c == ';' || c == '?' || c == '\\';
            map[c] = refused ? u'_' : static_cast<char16_t>(c);
        }
    }
};
constexpr JolietTable kJolietUnits;

inline char16_t JolietUnit(char32_t c) {
    if (c < 0x100) {
        return kJolietUnits.map[c];
    }
    return c >= 0x10000 ? u'_' : static_cast<char16_t>(c);
}

// The same for a byte of a name given as bytes, without a test.
inline char16_t JolietUnit(char c) {
    return kJolietUnits.map[static_cast<unsigned char>(c)];
}

}  // namespace

namespace {

// Room for at most `max` more characters at the end of `out`, written through a pointer and
// trimmed afterwards: names are built a character at a time, and this keeps that cheap.
template <class S>
class Output {
public:
    Output(S& out, std::size_t max) : out_(out), start_(out.size()) {
        out_.resize(start_ + max);
        next_ = out_.data() + start_;
    }
    ~Output() { out_.resize(static_cast<std::size_t>(next_ - out_.data())); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    void Put(typename S::value_type c) { *next_++ = c; }

private:
    S& out_;
    std::size_t start_;
    typename S::value_type* next_;
};

template <class Ch>
std::size_t LastDot(std::basic_string_view<Ch> name) {
    const std::size_t dot = name.rfind(Ch('.'));
    return dot == std::basic_string_view<Ch>::npos ? name.size() : dot;
}

// A character of a name given as code points or as ASCII bytes.
template <class Ch>
char32_t CodePoint(Ch c) {
    return static_cast<std::make_unsigned_t<Ch>>(c);
}

}  // namespace

bool AppendDecodedName(std::string_view bytes, std::u32string& out) {
    Output<std::u32string> o(out, bytes.size());
    std::size_t i = 0;
    // Most names are ASCII: copied until the first byte that is not.
    while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) < 0x80) {
        o.Put(static_cast<unsigned char>(bytes[i++]));
    }
    const bool ascii = i == bytes.size();
    while (i < bytes.size()) {
        const auto c0 = static_cast<unsigned char>(bytes[i]);
        if (c0 < 0x80) {
            o.Put(c0);
            ++i;
            continue;
        }
        // Most characters of names in Japanese or Chinese: three bytes, lead byte E1 to EC, where
        // every pair of continuation bytes is valid.
        if (c0 >= 0xE1 && c0 <= 0xEC && i + 2 < bytes.size()) {
            const auto c1 = static_cast<unsigned char>(bytes[i + 1]);
            const auto c2 = static_cast<unsigned char>(bytes[i + 2]);
            if (Continuation(c1) && Continuation(c2)) {
                o.Put(static_cast<char32_t>((c0 & 0x0F) << 12 | (c1 & 0x3F) << 6 | (c2 & 0x3F)));
                i += 3;
                continue;
            }
        }
        const std::size_t n = SequenceLength(bytes, i);
        if (n == 0) {
            o.Put(U'_');
            ++i;
            continue;
        }
        char32_t c = n == 2 ? (c0 & 0x1F) : n == 3 ? (c0 & 0x0F) : (c0 & 0x07);
        for (std::size_t k = 1; k < n; ++k) {
            c = (c << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
        }
        o.Put(c);
        i += n;
    }
    return ascii;
}

template <class Ch>
void AppendLevel3Name(std::basic_string_view<Ch> name, bool folder, std::string& out) {
    // Every character outside ASCII is one '_' before the length rules apply.
    Output<std::string> o(out, 32);
    const auto put = [&](std::size_t i) {
        if constexpr (sizeof(Ch) == 1) {
            o.Put(ToDChar(name[i]));  // a byte above ASCII is '_' in the table too
        } else {
            o.Put(name[i] < 0x80 ? ToDChar(static_cast<char>(name[i])) : '_');
        }
    };
    const std::size_t len = name.size();
    const std::size_t dot = LastDot(name);
    if (dot + 1 >= len) {
        const std::size_t keep = std::min<std::size_t>(len, 30);
        for (std::size_t i = 0; i < keep; ++i) {
            put(i);
        }
        if (!folder) {
            o.Put('.');
        }
        return;
    }
    // Too long: the extension gives way first, down to 3 characters.
    const std::size_t ext = len - dot - 1;
    const std::size_t base = dot;
    std::size_t keepExt = ext;
    std::size_t keepBase = base;
    if (len > 31) {
        keepExt = ext > 3 ? (base < 27 ? 30 - base : 3) : ext;
        keepBase = 30 - keepExt;
    }
    for (std::size_t i = 0; i < keepBase; ++i) {
        put(i);
    }
    o.Put('.');
    for (std::size_t i = 0; i < keepExt; ++i) {
        put(dot + 1 + i);
    }
}

std::size_t Level1Chars(std::string_view bytes, bool folder, char dot, char* out) {
    // Compressed tarballs keep a recognisable three-letter extension.
    std::string_view head = bytes;
    std::string_view tail;
    if (bytes.ends_with(".tar.gz")) {
        head = bytes.substr(0, bytes.size() - 7);
        tail = ".tgz";
    } else if (bytes.ends_with(".ps.gz")) {
        head = bytes.substr(0, bytes.size() - 6);
        tail = ".psz";
    }
    const std::size_t len = head.size() + tail.size();
    const auto at = [&](std::size_t i) { return i < head.size() ? head[i] : tail[i - head.size()]; };

    // The extension dot is the last one, unless that ends the name or is followed by '~'. A
    // tarball's own extension starts with a dot followed by a letter.
    std::size_t extDot = tail.empty() ? head.rfind('.') : head.size();
    if (extDot != std::string_view::npos && (extDot + 1 == len || at(extDot + 1) == '~')) {
        const std::size_t before = extDot == 0 ? std::string_view::npos : head.rfind('.', extDot - 1);
        if (before != std::string_view::npos) {
            extDot = before;
        }
    }

    char* const start = out;
    int baseChars = 0;
    int extChars = 0;
    bool seenDot = false;
    if (tail.empty()) {
        // The common case, in two plain passes: the base up to the extension dot, then the
        // extension, where past its third character only dots still leave something behind.
        std::size_t i = 0;
        for (; i < len; ++i) {
            const char c = head[i];
            if (c == '.' && i == 0) {
                *out++ = '_';
                ++baseChars;
            } else if (c == '.' && i == extDot) {
                *out++ = dot;
                seenDot = true;
                ++i;
                break;
            } else if (baseChars < 8) {
                *out++ = ToDChar(c);
                ++baseChars;
            } else if (extDot != std::string_view::npos && extDot > i) {
                i = extDot - 1;
            } else {
                break;
            }
        }
        for (; seenDot && i < len; ++i) {
            const char c = head[i];
            if (c == '.') {
                *out++ = '_';
                ++extChars;
            } else if (extChars < 3) {
                *out++ = ToDChar(c);
                ++extChars;
            } else {
                const std::size_t further = head.find('.', i);
                if (further == std::string_view::npos) {
                    break;
                }
                i = further - 1;
            }
        }
        if (!folder && !seenDot) {
            *out++ = dot;
        }
        return static_cast<std::size_t>(out - start);
    }
    for (std::size_t i = 0; i < len; ++i) {
        const char c = at(i);
        if (c == '.' && i == 0) {
            *out++ = '_';
            ++baseChars;
        } else if (c == '.' && i == extDot) {
            *out++ = dot;
            seenDot = true;
        } else if (c == '.' && seenDot) {
            // A further dot inside the extension still leaves its '_' behind.
            *out++ = '_';
            ++extChars;
        } else if (!seenDot) {
            if (baseChars < 8) {
                *out++ = ToDChar(c);
                ++baseChars;
            } else if (extDot != std::string_view::npos && extDot > i) {
                i = extDot - 1;  // the rest of the base is left out
            } else {
                break;
            }
        } else if (extChars < 3) {
            *out++ = ToDChar(c);
            ++extChars;
        }
    }
    if (!folder && !seenDot) {
        *out++ = dot;
    }
    return static_cast<std::size_t>(out - start);
}

void AppendLevel1Name(std::string_view bytes, bool folder, std::string& out) {
    char name[16];
    out.append(name, Level1Chars(bytes, folder, '.', name));
    if (!folder) {
        out += ";1";
    }
}

template <class Ch>
void AppendJolietName(std::basic_string_view<Ch> name, bool folder, std::u16string& out) {
    const std::size_t len = name.size();
    const std::size_t dot = folder ? len : LastDot(name);
    std::size_t keepBase = std::min<std::size_t>(len, 103);
    std::size_t keepExt = 0;
    if (dot + 1 < len) {
        keepBase = dot;
        keepExt = len - dot - 1;
        if (len > 104) {
            keepExt = keepExt > 3 ? (keepBase < 100 ? 103 - keepBase : 3) : keepExt;
            keepBase = 103 - keepExt;
        }
    }
    const std::size_t at = out.size();
    out.resize(at + keepBase + (dot + 1 < len ? 1 + keepExt : 0));
    char16_t* o = out.data() + at;
    for (std::size_t i = 0; i < keepBase; ++i) {
        *o++ = JolietUnit(name[i]);
    }
    if (dot + 1 < len) {
        *o++ = u'.';
        for (std::size_t i = 0; i < keepExt; ++i) {
            *o++ = JolietUnit(name[dot + 1 + i]);
        }
    }
}

template <class Ch>
void AppendPlainJolietName(std::basic_string_view<Ch> name, std::u16string& out) {
    std::size_t n = std::min<std::size_t>(name.size(), 103);
    if constexpr (sizeof(Ch) > 2) {
        const auto end = std::find_if(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(n),
                                      [](Ch c) { return CodePoint(c) >= 0x10000; });
        n = static_cast<std::size_t>(end - name.begin());
    }
    const std::size_t at = out.size();
    out.resize(at + n);
    for (std::size_t i = 0; i < n; ++i) {
        out[at + i] = JolietUnit(name[i]);
    }
}

template void AppendLevel3Name(std::string_view, bool, std::string&);
template void AppendLevel3Name(std::u32string_view, bool, std::string&);
template void AppendJolietName(std::string_view, bool, std::u16string&);
template void AppendJolietName(std::u32string_view, bool, std::u16string&);
template void AppendPlainJolietName(std::string_view, std::u16string&);
template void AppendPlainJolietName(std::u32string_view, std::u16string&);

bool Level1Less(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int ra = Level1Rank(a[i]);
        const int rb = Level1Rank(b[i]);
        if (ra != rb) {
            return ra < rb;
        }
    }
    return a.size() < b.size();
}

namespace {

template <class Ch>
std::uint64_t HashName(std::basic_string_view<Ch> name) {
    std::uint64_t h = 14695981039346656037ull;
    for (Ch c : name) {
        h = (h ^ static_cast<std::uint64_t>(c)) * 1099511628211ull;
    }
    return h;
}

}  // namespace

template <class Ch>
void NameSet<Ch>::Reset(std::size_t expected) {
    std::size_t capacity = 16;
    while (capacity < expected * 2) {
        capacity *= 2;
    }
    slots_.assign(capacity, Slot{0, kEmpty});
    count_ = 0;
}

template <class Ch>
std::size_t NameSet<Ch>::Find(View name, const std::basic_string<Ch>& pool) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = HashName(name) & mask;
    while (slots_[i].size != kEmpty && View(pool).substr(slots_[i].offset, slots_[i].size) != name) {
        i = (i + 1) & mask;
    }
    return i;
}

template <class Ch>
bool NameSet<Ch>::Contains(View name, const std::basic_string<Ch>& pool) const {
    return slots_[Find(name, pool)].size != kEmpty;
}

template <class Ch>
void NameSet<Ch>::Insert(std::uint32_t offset, std::uint32_t size, const std::basic_string<Ch>& pool) {
    if ((count_ + 1) * 2 > slots_.size()) {
        std::vector<Slot> old;
        old.swap(slots_);
        Reset(old.size());
        for (const Slot& s : old) {
            if (s.size != kEmpty) {
                Insert(s.offset, s.size, pool);
            }
        }
    }
    const View name = View(pool).substr(offset, size);
    Slot& slot = slots_[Find(name, pool)];
    if (slot.size == kEmpty) {
        slot = Slot{offset, size};
        ++count_;
    }
}

namespace {

// Renames the run entries[first..last] of equal names. A pass that runs out of counter values
// leaves the names it gave so far, and the next pass (one digit more) starts from the first
// entry's new name, as xorriso does.
template <class Ch>
void RenameRun(std::basic_string<Ch>& pool, std::vector<NamedEntry>& entries, std::size_t first,
               std::size_t last, const RenameLimits& limits, NameSet<Ch>& names) {
    using View = std::basic_string_view<Ch>;
    std::basic_string<Ch> full;
    std::basic_string<Ch> candidate;
    std::uint64_t limit = 10;
    for (int digits = 1; digits < 8; ++digits, limit *= 10) {
        full.assign(View(pool).substr(entries[first].offset, entries[first].size));
        const std::size_t dot = full.rfind(Ch('.'));
        const bool withExt =
            dot != std::basic_string<Ch>::npos && (!entries[first].folder || limits.folderExtension);
        View name = full;
        View ext;
        int max = limits.withoutExtension - digits;
        if (withExt) {
            name = View(full).substr(0, dot);
            ext = View(full).substr(dot + 1);
            auto extSize = static_cast<int>(ext.size());
            max = limits.withExtension - extSize - 1 - digits;
            if (max <= 0) {
                if (extSize + max <= 3) {
                    return;
                }
                extSize = extSize + max - 1;
                ext = ext.substr(0, static_cast<std::size_t>(extSize));
                max = limits.withExtension - extSize - 1 - digits;
            }
        }
        name = name.substr(0, std::min(name.size(), static_cast<std::size_t>(std::max(max, 0))));
        bool ok = true;
        std::uint64_t change = 0;
        for (std::size_t k = first; k <= last && ok; ++k) {
            while (true) {
                // A value needing one digit more ends the pass before it is written: with an
                // empty stem it would land in front of the candidate.
                if (change >= limit) {
                    ok = false;
                    break;
                }
                candidate.assign(name);
                std::uint64_t value = change;
                candidate.append(static_cast<std::size_t>(digits), Ch('0'));
                for (std::size_t d = candidate.size(); value > 0; value /= 10) {
                    candidate[--d] = static_cast<Ch>('0' + value % 10);
                }
                if (withExt) {
                    candidate.push_back(Ch('.'));
                    candidate.append(ext);
                }
                ++change;
                if (!names.Contains(candidate, pool)) {
                    break;
                }
            }
            if (ok) {
                entries[k].offset = static_cast<std::uint32_t>(pool.size());
                entries[k].size = static_cast<std::uint32_t>(candidate.size());
                pool += candidate;
                names.Insert(entries[k].offset, entries[k].size, pool);
            }
        }
        if (ok) {
            return;
        }
    }
}

}  // namespace

template <class Ch>
bool RenameDuplicates(std::basic_string<Ch>& pool, std::vector<NamedEntry>& entries,
                      const RenameLimits& limits, NameSet<Ch>& names) {
    using View = std::basic_string_view<Ch>;
    const auto name = [&](std::size_t i) { return View(pool).substr(entries[i].offset, entries[i].size); };
    // Names whose first characters differ are not compared in full.
    bool any = false;
    for (std::size_t i = 0; i + 1 < entries.size() && !any; ++i) {
        any = entries[i].head == entries[i + 1].head && entries[i].next == entries[i + 1].next &&
              name(i) == name(i + 1);
    }
    if (!any) {
        return false;
    }
    names.Reset(entries.size());
    for (const NamedEntry& e : entries) {
        names.Insert(e.offset, e.size, pool);
    }
    for (std::size_t i = 0; i < entries.size();) {
        std::size_t j = i;
        while (j + 1 < entries.size() && name(j + 1) == name(i)) {
            ++j;
        }
        if (j > i) {
            RenameRun(pool, entries, i, j, limits, names);
        }
        i = j + 1;
    }
    return true;
}

template class NameSet<char>;
template class NameSet<char16_t>;
template bool RenameDuplicates(std::string&, std::vector<NamedEntry>&, const RenameLimits&, NameSet<char>&);
template bool RenameDuplicates(std::u16string&, std::vector<NamedEntry>&, const RenameLimits&,
                               NameSet<char16_t>&);

}  // namespace stowra::image
