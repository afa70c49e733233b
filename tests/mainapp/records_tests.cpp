// The record dialog EDITRECORD and the long-text dialog EDITMEMODLG, driven through the main
// window's commands 2001 and 2002 on the program's own main form with a generated database:
// names chosen by typing, saves checked with SQL, the template and "Další", refusals with their
// messages, and the grid's lookup lists answered through the main window.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "browse/recorddlg.h"
#include "controls/plexa.h"
#include "core/attrdef.h"
#include "core/ctlfill.h"
#include "core/msgbox.h"
#include "dataaccess/ado.h"
#include "tools/sampledb/sampledb.h"
#include "mainapp/dbopen.h"
#include "resources/zorna/resource.h"
#include "tests/mainapp/formhost.h"

using wintest::DialogScript;

namespace {

const wchar_t kNewCaption[] = L"Nový zápis";
const wchar_t kEditCaption[] = L"Editace zápisu";
const wchar_t kMemoCaption[] = L"Editace dlouhého textu";
const wchar_t kNoSuchDate[] = L"Takové datum neexistuje (měsíc 1 až 12, den nejvýše do konce měsíce): Datum nálezu";
const wchar_t kLongLeg[] = L"Sběratel se jménem o šedesáti sedmi znacích, delším, než pole pojme";

// The sample with a long-text attribute of the records, after the others.
std::wstring RecordsTemplate()
{
    return formhost::SampleWith(
        L"records_dialog_template", 3000,
        {L"ALTER TABLE ZORNACOLLS ADD [DLOUHY] TEXT",
         L"INSERT INTO CUSTOMATTRIBUTES (TABLENAME, FIELDNAME, POSID, ATTRTYPE, ATTRSIZE, KEYFLAG, "
         L"TABNAME, CAPTION) VALUES ('ZORNACOLLS', 'DLOUHY', 100, 6, 0, 0, 'Sběr', 'Dlouhý text')"});
}

WPARAM GridItem(int item)
{
    return ((WPARAM)(item & 0xFFFF) << 16) | 0xFFFF;
}

class RecordDialog : public formhost::FormOnDatabase {
protected:
    std::wstring TemplatePath() override { return RecordsTemplate(); }

    // A species whose name starts with "Car" and a locality, both with records.
    void PickItems()
    {
        species_ = (int)Int(L"SELECT MIN(SYSID) FROM SPECIES WHERE NAME LIKE 'Car%' AND SYSID IN "
                            L"(SELECT SYSID FROM ZORNACOLLS)");
        locality_ = (int)Int(L"SELECT MIN(FTRID) FROM ZORNACOLLS");
        ASSERT_GT(species_, 0);
        ASSERT_GT(locality_, 0);
        GotoItem(0, species_);
        GotoItem(1, locality_);
        ShowTab(TAB_SYSTEM);
    }

    static HWND Box(HWND dialog) { return GetDlgItem(dialog, IDC_REC_ATTRS); }

    // The grid item with the caption (-1 when there is none).
    static int ItemOf(HWND dialog, const wchar_t* caption)
    {
        HWND box = Box(dialog);
        int count = (int)SendMessageW(box, PBXM_GETCOUNT, (WPARAM)-1, 0);
        for (int i = 0; i < count; i++) {
            wchar_t name[128] = L"";
            if (SendMessageW(box, PBXM_GETITEMTEXTLEN, GridItem(i), 0) < 127) {
                SendMessageW(box, PBXM_GETITEMTEXT, GridItem(i), (LPARAM)name);
                if (wcscmp(name, caption) == 0)
                    return i;
            }
        }
        return -1;
    }

    // Types text into a grid item's editor as a user would, and leaves the editor open.
    static void Type(HWND dialog, const wchar_t* caption, const wchar_t* text)
    {
        HWND box = Box(dialog);
        int item = ItemOf(dialog, caption);
        ASSERT_GE(item, 0) << "no grid item " << dbtest::Narrow(caption);
        // The editor open before gives its text first, as leaving it does.
        SendMessageW(box, PBXM_ENDEDIT, 1, 0);
        SendMessageW(box, PBXM_SELECTITEM, GridItem(item), 1);
        HWND editor = nullptr;
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (IsWindowVisible(child))
                editor = child;
        ASSERT_TRUE(editor != nullptr);
        SetWindowTextW(editor, text);
        SendMessageW(editor, EM_SETMODIFY, TRUE, 0);
    }

    // The grid's current item (its answer packs the item above the parent).
    static int CurrentItem(HWND dialog)
    {
        int packed = -1;
        SendMessageW(Box(dialog), PBXM_GETCURITEM, 0, (LPARAM)&packed);
        return packed < 0 ? -1 : HIWORD(packed);
    }
    static VARIANT Value(HWND dialog, const wchar_t* caption)
    {
        VARIANT v;
        VariantInit(&v);
        SendMessageW(Box(dialog), PBXM_GETVALUE, GridItem(ItemOf(dialog, caption)), (LPARAM)&v);
        return v;
    }
    static std::wstring ValueText(HWND dialog, const wchar_t* caption)
    {
        VARIANT v = Value(dialog, caption);
        std::wstring text = v.vt == VT_BSTR && v.bstrVal ? v.bstrVal : (v.vt == VT_NULL ? L"<NULL>" : L"");
        VariantClear(&v);
        return text;
    }
    static void SetValueText(HWND dialog, const wchar_t* caption, const wchar_t* text)
    {
        VARIANT v;
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(text);
        SendMessageW(Box(dialog), PBXM_SETVALUE, GridItem(ItemOf(dialog, caption)), (LPARAM)&v);
        VariantClear(&v);
    }

    // Types into a name combo and lets the main window refill its list, as each keystroke does.
    static void TypeName(HWND dialog, int comboId, const wchar_t* text)
    {
        HWND combo = GetDlgItem(dialog, comboId);
        SetWindowTextW(combo, text);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(comboId, CBN_EDITCHANGE), (LPARAM)combo);
    }
    static int SelectedData(HWND dialog, int comboId)
    {
        HWND combo = GetDlgItem(dialog, comboId);
        int sel = (int)SendMessageW(combo, CB_GETCURSEL, 0, 0);
        return sel < 0 ? -1 : (int)SendMessageW(combo, CB_GETITEMDATA, sel, 0);
    }
    // Chooses the list entry that carries the id.
    static void ChooseId(HWND dialog, int comboId, int id)
    {
        HWND combo = GetDlgItem(dialog, comboId);
        int count = (int)SendMessageW(combo, CB_GETCOUNT, 0, 0);
        for (int i = 0; i < count; i++) {
            if ((int)SendMessageW(combo, CB_GETITEMDATA, i, 0) == id) {
                SendMessageW(combo, CB_SETCURSEL, i, 0);
                return;
            }
        }
        ADD_FAILURE() << "no entry with id " << id;
    }
    // The combo, or its edit field, has the keyboard.
    static bool HasFocus(HWND dialog, int id)
    {
        HWND focus = GetFocus();
        HWND control = GetDlgItem(dialog, id);
        return focus && (focus == control || IsChild(control, focus));
    }

