#include "win32/TMainForm.h"

#include <commctrl.h>
#include <richedit.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <exception>

#include "fileio/LExcept.h"
#include "platform/Folder.h"
#include "platform/Translation.h"
#include "ui/MoveProgress.h"
#include "win32/MediaProbeView.h"
#include "win32/ProgressWindow.h"
#include "win32/TGroupDialog.h"
#include "win32/TMediaDialog.h"
#include "win32/TOptDialog.h"
#include "win32/WinText.h"
#include "win32/resource.h"

namespace stowra {

namespace {

constexpr int kMargin = 6;
constexpr int kGap = 4;
constexpr int kSplitter = 5;  // the bar between two panes
constexpr int kLeastPane = 60;
constexpr int kWindowSize = 512;
constexpr UINT kCloseLater = WM_APP + 2;  // a close that waited for a command to return

// A name the ANSI functions would hand over with look-alike characters names another folder,
// most likely a missing one: it is refused rather than used.
const char* const kUnrepresentableFolderName =
    "フォルダ名にこのシステムの文字コードで表せない文字が含まれているため、選択できません";

// The folder browser of the shell, opening at the field's folder.
class ShellFolderChooser : public FolderChooser {
public:
    ShellFolderChooser(HWND owner, std::string start) : owner_(owner), start_(std::move(start)) {}
    std::string SelectFolder(std::string_view title) override;
    bool unrepresentable = false;

private:
    static int CALLBACK Callback(HWND browser, UINT message, LPARAM /*lParam*/, LPARAM data) {
        if (message == BFFM_INITIALIZED && data != 0) {
            ::SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, data);
        }
        return 0;
    }
    HWND owner_;
    std::string start_;
};

std::string ShellFolderChooser::SelectFolder(std::string_view title) {
    char display[MAX_PATH] = {};
    const std::string heading(title);
    BROWSEINFOA info{};
    info.hwndOwner = owner_;
    info.pszDisplayName = display;
    info.lpszTitle = heading.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = Callback;
    info.lParam = start_.empty() ? 0 : reinterpret_cast<LPARAM>(start_.c_str());
    PIDLIST_ABSOLUTE item = ::SHBrowseForFolderA(&info);
    if (item == nullptr) {
        return {};
    }
    wchar_t wide[MAX_PATH] = {};
    const BOOL found = ::SHGetPathFromIDListW(item, wide);
    ::CoTaskMemFree(item);
    if (!found || wide[0] == L'\0') {
        return {};
    }
    char path[MAX_PATH * 2] = {};
    BOOL lossy = FALSE;
    const int n =
        ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, path, sizeof path, nullptr, &lossy);
    if (n <= 0 || lossy) {
        unrepresentable = true;
        return {};
    }
    return path;
}

Font MessageFont() {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        return Font(::CreateFontIndirectA(&metrics.lfMessageFont));
    }
    return Font(nullptr);
}

HICON FolderIcon(bool open) {
    SHFILEINFOA info{};
    UINT flags = SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES | (open ? SHGFI_OPENICON : 0);
    if (::SHGetFileInfoA("folder", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof info, flags) != 0) {
        return info.hIcon;
    }
    return nullptr;
}

}  // namespace

