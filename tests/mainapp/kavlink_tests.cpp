// The connection form: its operations in their slots, the file choice (stubbed and for real)
// and its own element in a settings file.
#include <windows.h>
#include <commdlg.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/xmlaccess.h"
#include "kavlink/kavlink.h"
#include "tests/support/wintest.h"

namespace {

HINSTANCE Inst() { return GetModuleHandleW(nullptr); }

// What the stub chooser saw and answers.
struct ChooserScript
{
    bool accept = true;
    std::wstring answer;
    OPENFILENAMEW seen = {};
    std::wstring initialFile, initialDir, title, filter;
    int calls = 0;
};
ChooserScript* g_script = nullptr;

BOOL WINAPI ScriptedChooser(OPENFILENAMEW* ofn)
{
    ChooserScript* s = g_script;
    s->calls++;
    s->seen = *ofn;
    s->initialFile = ofn->lpstrFile;
    s->initialDir = ofn->lpstrInitialDir ? ofn->lpstrInitialDir : L"";
    s->title = ofn->lpstrTitle ? ofn->lpstrTitle : L"";
    const wchar_t* f = ofn->lpstrFilter;
    while (f && *f) {
        s->filter += f;
        s->filter += L'|';
        f += wcslen(f) + 1;
    }
    if (!s->accept)
        return FALSE;
    wcscpy(ofn->lpstrFile, s->answer.c_str());
    ofn->nFilterIndex = 2;
    return TRUE;
}

class Kavlink : public testing::Test
{
protected:
    void SetUp() override
    {
        FreeOpenConnForm();
        g_script = &script_;
        previous_ = SetConnFileChooser(ScriptedChooser);
        owner_ = CreateWindowExW(0, L"STATIC", L"Zorna", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 Inst(), nullptr);
        form_ = GetOpenConnForm(Inst(), owner_);
    }
    void TearDown() override
    {
        FreeOpenConnForm();
        SetConnFileChooser(previous_);
        g_script = nullptr;
        DestroyWindow(owner_);
        free(conn_.DBName);
        free(conn_.UserName);
    }
    ChooserScript script_;
    ConnFileChooser previous_ = nullptr;
    HWND owner_ = nullptr;
    IOpenConnForm* form_ = nullptr;
    ConnSettings conn_ = {};
};

TEST_F(Kavlink, OneObjectPerProcessUntilFreed)
{
    ASSERT_NE(nullptr, form_);
    EXPECT_EQ(form_, GetOpenConnForm(Inst(), owner_));
    FreeOpenConnForm();
    FreeOpenConnForm();  // freeing twice is harmless
    IOpenConnForm* again = GetOpenConnForm(Inst(), owner_);
    EXPECT_NE(nullptr, again);
}

TEST_F(Kavlink, AcceptedChoiceFillsTheSettingsInPlace)
{
    script_.answer = L"C:\\Data\\Terén\\ZorBase.mdb";
    conn_.DBName = _wcsdup(L"C:\\Staré\\Stará.mdb");
    EXPECT_NE(0, form_->RunDialog(&conn_));
    EXPECT_EQ(1, script_.calls);
    EXPECT_EQ(owner_, script_.seen.hwndOwner);
    EXPECT_EQ(L"C:\\Staré\\Stará.mdb", script_.initialFile);  // starts from the file in use
    EXPECT_EQ(L"C:\\Staré", script_.initialDir);
    EXPECT_EQ(L"Otevřít databázi", script_.title);
    EXPECT_EQ(L"Databáze Zorny (*.mdb)|*.mdb|Všechny soubory (*.*)|*.*|", script_.filter);
    EXPECT_TRUE(script_.seen.Flags & OFN_FILEMUSTEXIST);
    EXPECT_TRUE(script_.seen.Flags & OFN_NOCHANGEDIR);  // the program folder stays put
    EXPECT_GE(script_.seen.nMaxFile, 32768u);
    EXPECT_EQ(1, conn_.ConnType);
    EXPECT_STREQ(L"C:\\Data\\Terén\\ZorBase.mdb", conn_.DBName);
    ASSERT_NE(nullptr, conn_.UserName);
    EXPECT_STREQ(L"", conn_.UserName);
}

TEST_F(Kavlink, CancelLeavesTheSettingsAlone)
{
    script_.accept = false;
    conn_.ConnType = 0;
    conn_.DBName = _wcsdup(L"C:\\a.mdb");
    wchar_t* before = conn_.DBName;
    EXPECT_EQ(0, form_->RunDialog(&conn_));
    EXPECT_EQ(0, conn_.ConnType);
    EXPECT_EQ(before, conn_.DBName);
    EXPECT_STREQ(L"C:\\a.mdb", conn_.DBName);
    EXPECT_EQ(nullptr, conn_.UserName);
}

TEST_F(Kavlink, ALongPathComesBackWhole)
{
    script_.answer = L"C:\\" + std::wstring(600, L'd') + L"\\ZorBase.mdb";
    ASSERT_NE(0, form_->RunDialog(&conn_));
    EXPECT_EQ(script_.answer, conn_.DBName);
}

TEST_F(Kavlink, ItsElementCarriesTheLastFolderToTheNextRun)
{
    std::wstring path = wintest::MakeTempFolder(L"kavlink") + L"\\s.xml";
    script_.answer = L"C:\\Sběr\\2011\\ZorBase.mdb";
    ASSERT_NE(0, form_->RunDialog(&conn_));
    {
        CXmlWriter w(path.c_str());
        w.AddComment(L"Zorna Workspace Settings");
        w.CreateRoot(L"Settings");
        form_->SaveSettings(&w);
        w.Save();
    }
    FreeOpenConnForm();
    IOpenConnForm* next = GetOpenConnForm(Inst(), owner_);
    {
        CXmlReader r(path.c_str());
        next->LoadSettings(&r);
    }
    ConnSettings fresh = {};
    script_.accept = false;
    next->RunDialog(&fresh);
    EXPECT_EQ(L"C:\\Sběr\\2011", script_.initialDir);
    EXPECT_EQ(L"", script_.initialFile);
    EXPECT_EQ(2u, script_.seen.nFilterIndex);
}

TEST_F(Kavlink, AFileWithoutItsElementChangesNothing)
{
    std::wstring path = wintest::MakeTempFolder(L"kavlink2") + L"\\s.xml";
    script_.answer = L"C:\\Jinde\\Z.mdb";
    ASSERT_NE(0, form_->RunDialog(&conn_));
    {
        CXmlWriter w(path.c_str());
        w.CreateRoot(L"Settings");
        w.Save();
    }
    CXmlReader r(path.c_str());
    form_->LoadSettings(&r);
    ConnSettings fresh = {};
    script_.accept = false;
    form_->RunDialog(&fresh);
    EXPECT_EQ(L"C:\\Jinde", script_.initialDir);
}

// The programs call the operations by their place in the table; slot 3 must be the writer and
// slot 2 the reader, slot 0 the dialog.
TEST_F(Kavlink, OperationsSitInTheirSlots)
{
    void** table = *reinterpret_cast<void***>(form_);
    std::wstring path = wintest::MakeTempFolder(L"kavlink3") + L"\\s.xml";
    {
        CXmlWriter w(path.c_str());
        w.CreateRoot(L"Settings");
        reinterpret_cast<void (*)(IOpenConnForm*, CXmlWriter*)>(table[3])(form_, &w);
        w.Save();
    }
    CXmlReader r(path.c_str());
    IXMLDOMElement* element = r.SelectElement(KAVLINK_SETTINGS_ELEMENT);
    ASSERT_NE(nullptr, element);
    element->Release();
    script_.answer = L"C:\\Slot\\Nula.mdb";
    int accepted = reinterpret_cast<int (*)(IOpenConnForm*, ConnSettings*)>(table[0])(form_, &conn_);
    EXPECT_NE(0, accepted);
    EXPECT_STREQ(L"C:\\Slot\\Nula.mdb", conn_.DBName);
}

// ---- the real file dialog, driven from a timer inside its own modal loop ----

struct DialogRun
{
    static DialogRun* current;
    std::function<void(HWND)> act;
    const wchar_t* shotName = L"kavlink_open_dialog";
    HWND dialog = nullptr;
    int ticks = 0;
    std::wstring caption, shot;
    HWND owner = nullptr;
    std::vector<std::wstring> filters;