    long long Records() { return Int(L"SELECT COUNT(*) FROM ZORNACOLLS"); }
    int LastId() { return (int)Int(L"SELECT MAX(ID) FROM ZORNACOLLS"); }

    int species_ = 0;
    int locality_ = 0;
};

// ---- a new record on the species card ----

TEST_F(RecordDialog, NewRecordStartsWithTheCardsItemsAndTypingFillsTheList)
{
    ASSERT_NO_FATAL_FAILURE(PickItems());
    long long before = Records();
    std::wstring speciesName = Text(L"SELECT NAME FROM SPECIES WHERE SYSID = " + std::to_wstring(species_));
    int chosen = -1;
    DialogScript script;
    script.Then(kNewCaption, [&](HWND d) {
        EXPECT_EQ(speciesName, wintest::WindowText(GetDlgItem(d, IDC_REC_SPECIES)));
        EXPECT_EQ(species_, SelectedData(d, IDC_REC_SPECIES));
        EXPECT_EQ(locality_, SelectedData(d, IDC_REC_LOCALITY));
        EXPECT_EQ(-1, SelectedData(d, IDC_REC_LITERATURE));
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(d, IDC_REC_NEXT)));
        // With no publication chosen, the publication list holds them before anything is typed.
        HWND publications = GetDlgItem(d, IDC_REC_LITERATURE);
        EXPECT_GT(SendMessageW(publications, CB_GETCOUNT, 0, 0), 1);
        SendMessageW(publications, CB_SHOWDROPDOWN, TRUE, 0);
        wintest::PumpMessages(100);
        COMBOBOXINFO dropped = {};
        dropped.cbSize = sizeof(dropped);
        if (GetComboBoxInfo(publications, &dropped))
            wintest::SaveScreenshot(dropped.hwndList, L"records_editrecord_publications");
        SendMessageW(publications, CB_SHOWDROPDOWN, FALSE, 0);

        // The list drops with the first names, and is filled again while it is down.
        TypeName(d, IDC_REC_SPECIES, L"Pte");
        HWND combo = GetDlgItem(d, IDC_REC_SPECIES);
        EXPECT_TRUE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
        TypeName(d, IDC_REC_SPECIES, L"Car");
        int count = (int)SendMessageW(combo, CB_GETCOUNT, 0, 0);
        EXPECT_GT(count, 1);
        for (int i = 0; i < count; i++)
            EXPECT_EQ(0, _wcsnicmp(GetComboEntryString(combo, i).c_str(), L"Car", 3)) << i;
        EXPECT_EQ(L"Car", wintest::WindowText(combo));
        EXPECT_TRUE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
        COMBOBOXINFO info = {};
        info.cbSize = sizeof(info);
        ASSERT_TRUE(GetComboBoxInfo(combo, &info));
        EXPECT_TRUE(IsWindowVisible(info.hwndList));
        EXPECT_EQ(count, SendMessageW(info.hwndList, LB_GETCOUNT, 0, 0));
        // An entry chosen from the list.
        SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
        chosen = (int)SendMessageW(combo, CB_GETITEMDATA, count - 1, 0);
        SendMessageW(combo, CB_SETCURSEL, count - 1, 0);

        Type(d, L"Datum nálezu", L"1.5.2010");
        Type(d, L"Počet exemplářů", L"12");
        SetDlgItemTextW(d, IDC_REC_NOTE, L"pod kamenem");
        SendMessageW(Box(d), PBXM_ENDEDIT, 1, 0);
        wintest::PumpMessages(100);
        wintest::SaveScreenshot(d, L"records_editrecord_new");
        DialogScript::PostClick(d, IDOK);
    });
    ASSERT_TRUE(Command(IDM_NEWRECORD, script));
    ASSERT_EQ(before + 1, Records());
    std::wstring id = std::to_wstring(LastId());
    EXPECT_EQ(chosen, Int(L"SELECT SYSID FROM ZORNACOLLS WHERE ID = " + id));
    EXPECT_EQ(locality_, Int(L"SELECT FTRID FROM ZORNACOLLS WHERE ID = " + id));
    EXPECT_EQ(-1, Int(L"SELECT LITID FROM ZORNACOLLS WHERE ID = " + id));
    EXPECT_EQ(12, Int(L"SELECT POCET FROM ZORNACOLLS WHERE ID = " + id));
    EXPECT_EQ((long long)zor::OleDateOf(2010, 5, 1), Int(L"SELECT CAST(DATUM AS INTEGER) FROM ZORNACOLLS WHERE ID = " + id));
    EXPECT_EQ(L"pod kamenem", Text(L"SELECT RECNOTE FROM ZORNACOLLS WHERE ID = " + id));
    EXPECT_TRUE(Boxes().empty());
}

// Tab out of the list that typing dropped takes the name it highlights, not the letters typed.
TEST_F(RecordDialog, TabTakesTheHighlightedNameOfTheTypedList)
{
    ASSERT_NO_FATAL_FAILURE(PickItems());
    DialogScript script;
    script.Then(kNewCaption, [&](HWND d) {
        HWND combo = GetDlgItem(d, IDC_REC_SPECIES);
        SetForegroundWindow(d);
        SetFocus(combo);
        wintest::SendMouse({0, 0}, 0);  // the pointer off the list, where it would pick an entry
        TypeName(d, IDC_REC_SPECIES, L"Car");
        ASSERT_TRUE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
        const int highlighted = (int)SendMessageW(combo, CB_GETCURSEL, 0, 0);
        ASSERT_GE(highlighted, 0);
        const std::wstring name = GetComboEntryString(combo, highlighted);
        ASSERT_NE(L"Car", name);
        EXPECT_EQ(L"Car", wintest::WindowText(combo));
        INPUT tab[2] = {};
        tab[0].type = tab[1].type = INPUT_KEYBOARD;
        tab[0].ki.wVk = tab[1].ki.wVk = VK_TAB;
        tab[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, tab, sizeof(INPUT));
        // The key goes through the dialog's keyboard handling, as in the dialog's own loop.
        for (DWORD start = GetTickCount(); GetTickCount() - start < 3000 && !HasFocus(d, IDC_REC_LOCALITY);
             Sleep(10)) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                if (!IsDialogMessageW(d, &msg)) {
                    TranslateMessage(&msg);
                    DispatchMessageW(&msg);
                }
        }
        EXPECT_TRUE(HasFocus(d, IDC_REC_LOCALITY));
        EXPECT_EQ(name, wintest::WindowText(combo));
        EXPECT_EQ((int)SendMessageW(combo, CB_GETITEMDATA, highlighted, 0), SelectedData(d, IDC_REC_SPECIES));
        wintest::SaveScreenshot(d, L"records_typeahead_tab");
        DialogScript::PostClick(d, IDCANCEL);
    });
    ASSERT_TRUE(Command(IDM_NEWRECORD, script));
}

