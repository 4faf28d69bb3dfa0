#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <functional>
#include <set>

#include "platform/BatchMove.h"
#include "platform/Process.h"
#include "platform/Translation.h"
#include "support/OtherFileSystem.h"
#include "support/ProgressRecorder.h"
#include "support/Recorders.h"
#include "support/TempTree.h"
#include "support/TreeDigest.h"
#include "support/Unprivileged.h"

namespace stowra {
namespace {

#ifndef _WIN32
// What was flushed to disk while a test listened: the paths of the files and of the folders.
struct Flushed {
    bool listening = false;
    std::multiset<std::string> files;
    std::set<std::string> folders;
};

Flushed& Flushes() {
    static Flushed flushed;
    return flushed;
}
#endif

}  // namespace
}  // namespace stowra

#ifndef _WIN32
// This program's own fsync takes the C library's place at link time, so a test can see what the
// move flushed; it then flushes as the C library would.
extern "C" int fsync(int fd) {
    stowra::Flushed& f = stowra::Flushes();
    struct stat st {};
    char path[4096] = {};
    if (f.listening && ::fstat(fd, &st) == 0 &&
        ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path - 1) > 0) {
        if (S_ISDIR(st.st_mode)) {
            f.folders.insert(path);
        } else {
            f.files.insert(path);
        }
    }
    return static_cast<int>(::syscall(SYS_fsync, fd));
}
#endif

namespace stowra {
namespace {

using test::Digests;

struct Lists {
    std::string sources;
    std::string destinations;
    void Add(const std::string& from, const std::string& to) {
        sources.append(from).push_back('\0');
        destinations.append(to).push_back('\0');
    }
    Lists& Close() {
        sources.push_back('\0');
        destinations.push_back('\0');
        return *this;
    }
};

Lists ListsFor(const Digests& files, const std::string& from, const std::string& to) {
    Lists lists;
    for (const auto& [rel, digest] : files) {
        lists.Add(from + "/" + rel, to + "/" + rel);
    }
    return lists.Close();
}

// After any move, interrupted or not: each file lies whole in the source or at its destination,
// never partly under a final name; at most `maxBoth` files (one in flight when the process was
// killed) lie whole in both. No other file appears at the destination apart from temporary copies.
void ExpectEachFileOnce(const Digests& before, const std::string& from, const std::string& to,
                        std::size_t maxBoth = 0, std::size_t maxTemps = 0) {
    Digests src = test::DigestTree(from);
    Digests dst = test::DigestTree(to);
    Digests temps = test::TempLeftovers(dst);
    std::size_t both = 0;
    for (const auto& [rel, digest] : before) {
        bool inSource = src.count(rel) != 0;
        bool atDestination = dst.count(rel) != 0;
        EXPECT_TRUE(inSource || atDestination) << rel << " was lost";
        if (inSource) {
            EXPECT_EQ(src[rel], digest) << rel << " changed in the source";
        }
        if (atDestination) {
            EXPECT_EQ(dst[rel], digest) << rel << " is not whole at its destination";
        }
        both += inSource && atDestination ? 1 : 0;
    }
    EXPECT_LE(both, maxBoth);
    EXPECT_LE(temps.size(), maxTemps);
    for (const auto& [rel, digest] : dst) {
        EXPECT_TRUE(before.count(rel) != 0 || temps.count(rel) != 0) << "unexpected " << rel;
    }
}

TEST(BatchMove, RefusesMalformedListsAndMovesNothing) {
    test::TempTree t;
    t.Write("a", "x");
    const std::string a = t.Path("a"), b = t.Path("b");
    using namespace std::string_literals;
    struct Case {
        const char* what;
        std::string sources, destinations;
        bool failed;
    } cases[] = {
        {"well formed", a + "\0\0"s, b + "\0\0"s, false},
        {"no closing NUL", a + "\0"s, b + "\0\0"s, true},
        {"no NUL at all", a, b + "\0\0"s, true},
        {"more sources than destinations", a + "\0"s + a + "\0\0"s, b + "\0\0"s, true},
        {"bytes after the closing NUL", a + "\0\0junk"s, b + "\0\0"s, true},
        {"empty string", "", "", true},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(b);
        t.Write("a", "x");
        test::ScriptedPrompter prompter;
        test::ProgressRecorder sink(test::ProgressRecorder::Checks::OneBatch);
        BatchMoveResult r = BatchMove(c.sources, c.destinations, prompter, sink);
        EXPECT_EQ(r.failed, c.failed) << c.what;
        EXPECT_FALSE(r.cancelled) << c.what;
        if (c.failed) {
            EXPECT_TRUE(t.Exists("a")) << c.what;
            EXPECT_EQ(r.moved, 0u) << c.what;
        }
    }
    test::ScriptedPrompter prompter;
    test::ProgressRecorder sink(test::ProgressRecorder::Checks::OneBatch);
    BatchMoveResult empty = BatchMove(std::string_view("\0", 1), std::string_view("\0", 1), prompter, sink);
    EXPECT_FALSE(empty.failed);
    EXPECT_EQ(empty.moved, 0u);
}

// The same batch within one file system and across two.
class BatchMoveBoth : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        from = t.Path("src");
        t.Folder("src");
        if (GetParam()) {
            to = other.Root(t);
            if (to.empty()) {
                GTEST_SKIP() << "no second file system (tmpfs at /dev/shm) to move to";
            }
            to += "/dst";
        } else {
            to = t.Path("dst");
        }
    }
    test::TempTree t;
    test::OtherFileSystem other;
    std::string from, to;
};

