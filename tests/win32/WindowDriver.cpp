#include "win32/WindowDriver.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace stowra::test {

namespace {

ModalScript* current = nullptr;  // the script of the running test

bool IsModalClass(HWND window) {
    char cls[32] = {};
    ::GetClassNameA(window, cls, sizeof cls);
    return std::string(cls) == "#32770";
}

}  // namespace

void FlushEvents(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()), QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

ModalScript::ModalScript() {
    current = this;
    hook_ = ::SetWindowsHookExA(WH_CBT, Hook, nullptr, ::GetCurrentThreadId());
}

ModalScript::~ModalScript() {
    ::UnhookWindowsHookEx(hook_);
    for (const auto& [id, window] : due_) {
        ::KillTimer(nullptr, id);
    }
    for (const auto& [id, action] : later_) {
        ::KillTimer(nullptr, id);
    }
    current = nullptr;
}

LRESULT CALLBACK ModalScript::Hook(int code, WPARAM wParam, LPARAM lParam) {
    ModalScript* self = current;
    if (self != nullptr && code == HCBT_ACTIVATE) {
        auto window = reinterpret_cast<HWND>(wParam);
        std::erase_if(self->known_, [](HWND w) { return !::IsWindow(w); });
        if (IsModalClass(window) && ::FindWindowExA(window, nullptr, PROGRESS_CLASSA, nullptr) != nullptr) {
            if (self->onProgress_) {
                Step step = std::move(self->onProgress_);
                self->onProgress_ = nullptr;
                step(window);
            }
        } else if (IsModalClass(window) &&
                   std::find(self->known_.begin(), self->known_.end(), window) == self->known_.end()) {
            // Acted on from the window's own loop, once it runs.
            self->known_.push_back(window);
            self->due_.emplace_back(::SetTimer(nullptr, 0, 10, RunStep), window);
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK ModalScript::RunStep(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    ModalScript* self = current;
    if (self == nullptr) {
        return;
    }
    auto due =
        std::find_if(self->due_.begin(), self->due_.end(), [id](const auto& d) { return d.first == id; });
    if (due == self->due_.end()) {
        return;
    }
    HWND window = due->second;
    self->due_.erase(due);
    if (!::IsWindow(window)) {
        return;
    }
    if (self->steps_.empty()) {
        self->seen.push_back({TextOf(window), BoxText(window), false});
        Press(window, IDCANCEL);
        return;
    }
    Step step = std::move(self->steps_.front());
    self->steps_.pop_front();
    step(window);
    // A step that leaves its window open would leave the test waiting for it forever.
    if (::IsWindow(window)) {
        Later(
            [self, window] {
                if (::IsWindow(window)) {
                    self->seen.push_back({TextOf(window), "(left open by its step)", false});
                    Press(window, IDCANCEL);
                }
            },
            2000);
    }
}

void ModalScript::Later(std::function<void()> action, int ms) {
    if (current != nullptr) {
        current->later_.emplace_back(::SetTimer(nullptr, 0, static_cast<UINT>(ms), RunLater),
                                     std::move(action));
    }
}

void CALLBACK ModalScript::RunLater(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    ModalScript* self = current;
    if (self == nullptr) {
        return;
    }
    auto due =
        std::find_if(self->later_.begin(), self->later_.end(), [id](const auto& d) { return d.first == id; });
    if (due == self->later_.end()) {
        return;
    }
    std::function<void()> action = std::move(due->second);
    self->later_.erase(due);
    action();
}

std::string TextOf(HWND window) {
    char text[4096] = {};
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string BoxText(HWND box) {
    if (HWND text = ::GetDlgItem(box, 0xFFFF)) {  // the message of a system box
        return TextOf(text);
    }
    for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        char cls[32] = {};
        ::GetClassNameA(child, cls, sizeof cls);
        if (std::string(cls) == "Static" && !TextOf(child).empty()) {
            return TextOf(child);
        }
    }
    return {};
}

void Press(HWND window, int id) {
    ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(window, id)));
}

ModalScript::Step Answer(int id) {
    return [id](HWND box) {
        if (current != nullptr) {
            current->seen.push_back({TextOf(box), BoxText(box), true});
        }
        Press(box, id);
    };
}

void Click(HWND button) {
    ::SendMessageA(button, BM_CLICK, 0, 0);
}

void Type(HWND edit, const std::string& text) {
    for (char c : text) {
        ::SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
    }
}

void Key(HWND control, WPARAM virtualKey, char character) {
    ::SendMessageA(control, WM_KEYDOWN, virtualKey, 1);
    ::SendMessageA(control, WM_CHAR, static_cast<unsigned char>(character), 1);
    ::SendMessageA(control, WM_KEYUP, virtualKey, 1);
}

void Drop(HWND target, const std::vector<std::string>& paths) {
    std::string list;
    for (const std::string& p : paths) {
        list += p;
        list += '\0';
    }
    list += '\0';
    HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + list.size());
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = FALSE;
    std::copy(list.begin(), list.end(), reinterpret_cast<char*>(drop) + sizeof(DROPFILES));
    ::GlobalUnlock(memory);
    // The receiver finishes the drop, which frees the memory.
    ::SendMessageA(target, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

void DropWide(HWND target, const std::wstring& path) {
    const std::size_t bytes = (path.size() + 2) * sizeof(wchar_t);
    HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + bytes);
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::copy(path.begin(), path.end(),
              reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(drop) + sizeof(DROPFILES)));
    ::GlobalUnlock(memory);
    ::SendMessageA(target, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

void SetClipboardText(HWND owner, const std::string& text) {
    ::OpenClipboard(owner);
    ::EmptyClipboard();
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    auto* bytes = static_cast<char*>(::GlobalLock(memory));
    std::copy(text.c_str(), text.c_str() + text.size() + 1, bytes);
    ::GlobalUnlock(memory);
    ::SetClipboardData(CF_TEXT, memory);
    ::CloseClipboard();
}

std::string ListText(HWND list, int row, int column) {
    char text[1024] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    ::SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

int ListRows(HWND list) {
    return static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

int ListColumns(HWND list) {
    HWND header = reinterpret_cast<HWND>(::SendMessageA(list, LVM_GETHEADER, 0, 0));
    return header != nullptr ? static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

int ColumnWidth(HWND list, int column) {
    return static_cast<int>(::SendMessageA(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

namespace {

void Walk(HWND tree, HTREEITEM item, std::vector<HTREEITEM>& out) {
    for (; item != nullptr; item = TreeView_GetNextSibling(tree, item)) {
        out.push_back(item);
        Walk(tree, TreeView_GetChild(tree, item), out);
    }
}

std::vector<HTREEITEM> TreeItems(HWND tree) {
    std::vector<HTREEITEM> items;
    Walk(tree, TreeView_GetRoot(tree), items);
    return items;
}

}  // namespace

std::vector<std::string> TreeCaptions(HWND tree) {
    std::vector<std::string> captions;
    for (HTREEITEM i : TreeItems(tree)) {
        char text[512] = {};
        TVITEMA item{};
        item.mask = TVIF_TEXT;
        item.hItem = i;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        ::SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        captions.emplace_back(text);
    }
    return captions;
}

void SelectTreeNode(HWND tree, int position) {
    const std::vector<HTREEITEM> items = TreeItems(tree);
    if (position >= 0 && static_cast<std::size_t>(position) < items.size()) {
        TreeView_SelectItem(tree, items[static_cast<std::size_t>(position)]);
    }
}

namespace {

HWND TooltipWindow(HWND owner) {
    for (HWND w = ::FindWindowExA(nullptr, nullptr, TOOLTIPS_CLASSA, nullptr); w != nullptr;
         w = ::FindWindowExA(nullptr, w, TOOLTIPS_CLASSA, nullptr)) {
        if (::GetWindow(w, GW_OWNER) == owner) {
            return w;
        }
    }
    return nullptr;
}

}  // namespace

std::string TooltipOf(HWND owner, HWND tool) {
    char text[1024] = {};
    TOOLINFOA info{};
    info.cbSize = sizeof info;
    info.hwnd = owner;
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.uFlags = TTF_IDISHWND;
    info.lpszText = text;
    ::SendMessageA(TooltipWindow(owner), TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&info));
    return text;
}

int TooltipVisibleMs(HWND owner) {
    return static_cast<int>(::SendMessageA(TooltipWindow(owner), TTM_GETDELAYTIME, TTDT_AUTOPOP, 0));
}

bool IsYellow(HWND parent, HWND edit) {
    HDC dc = ::GetDC(edit);
    auto brush = reinterpret_cast<HBRUSH>(::SendMessageA(
        parent, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit)));
    ::ReleaseDC(edit, dc);
    LOGBRUSH info{};
    return brush != nullptr && ::GetObjectA(brush, sizeof info, &info) != 0 &&
           info.lbColor == RGB(255, 255, 0);
}

}  // namespace stowra::test