    static BOOL CALLBACK FindDialog(HWND hwnd, LPARAM lParam)
    {
        wchar_t cls[32] = L"", text[128] = L"";
        GetClassNameW(hwnd, cls, 32);
        GetWindowTextW(hwnd, text, 128);
        if (wcscmp(cls, L"#32770") == 0 && wcscmp(text, L"Otevřít databázi") == 0 &&
            IsWindowVisible(hwnd)) {
            *reinterpret_cast<HWND*>(lParam) = hwnd;
            return FALSE;
        }
        return TRUE;
    }

    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD)
    {
        DialogRun* run = current;
        if (!run)
            return;
        HWND found = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), FindDialog, (LPARAM)&found);
        if (!found) {
            if (++run->ticks > 200)  // never leave a test hanging on a dialog that did not show
                KillTimer(nullptr, id);
            return;
        }
        if (++run->ticks < 8)  // let it lay out and paint its folder view first
            return;
        KillTimer(nullptr, id);
        run->dialog = found;
        wchar_t text[128] = L"";
        GetWindowTextW(found, text, 128);
        run->caption = text;
        run->owner = GetWindow(found, GW_OWNER);
        HWND types = GetDlgItem(found, cmb1);
        int n = types ? (int)SendMessageW(types, CB_GETCOUNT, 0, 0) : 0;
        for (int i = 0; i < n; ++i) {
            wchar_t item[128] = L"";
            SendMessageW(types, CB_GETLBTEXT, i, (LPARAM)item);
            run->filters.push_back(item);
        }
        run->shot = wintest::SaveScreenshot(found, run->shotName);
        run->act(found);
    }
};
DialogRun* DialogRun::current = nullptr;

