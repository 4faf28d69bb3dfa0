// The Windows window driven in-process as a user acts on it: what the window's rules decide is
// tested with the rules; these tests check that the Win32 view is wired to them.
#include <windows.h>
// (first: the other system headers need its types)

#include <commctrl.h>
#include <gtest/gtest.h>
#include <objbase.h>
#include <richedit.h>
#include <shlobj.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "relocate/MoveFiles.h"
#include "support/TempTree.h"
#include "support/WorkedExample.h"
#include "ui/MediaForm.h"
#include "win32/TMainForm.h"
#include "win32/WinText.h"
#include "win32/WindowDriver.h"
#include "win32/resource.h"

namespace stowra {
namespace {

using test::ModalScript;
using test::TextOf;

// Wine's folder browser finds its start folder by comparing each folder's recorded times, the
// access time among them, with the folder listed in its tree. A folder read for the first time
// since it changed gets a new access time between the two, and the browser stops short. So the
// tree lives at the drive's root, where no other test changes its parent, and a test that browses
// first reads every folder once (SettleAccessTimes): later reads leave the access times alone.
std::string DriveRoot() {
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, sizeof windows);
    return std::string(windows, 3);  // "C:\"
}

void SettleAccessTimes(const std::string& folder) {
    WIN32_FIND_DATAA found{};
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::string name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && name != "." && name != "..") {
            SettleAccessTimes(folder + "\\" + name);
        }
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
}

// A window over a settings file in a temporary folder, with a script for its modal windows.
struct Window {
    test::TempTree dir{DriveRoot()};
    ModalScript script;
    std::unique_ptr<TMainForm> form;
    HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    Window() {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&controls);
    }
    ~Window() {
        for (const auto& box : script.seen) {
            if (!box.expected) {
                ADD_FAILURE() << "a window the test did not expect: " << box.caption << ": " << box.text;
            }
        }
        form.reset();
        test::FlushEvents(20);
        if (SUCCEEDED(com)) {
            ::CoUninitialize();
        }
    }
    void WriteExample() {
        test::WriteExampleFiles(dir, "src");
        dir.Folder("out");
        dir.Write("stowra.ini", "[Stowra]\r\nOption=1\r\nMedia=0\r\nSrcFolder=" + dir.Path("src") +
                                    "\r\nDstFolder=" + dir.Path("out") +
                                    "\r\n[Example]\r\nCluster=2048\r\nTotal=100\r\nSystem=10\r\nSlack=4\r\n");
    }
    void Open(TransportFactory transport = nullptr) {
        TMainForm::Services s;
        s.settingsPath = dir.Path("stowra.ini");
        s.makeTransport = std::move(transport);
        s.quitOnDestroy = false;
        form = std::make_unique<TMainForm>(std::move(s));
        form->Show(SW_SHOW);
        test::FlushEvents();
    }
    TMainForm& W() { return *form; }
    bool Enabled(HWND control) { return ::IsWindowEnabled(control) != FALSE; }
};

std::vector<std::string> Row(HWND list, int row) {
    std::vector<std::string> texts;
    for (int c = 0; c < test::ListColumns(list); ++c) {
        texts.push_back(test::ListText(list, row, c));
    }
    return texts;
}