// Each dialog's list offers what its own text names, whatever an earlier dialog typed and took:
// the same letters typed and an offered name taken, in two dialogs one after the other.
TEST_F(RecordDialog, TheNextDialogsTypeAheadOffersWhatItsTextNames)
{
    ASSERT_NO_FATAL_FAILURE(PickItems());
    // The card on an item without a locality row: the combo starts with its empty entry.
    GotoItem(1, (int)Int(L"SELECT MIN(ID) FROM LOCTREE WHERE ID > 0 AND ID NOT IN (SELECT LOCID FROM FEATURES)"));
    ShowTab(TAB_SYSTEM);
    // Five letters of a name whose first letter alone already fills the list.
    const std::wstring prefix = Text(L"SELECT substr(NAME, 1, 5) FROM FEATURES WHERE length(NAME) >= 5 AND "
                                     L"substr(lower(NAME), 1, 5) NOT LIKE '%c%' AND substr(NAME, 1, 1) IN (SELECT substr(NAME, 1, 1) "
                                     L"AS l FROM FEATURES GROUP BY l HAVING COUNT(*) BETWEEN 2 AND 100) ORDER BY NAME LIMIT 1");
    ASSERT_EQ(5u, prefix.size());
    for (int dialog = 0; dialog < 2; ++dialog) {
        DialogScript script;
        script.Then(kNewCaption, [&](HWND d) {
            HWND combo = GetDlgItem(d, IDC_REC_LOCALITY);
            for (size_t n = 1; n <= prefix.size(); ++n)
                TypeName(d, IDC_REC_LOCALITY, prefix.substr(0, n).c_str());
            LRESULT offered = SendMessageW(combo, CB_FINDSTRING, (WPARAM)-1, (LPARAM)prefix.c_str());
            EXPECT_NE(CB_ERR, offered) << "dialog " << dialog;
            SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
            SendMessageW(combo, CB_SETCURSEL, (WPARAM)offered, 0);
            EXPECT_GT(SelectedData(d, IDC_REC_LOCALITY), 0) << "dialog " << dialog;
            DialogScript::PostClick(d, IDCANCEL);
        });
        ASSERT_TRUE(Command(IDM_NEWRECORD, script));
    }
}

TEST_F(RecordDialog, NextTwiceStoresTwoRowsAndKeepsTheDialogOpen)
{
    ASSERT_NO_FATAL_FAILURE(PickItems());
    long long before = Records();
    DialogScript script;
    script.Then(kNewCaption, [&](HWND d) {
        Type(d, L"Datum nálezu", L"2.6.2011");
        Type(d, L"Sběratel (leg.)", L"Dvořák");
        DialogScript::Click(d, IDC_REC_NEXT);
        EXPECT_EQ(before + 1, Records());
        // Without a template the dialog keeps what was saved; the file takes one record per
        // species, locality and date, so the next one is of another day.
        EXPECT_EQ(L"Dvořák", ValueText(d, L"Sběratel (leg.)"));
        Type(d, L"Datum nálezu", L"3.6.2011");
        DialogScript::Click(d, IDC_REC_NEXT);
        EXPECT_EQ(before + 2, Records());
        DialogScript::PostClick(d, IDCANCEL);
    });
    ASSERT_TRUE(Command(IDM_NEWRECORD, script));
    EXPECT_EQ(before + 2, Records());
    EXPECT_EQ(2, Int(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE LEG = 'Dvořák' AND SYSID = "
                     + std::to_wstring(species_) + L" AND FTRID = " + std::to_wstring(locality_)));
}

// ---- templates ----

TEST_F(RecordDialog, ATemplateWithoutASpeciesIsRefusedWith511)
{
    ASSERT_NO_FATAL_FAILURE(PickItems());
    long long before = Records();
    DialogScript script;
    script.Then(kNewCaption, [&](HWND d) {
        HWND combo = GetDlgItem(d, IDC_REC_SPECIES);
        SendMessageW(combo, CB_SETCURSEL, (WPARAM)-1, 0);
        SetWindowTextW(combo, L"");
        Type(d, L"Datum nálezu", L"3.7.2012");
        DialogScript::Click(d, IDC_REC_TEMPLATE);
        DialogScript::PostClick(d, IDCANCEL);
    });
    DialogScript again;
    again.Then(kNewCaption, [&](HWND d) {
        // The template's locality is there, its species is no choice.
        EXPECT_EQ(-1, SelectedData(d, IDC_REC_SPECIES));
        EXPECT_EQ(locality_, SelectedData(d, IDC_REC_LOCALITY));
        DialogScript::Click(d, IDOK);
        EXPECT_TRUE(IsWindow(d));
        EXPECT_TRUE(HasFocus(d, IDC_REC_SPECIES));
        // A text that names nothing is no choice either.
        TypeName(d, IDC_REC_SPECIES, L"Xyzzy neexistuje");
        DialogScript::Click(d, IDC_REC_NEXT);
        EXPECT_TRUE(HasFocus(d, IDC_REC_SPECIES));
        DialogScript::PostClick(d, IDCANCEL);
    });
    ASSERT_TRUE(Command(IDM_NEWRECORD, script));
    ASSERT_TRUE(Command(IDM_NEWRECORD, again));
    EXPECT_EQ(before, Records());
    ASSERT_EQ(2u, Boxes().size());
    // An empty species is a value missing, as the publication dialog says of its fields.
    EXPECT_EQ(L"Hodnota je povinná: Druh", Boxes()[0].text);
    EXPECT_EQ(L"Vložená hodnota je neplatná: Druh", Boxes()[1].text);
    for (const auto& box : Boxes())
        EXPECT_EQ(L"Chyba", box.caption);
}

TEST_F(RecordDialog, AnEmptyRequiredValueDoesNotEndTheCopyIntoTheTemplate)
{
    ASSERT_NO_FATAL_FAILURE(PickItems());
    DialogScript script;
    script.Then(kNewCaption, [&](HWND d) {
        // "Datum nálezu" comes first and is required; it stays empty.
        EXPECT_EQ(0, ItemOf(d, L"Datum nálezu"));
        Type(d, L"Počet exemplářů", L"7");
        Type(d, L"Sběratel (leg.)", L"Šablonová");
        Type(d, L"Určil (det.)", L"Hůla");
        SendMessageW(Box(d), PBXM_ENDEDIT, 1, 0);
        SetDlgItemTextW(d, IDC_REC_NOTE, L"ze šablony");
        DialogScript::Click(d, IDC_REC_TEMPLATE);
        DialogScript::PostClick(d, IDCANCEL);
    });
    DialogScript again;
    again.Then(kNewCaption, [&](HWND d) {
        VARIANT count = Value(d, L"Počet exemplářů");
        EXPECT_EQ(VT_I4, count.vt);
        EXPECT_EQ(7, count.lVal);
        EXPECT_EQ(L"Šablonová", ValueText(d, L"Sběratel (leg.)"));
        EXPECT_EQ(L"Hůla", ValueText(d, L"Určil (det.)"));
        EXPECT_EQ(L"ze šablony", wintest::WindowText(GetDlgItem(d, IDC_REC_NOTE)));
        EXPECT_EQ(species_, SelectedData(d, IDC_REC_SPECIES));
        // Saving with the date still empty is refused with 512 and the item shown.
        DialogScript::Click(d, IDOK);
        EXPECT_EQ(0, CurrentItem(d));
        DialogScript::PostClick(d, IDCANCEL);
    });
    long long before = Records();
    ASSERT_TRUE(Command(IDM_NEWRECORD, script));
    ASSERT_TRUE(Command(IDM_NEWRECORD, again));
    EXPECT_EQ(before, Records());
    ASSERT_EQ(1u, Boxes().size());
    EXPECT_EQ(L"Hodnota je povinná: Datum nálezu", Boxes()[0].text);
    // Closing the database drops the template: it names this file's attributes.
    OnCloseDatabase(form_, wnd_);
    EXPECT_EQ(0, ws_->RecordDlg->HasTemplate);
    EXPECT_EQ(0, ws_->RecordDlg->Template.Values->GetCount());
}

