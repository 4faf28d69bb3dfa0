#pragma once
// The three small interfaces through which the engine talks to whatever front end drives it:
// the desktop window, the command line, or a test recorder. Nothing in the engine blocks on a
// real dialog; it asks a Prompter and the front end decides how to answer.

#include <cstdint>
#include <string_view>

namespace stowra {

enum class LogColor { WindowText, Red, Blue };

// The log pane is only ever appended to: text goes in at the end, in the colour set last.
class LogPane {
public:
    virtual ~LogPane() = default;
    virtual void Clear() = 0;  // empties the pane and resets the colour to window text
    virtual void SetColor(LogColor color) = 0;
    virtual void Insert(std::string_view text) = 0;
    virtual void Repaint() = 0;  // show what was inserted before long work starts
};

enum class MessageIcon { None, Stop, Exclamation, Information, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesAllNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, YesToAll, No };

// A modal message box. An empty caption means the platform's default title.
class Prompter {
public:
    virtual ~Prompter() = default;
    virtual MessageAnswer Ask(std::string_view text, std::string_view caption, MessageIcon icon,
                              MessageButtons buttons) = 0;
};

// How far a batch file operation has come.
struct MoveProgress {
    std::uint64_t filesMoved = 0;   // files that are at their destination
    std::uint64_t filesFailed = 0;  // files that were not moved: failed, or left on request
    std::uint64_t filesTotal = 0;
    std::uint64_t bytesDone = 0;  // bytes of the batch gone through (copies to another file system)
    std::uint64_t bytesTotal = 0;
    // After the move: the files are being read for their checksums (moved counts files hashed,
    // failed those that could not be read, bytes the bytes read).
    bool checksums = false;
};

// Progress of a batch file operation; returning false asks the operation to stop.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual bool Progress(const MoveProgress& progress) = 0;
};

}  // namespace stowra
