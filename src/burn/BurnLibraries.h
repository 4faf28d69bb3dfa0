#pragma once
// libisofs and libburn for the time a command or a window needs them: set up once, their
// messages kept in their queues (never printed by themselves) and handed over as the user's
// texts, and shut down again.

#include <string>

namespace stowra::burning {

class BurnLibraries {
public:
    BurnLibraries();
    ~BurnLibraries();
    BurnLibraries(const BurnLibraries&) = delete;
    BurnLibraries& operator=(const BurnLibraries&) = delete;

    // False, with the reason in Error(), when a library could not be set up.
    bool Ready() const { return ready_; }
    const std::string& Error() const { return error_; }

private:
    bool isofs_ = false;
    bool burn_ = false;
    bool ready_ = false;
    std::string error_;
};

// The libraries' messages queued since the last call, of at least "SORRY" severity (problems,
// not chatter), one per line (no line feed after the last), each led by the translated name of
// what sent it.
std::string TakeLibraryMessages();
// libisofs's alone: its complaints about the files it read into an image (a size that changed, an
// early end, a read error), each naming the file.
std::string TakeImageMessages();

}  // namespace stowra::burning