TEST_P(BatchMoveBoth, MovesEveryFileAndCreatesTheFolders) {
    Digests files =
        test::WriteRandomFiles(from, {{"a.txt", 10}, {"d/e/f/b.bin", 300000}, {"d/c", 0}, {"g/h", 70000}});
#ifndef _WIN32
    const std::map<std::string, mode_t> modes = {{"d/c", 0640}, {"a.txt", 04755}, {"g/h", 03711}};
    for (const auto& [rel, mode] : modes) {
        ::chmod((from + "/" + rel).c_str(), mode);
    }
    struct timespec old[2] = {{1000000000, 0}, {1000000000, 123456789}};
    ::utimensat(AT_FDCWD, (from + "/g/h").c_str(), old, 0);
#endif
    test::ScriptedPrompter prompter;
    test::ProgressRecorder sink(test::ProgressRecorder::Checks::OneBatch);
    Lists lists = ListsFor(files, from, to);
#ifndef _WIN32
    Flushes() = {true, {}, {}};
#endif
    BatchMoveResult r = BatchMove(lists.sources, lists.destinations, prompter, sink);
#ifndef _WIN32
    Flushed flushed = std::exchange(Flushes(), {});
#endif

    EXPECT_FALSE(r.failed);
    EXPECT_FALSE(r.cancelled);
    EXPECT_EQ(r.moved, 4u);
    EXPECT_TRUE(prompter.asked.empty());
    EXPECT_EQ(test::DigestTree(to), files);
    EXPECT_TRUE(test::DigestTree(from).empty());
    EXPECT_EQ(sink.files, 4u);
    // Bytes count where they are copied; a rename counts as a file only.
    EXPECT_EQ(sink.bytes, GetParam() ? 370010u : 0u);
    EXPECT_EQ(sink.bytesTotal, GetParam() ? 370010u : 0u);
#ifndef _WIN32
    struct stat st {};
    for (const auto& [rel, mode] : modes) {
        ASSERT_EQ(::stat((to + "/" + rel).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode) << rel;
    }
    if (GetParam()) {
        // Each copy is on disk before it takes its final name, and so is each name in its folder.
        EXPECT_EQ(flushed.files.size(), 4u);
        for (const std::string& file : flushed.files) {
            EXPECT_NE(file.find("/" + std::string(kBatchMoveTempPrefix)), std::string::npos) << file;
        }
        EXPECT_EQ(flushed.folders, (std::set<std::string>{to, to + "/d", to + "/d/e/f", to + "/g"}));
    }
    ASSERT_EQ(::stat((to + "/g/h").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 123456789);
#endif
}

#ifndef _WIN32
TEST_P(BatchMoveBoth, MovesALinkAsALink) {
    t.Write("target", "outside");
    t.Link("src/link", t.Path("target"));
    Lists lists;
    lists.Add(from + "/link", to + "/sub/link");
    lists.Close();
    test::ScriptedPrompter prompter;
    test::ProgressRecorder sink(test::ProgressRecorder::Checks::OneBatch);
    BatchMoveResult r = BatchMove(lists.sources, lists.destinations, prompter, sink);
    EXPECT_FALSE(r.failed) << (r.failures.empty() ? "" : r.failures[0].reason);
    char target[256] = {};
    ASSERT_GT(::readlink((to + "/sub/link").c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), t.Path("target"));
    EXPECT_FALSE(t.Exists("src/link"));
    EXPECT_EQ(t.Read("target"), "outside");
}
#endif

TEST_P(BatchMoveBoth, AsksBeforeReplacingAnExistingFile) {
    using A = MessageAnswer;
    struct Case {
        const char* what;
        std::vector<A> answers;
        std::size_t questions;
        std::vector<bool> replaced;  // per conflicting file 1..3
        bool cancelled;
        bool laterFileMoved;  // the file without a conflict, handed over last
    } cases[] = {
        {"yes each time", {A::Yes, A::Yes, A::Yes}, 3, {true, true, true}, false, true},
        {"yes to all", {A::YesToAll}, 1, {true, true, true}, false, true},
        {"skip the second", {A::Yes, A::No, A::Yes}, 3, {true, false, true}, true, true},
        {"cancel at the second", {A::Yes, A::Cancel}, 2, {true, false, false}, true, false},
        {"closed without an answer", {A::Ok}, 1, {false, false, false}, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(from);
        std::filesystem::remove_all(to);
        Digests files = test::WriteRandomFiles(from, {{"1", 100}, {"2", 200}, {"3", 300}, {"4", 400}});
        Digests old = test::WriteRandomFiles(to, {{"1", 11}, {"2", 22}, {"3", 33}});
        test::ScriptedPrompter prompter;
        prompter.answers.assign(c.answers.begin(), c.answers.end());
        test::ProgressRecorder sink(test::ProgressRecorder::Checks::OneBatch);
        Lists lists = ListsFor(files, from, to);
        BatchMoveResult r = BatchMove(lists.sources, lists.destinations, prompter, sink);

        EXPECT_FALSE(r.failed);
        EXPECT_EQ(r.cancelled, c.cancelled);
        ASSERT_EQ(prompter.asked.size(), c.questions);
        EXPECT_EQ(prompter.asked[0].text, ReplaceQuestion(to + "/1"));
        EXPECT_EQ(prompter.asked[0].caption, kReplaceCaption);
        EXPECT_EQ(prompter.asked[0].buttons, MessageButtons::YesAllNoCancel);
        Digests src = test::DigestTree(from), dst = test::DigestTree(to);
        for (int i = 0; i < 3; ++i) {
            std::string rel = std::to_string(i + 1);
            EXPECT_EQ(dst[rel], c.replaced[i] ? files[rel] : old[rel]) << rel;
            EXPECT_EQ(src.count(rel), c.replaced[i] ? 0u : 1u) << rel;
        }
        EXPECT_EQ(dst.count("4"), c.laterFileMoved ? 1u : 0u);
        EXPECT_EQ(test::TempLeftovers(dst).size(), 0u);
    }
}

TEST_P(BatchMoveBoth, AFolderInTheWayFailsThatFileOnly) {
    Digests files = test::WriteRandomFiles(from, {{"a", 10}, {"b", 20}});
    std::filesystem::create_directories(to + "/a");
    test::ScriptedPrompter prompter;
    test::ProgressRecorder sink(test::ProgressRecorder::Checks::OneBatch);
    Lists lists = ListsFor(files, from, to);
    BatchMoveResult r = BatchMove(lists.sources, lists.destinations, prompter, sink);
    EXPECT_TRUE(r.failed);
    EXPECT_FALSE(r.cancelled);
    EXPECT_TRUE(prompter.asked.empty());
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].source, from + "/a");
    EXPECT_TRUE(t.Exists("src/a"));
    EXPECT_EQ(test::DigestTree(to), (Digests{{"b", files["b"]}}));
}

#ifndef _WIN32
TEST_P(BatchMoveBoth, ASourceThatMayNotBeRemovedStaysAndIsNotCopied) {
    Digests files = test::WriteRandomFiles(from, {{"a", 10}});
    std::filesystem::create_directories(to);
    for (const std::string& open : {t.Root(), to, std::filesystem::path(to).parent_path().string()}) {
        ::chmod(open.c_str(), 0777);
    }
    ::chmod(from.c_str(), 0555);  // the unprivileged user may read the file but not remove it
    Lists lists = ListsFor(files, from, to);
    EXPECT_EQ(test::RunAsNobody([&] {
                  test::ScriptedPrompter prompter;
                  test::ProgressRecorder sink(test::ProgressRecorder::Checks::OneBatch);
                  BatchMoveResult r = BatchMove(lists.sources, lists.destinations, prompter, sink);
                  return r.failed && r.moved == 0 && r.failures.size() == 1 ? 0 : 1;
              }),
              0);
    EXPECT_EQ(test::DigestTree(from), files);
    EXPECT_TRUE(test::DigestTree(to).empty());  // neither the file nor an unfinished copy
}
#endif

TEST_P(BatchMoveBoth, AVanishedSourceFailsAndTheRestMoves) {
    Digests files = test::WriteRandomFiles(from, {{"a", 10}, {"b", 20}, {"c", 30}});
    Lists lists = ListsFor(files, from, to);
    std::filesystem::remove(from + "/b");
    files.erase("b");
    test::ScriptedPrompter prompter;
    test::ProgressRecorder sink(test::ProgressRecorder::Checks::OneBatch);
    BatchMoveResult r = BatchMove(lists.sources, lists.destinations, prompter, sink);
    EXPECT_TRUE(r.failed);
    EXPECT_FALSE(r.cancelled);
    EXPECT_EQ(r.moved, 2u);
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].destination, to + "/b");
    EXPECT_EQ(test::DigestTree(to), files);
    EXPECT_EQ(sink.files, 2u);  // a failed file is not counted as moved
    EXPECT_EQ(sink.failed, 1u);
}