// "Další" refused by the file or by a full disk: the dialog says so, keeps what was typed and does
// not go on to the next record, and the file stays as it was.
TEST_F(RecordDialog, ARefusedSaveKeepsEveryTypedValueAndTheTemplateWaits)
{
    ASSERT_TRUE(dbtest::Exec(path_, L"CREATE TRIGGER REFUSE_LEG BEFORE INSERT ON ZORNACOLLS WHEN "
                                    L"NEW.LEG = 'odmítnout' BEGIN SELECT RAISE(ABORT, 'zápis odmítnut'); END"));
    std::wstring longNote;  // more than the file's free pages hold
    for (int i = 0; i < 6000; i++)
        longNote += i % 10 == 9 ? L"řádek\r\n" : L"poznámka ";
    struct Refusal {
        const char* name;
        bool fullDisk;  // the file may not grow once opened
        const wchar_t* date;
        const wchar_t* leg;
        std::wstring note;
        const wchar_t* says;
    } refusals[] = {
        {"a trigger", false, L"4.8.2013", L"odmítnout", L"napsáno ručně", L"zápis odmítnut"},
        {"a full disk", true, L"5.8.2013", L"Plný disk", longNote, L"Na disku s databází není dost místa, změna nebyla zapsána."},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.name);
        int previous = zdata::SetPageLimitForTests(r.fullDisk ? 0 : -1);
        if (r.fullDisk) {
            CloseForm(false);
            OpenForm();
        }
        ASSERT_NO_FATAL_FAILURE(PickItems());
        const formhost::Rows before = dbtest::Query(path_, L"SELECT * FROM ZORNACOLLS ORDER BY rowid");
        const size_t boxes = Boxes().size();
        DialogScript script;
        script.Then(kNewCaption, [&](HWND d) {
            Type(d, L"Datum nálezu", r.date);
            Type(d, L"Sběratel (leg.)", L"ze šablony");
            SendMessageW(Box(d), PBXM_ENDEDIT, 1, 0);
            DialogScript::Click(d, IDC_REC_TEMPLATE);
            Type(d, L"Sběratel (leg.)", r.leg);
            SetDlgItemTextW(d, IDC_REC_NOTE, r.note.c_str());
            DialogScript::Click(d, IDC_REC_NEXT);
            EXPECT_TRUE(before == dbtest::Query(path_, L"SELECT * FROM ZORNACOLLS ORDER BY rowid"));
            EXPECT_EQ(r.leg, ValueText(d, L"Sběratel (leg.)"));
            EXPECT_TRUE(r.note == GetWindowString(GetDlgItem(d, IDC_REC_NOTE)));
            EXPECT_EQ(species_, SelectedData(d, IDC_REC_SPECIES));
            // Once a save goes through, the next record starts from the template again.
            if (!r.fullDisk) {
                Type(d, L"Sběratel (leg.)", L"přijmout");
                DialogScript::Click(d, IDC_REC_NEXT);
                EXPECT_EQ((long long)before.size() + 1, Records());
                EXPECT_EQ(L"ze šablony", ValueText(d, L"Sběratel (leg.)"));
                EXPECT_EQ(r.note, wintest::WindowText(GetDlgItem(d, IDC_REC_NOTE)));
            }
            DialogScript::PostClick(d, IDCANCEL);
        });
        ASSERT_TRUE(Command(IDM_NEWRECORD, script));
        zdata::SetPageLimitForTests(previous);
        ASSERT_EQ(boxes + 1, Boxes().size());
        EXPECT_NE(std::wstring::npos, Boxes().back().text.find(r.says)) << dbtest::Narrow(Boxes().back().text);
    }
    EXPECT_EQ(1, Int(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE LEG = 'přijmout'"));
}

// Another program drops an attribute while the dialog shows it: OK says that the structure
// changed, in Czech, and stores nothing.
TEST_F(RecordDialog, AStructureChangedByAnotherProgramIsSaidAndNothingStored)
{
    ASSERT_NO_FATAL_FAILURE(PickItems());
    long long before = Records();
    DialogScript script;
    script.Then(kNewCaption, [&](HWND d) {
        Type(d, L"Datum nálezu", L"5.9.2014");
        EXPECT_TRUE(dbtest::Exec(path_, L"ALTER TABLE ZORNACOLLS DROP COLUMN DLOUHY"));
        EXPECT_TRUE(dbtest::Exec(path_, L"DELETE FROM CUSTOMATTRIBUTES WHERE FIELDNAME = 'DLOUHY'"));
        DialogScript::Click(d, IDOK);
        EXPECT_TRUE(IsWindow(d));
        DialogScript::PostClick(d, IDCANCEL);
    });
    ASSERT_TRUE(Command(IDM_NEWRECORD, script));
    EXPECT_EQ(before, Records());
    ASSERT_EQ(1u, Boxes().size());
    EXPECT_EQ(L"Strukturu databáze mezitím změnil jiný program (například DB Nástroje). Nic nebylo uloženo. "
              L"Zavřete databázi a otevřete ji znovu.", Boxes()[0].text);
}

// ---- bad input ----

TEST_F(RecordDialog, BadInputIsRefusedWithTheItemShownAndGoodInputStoredWhole)
{
    ASSERT_NO_FATAL_FAILURE(PickItems());
    long long before = Records();
    std::wstring note;
    for (int i = 0; i < 2400; i++)
        note += i % 10 == 9 ? L"řádek\r\n" : L"poznámka ";
    ASSERT_GT(note.size(), 20000u);
    DialogScript script;
    script.Then(kNewCaption, [&](HWND d) {
        HWND combo = GetDlgItem(d, IDC_REC_SPECIES);
        // Characters that mean something to a pattern are only characters of the name.
        for (const wchar_t* text : {L"'", L"*", L"%", L"_", L"["}) {
            TypeName(d, IDC_REC_SPECIES, text);
            EXPECT_EQ(0, SendMessageW(combo, CB_GETCOUNT, 0, 0)) << dbtest::Narrow(text);
        }
        TypeName(d, IDC_REC_SPECIES, L"Car");
        ChooseId(d, IDC_REC_SPECIES, species_);

        Type(d, L"Datum nálezu", L"31.2.2010");
        Type(d, L"Přesnost lokalizace (m)", L"1\u00A0234,5");
        SendMessageW(Box(d), PBXM_ENDEDIT, 1, 0);
        DialogScript::Click(d, IDOK);
        EXPECT_EQ(ItemOf(d, L"Datum nálezu"), CurrentItem(d));

        Type(d, L"Datum nálezu", L"28.2.2010");
        Type(d, L"Počet exemplářů", L"123456789012345");
        SendMessageW(Box(d), PBXM_ENDEDIT, 1, 0);
        // The grid keeps what it could not read, and the dialog refuses it.
        EXPECT_EQ(L"123456789012345", ValueText(d, L"Počet exemplářů"));
        DialogScript::Click(d, IDOK);
        EXPECT_EQ(ItemOf(d, L"Počet exemplářů"), CurrentItem(d));

        Type(d, L"Počet exemplářů", L"3");
        SetDlgItemTextW(d, IDC_REC_NOTE, note.c_str());
        DialogScript::PostClick(d, IDOK);
    });
    ASSERT_TRUE(Command(IDM_NEWRECORD, script));
    ASSERT_EQ(before + 1, Records());
    ASSERT_EQ(2u, Boxes().size());
    EXPECT_EQ(kNoSuchDate, Boxes()[0].text);
    EXPECT_EQ(L"Hodnota musí být celé číslo v rozmezí -2147483648 až 2147483647: Počet exemplářů", Boxes()[1].text);
    std::wstring id = std::to_wstring(LastId());
    EXPECT_EQ(3, Int(L"SELECT POCET FROM ZORNACOLLS WHERE ID = " + id));
    EXPECT_EQ(12345, Int(L"SELECT CAST(PRESNOST * 10 AS INTEGER) FROM ZORNACOLLS WHERE ID = " + id));
    EXPECT_EQ((long long)note.size(), Int(L"SELECT LENGTH(RECNOTE) FROM ZORNACOLLS WHERE ID = " + id));
    EXPECT_EQ((long long)zor::OleDateOf(2010, 2, 28),
              Int(L"SELECT CAST(DATUM AS INTEGER) FROM ZORNACOLLS WHERE ID = " + id));
}

// ---- editing ----

TEST_F(RecordDialog, EditOnTheSearchTabTakesTheFirstSelectedRowAndHidesNext)
{
    int first = (int)Int(L"SELECT MIN(ID) FROM ZORNACOLLS");
    int second = (int)Int(L"SELECT MIN(ID) FROM ZORNACOLLS WHERE ID > " + std::to_wstring(first));
    int third = (int)Int(L"SELECT MIN(ID) FROM ZORNACOLLS WHERE ID > " + std::to_wstring(second));
    std::wstring where = L"T1.ID IN (" + std::to_wstring(first) + L", " + std::to_wstring(second) +
                         L", " + std::to_wstring(third) + L")";
    ws_->RunSearch(wnd_, where.c_str(), 1);
    ShowTab(TAB_SEARCH);
    HWND list = ws_->GetSearchList();
    ASSERT_EQ(3, SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, 1, (LPARAM)&state);
    SendMessageW(list, LVM_SETITEMSTATE, 2, (LPARAM)&state);
    int expected = ws_->GetSearchRowId(1);
    ASSERT_GT(expected, 0);
    int sysId = (int)Int(L"SELECT SYSID FROM ZORNACOLLS WHERE ID = " + std::to_wstring(expected));
    DialogScript script;
    script.Then(kEditCaption, [&](HWND d) {
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(d, IDC_REC_NEXT)));
        EXPECT_EQ(sysId, SelectedData(d, IDC_REC_SPECIES));
        wintest::SaveScreenshot(d, L"records_editrecord_edit");
        SetDlgItemTextW(d, IDC_REC_NOTE, L"opraveno");
        DialogScript::PostClick(d, IDOK);
    });
    ASSERT_TRUE(Command(IDM_EDITRECORD, script));
    EXPECT_EQ(L"opraveno", Text(L"SELECT RECNOTE FROM ZORNACOLLS WHERE ID = " + std::to_wstring(expected)));
    EXPECT_EQ(1, Int(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE RECNOTE = 'opraveno'"));
    EXPECT_EQ(sysId, Int(L"SELECT SYSID FROM ZORNACOLLS WHERE ID = " + std::to_wstring(expected)));
}

// Two localities with one label: the record's own and one listed before it.
TEST_F(RecordDialog, DeleteOnTheSearchTabAsksAndDeletesTheSelectedRows)
{
    int first = (int)Int(L"SELECT MIN(ID) FROM ZORNACOLLS");
    int second = (int)Int(L"SELECT MIN(ID) FROM ZORNACOLLS WHERE ID > " + std::to_wstring(first));
    std::wstring where = L"T1.ID IN (" + std::to_wstring(first) + L", " + std::to_wstring(second) + L")";
    ws_->RunSearch(wnd_, where.c_str(), 1);
    ShowTab(TAB_SEARCH);
    HWND list = ws_->GetSearchList();
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&state);
    long long before = Records();
    SendMessageW(wnd_, WM_COMMAND, IDM_DELETERECORDS, 0);
    ASSERT_EQ(1u, Boxes().size());
    EXPECT_EQ(L"Opravdu chcete smazat 2 záznamy?", Boxes()[0].text);
    EXPECT_EQ(before - 2, Records());
    EXPECT_EQ(0, SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

class SameLabelLocalities : public RecordDialog {
protected:
    void Prepare() override
    {
        record_ = (int)Int(L"SELECT MIN(ID) FROM ZORNACOLLS WHERE FTRID > (SELECT MIN(LOCID) FROM FEATURES)");
        own_ = (int)Int(L"SELECT FTRID FROM ZORNACOLLS WHERE ID = " + std::to_wstring(record_));
        other_ = (int)Int(L"SELECT MIN(LOCID) FROM FEATURES");
        ASSERT_LT(other_, own_);
        ASSERT_TRUE(dbtest::Exec(path_, L"UPDATE FEATURES SET NAME = 'Dvojí lokalita' WHERE LOCID IN (" +
                                            std::to_wstring(own_) + L", " + std::to_wstring(other_) + L")"));
    }
    int record_ = 0, own_ = 0, other_ = 0;
};

TEST_F(SameLabelLocalities, KeepTheEditedRecordsLocality)
{
    std::wstring where = L"T1.ID = " + std::to_wstring(record_);
    ws_->RunSearch(wnd_, where.c_str(), 1);
    ShowTab(TAB_SEARCH);
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    SendMessageW(ws_->GetSearchList(), LVM_SETITEMSTATE, 0, (LPARAM)&state);
    DialogScript script;
    script.Then(kEditCaption, [&](HWND d) {
        HWND combo = GetDlgItem(d, IDC_REC_LOCALITY);
        EXPECT_EQ(L"Dvojí lokalita", wintest::WindowText(combo));
        EXPECT_EQ(own_, SelectedData(d, IDC_REC_LOCALITY));
        // Both are offered.
        EXPECT_GE(SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);
        DialogScript::PostClick(d, IDOK);
    });
    ASSERT_TRUE(Command(IDM_EDITRECORD, script));
    EXPECT_EQ(own_, Int(L"SELECT FTRID FROM ZORNACOLLS WHERE ID = " + std::to_wstring(record_)));
}

// ---- the long-text dialog ----

TEST_F(RecordDialog, AConfirmedEmptyLongTextIsNullAndStornoKeepsTheText)
{
    ASSERT_NO_FATAL_FAILURE(PickItems());
    int item = -1;
    auto pressEllipsis = [&](HWND d) {
        // What the grid sends when the ellipsis of a long-text item is released.
        HWND box = Box(d);
        wchar_t name[] = L"Dlouhý text";
        PropBoxNotify n = {};
        n.hdr.hwndFrom = box;
        n.hdr.idFrom = IDC_REC_ATTRS;
        n.hdr.code = PBXN_BUTTONCLICK;
        n.item = item;
        n.text = name;
        SendMessageW(d, WM_NOTIFY, IDC_REC_ATTRS, (LPARAM)&n);
    };
    DialogScript script;
    script.Then(kNewCaption, [&](HWND d) {
        item = ItemOf(d, L"Dlouhý text");
        ASSERT_GE(item, 0);
        Type(d, L"Datum nálezu", L"5.9.2014");
        SendMessageW(Box(d), PBXM_ENDEDIT, 1, 0);
        SetValueText(d, L"Dlouhý text", L"původní text");
        pressEllipsis(d);  // Storno
        EXPECT_EQ(L"původní text", ValueText(d, L"Dlouhý text"));
        pressEllipsis(d);  // emptied and confirmed
        EXPECT_EQ(L"<NULL>", ValueText(d, L"Dlouhý text"));
        DialogScript::PostClick(d, IDOK);
    });
    script.Then(kMemoCaption, [&](HWND m) {
        EXPECT_EQ(L"původní text", wintest::WindowText(GetDlgItem(m, IDC_MEMO_TEXT)));
        wintest::SaveScreenshot(m, L"records_editmemodlg");
        SetDlgItemTextW(m, IDC_MEMO_TEXT, L"zahozená změna");
        DialogScript::PostClick(m, IDCANCEL);
    });
    script.Then(kMemoCaption, [&](HWND m) {
        SetDlgItemTextW(m, IDC_MEMO_TEXT, L"");
        DialogScript::PostClick(m, IDOK);
    });
    long long before = Records();
    ASSERT_TRUE(Command(IDM_NEWRECORD, script));
    ASSERT_EQ(before + 1, Records());
    EXPECT_EQ(1, Int(L"SELECT DLOUHY IS NULL FROM ZORNACOLLS WHERE ID = " + std::to_wstring(LastId())));
}

// ---- the grid's lookup lists ----

TEST_F(RecordDialog, TheGridsListsComeFromTheLookupTablesOfLookupAttributesOnly)
{
    ASSERT_NO_FATAL_FAILURE(PickItems());
    long long methods = Int(L"SELECT COUNT(*) FROM ZOR_METODA");
    std::wstring firstMethod = Text(L"SELECT NAME FROM ZOR_METODA ORDER BY NAME LIMIT 1");
    DialogScript script;
    script.Then(kNewCaption, [&](HWND d) {
        auto ask = [&](const wchar_t* caption, UINT code, int row, wchar_t* text, int capacity) {
            ComboItemRequest r = {};
            r.hdr.hwndFrom = Box(d);
            r.hdr.idFrom = IDC_REC_ATTRS;
            r.hdr.code = code;
            r.item = row;
            r.reserved = ItemOf(d, caption);
            r.count = capacity;
            r.text = text;
            SendMessageW(d, WM_NOTIFY, IDC_REC_ATTRS, (LPARAM)&r);
            return r;
        };
        int cacheBefore = form_->Database->LookupCache->GetCount();
        EXPECT_EQ(methods, ask(L"Metoda sběru", PBXN_GETLISTCOUNT, 0, nullptr, 0).data);
        wchar_t text[64] = L"";
        ask(L"Metoda sběru", ICBN_GETTEXT, 0, text, 64);
        EXPECT_EQ(firstMethod, text);
        EXPECT_EQ((int)firstMethod.size(), ask(L"Metoda sběru", ICBN_GETTEXTLENGTH, 0, nullptr, 0).count);
        ComboItemRequest found = ask(L"Metoda sběru", ICBN_FINDSTRING, -1, (wchar_t*)firstMethod.c_str(), 0);
        EXPECT_EQ(0, found.item);
        EXPECT_EQ((int)firstMethod.size(), found.count);
        // A text attribute has no list and opens no lookup table.
        int cacheWithMethods = form_->Database->LookupCache->GetCount();
        EXPECT_LE(cacheWithMethods, cacheBefore + 1);
        EXPECT_EQ(0, ask(L"Sběratel (leg.)", PBXN_GETLISTCOUNT, 0, nullptr, 0).data);
        EXPECT_EQ(cacheWithMethods, form_->Database->LookupCache->GetCount());
        DialogScript::PostClick(d, IDCANCEL);
    });
    ASSERT_TRUE(Command(IDM_NEWRECORD, script));
}

// ---- the keyboard ----

// Keys pressed as the user presses them, taken through the dialog's keyboard handling as in its
// own loop. Characters go as typed text.
void PumpDialog(HWND d, DWORD ms = 150)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(5)) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            if (!IsDialogMessageW(d, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
    }
}

void PressKey(HWND d, WORD vk, bool shift = false)
{
    std::vector<INPUT> in;
    auto key = [&](WORD code, bool up) {
        INPUT i = {};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = code;
        i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        in.push_back(i);
    };
    if (shift)
        key(VK_SHIFT, false);
    key(vk, false);
    key(vk, true);
    if (shift)
        key(VK_SHIFT, true);
    SendInput((UINT)in.size(), in.data(), sizeof(INPUT));
    PumpDialog(d);
}

void TypeChars(HWND d, const wchar_t* text)
{
    std::vector<INPUT> in;
    for (const wchar_t* c = text; *c; ++c) {
        for (DWORD flags : {(DWORD)KEYEVENTF_UNICODE, (DWORD)(KEYEVENTF_UNICODE | KEYEVENTF_KEYUP)}) {
            INPUT i = {};
            i.type = INPUT_KEYBOARD;
            i.ki.wScan = *c;
            i.ki.dwFlags = flags;
            in.push_back(i);
        }
    }
    SendInput((UINT)in.size(), in.data(), sizeof(INPUT));
    PumpDialog(d);
}

// The grid's in-place editor that is shown (null when none).
HWND ShownEditor(HWND box)
{
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (IsWindowVisible(child))
            return child;
    return nullptr;
}

// The text of the row a list editor's dropped list highlights; empty when none is.
std::wstring HighlightedEntry(HWND editor)
{
    HWND list = (HWND)GetWindowLongPtrW(editor, 0);
    if (!list || !IsWindowVisible(list))
        return L"";
    int row = (int)SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (row < 0)
        return L"";
    wchar_t text[128] = L"";
    SendMessageW(list, LB_GETTEXT, (WPARAM)row, (LPARAM)text);
    return text;
}

TEST_F(RecordDialog, TabWalksThroughEveryGridRowThenOutAndShiftTabComesBack)
{
    ASSERT_NO_FATAL_FAILURE(PickItems());
    DialogScript script;
    script.Then(kNewCaption, [&](HWND d) {
        HWND box = Box(d);
        SetForegroundWindow(d);
        wintest::SendMouse({0, 0}, 0);  // the pointer off the lists the editors drop
        const int rows = (int)SendMessageW(box, PBXM_GETCOUNT, (WPARAM)-1, 0);
        const int yesNo = ItemOf(d, L"Dokladový exemplář");
        const int longText = ItemOf(d, L"Dlouhý text");
        ASSERT_GT(rows, 7);
        // Shift+Tab into the fresh grid, from the control after it: its last row.
        SetFocus(GetDlgItem(d, IDC_REC_NOTE));
        PressKey(d, VK_TAB, true);
        EXPECT_EQ(rows - 1, CurrentItem(d)) << "Shift+Tab into a fresh grid";
        SetFocus(GetDlgItem(d, IDC_REC_LITERATURE));
        std::vector<int> reached;
        for (int step = 0; step <= rows && !HasFocus(d, IDC_REC_NOTE); step++) {
            PressKey(d, VK_TAB);
            HWND focus = GetFocus();
            if (focus != box && !IsChild(box, focus))
                continue;
            int item = CurrentItem(d);
            reached.push_back(item);
            // Each row is open for typing; the long text's row shows its button and keeps the keys.
            if (item != longText) {
                EXPECT_TRUE(ShownEditor(box) != nullptr && IsChild(box, focus)) << item;
            }
            if (item == yesNo)
                TypeChars(d, L"a");  // the yes/no row takes "Ano" from the keyboard
        }
        std::vector<int> all;
        for (int i = 0; i < rows; i++)
            all.push_back(i);
        EXPECT_EQ(all, reached);
        EXPECT_TRUE(HasFocus(d, IDC_REC_NOTE));
        VARIANT yes = Value(d, L"Dokladový exemplář");
        EXPECT_EQ(VT_BOOL, yes.vt);
        EXPECT_NE(0, yes.boolVal);
        PressKey(d, VK_TAB, true);
        EXPECT_EQ(rows - 1, CurrentItem(d));
        PressKey(d, VK_TAB, true);
        EXPECT_EQ(rows - 2, CurrentItem(d));
        EXPECT_TRUE(IsChild(box, GetFocus()));
        wintest::SaveScreenshot(d, L"records_grid_shift_tab");
        DialogScript::PostClick(d, IDCANCEL);
    });
    ASSERT_TRUE(Command(IDM_NEWRECORD, script));
}

TEST_F(RecordDialog, TypingOnAValueListRowOpensItAndEnterTakesTheEntryItHighlights)
{
    ASSERT_NO_FATAL_FAILURE(PickItems());
    long long methods = Int(L"SELECT COUNT(*) FROM ZOR_METODA");
    long long before = Records();
    DialogScript script;
    script.Then(kNewCaption, [&](HWND d) {
        HWND box = Box(d);
        SetForegroundWindow(d);
        wintest::SendMouse({0, 0}, 0);
        Type(d, L"Datum nálezu", L"7.7.2017");
        SendMessageW(box, PBXM_ENDEDIT, 1, 0);
        SendMessageW(box, PBXM_SELECTITEM, GridItem(ItemOf(d, L"Metoda sběru")), 0);
        SetFocus(box);
        ASSERT_TRUE(ShownEditor(box) == nullptr);
        TypeChars(d, L"p");
        HWND editor = ShownEditor(box);
        ASSERT_TRUE(editor != nullptr);
        EXPECT_EQ(L"p", wintest::WindowText(editor));
        TypeChars(d, L"ros");
        EXPECT_EQ(L"pros", wintest::WindowText(editor));
        EXPECT_EQ(L"prosev", HighlightedEntry(editor));
        wintest::SaveScreenshot(d, L"records_value_list_typeahead");
        PressKey(d, VK_RETURN);
        EXPECT_EQ(L"prosev", ValueText(d, L"Metoda sběru"));
        // A text that starts no entry stays as typed.
        SendMessageW(box, PBXM_SELECTITEM, GridItem(ItemOf(d, L"Metoda sběru")), 1);
        TypeChars(d, L"xq");
        EXPECT_EQ(L"", HighlightedEntry(ShownEditor(box)));
        PressKey(d, VK_ESCAPE);
        EXPECT_EQ(L"prosev", ValueText(d, L"Metoda sběru"));
        DialogScript::PostClick(d, IDOK);
    });
    ASSERT_TRUE(Command(IDM_NEWRECORD, script));
    ASSERT_EQ(before + 1, Records());
    EXPECT_EQ(L"prosev", Text(L"SELECT METODA FROM ZORNACOLLS WHERE ID = " + std::to_wstring(LastId())));
    EXPECT_EQ(methods, Int(L"SELECT COUNT(*) FROM ZOR_METODA"));
}

// ---- bounds ----

// The sample with an attribute of stored bounds, and the count without any.
std::wstring BoundsTemplate()
{
    return formhost::SampleWith(
        L"records_dialog_bounds", 3000,
        {L"ALTER TABLE ZORNACOLLS ADD [TEPLOTA] DOUBLE",
         L"INSERT INTO CUSTOMATTRIBUTES (TABLENAME, FIELDNAME, POSID, ATTRTYPE, ATTRSIZE, KEYFLAG, "
         L"TABNAME, CAPTION, MINVAL, MAXVAL) VALUES ('ZORNACOLLS', 'TEPLOTA', 100, 2, 0, 0, 'Sběr', "
         L"'Teplota', -30.5, 45)",
         L"UPDATE CUSTOMATTRIBUTES SET MINVAL = NULL, MAXVAL = NULL WHERE FIELDNAME = 'POCET'"});
}

class RecordBounds : public RecordDialog {
protected:
    std::wstring TemplatePath() override { return BoundsTemplate(); }
};

TEST_F(RecordBounds, AValueOutsideItsBoundsIsRefusedWithTheFieldAndTheBoundsNamed)
{
    ASSERT_NO_FATAL_FAILURE(PickItems());
    long long before = Records();
    const struct {
        const wchar_t* caption;
        const wchar_t* bad;
        const wchar_t* refusal;
        const wchar_t* good;  // the bound itself, taken
    } rows[] = {
        {L"Počet exemplářů", L"-5", L"Hodnota nesmí být menší než 0: Počet exemplářů", L"0"},
        {L"Teplota", L"50", L"Hodnota musí ležet v rozmezí -30,5 až 45: Teplota", L"45"},
        {L"Teplota", L"-31", L"Hodnota musí ležet v rozmezí -30,5 až 45: Teplota", L"-30,5"},
        {L"Přesnost lokalizace (m)", L"60000", L"Hodnota musí ležet v rozmezí 0 až 50000: Přesnost lokalizace (m)", L"50000"},
        // Dates that do not exist are never read as nearby ones; the unlikely are asked (and
        // the box's Ne keeps the dialog).
        {L"Datum nálezu", L"2020-13-01", kNoSuchDate, L"8.8.2018"},
        {L"Datum nálezu", L"31.2.2010", kNoSuchDate, L"8.8.2018"},
        {L"Datum nálezu", L"0.1.2020", kNoSuchDate, L"8.8.2018"},
        {L"Datum nálezu", L"31.12.2099",
         L"„Datum nálezu“: Datum je pozdější než dnešní den. Chcete hodnotu přesto uložit?", L"8.8.2018"},
        {L"Datum nálezu", L"1.1.1000",
         L"„Datum nálezu“: Datum je dřívější než rok 1758, počátek zoologické nomenklatury. Chcete hodnotu přesto uložit?",
         L"8.8.2018"},
        {L"Sběratel (leg.)", kLongLeg, L"Text je delší než 64 znaků, které pole pojme: Sběratel (leg.)", L"Novák"},
    };
    DialogScript script;
    script.Then(kNewCaption, [&](HWND d) {
        Type(d, L"Datum nálezu", L"8.8.2018");
        for (const auto& row : rows) {
            Type(d, row.caption, row.bad);
            SendMessageW(Box(d), PBXM_ENDEDIT, 1, 0);
            size_t shown = Boxes().size();
            DialogScript::Click(d, IDOK);
            ASSERT_TRUE(IsWindow(d));
            ASSERT_EQ(shown + 1, Boxes().size()) << dbtest::Narrow(row.bad);
            EXPECT_EQ(row.refusal, Boxes().back().text);
            EXPECT_EQ(ItemOf(d, row.caption), CurrentItem(d)) << dbtest::Narrow(row.bad);
            EXPECT_TRUE(IsChild(Box(d), GetFocus())) << dbtest::Narrow(row.bad);
            EXPECT_EQ(before, Records());
            Type(d, row.caption, row.good);
        }
        // The editor itself takes no more than the field holds.
        Type(d, L"Sběratel (leg.)", L"Novák");
        EXPECT_EQ(64, (int)SendMessageW(GetDlgItem(Box(d), PBX_EDITOR_TEXT), EM_GETLIMITTEXT, 0, 0));
        SendMessageW(Box(d), PBXM_ENDEDIT, 1, 0);
        DialogScript::PostClick(d, IDOK);
    });
    ASSERT_TRUE(Command(IDM_NEWRECORD, script));
    ASSERT_EQ(before + 1, Records());
    std::wstring id = std::to_wstring(LastId());
    EXPECT_EQ(L"Novák", Text(L"SELECT LEG FROM ZORNACOLLS WHERE ID = " + id));
    EXPECT_EQ((long long)zor::OleDateOf(2018, 8, 8), Int(L"SELECT CAST(DATUM AS INTEGER) FROM ZORNACOLLS WHERE ID = " + id));
    EXPECT_EQ(0, Int(L"SELECT POCET FROM ZORNACOLLS WHERE ID = " + id));
    EXPECT_EQ(L"-30.5", Text(L"SELECT TEPLOTA FROM ZORNACOLLS WHERE ID = " + id));
    EXPECT_EQ(50000, Int(L"SELECT CAST(PRESNOST AS INTEGER) FROM ZORNACOLLS WHERE ID = " + id));
}

// ---- a database error over the dialog ----

// Shows each box for real, owned as the program owns it, and presses its OK once it is up.
struct RealBoxes
{
    static inline HWND owner = nullptr;
    static inline int shown = 0;

    static BOOL CALLBACK FindBox(HWND wnd, LPARAM found)
    {
        wchar_t cls[16] = L"";
        GetClassNameW(wnd, cls, 16);
        if (wcscmp(cls, L"#32770") == 0 && IsWindowVisible(wnd) && GetWindow(wnd, GW_OWNER) == owner
            && GetDlgItem(wnd, 0xFFFF)) {
            *(HWND*)found = wnd;
            return FALSE;
        }
        return TRUE;
    }
    static void CALLBACK PressOk(HWND, UINT, UINT_PTR, DWORD)
    {
        HWND box = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), FindBox, (LPARAM)&box);
        if (box)
            PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    static int Hook(HWND hwnd, LPCWSTR text, LPCWSTR caption, UINT type)
    {
        owner = hwnd;
        shown++;
        UINT_PTR timer = SetTimer(nullptr, 0, 300, PressOk);
        int answer = MessageBoxW(hwnd, text, caption, type);
        KillTimer(nullptr, timer);
        return answer;
    }
};