TMainForm::TMainForm(Services services) : model(*this), services_(std::move(services)) {
    if (!services_.makeTransport) {
        services_.makeTransport = MakeSystemTransport;
    }
    richEditLibrary_ = ::LoadLibraryA("riched20.dll");
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSEXA cls{};
    cls.cbSize = sizeof cls;
    cls.style = CS_HREDRAW | CS_VREDRAW;
    cls.lpfnWndProc = WindowProc;
    cls.hInstance = instance;
    cls.hIcon = ::LoadIconA(instance, MAKEINTRESOURCEA(IDI_STOWRA));
    cls.hIconSm =
        static_cast<HICON>(::LoadImageA(instance, MAKEINTRESOURCEA(IDI_STOWRA), IMAGE_ICON,
                                        ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
    cls.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.lpszClassName = kMainWindowClass;
    ::RegisterClassExA(&cls);  // a second window of the process finds it registered
    const int x = (::GetSystemMetrics(SM_CXSCREEN) - kWindowSize) / 2;
    const int y = (::GetSystemMetrics(SM_CYSCREEN) - kWindowSize) / 2;
    hwnd_ = ::CreateWindowExA(WS_EX_CONTROLPARENT, kMainWindowClass, "Stowra (Ver 1.0)",
                              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, std::max(x, 0), std::max(y, 0),
                              kWindowSize, kWindowSize, nullptr, nullptr, instance, this);
    if (hwnd_ == nullptr) {
        throw std::runtime_error("the main window could not be created");
    }
    FormCreate();
}

TMainForm::~TMainForm() {
    if (hwnd_ != nullptr && ::IsWindow(hwnd_)) {
        ::DestroyWindow(hwnd_);
    }
    if (richEditLibrary_ != nullptr) {
        ::FreeLibrary(richEditLibrary_);
    }
}

void TMainForm::Show(int how) {
    ::ShowWindow(hwnd_, how);
    ::UpdateWindow(hwnd_);
}

LRESULT CALLBACK TMainForm::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<TMainForm*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TMainForm*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr) {
        return ::DefWindowProcA(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return ::DefWindowProcA(hwnd, message, wParam, lParam);
    }
    LRESULT result = 0;
    bool handled = false;
    // No error may unwind through the system's code: it is shown, and the program goes on.
    self->Guarded([&] {
        result = self->OnMessage(message, wParam, lParam);
        handled = true;
    });
    return handled ? result : 0;
}

void TMainForm::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const LExcept& e) {
        prompter_.Ask(e.message, "", MessageIcon::Stop, MessageButtons::Ok);
    } catch (const std::exception& e) {
        prompter_.Ask(e.what(), "", MessageIcon::Stop, MessageButtons::Ok);
    }
}

