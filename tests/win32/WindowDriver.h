#pragma once
// Drives the real Windows window in the test's own process, as a user would act on it: clicks,
// keys, drops and the answers to the modal boxes and dialogs it opens, and reads back what it
// shows. Each modal window (a message box, a dialog, the folder browser) that opens is handed to
// the next step of the script when it is activated; a window that opens with no step left is
// closed and recorded, so a test never hangs on a box it did not expect.

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace stowra::test {

// Runs the thread's messages for about `ms` milliseconds, as after each action of a user.
void FlushEvents(int ms = 50);

class ModalScript {
public:
    using Step = std::function<void(HWND window)>;
    ModalScript();
    ~ModalScript();
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    void Then(Step step) { steps_.push_back(std::move(step)); }
    // Called at once, inside the work that opens it, when the move's progress window appears.
    void OnProgress(Step step) { onProgress_ = std::move(step); }
    // Runs `action` once the current modal window has gone, from the loop of the window beneath.
    static void Later(std::function<void()> action, int ms = 10);

    struct Seen {
        std::string caption;
        std::string text;  // a message box's text
        bool expected;
    };
    std::vector<Seen> seen;
    std::size_t StepsLeft() const { return steps_.size(); }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK RunStep(HWND, UINT, UINT_PTR id, DWORD);
    static void CALLBACK RunLater(HWND, UINT, UINT_PTR id, DWORD);

    HHOOK hook_ = nullptr;
    std::deque<Step> steps_;
    Step onProgress_;
    std::vector<HWND> known_;
    std::deque<std::pair<UINT_PTR, HWND>> due_;
    std::deque<std::pair<UINT_PTR, std::function<void()>>> later_;
};

// A message box's text (its static control), or a dialog's first static text.
std::string BoxText(HWND box);
std::string TextOf(HWND window);
// Presses the button `id` of a box or dialog, as a click does.
void Press(HWND window, int id);
// A message box answered with `id`; its text and caption are recorded by the script.
ModalScript::Step Answer(int id);

void Click(HWND button);
void Type(HWND edit, const std::string& text);
void Key(HWND control, WPARAM virtualKey, char character);
// Drops `paths` onto `target` as the shell does.
void Drop(HWND target, const std::vector<std::string>& paths);
void DropWide(HWND target, const std::wstring& path);
void SetClipboardText(HWND owner, const std::string& text);

std::string ListText(HWND list, int row, int column);
int ListRows(HWND list);
int ListColumns(HWND list);
int ColumnWidth(HWND list, int column);
// The tree's captions top-down, and selecting the node at a top-down position.
std::vector<std::string> TreeCaptions(HWND tree);
void SelectTreeNode(HWND tree, int position);
// The tooltip `owner`'s tooltips give `tool`, and how long they stay visible.
std::string TooltipOf(HWND owner, HWND tool);
int TooltipVisibleMs(HWND owner);
// The background brush the window gives an edit: true when it is the yellow of an empty field.
bool IsYellow(HWND parent, HWND edit);

}  // namespace stowra::test