class KavlinkDialog : public testing::Test
{
protected:
    void SetUp() override
    {
        FreeOpenConnForm();
        SetConnFileChooser(nullptr);
        folder_ = wintest::MakeTempFolder(L"kavlinkdlg");
        file_ = folder_ + L"\\Terén.mdb";
        HANDLE f = CreateFileW(file_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(f);
        owner_ = CreateWindowExW(0, L"STATIC", L"Zorna", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                 nullptr, nullptr, Inst(), nullptr);
    }
    void TearDown() override
    {
        FreeOpenConnForm();
        DestroyWindow(owner_);
        free(conn_.DBName);
        free(conn_.UserName);
    }
    int Run(const wchar_t* shotName, std::function<void(HWND)> act)
    {
        run_.shotName = shotName;
        run_.act = std::move(act);
        DialogRun::current = &run_;
        SetTimer(nullptr, 0, 50, DialogRun::Tick);
        int result = GetOpenConnForm(Inst(), owner_)->RunDialog(&conn_);
        DialogRun::current = nullptr;
        return result;
    }
    std::wstring folder_, file_;
    HWND owner_ = nullptr;
    ConnSettings conn_ = {};
    DialogRun run_;
};

void TypeFileName(HWND dialog, const std::wstring& name)
{
    HWND edit = GetDlgItem(dialog, cmb13);
    if (!edit)
        edit = GetDlgItem(dialog, edt1);
    SetWindowTextW(edit, name.c_str());
}

TEST_F(KavlinkDialog, ChosenFileBecomesTheDatabase)
{
    std::wstring file = file_;
    int result = Run(L"kavlink_open_dialog_choose", [file](HWND dialog) {
        TypeFileName(dialog, file);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     (LPARAM)GetDlgItem(dialog, IDOK));
    });
    ASSERT_NE(nullptr, run_.dialog) << "the open dialog did not show";
    EXPECT_EQ(L"Otevřít databázi", run_.caption);
    EXPECT_EQ(owner_, run_.owner);
    ASSERT_EQ(2u, run_.filters.size());
    EXPECT_EQ(L"Databáze Zorny (*.mdb)", run_.filters[0]);
    EXPECT_EQ(L"Všechny soubory (*.*)", run_.filters[1]);
    EXPECT_FALSE(run_.shot.empty());
    EXPECT_NE(0, result);
    EXPECT_EQ(1, conn_.ConnType);
    ASSERT_NE(nullptr, conn_.DBName);
    EXPECT_EQ(0, _wcsicmp(file_.c_str(), conn_.DBName));
}

TEST_F(KavlinkDialog, CancelledDialogChangesNothing)
{
    conn_.ConnType = 1;
    conn_.DBName = _wcsdup(file_.c_str());
    int result = Run(L"kavlink_open_dialog_cancel", [](HWND dialog) {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     (LPARAM)GetDlgItem(dialog, IDCANCEL));
    });
    ASSERT_NE(nullptr, run_.dialog);
    EXPECT_EQ(0, result);
    EXPECT_EQ(1, conn_.ConnType);
    EXPECT_EQ(file_, conn_.DBName);
    EXPECT_EQ(nullptr, conn_.UserName);
}

}  // namespace