RECT ClientRectIn(HWND parent, HWND child) {
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

TEST(Win32Window, FirstStartShowsTheDefaults) {
    Window f;
    f.Open();
    TMainForm& w = f.W();
    EXPECT_EQ(TextOf(w.Handle()), "Stowra (Ver 1.0)");
    RECT r{};
    ::GetWindowRect(w.Handle(), &r);
    EXPECT_EQ(r.right - r.left, 512);
    EXPECT_EQ(r.bottom - r.top, 512);
    EXPECT_EQ(r.left, (::GetSystemMetrics(SM_CXSCREEN) - 512) / 2);
    EXPECT_EQ(WindowText(w.ComboBox), "CD-R 700MiB");
    EXPECT_EQ(::GetWindowLongA(w.ComboBox, GWL_STYLE) & 3, CBS_DROPDOWNLIST);
    EXPECT_FALSE(f.Enabled(w.ButtonMove));
    char menu[64] = {};
    ::GetMenuStringA(w.Menu, 0, menu, sizeof menu, MF_BYPOSITION);
    EXPECT_STREQ(menu, "オプション(&O)");
    EXPECT_EQ(::GetSubMenu(w.Menu, 0), nullptr);  // it acts when clicked
    const LONG list = ::GetWindowLongA(w.ListView, GWL_STYLE);
    EXPECT_TRUE(list & LVS_OWNERDATA);
    EXPECT_TRUE(list & LVS_NOCOLUMNHEADER);
    EXPECT_TRUE(::GetWindowLongA(w.RichEdit, GWL_STYLE) & ES_READONLY);
    // Drops are taken by the two folder fields only.
    EXPECT_TRUE(::GetWindowLongA(w.EditSrc.Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_TRUE(::GetWindowLongA(w.EditDst.Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_FALSE(::GetWindowLongA(w.Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_TRUE(f.script.seen.empty());
}

TEST(Win32Window, FolderFieldsKeysAndColour) {
    Window f;
    f.Open();
    TMainForm& w = f.W();
    for (HWND edit : {w.EditSrc.Handle(), w.EditDst.Handle()}) {
        EXPECT_TRUE(test::IsYellow(w.Handle(), edit));
        test::Type(edit, "C");
        EXPECT_FALSE(test::IsYellow(w.Handle(), edit));
        test::Key(edit, VK_BACK, '\b');
        EXPECT_TRUE(test::IsYellow(w.Handle(), edit));
        // Escape undoes the last change once; Enter changes nothing.
        SetWindowTextOf(edit, "abc");
        ::SendMessageA(edit, EM_SETSEL, 3, 3);
        test::Type(edit, "x");
        test::Key(edit, VK_RETURN, '\r');
        EXPECT_EQ(WindowText(edit), "abcx");
        test::Key(edit, VK_ESCAPE, '\x1b');
        EXPECT_EQ(WindowText(edit), "abc");
        test::Key(edit, VK_ESCAPE, '\x1b');
        EXPECT_EQ(WindowText(edit), "abc");
    }
}

TEST(Win32Window, DropsTakeTheFirstPathWhenItIsAFolder) {
    Window f;
    f.dir.Folder("a");
    f.dir.Folder("b");
    f.dir.File("file.txt", 10);
    f.Open();
    TMainForm& w = f.W();
    const struct {
        const char* what;
        std::vector<std::string> dropped;
        std::string expected;
    } rows[] = {
        {"three folders", {f.dir.Path("b"), f.dir.Path("a"), f.dir.Path("file.txt")}, f.dir.Path("b")},
        {"a file", {f.dir.Path("file.txt")}, f.dir.Path("b")},
        {"a missing path", {f.dir.Path("missing")}, f.dir.Path("b")},
        {"a folder again", {f.dir.Path("a")}, f.dir.Path("a")},
    };
    for (const auto& row : rows) {
        test::Drop(w.EditDst.Handle(), row.dropped);
        EXPECT_EQ(w.EditDst.Text(), row.expected) << row.what;
    }
    EXPECT_EQ(w.EditSrc.Text(), "");
    // A folder whose name code page 932 cannot spell is never taken for its look-alike.
    f.dir.Folder("cafe");
    wchar_t root[MAX_PATH] = {};
    ::MultiByteToWideChar(CP_ACP, 0, f.dir.Root().c_str(), -1, root, MAX_PATH);
    const std::wstring odd = std::wstring(root) + L"\\caf\u00e9";
    ASSERT_TRUE(::CreateDirectoryW(odd.c_str(), nullptr));
    test::DropWide(w.EditDst.Handle(), odd);
    EXPECT_EQ(w.EditDst.Text(), f.dir.Path("a"));
}

TEST(Win32Window, ScanShowsTheWorkedExampleInTheTreeAndTheList) {
    Window f;
    f.WriteExample();
    f.Open();
    TMainForm& w = f.W();
    ASSERT_EQ(WindowText(w.ComboBox), "Example");
    test::Click(w.ButtonScan);
    ASSERT_TRUE(f.Enabled(w.ButtonMove));
    EXPECT_TRUE(f.Enabled(w.ButtonScan));
    EXPECT_FALSE(::GetWindowLongA(w.ListView, GWL_STYLE) & LVS_NOCOLUMNHEADER);

    const std::vector<std::string> tree = test::TreeCaptions(w.TreeView);
    ASSERT_EQ(tree.size(), 4u);
    EXPECT_EQ(tree[0].size(), 15u);  // the scan's stamp
    EXPECT_EQ(tree[1], "1");
    EXPECT_EQ(tree[2], "2");
    EXPECT_EQ(tree[3], "残り");
    // Closed folders, opened while selected.
    TVITEMA root{};
    root.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    root.hItem = TreeView_GetRoot(w.TreeView);
    TreeView_GetItem(w.TreeView, &root);
    EXPECT_NE(root.iImage, root.iSelectedImage);
    EXPECT_EQ(ImageList_GetImageCount(TreeView_GetImageList(w.TreeView, TVSIL_NORMAL)), 2);

    ASSERT_EQ(test::ListRows(w.ListView), 2);
    EXPECT_EQ(Row(w.ListView, 0), (std::vector<std::string>{"1", "2", "200.0000 KiB", "100.0000 %"}));
    EXPECT_EQ(Row(w.ListView, 1), (std::vector<std::string>{"2", "3", "194.0000 KiB", "97.0000 %"}));

    const struct {
        int node;
        std::vector<std::vector<std::string>> rows;
    } nodes[] = {
        {2, {{"s45.bin", "90.0000 KiB"}, {"s30.bin", "60.0000 KiB"}, {"s12.bin", "24.0000 KiB"}}},
        {3, {{"s95.bin", "190.0000 KiB"}, {"s20.bin", "40.0000 KiB"}, {"s8.bin", "16.0000 KiB"}}},
    };
    for (const auto& n : nodes) {
        test::SelectTreeNode(w.TreeView, n.node);
        ASSERT_EQ(test::ListRows(w.ListView), static_cast<int>(n.rows.size())) << n.node;
        for (std::size_t r = 0; r < n.rows.size(); ++r) {
            EXPECT_EQ(Row(w.ListView, static_cast<int>(r)), n.rows[r]) << n.node << " row " << r;
        }
    }
    // The file-name column follows the list's width; the summary's widths never change.
    RECT before{};
    ::GetClientRect(w.ListView, &before);
    const int nameWidth = test::ColumnWidth(w.ListView, 0);
    ::SetWindowPos(w.Handle(), nullptr, 0, 0, 700, 512, SWP_NOMOVE | SWP_NOZORDER);
    RECT after{};
    ::GetClientRect(w.ListView, &after);
    EXPECT_EQ(test::ColumnWidth(w.ListView, 0) - nameWidth, after.right - before.right);
    test::SelectTreeNode(w.TreeView, 0);
    const int fill = test::ColumnWidth(w.ListView, 3);
    ::SetWindowPos(w.Handle(), nullptr, 0, 0, 600, 500, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(test::ColumnWidth(w.ListView, 3), fill);

    // A folder dropped onto the source field keeps the result; picking another profile does not.
    test::Drop(w.EditSrc.Handle(), {f.dir.Path("out")});
    EXPECT_TRUE(f.Enabled(w.ButtonMove));
    ::SendMessageA(w.ComboBox, CB_SETCURSEL, 1, 0);  // as the user's pick in the list does
    ::SendMessageA(w.Handle(), WM_COMMAND, MAKEWPARAM(IDC_COMBO, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(w.ComboBox));
    EXPECT_EQ(w.model.Selected(), 1u);
    EXPECT_NE(WindowText(w.ComboBox), "Example");
    EXPECT_FALSE(f.Enabled(w.ButtonMove));
    EXPECT_EQ(test::TreeCaptions(w.TreeView).size(), 0u);
    EXPECT_EQ(test::ListRows(w.ListView), 0);
    EXPECT_TRUE(f.script.seen.empty());
}

TEST(Win32Window, LogPaneColoursEachInsertion) {
    Window f;
    f.Open();
    LogPane& log = f.W().Log();
    log.Clear();
    log.Insert("plain\n");
    log.SetColor(LogColor::Red);
    log.Insert("red\n");
    log.SetColor(LogColor::Blue);
    log.Insert("blue");
    const struct {
        LONG at;  // a paragraph ends in one character
        bool automatic;
        COLORREF color;
    } rows[] = {{0, true, 0}, {6, false, RGB(255, 0, 0)}, {10, false, RGB(0, 0, 255)}};
    for (const auto& row : rows) {
        CHARRANGE range{row.at, row.at + 1};
        ::SendMessageA(f.W().RichEdit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
        CHARFORMAT2A format{};
        format.cbSize = sizeof format;
        ::SendMessageA(f.W().RichEdit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
        EXPECT_EQ((format.dwEffects & CFE_AUTOCOLOR) != 0, row.automatic) << row.at;
        if (!row.automatic) {
            EXPECT_EQ(format.crTextColor, row.color) << row.at;
        }
    }
    log.Clear();
    EXPECT_EQ(::GetWindowTextLengthA(f.W().RichEdit), 0);
}

TEST(Win32Window, EscapeStopsTheScanAndOtherInputWaits) {
    Window f;
    f.WriteExample();
    f.Open();
    TMainForm& w = f.W();
    // Queued before the scan starts: the click on the grouping button must not open its dialog.
    ::PostMessageA(w.ButtonGroup, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    ::PostMessageA(w.ButtonGroup, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    ::PostMessageA(w.EditSrc.Handle(), WM_KEYDOWN, VK_ESCAPE, 1);
    // Looked at from inside the scan, when it lets the window run: the hourglass over the window,
    // the button disabled.
    HCURSOR during = nullptr;
    bool scanEnabled = true;
    ModalScript::Later([&] {
        ::SendMessageA(w.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(w.Handle()),
                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        during = ::GetCursor();
        scanEnabled = f.Enabled(w.ButtonScan);
    });
    ::Sleep(50);  // the check is due when the scan first looks at the window's messages
    test::Click(w.ButtonScan);
    EXPECT_EQ(during, ::LoadCursorA(nullptr, IDC_WAIT));
    EXPECT_FALSE(scanEnabled);
    test::FlushEvents(100);
    EXPECT_NE(WindowText(w.RichEdit).find("ファイル情報の収集を中止しました"), std::string::npos);
    EXPECT_FALSE(f.Enabled(w.ButtonMove));
    EXPECT_TRUE(f.Enabled(w.ButtonScan));
    EXPECT_TRUE(f.script.seen.empty());
    EXPECT_EQ(w.EditSrc.Text(), f.dir.Path("src"));  // the Escape was the scan's, not the field's
}

TEST(Win32Window, AskedToCloseDuringAScanItClosesWhenTheScanHasStopped) {
    Window f;
    f.WriteExample();
    f.Open();
    TMainForm& w = f.W();
    ::PostMessageA(w.Handle(), WM_CLOSE, 0, 0);
    test::Click(w.ButtonScan);
    EXPECT_TRUE(w.Closing);
    EXPECT_FALSE(f.Enabled(w.ButtonMove));  // stopped, nothing packed
    test::FlushEvents(100);
    EXPECT_EQ(w.Handle(), nullptr);
    EXPECT_NE(f.dir.Read("stowra.ini").find("[Example]"), std::string::npos);
}

TEST(Win32Window, MessageBoxesSayWhatTheScanRefuses) {
    Window f;
    f.Open();
    TMainForm& w = f.W();
    f.script.Then(test::Answer(IDOK));
    w.EditSrc.SetText(f.dir.Path("missing"));
    test::Click(w.ButtonScan);
    ASSERT_EQ(f.script.seen.size(), 1u);
    EXPECT_EQ(f.script.seen[0].text, "入力フォルダが見つかりません");
    EXPECT_EQ(f.script.seen[0].caption, "Stowra");
}

// The folder browser, answered from its own window: it opens at the field's folder, and what it
// returns goes into the field.
ModalScript::Step Browse(const std::string& title, const std::string& startName, const std::string& choose) {
    return [=](HWND browser) {
        test::FlushEvents(200);  // the browser fills its tree and selects the start folder
        bool titled = false;
        for (HWND c = ::GetWindow(browser, GW_CHILD); c != nullptr; c = ::GetWindow(c, GW_HWNDNEXT)) {
            titled = titled || TextOf(c) == title;
        }
        EXPECT_TRUE(titled) << title;
        if (HWND tree = ::FindWindowExA(browser, nullptr, WC_TREEVIEWA, nullptr);
            tree != nullptr && !startName.empty()) {
            // The browser walks to its start folder while it opens, before this step runs.
            char text[MAX_PATH] = {};
            TVITEMA item{};
            item.mask = TVIF_TEXT;
            item.hItem = TreeView_GetSelection(tree);
            item.pszText = text;
            item.cchTextMax = sizeof text;
            if (item.hItem == nullptr || !TreeView_GetItem(tree, &item)) {
                text[0] = '\0';
            }
            EXPECT_EQ(std::string(text), startName);
        }
        if (choose.empty()) {
            test::Press(browser, IDCANCEL);
            return;
        }
        ::SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(choose.c_str()));
        test::FlushEvents(50);
        test::Press(browser, IDOK);
    };
}

TEST(Win32Window, BrowseButtonsUseTheShellFolderBrowser) {
    Window f;
    f.WriteExample();
    f.dir.Folder("other");
    f.Open();
    TMainForm& w = f.W();
    test::Click(w.ButtonScan);
    ASSERT_TRUE(f.Enabled(w.ButtonMove));
    SettleAccessTimes(f.dir.Root());
    const struct {
        HWND button;
        const FieldEdit& field;
        const char* title;
        std::string start, choose, expected;
        bool resultKept;
    } rows[] = {
        {w.ButtonDst, w.EditDst, "出力フォルダを指定してください", "out", f.dir.Path("other"),
         f.dir.Path("other"), true},
        {w.ButtonSrc, w.EditSrc, "入力フォルダを指定してください", "src", "", f.dir.Path("src"), true},
        {w.ButtonSrc, w.EditSrc, "入力フォルダを指定してください", "src", f.dir.Path("src"),
         f.dir.Path("src"), false},
    };
    for (const auto& row : rows) {
        f.script.Then(Browse(row.title, row.start, row.choose));
        test::Click(row.button);
        EXPECT_EQ(row.field.Text(), row.expected) << row.title << " " << row.choose;
        EXPECT_EQ(f.Enabled(w.ButtonMove), row.resultKept) << row.title << " " << row.choose;
    }
    EXPECT_EQ(f.script.StepsLeft(), 0u);
}

TEST(Win32Window, VerifyMenuChecksTheChosenFolderIntoTheLog) {
    Window f;
    f.WriteExample();
    f.dir.Write("out/disc/a.txt", "abc");
    f.dir.Write("out/disc/_sha256_x-1.txt",
                "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad  a.txt\n");
    f.Open();
    TMainForm& w = f.W();
    SettleAccessTimes(f.dir.Root());
    f.script.Then(
        Browse("確認するメディアまたはメディアフォルダを指定してください", "", f.dir.Path("out\\disc")));
    ::SendMessageA(w.Handle(), WM_COMMAND, MAKEWPARAM(IDM_VERIFY, 0), 0);
    EXPECT_EQ(f.script.StepsLeft(), 0u);
    EXPECT_NE(WindowText(w.RichEdit).find("1 ファイルを確認しました: OK 1"), std::string::npos)
        << WindowText(w.RichEdit);
    EXPECT_TRUE(f.Enabled(w.Handle()));
}

TEST(Win32Window, MediaDialogAddsAProfileAfterItsChecks) {
    Window f;
    f.WriteExample();
    f.Open();
    TMainForm& w = f.W();
    std::vector<HWND> boxOwners;
    auto answer = [&](HWND box) {
        boxOwners.push_back(::GetWindow(box, GW_OWNER));
        test::Answer(IDOK)(box);
    };
    HWND dialogSeen = nullptr;
    f.script.Then([&](HWND d) {
        dialogSeen = d;
        HWND name = ::GetDlgItem(d, IDC_NAME), total = ::GetDlgItem(d, IDC_TOTAL);
        HWND system = ::GetDlgItem(d, IDC_SYSTEM), slack = ::GetDlgItem(d, IDC_SLACK);
        EXPECT_EQ(TextOf(d), "メディア設定");
        EXPECT_EQ(WindowText(name), "");
        EXPECT_TRUE(test::IsYellow(d, name));
        EXPECT_FALSE(::IsWindowEnabled(slack));  // the slack option is off
        EXPECT_EQ(WindowText(system), "256");
        EXPECT_EQ(test::TooltipOf(d, system), SizeTip(256, 2048));
        EXPECT_EQ(test::TooltipOf(d, ::GetDlgItem(d, IDC_CLUSTER)), "通常は変更する必要はありません");
        EXPECT_EQ(test::TooltipVisibleMs(d), 5000);
        // Only digits reach a numeric field, typed or pasted (full-width ones as ASCII).
        ::SendMessageA(total, EM_SETSEL, 0, -1);
        test::Type(total, "1a-2");
        EXPECT_EQ(WindowText(total), "12");
        test::SetClipboardText(d, "3x");
        ::SendMessageA(total, WM_PASTE, 0, 0);
        EXPECT_EQ(WindowText(total), "12");
        test::SetClipboardText(d, "４５");
        ::SendMessageA(total, WM_PASTE, 0, 0);
        EXPECT_EQ(WindowText(total), "1245");
        EXPECT_EQ(test::TooltipOf(d, total), SizeTip(1245, 2048));
        // An emptied field shows yellow, and "0" once left for another field.
        SetWindowTextOf(system, "");
        EXPECT_TRUE(test::IsYellow(d, system));
        ::SetFocus(system);
        ::SetFocus(name);
        test::FlushEvents(50);
        EXPECT_EQ(WindowText(system), "0");
        // OK checks the form: each message over the dialog, the focus on the field at fault.
        test::Press(d, IDOK);  // no name
        EXPECT_EQ(::GetFocus(), name);
        SetWindowTextOf(name, "Example");
        SetWindowTextOf(system, "10");
        test::Press(d, IDOK);  // a name in use
        SetWindowTextOf(name, "Test");
        SetWindowTextOf(total, "5000");  // above the slack, which counts while it is greyed
        test::Press(d, IDOK);
    });
    f.script.Then(answer);
    f.script.Then(answer);
    const LRESULT profiles = ::SendMessageA(w.ComboBox, CB_GETCOUNT, 0, 0);
    test::Click(w.ButtonAdd);
    ASSERT_EQ(f.script.seen.size(), 2u);
    EXPECT_EQ(f.script.seen[0].text, "メディア名を入れてください");
    EXPECT_EQ(f.script.seen[1].text, "そのメディア名はすでに使用されています");
    EXPECT_EQ(boxOwners, (std::vector<HWND>{dialogSeen, dialogSeen}));
    EXPECT_EQ(WindowText(w.ComboBox), "Test");
    EXPECT_EQ(::SendMessageA(w.ComboBox, CB_GETCOUNT, 0, 0), profiles + 1);
    EXPECT_EQ(f.W().model.CurrentProfile()->Total, 5000);
}

TEST(Win32Window, DeletingAProfileAsksUnderItsName) {
    Window f;
    f.WriteExample();
    f.Open();
    TMainForm& w = f.W();
    const LRESULT profiles = ::SendMessageA(w.ComboBox, CB_GETCOUNT, 0, 0);
    const struct {
        int answer;
        LRESULT left;
    } rows[] = {{IDNO, profiles}, {IDYES, profiles - 1}};
    for (const auto& row : rows) {
        f.script.Then(test::Answer(row.answer));
        test::Click(w.ButtonDel);
        EXPECT_EQ(::SendMessageA(w.ComboBox, CB_GETCOUNT, 0, 0), row.left) << row.answer;
    }
    ASSERT_EQ(f.script.seen.size(), 2u);
    EXPECT_EQ(f.script.seen[0].text, "このメディア情報を削除してよいですか？");
    EXPECT_EQ(f.script.seen[0].caption, "Example");
    EXPECT_NE(WindowText(w.ComboBox), "Example");
}

TEST(Win32Window, MediaDialogProbeSaysWhatStopsIt) {
    const struct {
        const char* what;
        TransportFactory transport;
        const char* message;
    } rows[] = {
        // No optical drive under wine: the probe says so and asks for none.
        {"the system's drives", nullptr, "ドライブがみつかりませんでした"},
        // An error escaping the handler is said in a box, and the dialog goes on.
        {"a failing transport", []() -> std::unique_ptr<SCSI> { throw std::runtime_error("no transport"); },
         "no transport"},
    };
    for (const auto& row : rows) {
        Window f;
        f.Open(row.transport);
        bool openAfterBox = false;
        f.script.Then([&](HWND d) {
            test::Press(d, IDC_GET);
            openAfterBox = ::IsWindow(d) != FALSE;
            test::Press(d, IDCANCEL);
        });
        f.script.Then(test::Answer(IDOK));
        test::Click(f.W().ButtonEdt);
        ASSERT_EQ(f.script.seen.size(), 1u) << row.what;
        EXPECT_EQ(f.script.seen[0].text, row.message) << row.what;
        EXPECT_TRUE(openAfterBox) << row.what;
    }
}

TEST(Win32Window, OptionsAndGroupingDialogsChangeTheirBits) {
    Window f;
    f.Open();
    TMainForm& w = f.W();
    auto check = [](HWND d, int i) { return ::IsDlgButtonChecked(d, IDC_CHECK_FIRST + i) == BST_CHECKED; };
    const struct {
        const char* what;
        bool fromMenu;
        ModalScript::Step act;
        std::int32_t options, minSize;
    } rows[] = {
        {"options, OK", true,
         [&](HWND d) {
             EXPECT_EQ(TextOf(d), "オプション");
             EXPECT_EQ(ItemText(d, IDC_MIN), "0");
             for (int i = 0; i < 8; ++i) {
                 EXPECT_EQ(check(d, i), i == 0) << i;
             }
             HWND min = ::GetDlgItem(d, IDC_MIN);
             ::SendMessageA(min, EM_SETSEL, 0, -1);
             test::Type(min, "-12");
             test::Click(::GetDlgItem(d, IDC_CHECK_FIRST + 1));
             test::Press(d, IDOK);
         },
         0x03, 12},
        {"options, Cancel", true,
         [&](HWND d) {
             EXPECT_TRUE(check(d, 1));
             test::Click(::GetDlgItem(d, IDC_CHECK_FIRST + 2));
             test::Press(d, IDCANCEL);
         },
         0x03, 12},
        {"grouping, OK", false,
         [&](HWND d) {
             EXPECT_EQ(TextOf(d), "簡易グループ化の設定");
             EXPECT_EQ(::IsDlgButtonChecked(d, IDC_GROUP_ITEM0), BST_CHECKED);
             test::Click(::GetDlgItem(d, IDC_GROUP_ITEM2));
             test::Press(d, IDOK);
         },
         0x83, 12},
        {"grouping, again", false,
         [&](HWND d) {
             EXPECT_EQ(::IsDlgButtonChecked(d, IDC_GROUP_ITEM2), BST_CHECKED);
             test::Press(d, IDCANCEL);
         },
         0x83, 12},
    };
    for (const auto& row : rows) {
        f.script.Then(row.act);
        if (row.fromMenu) {
            ::SendMessageA(w.Handle(), WM_COMMAND, MAKEWPARAM(IDM_OPT, 0), 0);
        } else {
            test::Click(w.ButtonGroup);
        }
        EXPECT_EQ(w.model.settings.Options, row.options) << row.what;
        EXPECT_EQ(w.model.settings.MinSize, row.minSize) << row.what;
    }
    EXPECT_EQ(f.script.StepsLeft(), 0u);
    EXPECT_TRUE(
        std::all_of(f.script.seen.begin(), f.script.seen.end(), [](const auto& s) { return s.expected; }));
}

TEST(Win32Window, MoveShowsItsProgressAndAsksOverItBeforeReplacing) {
    Window f;
    f.WriteExample();
    f.Open();
    TMainForm& w = f.W();
    test::Click(w.ButtonScan);
    ASSERT_TRUE(f.Enabled(w.ButtonMove));
    // Someone puts a file into the first disc's folder as the move starts.
    std::string planted;
    f.script.OnProgress([&](HWND) {
        WIN32_FIND_DATAA found{};
        HANDLE find = ::FindFirstFileA((f.dir.Path("out") + "\\*").c_str(), &found);
        ASSERT_NE(find, INVALID_HANDLE_VALUE);
        do {
            if (found.cFileName[0] != '.') {
                planted = "out/" + std::string(found.cFileName) + "/1/s50.bin";
            }
        } while (::FindNextFileA(find, &found));
        ::FindClose(find);
        f.dir.File(planted, 1);
    });
    HWND progressOwner = nullptr;
    bool mainEnabled = true;
    f.script.Then(test::Answer(IDOK));  // move the files?
    f.script.Then([&](HWND question) {
        progressOwner = ::GetWindow(question, GW_OWNER);
        EXPECT_NE(::FindWindowExA(progressOwner, nullptr, PROGRESS_CLASSA, nullptr), nullptr);
        mainEnabled = ::IsWindowEnabled(w.Handle()) != FALSE;
        test::Answer(IDYES)(question);
    });
    f.script.Then(test::Answer(IDOK));  // moved
    test::Click(w.ButtonMove);
    ASSERT_EQ(f.script.seen.size(), 3u);
    EXPECT_EQ(f.script.seen[0].text.rfind("対象ファイルを移動してよいですか？", 0), 0u);
    EXPECT_EQ(f.script.seen[1].text.rfind("移動先には同じ名前のファイルが既にあります。", 0), 0u);
    EXPECT_EQ(f.script.seen[2].text.rfind("対象ファイルを移動しました", 0), 0u);
    ASSERT_NE(progressOwner, nullptr);
    EXPECT_FALSE(mainEnabled);  // nothing else acts on the window while the move runs
    EXPECT_FALSE(::IsWindow(progressOwner));
    EXPECT_EQ(f.dir.Read(planted).size(), 50u * 2048);
    EXPECT_FALSE(f.Enabled(w.ButtonMove));
    EXPECT_TRUE(f.Enabled(w.Handle()));
}

TEST(Win32Window, SplittersKeepEachPaneSixtyPixels) {
    Window f;
    f.Open();
    TMainForm& w = f.W();
    auto drag = [&](POINT from, POINT to) {
        ::SendMessageA(w.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
        ::SendMessageA(w.Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
        ::SendMessageA(w.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
    };
    auto height = [&](HWND c) {
        return ClientRectIn(w.Handle(), c).bottom - ClientRectIn(w.Handle(), c).top;
    };
    auto width = [&](HWND c) { return ClientRectIn(w.Handle(), c).right - ClientRectIn(w.Handle(), c).left; };
    const RECT log = ClientRectIn(w.Handle(), w.RichEdit);
    drag({log.left + 50, log.bottom + 2}, {log.left + 50, 0});
    EXPECT_EQ(height(w.RichEdit), 60);
    drag({log.left + 50, ClientRectIn(w.Handle(), w.RichEdit).bottom + 2}, {log.left + 50, 2000});
    EXPECT_EQ(height(w.TreeView), 60);
    EXPECT_EQ(height(w.ListView), 60);
    const RECT tree = ClientRectIn(w.Handle(), w.TreeView);
    drag({tree.right + 2, tree.top + 20}, {0, tree.top + 20});
    EXPECT_EQ(width(w.TreeView), 60);
    drag({ClientRectIn(w.Handle(), w.TreeView).right + 2, tree.top + 20}, {2000, tree.top + 20});
    EXPECT_EQ(width(w.ListView), 60);
}

TEST(Win32Window, ClosingWritesTheSettingsBesideTheResults) {
    Window f;
    f.WriteExample();
    f.Open();
    TMainForm& w = f.W();
    test::Click(w.ButtonScan);
    w.EditDst.SetText(f.dir.Path("src"));
    ::SendMessageA(w.Handle(), WM_CLOSE, 0, 0);
    test::FlushEvents();
    EXPECT_EQ(w.Handle(), nullptr);
    EXPECT_TRUE(w.Closing);
    const std::string saved = f.dir.Read("stowra.ini");
    EXPECT_NE(saved.find("DstFolder=" + f.dir.Path("src") + "\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("[Example]"), std::string::npos);
    EXPECT_TRUE(f.script.seen.empty());
}

}  // namespace
}  // namespace stowra