TEST_P(BatchMoveBoth, CancelFromTheProgressDisplayStopsBetweenFiles) {
    // A Cancel pressed once the last file is moved stops nothing: the batch is complete.
    for (std::uint64_t stopAt : {2u, 4u}) {
        std::filesystem::remove_all(from);
        std::filesystem::remove_all(to);
        Digests files = test::WriteRandomFiles(from, {{"a", 10}, {"b", 20}, {"c", 30}, {"d", 40}});
        test::ScriptedPrompter prompter;
        test::ProgressRecorder sink(test::ProgressRecorder::Checks::OneBatch);
        sink.onCall = [&sink, stopAt](int) { return sink.files < stopAt; };
        Lists lists = ListsFor(files, from, to);
        BatchMoveResult r = BatchMove(lists.sources, lists.destinations, prompter, sink);
        EXPECT_EQ(r.cancelled, stopAt < 4);
        EXPECT_FALSE(r.failed);
        EXPECT_EQ(r.moved, stopAt);
        EXPECT_EQ(test::DigestTree(to).size(), stopAt);
        ExpectEachFileOnce(files, from, to);
    }
}

// Holds a file as a running move holds its unfinished copy.
class HeldCopy {
public:
    explicit HeldCopy(const std::string& path) {
#ifdef _WIN32
        handle_ = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(handle_, INVALID_HANDLE_VALUE);
#else
        fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        EXPECT_EQ(::flock(fd_, LOCK_EX), 0);
#endif
    }
    ~HeldCopy() {
#ifdef _WIN32
        ::CloseHandle(handle_);
#else
        ::close(fd_);
#endif
    }
    HeldCopy(const HeldCopy&) = delete;
    HeldCopy& operator=(const HeldCopy&) = delete;

private:
#ifdef _WIN32
    HANDLE handle_;
#else
    int fd_;
#endif
};