LRESULT TMainForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            prompter_.SetMain(hwnd_);
            BuildControls();
            return 0;
        case WM_SIZE:
            Layout();
            FormResize();
            return 0;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize.x = 360;
            info->ptMinTrackSize.y = 360;
            return 0;
        }
        case WM_COMMAND:
            Command(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_NOTIFY:
            return Notify(*reinterpret_cast<const NMHDR*>(lParam), lParam);
        case WM_CTLCOLOREDIT: {
            auto edit = reinterpret_cast<HWND>(lParam);
            if (edit == EditSrc.Handle() || edit == EditDst.Handle()) {
                if (HBRUSH b = FieldBackground(edit, reinterpret_cast<HDC>(wParam), yellow_.get())) {
                    return reinterpret_cast<LRESULT>(b);
                }
            }
            break;
        }
        case WM_SETCURSOR: {
            if (busy_ > 0 && !prompter_.Asking()) {
                ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
                return TRUE;
            }
            if (reinterpret_cast<HWND>(wParam) == hwnd_ && LOWORD(lParam) == HTCLIENT) {
                POINT p{};
                ::GetCursorPos(&p);
                ::ScreenToClient(hwnd_, &p);
                const Splitter s = dragging_ != Splitter::None ? dragging_ : SplitterAt(p);
                if (s != Splitter::None) {
                    ::SetCursor(::LoadCursorA(nullptr, s == Splitter::Horizontal ? IDC_SIZENS : IDC_SIZEWE));
                    return TRUE;
                }
            }
            break;
        }
        case WM_LBUTTONDOWN: {
            const POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            dragging_ = SplitterAt(p);
            if (dragging_ != Splitter::None) {
                ::SetCapture(hwnd_);
            }
            return 0;
        }
        case WM_MOUSEMOVE:
            if (dragging_ != Splitter::None) {
                DragSplitter({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
            }
            return 0;
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
            if (dragging_ != Splitter::None) {
                dragging_ = Splitter::None;
                if (message == WM_LBUTTONUP) {
                    ::ReleaseCapture();
                }
            }
            return 0;
        case WM_CLOSE:
            Closing = true;
            // A scan or a move runs inside a handler further down the stack: the scan stops at
            // once, the move ends its file operation, and the window closes when they return.
            if (busy_ > 0) {
                closeWanted_ = true;
                return 0;
            }
            ::DestroyWindow(hwnd_);
            return 0;
        case kCloseLater:
            ::SendMessageA(hwnd_, WM_CLOSE, 0, 0);
            return 0;
        case WM_DESTROY:
            FormDestroy();
            if (services_.quitOnDestroy) {
                ::PostQuitMessage(0);
            }
            return 0;
        default:
            break;
    }
    return ::DefWindowProcA(hwnd_, message, wParam, lParam);
}

void TMainForm::BuildControls() {
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    font_ = MessageFont();
    auto make = [&](DWORD exStyle, const char* cls, const char* text, DWORD style, int id) {
        HWND w = ::CreateWindowExA(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, hwnd_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        if (font_) {
            ::SendMessageA(w, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        }
        return w;
    };
    auto button = [&](const char* text, int id) {
        return make(0, WC_BUTTONA, text, WS_TABSTOP | BS_PUSHBUTTON, id);
    };
    auto label = [&](const char* text) { return make(0, WC_STATICA, text, SS_LEFT | SS_CENTERIMAGE, -1); };

    LabelMedia = label(Tr("対象メディア"));
    ComboBox = make(0, WC_COMBOBOXA, "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, IDC_COMBO);
    ButtonEdt = button(Tr("編集"), IDC_EDT);
    ButtonAdd = button(Tr("追加"), IDC_ADD);
    ButtonDel = button(Tr("削除"), IDC_DEL);
    LabelSrc = label(Tr("入力フォルダ"));
    EditSrc.Attach(make(WS_EX_CLIENTEDGE, WC_EDITA, "", WS_TABSTOP | ES_AUTOHSCROLL, IDC_EDIT_SRC),
                   FieldEdit::Keys::Text);
    ButtonSrc = button(Tr("選択"), IDC_BUTTON_SRC);
    LabelDst = label(Tr("出力フォルダ"));
    EditDst.Attach(make(WS_EX_CLIENTEDGE, WC_EDITA, "", WS_TABSTOP | ES_AUTOHSCROLL, IDC_EDIT_DST),
                   FieldEdit::Keys::Text);
    ButtonDst = button(Tr("選択"), IDC_BUTTON_DST);
    ButtonScan = button(Tr("１．詰込調査開始"), IDC_SCAN);
    LabelArrow = make(0, WC_STATICA, "", SS_CENTER | SS_CENTERIMAGE, -1);
    // The arrow is in every code page's reach only as a character: code page 1252 has no byte for it.
    ::SetWindowTextW(LabelArrow, L"\u21D2");
    ButtonMove = button(Tr("２．対象を移動"), IDC_MOVE);
    ::EnableWindow(ButtonMove, FALSE);
    ButtonGroup = button(Tr("簡易グループ化の設定"), IDC_GROUP);
    RichEdit = make(WS_EX_CLIENTEDGE, RICHEDIT_CLASSA, "",
                    WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, IDC_LOG);
    ::SendMessageA(RichEdit, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(::GetSysColor(COLOR_WINDOW)));
    ::SendMessageA(RichEdit, EM_SHOWSCROLLBAR, SB_HORZ, FALSE);  // lines wrap: only the vertical one
    TreeView = make(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "",
                    WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS |
                        TVS_DISABLEDRAGDROP,
                    IDC_TREE);
    ListView = make(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                    WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                        LVS_NOCOLUMNHEADER | LVS_NOSORTHEADER,
                    IDC_LIST);
    ListView_SetExtendedListViewStyle(ListView, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    StatusLine = make(0, WC_STATICA, "", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, IDC_STATUS);
    ::ShowWindow(StatusLine, SW_HIDE);  // shown while a scan collects the files

    folderImages_.reset(::ImageList_Create(::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                           ILC_COLOR32 | ILC_MASK, 2, 0));
    for (bool open : {false, true}) {
        const Icon icon(FolderIcon(open));
        ::ImageList_AddIcon(folderImages_.get(), icon.get());
    }
    TreeView_SetImageList(TreeView, folderImages_.get(), TVSIL_NORMAL);

    Menu = ::CreateMenu();
    ::AppendMenuA(Menu, MF_STRING, IDM_OPT, Tr("オプション(&O)"));
    ::AppendMenuA(Menu, MF_STRING, IDM_VERIFY, Tr("確認(&V)"));
    ::SetMenu(hwnd_, Menu);
    log_.Attach(RichEdit, {TreeView, ListView});
    Layout();
}

void TMainForm::Layout() {
    if (ComboBox == nullptr) {
        return;
    }
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    const int width = client.right;
    const int height = client.bottom;
    const int lineHeight = std::max<int>(TextExtent(LabelMedia, "Ag").cy, 12);
    const int rowHeight = lineHeight + 10;
    auto textWidth = [](HWND w) { return static_cast<int>(TextExtent(w, WindowText(w)).cx); };
    auto buttonWidth = [&](HWND b) { return std::max(textWidth(b) + 20, 52); };
    const int labelWidth = std::max({textWidth(LabelMedia), textWidth(LabelSrc), textWidth(LabelDst)}) + 8;
    auto place = [](HWND w, int x, int y, int cx, int cy) {
        ::MoveWindow(w, x, y, std::max(cx, 0), std::max(cy, 0), TRUE);
    };
    const int x1 = kMargin + labelWidth;
    const int right = width - kMargin;

    int y = kMargin;
    place(LabelMedia, kMargin, y, labelWidth, rowHeight);
    int bx = right;
    for (HWND b : {ButtonDel, ButtonAdd, ButtonEdt}) {
        const int w = buttonWidth(b);
        bx -= w;
        place(b, bx, y, w, rowHeight);
        bx -= kGap;
    }
    place(ComboBox, x1, y, bx - x1, rowHeight + 200);
    const int chooseWidth = std::max(buttonWidth(ButtonSrc), buttonWidth(ButtonDst));
    for (auto [l, e, b] : {std::tuple{LabelSrc, EditSrc.Handle(), ButtonSrc},
                           std::tuple{LabelDst, EditDst.Handle(), ButtonDst}}) {
        y += rowHeight + kGap;
        place(l, kMargin, y, labelWidth, rowHeight);
        place(e, x1, y, right - chooseWidth - kGap - x1, rowHeight);
        place(b, right - chooseWidth, y, chooseWidth, rowHeight);
    }
    y += rowHeight + kGap + 2;
    const int commandHeight = rowHeight + 2;
    int cx = kMargin;
    place(ButtonScan, cx, y, buttonWidth(ButtonScan), commandHeight);
    cx += buttonWidth(ButtonScan);
    const int arrowWidth = textWidth(LabelArrow) + 10;
    place(LabelArrow, cx, y, arrowWidth, commandHeight);
    cx += arrowWidth;
    place(ButtonMove, cx, y, buttonWidth(ButtonMove), commandHeight);
    cx += buttonWidth(ButtonMove) + kGap;
    const int groupWidth = buttonWidth(ButtonGroup);
    place(ButtonGroup, std::max(cx, right - groupWidth), y, groupWidth, commandHeight);
    y += commandHeight + kGap + 2;

    int bottom = height - kMargin;
    if (::IsWindowVisible(StatusLine)) {
        place(StatusLine, kMargin, bottom - lineHeight - 2, width - 2 * kMargin, lineHeight + 2);
        bottom -= lineHeight + 2 + kGap;
    }
    // Each pane keeps at least its least size; the window's own least size keeps room for them.
    const int room = bottom - y;
    logHeight_ = std::clamp(logHeight_, kLeastPane, std::max(kLeastPane, room - kSplitter - kLeastPane));
    const int paneWidth = width - 2 * kMargin;
    treeWidth_ = std::clamp(treeWidth_, kLeastPane, std::max(kLeastPane, paneWidth - kSplitter - kLeastPane));
    logRect_ = {kMargin, y, right, y + logHeight_};
    paneRect_ = {kMargin, logRect_.bottom + kSplitter, right,
                 std::max<LONG>(bottom, logRect_.bottom + kSplitter + kLeastPane)};
    place(RichEdit, logRect_.left, logRect_.top, paneWidth, logHeight_);
    const int paneHeight = paneRect_.bottom - paneRect_.top;
    place(TreeView, kMargin, paneRect_.top, treeWidth_, paneHeight);
    place(ListView, kMargin + treeWidth_ + kSplitter, paneRect_.top, paneWidth - treeWidth_ - kSplitter,
          paneHeight);
}

TMainForm::Splitter TMainForm::SplitterAt(POINT p) const {
    if (p.x >= logRect_.left && p.x < logRect_.right && p.y >= logRect_.bottom && p.y < paneRect_.top) {
        return Splitter::Horizontal;
    }
    const int left = kMargin + treeWidth_;
    if (p.y >= paneRect_.top && p.y < paneRect_.bottom && p.x >= left && p.x < left + kSplitter) {
        return Splitter::Vertical;
    }
    return Splitter::None;
}

void TMainForm::DragSplitter(POINT p) {
    // The panes follow the pointer while it moves; Layout keeps each of them 60 pixels or more.
    if (dragging_ == Splitter::Horizontal) {
        logHeight_ = p.y - logRect_.top - kSplitter / 2;
    } else {
        treeWidth_ = p.x - kMargin - kSplitter / 2;
    }
    Layout();
    FormResize();
}

void TMainForm::FormCreate() {
    Guarded([this] { startRefused_ = !model.Load(services_.settingsPath); });
    EditSrc.SetText(model.settings.SrcFolder);
    EditDst.SetText(model.settings.DstFolder);
    model.ClearResults();
    ::InvalidateRect(EditSrc.Handle(), nullptr, TRUE);
    ::InvalidateRect(EditDst.Handle(), nullptr, TRUE);
    EditSrc.AcceptFolderDrops();
    EditDst.AcceptFolderDrops();
}

void TMainForm::FormDestroy() {
    if (!startRefused_) {
        Guarded([this] { model.Save(services_.settingsPath, EditSrc.Text(), EditDst.Text()); });
    }
    model.state.Clear();
    // The drop targets go in the opposite order to the one they came in.
    EditDst.Detach();
    EditSrc.Detach();
}

void TMainForm::Command(int id, int code) {
    switch (id) {
        case IDM_OPT:
            model.EditOptions();
            break;
        case IDM_VERIFY:
            MenuVerifyClick();
            break;
        case IDC_COMBO:
            if (code == CBN_SELCHANGE) {
                ComboBoxChange();
            }
            break;
        case IDC_EDIT_SRC:
        case IDC_EDIT_DST:
            if (code == EN_CHANGE) {
                // EditSrcChange: yellow while empty, nothing else.
                ::InvalidateRect(id == IDC_EDIT_SRC ? EditSrc.Handle() : EditDst.Handle(), nullptr, TRUE);
            }
            break;
        default:
            if (code != BN_CLICKED) {
                break;
            }
            switch (id) {
                case IDC_EDT:
                    model.EditProfile();
                    break;
                case IDC_ADD:
                    model.AddProfile();
                    break;
                case IDC_DEL:
                    model.DeleteProfile();
                    break;
                case IDC_BUTTON_SRC:
                    ButtonSrcClick();
                    break;
                case IDC_BUTTON_DST:
                    ButtonDstClick();
                    break;
                case IDC_SCAN:
                    ButtonScanClick();
                    break;
                case IDC_MOVE:
                    ButtonMoveClick();
                    break;
                case IDC_GROUP:
                    model.EditGrouping();
                    break;
                default:
                    break;
            }
    }
}

LRESULT TMainForm::Notify(const NMHDR& header, LPARAM lParam) {
    if (header.hwndFrom == TreeView) {
        if (header.code == TVN_SELCHANGEDA) {
            TreeViewChange(*reinterpret_cast<const NMTREEVIEWA*>(lParam));
        } else if (header.code == TVN_ITEMEXPANDEDA) {
            TreeViewCollapsed(*reinterpret_cast<const NMTREEVIEWA*>(lParam));
        }
    } else if (header.hwndFrom == ListView && header.code == LVN_GETDISPINFOA) {
        ListViewData(*reinterpret_cast<NMLVDISPINFOA*>(lParam));
    }
    return 0;
}

void TMainForm::ShowProfiles(const std::vector<std::string>& names, std::size_t selected) {
    ::SendMessageA(ComboBox, CB_RESETCONTENT, 0, 0);
    for (const std::string& name : names) {
        ::SendMessageA(ComboBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    ::SendMessageA(ComboBox, CB_SETCURSEL, selected, 0);
}

void TMainForm::ComboBoxChange() {
    const auto index = ::SendMessageA(ComboBox, CB_GETCURSEL, 0, 0);
    model.SelectProfile(static_cast<std::size_t>(std::max<LRESULT>(index, 0)));
}

std::string TMainForm::ChooseFolder(const std::string& title, const FieldEdit& field) {
    // The browser opens at the field's folder when there is one.
    const std::string current = field.Text();
    ShellFolderChooser chooser(hwnd_, FolderExists(current) ? current : std::string());
    std::string chosen = chooser.SelectFolder(title);
    if (chooser.unrepresentable) {
        prompter_.Ask(Tr(kUnrepresentableFolderName), "", MessageIcon::Exclamation, MessageButtons::Ok);
    }
    return chosen;
}

namespace {

class FieldChooser : public FolderChooser {
public:
    explicit FieldChooser(std::function<std::string(const std::string&)> choose)
        : choose_(std::move(choose)) {}
    std::string SelectFolder(std::string_view title) override { return choose_(std::string(title)); }

private:
    std::function<std::string(const std::string&)> choose_;
};

}  // namespace

void TMainForm::ButtonSrcClick() {
    FieldChooser chooser([this](const std::string& title) { return ChooseFolder(title, EditSrc); });
    std::string text = EditSrc.Text();
    if (model.ChooseSource(chooser, text)) {
        // The results were cleared; the text is set after, so the field shows the new folder.
        EditSrc.SetText(text);
    }
}

void TMainForm::ButtonDstClick() {
    FieldChooser chooser([this](const std::string& title) { return ChooseFolder(title, EditDst); });
    std::string text = EditDst.Text();
    if (model.ChooseDestination(chooser, text)) {
        EditDst.SetText(text);
    }
}

bool TMainForm::IsHeldInput(const MSG& msg) const {
    const bool input = (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
                       (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) ||
                       (msg.message >= WM_NCMOUSEMOVE && msg.message <= WM_NCXBUTTONDBLCLK) ||
                       msg.message == WM_DROPFILES || msg.message == WM_MOUSEWHEEL;
    return input && (msg.hwnd == hwnd_ || ::IsChild(hwnd_, msg.hwnd));
}

void TMainForm::RunScanMessages() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (IsHeldInput(msg)) {
            if ((msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && msg.wParam == VK_ESCAPE) {
                scanCancelRequested_ = true;
            } else if (msg.message == WM_DROPFILES) {
                ::DragFinish(reinterpret_cast<HDROP>(msg.wParam));
            }
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

void TMainForm::DropHeldInput() {
    // What the user did during the command is still queued: none of it may start anything once
    // the controls are enabled again.
    MSG msg;
    for (auto [first, last] : {std::pair<UINT, UINT>{WM_KEYFIRST, WM_KEYLAST},
                               {WM_MOUSEFIRST, WM_MOUSELAST},
                               {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK},
                               {WM_DROPFILES, WM_DROPFILES}}) {
        while (::PeekMessageA(&msg, hwnd_, first, last, PM_REMOVE)) {
            if (msg.message == WM_DROPFILES) {
                ::DragFinish(reinterpret_cast<HDROP>(msg.wParam));
            }
        }
        for (HWND child = ::GetWindow(hwnd_, GW_CHILD); child != nullptr;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            while (::PeekMessageA(&msg, child, first, last, PM_REMOVE)) {
                if (msg.message == WM_DROPFILES) {
                    ::DragFinish(reinterpret_cast<HDROP>(msg.wParam));
                }
            }
        }
    }
}

bool TMainForm::ScanCancelled() {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastScanPoll_ >= std::chrono::milliseconds(50)) {
        lastScanPoll_ = now;
        RunScanMessages();
    }
    // A window asked to close meanwhile wants no result either.
    return scanCancelRequested_ || Closing;
}

namespace {

// The hourglass for as long as a command runs, and the window's close afterwards when it was
// asked for meanwhile.
class BusyWindow {
public:
    BusyWindow(int& busy, HWND window, const bool& closeWanted)
        : busy_(busy), window_(window), closeWanted_(closeWanted) {
        ++busy_;
        ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
    }
    ~BusyWindow() {
        if (--busy_ == 0) {
            ::SetCursor(::LoadCursorA(nullptr, IDC_ARROW));
            if (closeWanted_) {
                ::PostMessageA(window_, kCloseLater, 0, 0);
            }
        }
    }
    BusyWindow(const BusyWindow&) = delete;
    BusyWindow& operator=(const BusyWindow&) = delete;

private:
    int& busy_;
    HWND window_;
    const bool& closeWanted_;
};

}  // namespace

void TMainForm::ButtonScanClick() {
    const BusyWindow busy(busy_, hwnd_, closeWanted_);
    if (::GetFocus() == ButtonScan) {
        ::SetFocus(hwnd_);  // Escape then comes to the window, as a key of its own
    }
    ::EnableWindow(ButtonScan, FALSE);
    struct Reenable {
        TMainForm& form;
        ~Reenable() {
            form.DropHeldInput();
            ::EnableWindow(form.ButtonScan, TRUE);
        }
    } reenable{*this};
    scanCancelRequested_ = false;
    lastScanPoll_ = {};
    model.Scan(EditSrc.Text());
}

void TMainForm::ShowScanProgress(const std::string& text, bool done) {
    // A status line of its own while the files are collected: the log pane only ever grows.
    const bool shown = ::IsWindowVisible(StatusLine) != FALSE;
    SetWindowTextOf(StatusLine, done ? std::string() : text);
    if (shown == done) {
        ::ShowWindow(StatusLine, done ? SW_HIDE : SW_SHOW);
        Layout();
    }
    ::UpdateWindow(StatusLine);
}

void TMainForm::ButtonMoveClick() {
    const BusyWindow busy(busy_, hwnd_, closeWanted_);
    ::EnableWindow(ButtonMove, FALSE);
    // Nothing else may act on the window while the move reads the packing result.
    ::EnableWindow(hwnd_, FALSE);
    struct Restore {
        TMainForm& form;
        ~Restore() {
            form.DropHeldInput();
            ::EnableWindow(form.hwnd_, TRUE);
            ::SetActiveWindow(form.hwnd_);
            ::EnableWindow(form.ButtonMove, form.model.state.HasResult() ? TRUE : FALSE);
        }
    } restore{*this};
    ProgressWindow window(hwnd_, prompter_);
    MoveProgressModel progress(window, prompter_);
    model.Move(EditDst.Text(), progress, progress);
    progress.Close();
}

void TMainForm::MenuVerifyClick() {
    // Started in the destination field's folder, where the disc folders of the moves are.
    FieldChooser chooser([this](const std::string& title) { return ChooseFolder(title, EditDst); });
    const BusyWindow busy(busy_, hwnd_, closeWanted_);
    ::EnableWindow(hwnd_, FALSE);
    struct Restore {
        TMainForm& form;
        ~Restore() {
            form.DropHeldInput();
            ::EnableWindow(form.hwnd_, TRUE);
            ::SetActiveWindow(form.hwnd_);
        }
    } restore{*this};
    ProgressWindow window(hwnd_, prompter_);
    MoveProgressModel progress(window, prompter_);
    model.Verify(chooser, progress);
    progress.Close();
}

void TMainForm::ShowTree(const std::vector<TreeNode>& nodes) {
    TreeView_DeleteAllItems(TreeView);
    if (nodes.empty()) {
        return;
    }
    std::vector<HTREEITEM> items;
    items.reserve(nodes.size());
    for (const TreeNode& node : nodes) {
        TVINSERTSTRUCTA insert{};
        insert.hParent = node.parent >= 0 && static_cast<std::size_t>(node.parent) < items.size()
                             ? items[static_cast<std::size_t>(node.parent)]
                             : TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
        insert.item.pszText = const_cast<char*>(node.caption.c_str());
        insert.item.iImage = 0;          // a closed folder
        insert.item.iSelectedImage = 1;  // opened while selected
        insert.item.lParam = node.index;
        items.push_back(reinterpret_cast<HTREEITEM>(
            ::SendMessageA(TreeView, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert))));
    }
    for (HTREEITEM item : items) {
        TreeView_Expand(TreeView, item, TVE_EXPAND);
    }
    TreeView_SelectItem(TreeView, items.front());
}

void TMainForm::TreeViewChange(const NMTREEVIEWA& change) {
    model.SelectNode(change.itemNew.hItem == nullptr ? -1 : static_cast<int>(change.itemNew.lParam));
}

void TMainForm::TreeViewCollapsed(const NMTREEVIEWA& change) {
    if (change.action != TVE_COLLAPSE) {
        return;
    }
    HTREEITEM current = TreeView_GetSelection(TreeView);
    if (current == nullptr) {
        return;
    }
    TVITEMA item{};
    item.mask = TVIF_PARAM;
    item.hItem = current;
    TreeView_GetItem(TreeView, &item);
    const int selected = static_cast<int>(item.lParam);
    if (model.NodeToSelectAfterCollapse(selected, static_cast<int>(change.itemNew.lParam)) != selected) {
        TreeView_SelectItem(TreeView, change.itemNew.hItem);
    }
}

void TMainForm::ShowList(ListMode mode) {
    ListView_SetItemCountEx(ListView, 0, 0);
    while (ListView_DeleteColumn(ListView, 0)) {
    }
    rowCached_ = -1;
    const LONG_PTR style = ::GetWindowLongPtrA(ListView, GWL_STYLE);
    const LONG_PTR wanted =
        mode == ListMode::Empty ? (style | LVS_NOCOLUMNHEADER) : (style & ~LVS_NOCOLUMNHEADER);
    if (wanted != style) {
        ::SetWindowLongPtrA(ListView, GWL_STYLE, wanted);
        ::SetWindowPos(ListView, nullptr, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    }
    const ResultList& list = model.List();
    // The first column of a list view is always left-aligned; a column that becomes the first
    // when the one before it goes keeps its own alignment, so the numbers of the summary line up
    // on the right. A placeholder goes first, and goes again once the real columns are in.
    LVCOLUMNA placeholder{};
    placeholder.mask = LVCF_WIDTH;
    ::SendMessageA(ListView, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&placeholder));
    for (int c = 0; c < list.ColumnCount(); ++c) {
        const std::string header = list.HeaderText(c);
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
        column.fmt = list.LeftAligned(c) ? LVCFMT_LEFT : LVCFMT_RIGHT;
        column.cx = 80;
        column.pszText = const_cast<char*>(header.c_str());
        ::SendMessageA(ListView, LVM_INSERTCOLUMNA, static_cast<WPARAM>(c + 1),
                       reinterpret_cast<LPARAM>(&column));
    }
    ListView_DeleteColumn(ListView, 0);
    ListView_SetItemCountEx(ListView, list.RowCount(), 0);
    if (mode == ListMode::Summary) {
        SizeSummaryColumns();
    } else if (mode == ListMode::Files) {
        SizeFileColumns();
    }
    ::InvalidateRect(ListView, nullptr, TRUE);
}

void TMainForm::ListViewData(NMLVDISPINFOA& info) {
    if ((info.item.mask & LVIF_TEXT) == 0 || info.item.iItem < 0 ||
        info.item.iItem >= model.List().RowCount()) {
        return;
    }
    if (info.item.iItem != rowCached_) {
        rowTexts_ = model.List().RowTexts(info.item.iItem);
        rowCached_ = info.item.iItem;
    }
    const auto column = static_cast<std::size_t>(info.item.iSubItem);
    if (column < rowTexts_.size()) {
        // The row's own text, not a copy cut at the control's buffer: a long path keeps its end.
        info.item.pszText = rowTexts_[column].data();
    } else if (info.item.pszText != nullptr && info.item.cchTextMax > 0) {
        info.item.pszText[0] = '\0';
    }
}

double TMainForm::DigitWidth() const {
    return static_cast<double>(TextExtent(ListView, "0").cx);
}

void TMainForm::SizeFileColumns() {
    RECT client{};
    ::GetClientRect(ListView, &client);
    const std::array<int, 2> widths = FileColumnWidths(client.right, DigitWidth());
    ListView_SetColumnWidth(ListView, 0, widths[0]);
    ListView_SetColumnWidth(ListView, 1, widths[1]);
}

void TMainForm::SizeSummaryColumns() {
    // The design's widths, scaled to the font, are narrowed where the list is too small to show
    // them all, down to what the header and the texts need.
    const ResultList& list = model.List();
    constexpr int kPadding = 14;
    std::array<int, 4> least{};
    for (int c = 0; c < 4; ++c) {
        least[static_cast<std::size_t>(c)] =
            ListView_GetStringWidth(ListView, list.HeaderText(c).c_str()) + kPadding;
    }
    auto measure = [&](int row) {
        const std::vector<std::string> texts = list.RowTexts(row);
        for (std::size_t c = 0; c < 4 && c < texts.size(); ++c) {
            least[c] = std::max(least[c], ListView_GetStringWidth(ListView, texts[c].c_str()) + kPadding);
        }
    };
    // The widest texts are among the first rows and in the last one (its number).
    const int rows = list.RowCount();
    for (int r = 0; r < std::min(rows, 1000); ++r) {
        measure(r);
    }
    if (rows > 0) {
        measure(rows - 1);
    }
    std::array<int, 4> wanted{};
    for (std::size_t c = 0; c < 4; ++c) {
        wanted[c] = std::max(ScaledWidth(kSummaryDesignWidths[c], DigitWidth()), least[c]);
    }
    RECT client{};
    ::GetClientRect(ListView, &client);
    const int room = client.right - ::GetSystemMetrics(SM_CXVSCROLL);
    const std::array<int, 4> widths = FitWidths(wanted, least, room);
    for (int c = 0; c < 4; ++c) {
        ListView_SetColumnWidth(ListView, c, widths[static_cast<std::size_t>(c)]);
    }
}

void TMainForm::FormResize() {
    if (Closing || ListView == nullptr || model.List().Mode() != ListMode::Files) {
        return;
    }
    SizeFileColumns();
}

bool TMainForm::EditMedia(MediaForm& form) {
    TMediaDialog dialog(prompter_);
    dialog.form = form;
    dialog.probe = [this, readAtip = form.readAtip](TMediaDialog& d) {
        MediaProbeView view(d);
        ProbeBlankMedia(view, services_.makeTransport, readAtip);
    };
    if (!dialog.Run(hwnd_)) {
        return false;
    }
    form.values = dialog.form.values;
    return true;
}

bool TMainForm::EditOptions(OptionsForm& form) {
    TOptDialog dialog(prompter_);
    dialog.form = form;
    if (!dialog.Run(hwnd_)) {
        return false;
    }
    form = dialog.form;
    return true;
}

bool TMainForm::EditGrouping(int& item) {
    TGroupDialog dialog(prompter_);
    dialog.item = item;
    if (!dialog.Run(hwnd_)) {
        return false;
    }
    item = dialog.item;
    return true;
}

}  // namespace stowra