TEST_F(RecordDialog, ADatabaseErrorBoxLeavesTheDialogInFrontAndTheMainWindowDisabled)
{
    ASSERT_NO_FATAL_FAILURE(PickItems());
    long long before = Records();
    DialogScript script;
    script.Then(kNewCaption, [&](HWND d) {
        SetForegroundWindow(d);
        Type(d, L"Datum nálezu", L"9.9.2019");
        DialogScript::Click(d, IDC_REC_NEXT);
        ASSERT_EQ(before + 1, Records());
        // The same species, locality and date again: the file refuses it.
        RealBoxes::shown = 0;
        MsgBoxHook previous = SetMsgBoxHook(RealBoxes::Hook);
        DialogScript::Click(d, IDOK);
        SetMsgBoxHook(previous);
        wintest::PumpMessages(100);
        ASSERT_GE(RealBoxes::shown, 1);
        EXPECT_EQ(d, RealBoxes::owner);
        EXPECT_TRUE(IsWindow(d));
        EXPECT_FALSE(IsWindowEnabled(wnd_));
        EXPECT_EQ(d, GetActiveWindow());
        wintest::SaveScreenshot(wnd_, L"records_error_box_closed_dialog_in_front");
        // Refused again while another program's window is active: the box still goes over the
        // dialog the disabled main window waits for.
        HWND other = CreateWindowExW(0, L"STATIC", L"Jiný program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 700, 0, 200,
                                     120, nullptr, nullptr, nullptr, nullptr);
        SetActiveWindow(other);
        ASSERT_EQ(other, GetActiveWindow());
        {
            wintest::MsgBoxRecorder boxes;
            DialogScript::Click(d, IDOK);
            ASSERT_GE(boxes.Boxes().size(), 1u);
            EXPECT_EQ(d, boxes.Boxes()[0].owner) << "a box placed while another window is active";
        }
        DestroyWindow(other);
        DialogScript::PostClick(d, IDCANCEL);
    });
    ASSERT_TRUE(Command(IDM_NEWRECORD, script));
    EXPECT_EQ(before + 1, Records());
}

}  // namespace