TEST_P(BatchMoveBoth, UnfinishedCopiesOfDeadProcessesAreRemovedFromTheDestination) {
    // Whatever the process ids in the names (this very process's, the first process's of a
    // container), a copy that no running move holds is left over from one that was killed.
    const std::string prefix(kBatchMoveTempPrefix);
    const std::string own = prefix + std::to_string(ProcessId()) + "-3", first = prefix + "1-1",
                      live = prefix + std::to_string(ProcessId()) + "-9";
    Digests files = test::WriteRandomFiles(from, {{"d/a", 10}});
    test::WriteRandomFiles(to, {{"d/" + own, 5},
                                {"d/" + first, 5},
                                {"d/" + live, 5},
                                {"d/.stowra-tmp-notes", 5},
                                {"e/" + first, 5}});
    HeldCopy held(to + "/d/" + live);
    test::ScriptedPrompter prompter;
    test::ProgressRecorder sink(test::ProgressRecorder::Checks::OneBatch);
    Lists lists = ListsFor(files, from, to);
    EXPECT_FALSE(BatchMove(lists.sources, lists.destinations, prompter, sink).failed);
    EXPECT_FALSE(std::filesystem::exists(to + "/d/" + own));
    EXPECT_FALSE(std::filesystem::exists(to + "/d/" + first));
    EXPECT_TRUE(std::filesystem::exists(to + "/d/" + live));  // a running move holds it
    EXPECT_TRUE(std::filesystem::exists(to + "/d/.stowra-tmp-notes"));
    EXPECT_TRUE(std::filesystem::exists(to + "/e/" + first));  // not a folder of this move
    EXPECT_EQ(RemoveStaleCopies(to), 1u);
}

#ifndef _WIN32
TEST_P(BatchMoveBoth, NothingIsWrittenThroughALinkBelowTheMovesOwnFolder) {
    Digests files = test::WriteRandomFiles(from, {{"d/a", 10}, {"e/b", 20}});
    t.Folder("elsewhere");
    std::filesystem::create_directories(to + "/own");
    std::filesystem::create_directory_symlink(t.Path("elsewhere"), to + "/own/d");
    test::ScriptedPrompter prompter;
    test::ProgressRecorder sink(test::ProgressRecorder::Checks::OneBatch);
    Lists lists = ListsFor(files, from, to + "/own");
    BatchMoveResult r = BatchMove(lists.sources, lists.destinations, prompter, sink, to + "/own");
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].source, from + "/d/a");
    EXPECT_TRUE(test::DigestTree(t.Path("elsewhere")).empty());
    EXPECT_TRUE(std::filesystem::exists(from + "/d/a"));
    EXPECT_TRUE(std::filesystem::exists(to + "/own/e/b"));
}
#endif

INSTANTIATE_TEST_SUITE_P(FileSystems, BatchMoveBoth, ::testing::Values(false, true),
                         [](const auto& test) { return test.param ? "Across" : "Within"; });

TEST(BatchMove, CancelDuringALongCopyLeavesNoPartialFile) {
    test::TempTree t;
    test::OtherFileSystem other;
    std::string to = other.Root(t);
    if (to.empty()) {
        GTEST_SKIP() << "no second file system (tmpfs at /dev/shm) to move to";
    }
    Digests files = test::WriteRandomFiles(t.Path("src"), {{"small", 5}, {"big", 20u << 20}});
    test::ScriptedPrompter prompter;
    test::ProgressRecorder sink(test::ProgressRecorder::Checks::OneBatch);
    // Call 1: start; 2: the first chunk of "big" (files go in name order); then cancel.
    sink.onCall = [](int call) { return call < 2; };
    Lists lists = ListsFor(files, t.Path("src"), to);
    BatchMoveResult r = BatchMove(lists.sources, lists.destinations, prompter, sink);
    EXPECT_TRUE(r.cancelled);
    EXPECT_FALSE(r.failed);
    EXPECT_EQ(r.moved, 0u);
    EXPECT_GT(sink.bytes, 0u);
    EXPECT_TRUE(test::DigestTree(to).empty());
    EXPECT_EQ(test::DigestTree(t.Path("src")), files);
}

#ifndef _WIN32
TEST(BatchMove, ASourceChangedOrMovedAwayDuringItsCopyIsNotMoved) {
    // The change comes while the file is copied: at the first progress call inside its copy.
    struct Case {
        const char* what;
        std::function<void(const std::string& path, const std::string& elsewhere)> change;
        const char* reason;
        bool sourceStays;
    } cases[] = {
        {"shrunk", [](const std::string& p, const std::string&) { ::truncate(p.c_str(), 1 << 20); },
         kChangedDuringMove, true},
        {"grown", [](const std::string& p, const std::string&) { std::ofstream(p, std::ios::app) << "more"; },
         kChangedDuringMove, true},
        {"rewritten",
         [](const std::string& p, const std::string&) {
             std::string same(20u << 20, 'n');
             std::ofstream(p, std::ios::binary | std::ios::in | std::ios::out).write(same.data(), 1000);
         },
         kChangedDuringMove, true},
        {"replaced",
         [](const std::string& p, const std::string&) {
             std::ofstream(p + ".new") << "another file";
             std::filesystem::rename(p + ".new", p);
         },
         kChangedDuringMove, true},
        {"moved by another process",
         [](const std::string& p, const std::string& elsewhere) { std::filesystem::rename(p, elsewhere); },
         kMovedByOther, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempTree t;
        test::OtherFileSystem other;
        std::string to = other.Root(t);
        if (to.empty()) {
            GTEST_SKIP() << "no second file system (tmpfs at /dev/shm) to move to";
        }
        Digests files = test::WriteRandomFiles(t.Path("src"), {{"big", 20u << 20}, {"small", 5}});
        const std::string big = t.Path("src/big"), elsewhere = t.Path("elsewhere");
        test::ScriptedPrompter prompter;
        test::ProgressRecorder sink(test::ProgressRecorder::Checks::OneBatch);
        sink.onCall = [&](int call) {
            if (call == 2) {
                c.change(big, elsewhere);
            }
            return true;
        };
        Lists lists = ListsFor(files, t.Path("src"), to + "/dst");
        BatchMoveResult r = BatchMove(lists.sources, lists.destinations, prompter, sink);
        EXPECT_TRUE(r.failed);
        EXPECT_EQ(r.moved, 1u);  // the rest of the batch goes on
        ASSERT_EQ(r.failures.size(), 1u);
        EXPECT_EQ(r.failures[0].source, big);
        EXPECT_EQ(r.failures[0].reason, Tr(c.reason));
        EXPECT_EQ(test::DigestTree(to + "/dst"), (Digests{{"small", files["small"]}}));  // no copy, no temp
        EXPECT_EQ(std::filesystem::exists(big), c.sourceStays);
        EXPECT_EQ(std::filesystem::exists(elsewhere), !c.sourceStays);
    }
}
#endif

#ifndef _WIN32
TEST(BatchMove, HolesStayHolesAcrossFileSystems) {
    test::TempTree t;
    test::OtherFileSystem other;
    std::string from = other.Root(t);
    if (from.empty()) {
        GTEST_SKIP() << "no second file system (tmpfs at /dev/shm) to move from";
    }
    const std::uint64_t size = 256ull << 20;
    std::string data = test::RandomContent(1 << 20, 5);
    {
        std::ofstream f(from + "/sparse", std::ios::binary);
        f.seekp(100 << 20);
        f.write(data.data(), static_cast<std::streamsize>(data.size()));
    }
    ::truncate((from + "/sparse").c_str(), static_cast<off_t>(size));  // a hole at the end too
    Lists lists;
    lists.Add(from + "/sparse", t.Path("dst/sparse"));
    test::ScriptedPrompter prompter;
    test::ProgressRecorder sink(test::ProgressRecorder::Checks::OneBatch);
    lists.Close();
    ASSERT_FALSE(BatchMove(lists.sources, lists.destinations, prompter, sink).failed);
    struct stat st {};
    ASSERT_EQ(::stat(t.Path("dst/sparse").c_str(), &st), 0);
    EXPECT_EQ(static_cast<std::uint64_t>(st.st_size), size);
    EXPECT_LT(static_cast<std::uint64_t>(st.st_blocks) * 512, 8ull << 20);
    std::ifstream in(t.Path("dst/sparse"), std::ios::binary);
    in.seekg(100 << 20);
    std::string back(data.size(), '\0');
    in.read(back.data(), static_cast<std::streamsize>(back.size()));
    EXPECT_TRUE(back == data);
}
#endif

#ifndef _WIN32
// Moves across file systems in a child that is killed part-way, then checks what is left.
// A signal the move catches (a hang-up) stops it cleanly instead: nothing in two places, no copy.
void KillAndCheck(const std::function<bool(int call)>& killAt, int delay_ms, int signal = SIGKILL) {
    test::TempTree t;
    test::OtherFileSystem other;
    std::string from = other.Root(t);
    if (from.empty()) {
        GTEST_SKIP() << "no second file system (tmpfs at /dev/shm) to move from";
    }
    from += "/src";
    std::vector<std::pair<std::string, std::size_t>> layout;
    for (int i = 0; i < 6; ++i) {
        layout.emplace_back("d" + std::to_string(i % 2) + "/f" + std::to_string(i), (i % 3 + 1) * (6u << 20));
    }
    Digests files = test::WriteRandomFiles(from, layout);
    std::string to = t.Path("dst");
    Lists lists = ListsFor(files, from, to);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (signal != SIGKILL) {
            CatchInterrupts();
        }
        test::ScriptedPrompter prompter;
        test::ProgressRecorder sink(test::ProgressRecorder::Checks::OneBatch);
        sink.onCall = [&](int call) {
            if (killAt(call)) {
                ::raise(signal);
            }
            return !Interrupted();
        };
        BatchMove(lists.sources, lists.destinations, prompter, sink);
        ::_exit(0);
    }
    if (delay_ms > 0) {
        ::usleep(static_cast<useconds_t>(delay_ms) * 1000);
        ::kill(pid, signal);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const std::size_t leftovers = signal == SIGKILL ? 1 : 0;
    ExpectEachFileOnce(files, from, to, leftovers, leftovers);
}
#endif

#ifndef _WIN32
TEST(BatchMove, KilledPartWayAcrossFileSystemsLosesNothing) {
    for (int call : {1, 3, 6, 10}) {
        SCOPED_TRACE("killed at progress call " + std::to_string(call));
        KillAndCheck([call](int c) { return c == call; }, 0);
    }
    for (int ms : {10, 60}) {
        SCOPED_TRACE("killed after " + std::to_string(ms) + " ms");
        KillAndCheck([](int) { return false; }, ms);
    }
    for (int call : {3, 6}) {
        SCOPED_TRACE("hung up at progress call " + std::to_string(call));
        KillAndCheck([call](int c) { return c == call; }, 0, SIGHUP);
    }
}
#endif

}  // namespace
}  // namespace stowra
