// The print form on the program's own main form with a generated sample: opening its report on
// a record tab, reading its lists and its text, choosing its columns, saving, the rows the file
// holds as the report should show them, and the host's programs that read what was printed.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <oleauto.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "common/filechooser.h"
#include "common/printing.h"
#include "core/containers.h"
#include "core/fields.h"
#include "core/xmlaccess.h"
#include "mainapp/configdata.h"
#include "mainapp/dbopen.h"
#include "reports/printform.h"
#include "resources/zorna/resource.h"
#include "tests/mainapp/formhost.h"
#include "tests/reports/reportfixture.h"

namespace printhost {

using reporttest::Utf8;

// A collector's name with the characters a report must carry through: Czech letters, letters no
// Czech code page has, RTF's own marks.
const wchar_t kOddLeg[] = L"Ørsted {α} \\ ř";

inline std::wstring PrintTemplate()
{
    return formhost::SampleWith(
        L"print_form_template", 600,
        {std::wstring(L"UPDATE ZORNACOLLS SET LEG = '") + kOddLeg + L"' WHERE ID = (SELECT MIN(ID) FROM ZORNACOLLS)"});
}

// A row of one of the form's check lists.
struct Row
{
    std::wstring text;
    bool checked;
    PrintField* entry;
};

// The search description the main form gives while a test runs (it has none of its own yet).
inline std::string& Criteria()
{
    static std::string text;
    return text;
}

inline WNDPROC& MainProcBefore()
{
    static WNDPROC proc = nullptr;
    return proc;
}

inline LRESULT CALLBACK MainWithCriteria(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == ZM_GET_CRITERIA_TEXT && !Criteria().empty()) {
        if (char** out = reinterpret_cast<char**>(lParam))
            *out = _strdup(Criteria().c_str());
        return TRUE;
    }
    return CallWindowProcW(MainProcBefore(), hwnd, msg, wParam, lParam);
}

// The host's path of a Windows path (under Wine); empty elsewhere.
inline std::string HostPath(const std::wstring& path);

// Runs a command of the host system through its shell and waits up to two minutes for it to end
// (under Wine a Unix program can be started directly, but its process handle does not tell its
// end or exit code: the command leaves a mark when done, and callers check what it wrote).
inline bool RunHostShell(const std::string& command)
{
    wchar_t temp[MAX_PATH + 1] = L"";
    GetTempPathW(MAX_PATH + 1, temp);
    std::wstring mark = std::wstring(temp) + L"zor_host_done_" + std::to_wstring(GetCurrentProcessId());
    DeleteFileW(mark.c_str());
    std::string full = command + "; echo done > " + HostPath(mark);
    std::wstring line = L"/bin/sh -c \"" + std::wstring(full.begin(), full.end()) + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    bool done = wintest::PumpUntil([&] { return wintest::FileExists(mark); }, 120000);
    DeleteFileW(mark.c_str());
    return done;
}

inline std::string HostPath(const std::wstring& path)
{
    typedef char*(CDECL * ToUnix)(const wchar_t*);
    ToUnix toUnix = reinterpret_cast<ToUnix>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
    if (!toUnix)
        return "";
    char* unix = toUnix(path.c_str());
    std::string result = unix ? unix : "";
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

// Whether the host has the program (a file of that path).
inline bool HostHas(const wchar_t* unixPath)
{
    return wintest::FileExists(std::wstring(L"Z:") + unixPath);
}

// What LibreOffice, run headless, reads of a document as UTF-8 text; false when it cannot be run.
inline bool ReadWithLibreOffice(const std::wstring& document, std::wstring* text)
{
    std::string source = HostPath(document);
    if (source.empty() || !HostHas(L"/usr/bin/soffice"))
        return false;
    std::wstring folder = document.substr(0, document.find_last_of(L'\\'));
    std::string out = HostPath(folder);
    // A profile of its own, so that another LibreOffice of this user never gets in the way.
    std::string command = "HOME=" + out + " soffice --headless --norestore -env:UserInstallation=file://" + out +
                          "/lo_profile --convert-to 'txt:Text (encoded):UTF8' --outdir " + out + " " + source +
                          " >/dev/null 2>&1";
    if (!RunHostShell(command))
        return false;
    std::wstring txt = document.substr(0, document.find_last_of(L'.')) + L".txt";
    if (!wintest::FileExists(txt))
        return false;
    *text = wintest::ReadUtf8File(txt);
    if (!text->empty() && (*text)[0] == 0xFEFF)
        text->erase(0, 1);
    return true;
}

// Paragraphs as RichEdit gives them (CR) from lines, and a text without its trailing breaks.
inline std::wstring Trimmed(std::wstring text)
{
    for (wchar_t& c : text)
        if (c == L'\n')
            c = L'\r';
    while (!text.empty() && text.back() == L'\r')
        text.pop_back();
    return text;
}

inline std::wstring Joined(const std::vector<std::wstring>& lines)
{
    std::wstring text;
    for (size_t i = 0; i < lines.size(); i++)
        text += (i ? L"\r" : L"") + lines[i];
    return Trimmed(text);
}

// The text of a date column as the report writes it.
inline std::wstring DateText(double date)
{
    SYSTEMTIME st = {};
    VariantTimeToSystemTime(date, &st);
    wchar_t buffer[128] = L"";
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buffer, 128);
    std::wstring text = buffer;
    if (date != (double)(long long)date) {
        GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, buffer, 128);
        text += L" " + std::wstring(buffer);
    }
    return text;
}

class PrintFormWindow : public formhost::FormOnDatabase {
protected:
    std::wstring TemplatePath() override { return PrintTemplate(); }

    void SetUp() override
    {
        FormOnDatabase::SetUp();
        if (wnd_)
            MainProcBefore() = (WNDPROC)SetWindowLongPtrW(wnd_, GWLP_WNDPROC, (LONG_PTR)MainWithCriteria);
    }
    void TearDown() override
    {
        Criteria().clear();
        if (wnd_ && MainProcBefore())
            SetWindowLongPtrW(wnd_, GWLP_WNDPROC, (LONG_PTR)MainProcBefore());
        SetPrintDialog(nullptr);
        SetPageSetupDialog(nullptr);
        SetSaveFileChooser(nullptr);
        SetPrintOutputFile(nullptr);
        FormOnDatabase::TearDown();
    }

    CPrintForm* Form() { return ws_->ReportForm; }
    CObjArray* FieldsOfTab(int tab)
    {
        ConfigData* c = form_->Config;
        return tab == TAB_SYSTEM ? c->SysFields : tab == TAB_LOCALITIES ? c->LocFields : c->SearchFields;
    }
    // The report has been streamed whole (the last run's thread has reported its end).
    bool Ready()
    {
        return wintest::PumpUntil([&] { return Form()->Window && !Form()->ReportThread; }, 120000);
    }
    void OpenReport(int tab, WORD command = IDM_PRINT)
    {
        ShowTab(tab);
        SendMessageW(wnd_, WM_COMMAND, MAKEWPARAM(command, 0), 0);
        ASSERT_TRUE(Form()->Window != nullptr);
        ASSERT_TRUE(Ready());
    }
    void CloseReport()
    {
        wintest::DialogScript::Click(Form()->Window, IDCANCEL);
        wintest::PumpMessages();
    }
    // A column seen before: its stored choices.
    void Stored(const wchar_t* name, BYTE visible, BYTE abbrev)
    {
        PrintField* entry = static_cast<PrintField*>(calloc(1, sizeof(PrintField)));
        lstrcpynW(entry->FieldName, name, 65);
        entry->Visible = visible;
        entry->Abbrev = abbrev;
        Form()->Fields->Add(entry);
    }
    std::vector<Row> Rows(int listId)
    {
        HWND list = Form()->Control(listId);
        std::vector<Row> rows;
        int count = (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
        for (int i = 0; i < count; i++) {
            wchar_t text[128] = L"";
            LVITEMW item = {};
            item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
            item.stateMask = LVIS_STATEIMAGEMASK;
            item.iItem = i;
            item.pszText = text;
            item.cchTextMax = 128;
            SendMessageW(list, LVM_GETITEMW, 0, (LPARAM)&item);
            rows.push_back({text, ((item.state & LVIS_STATEIMAGEMASK) >> 12) == 2,
                            reinterpret_cast<PrintField*>(item.lParam)});
        }
        return rows;
    }
    // A row's check box set as a click sets it.
    void Check(int listId, int row, bool on)
    {
        LVITEMW state = {};
        state.stateMask = LVIS_STATEIMAGEMASK;
        state.state = INDEXTOSTATEIMAGEMASK(on ? 2 : 1);
        SendMessageW(Form()->Control(listId), LVM_SETITEMSTATE, row, (LPARAM)&state);
    }
    void Click(int id) { SendMessageW(Form()->Control(id), BM_CLICK, 0, 0); }
    // Shows exactly these columns (table, column), in the list's order.
    void ShowOnly(const std::vector<std::pair<std::wstring, std::wstring>>& wanted)
    {
        std::vector<Row> rows = Rows(IDC_PRINT_COLUMNS);
        size_t found = 0;
        for (size_t i = 0; i < rows.size(); i++) {
            CFieldBase* base = rows[i].entry->DispField ? rows[i].entry->DispField->Field : nullptr;
            bool want = false;
            for (const auto& w : wanted) {
                want = want || (base && base->Kind == FIELD_DATABASE &&
                                w.first == static_cast<CFieldInfo*>(base)->TableName && w.second == base->Field);
            }
            found += want ? 1 : 0;
            if (want != rows[i].checked)
                Check(IDC_PRINT_COLUMNS, (int)i, want);
        }
        EXPECT_EQ(wanted.size(), found);
    }
    // The view's text with its lines ended by CR, as the rich-text control gives a document's
    // paragraphs.
    std::wstring Shown()
    {
        HWND view = GetDlgItem(Form()->Window, IDC_PRINT_TEXT);
        std::wstring text((size_t)GetWindowTextLengthW(view) + 1, L'\0');
        text.resize((size_t)GetWindowTextW(view, &text[0], (int)text.size()));
        std::wstring shown;
        for (size_t i = 0; i < text.size(); i++) {
            if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
                i++;
            shown.push_back(text[i] == L'\n' ? L'\r' : text[i]);
        }
        return shown;
    }

    HWND View() { return GetDlgItem(Form()->Window, IDC_PRINT_TEXT); }
    int LineCount() { return (int)SendMessageW(View(), EM_GETLINECOUNT, 0, 0); }
    std::wstring Line(int index)
    {
        std::vector<wchar_t> buffer(4096);
        *reinterpret_cast<WORD*>(buffer.data()) = (WORD)(buffer.size() - 1);
        LRESULT n = SendMessageW(View(), EM_GETLINE, (WPARAM)index, (LPARAM)buffer.data());
        return std::wstring(buffer.data(), (size_t)(n > 0 ? n : 0));
    }
    // Keys pressed on the view as the user presses them, with Ctrl or Shift held.
    void Keys(std::initializer_list<UINT> keys, bool ctrl, bool shift)
    {
        BYTE state[256] = {}, before[256] = {};
        GetKeyboardState(before);
        memcpy(state, before, sizeof(state));
        state[VK_CONTROL] = ctrl ? 0x80 : 0;
        state[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(state);
        for (UINT key : keys)
            SendMessageW(View(), WM_KEYDOWN, key, 1);
        SetKeyboardState(before);
        wintest::PumpMessages(30);
    }
    std::wstring Clipboard()
    {
        std::wstring text;
        if (!OpenClipboard(nullptr))
            return text;
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            text = static_cast<const wchar_t*>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
        return text;
    }

    // Saves through the form's button into the file; the file's bytes.
    std::string SaveTo(const std::wstring& path)
    {
        static std::wstring target;
        target = path;
        SetSaveFileChooser([](OPENFILENAMEW* ofn) -> BOOL {
            lstrcpynW(ofn->lpstrFile, target.c_str(), (int)ofn->nMaxFile);
            return TRUE;
        });
        Click(IDC_PRINT_SAVE);
        SetSaveFileChooser(nullptr);
        return wintest::ReadFileBytes(path);
    }

    int BusiestSpecies()
    {
        return (int)Int(L"SELECT SYSID FROM ZORNACOLLS GROUP BY SYSID ORDER BY COUNT(*) DESC, SYSID LIMIT 1");
    }
    // A name as it comes through the main form's 8-bit answer.
    std::wstring SpeciesName(int species)
    {
        std::wstring name = Text(L"SELECT NAME FROM SPECIES WHERE SYSID = " + std::to_wstring(species));
        char bytes[kZmItemNameBytes] = "";
        WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, bytes, kZmItemNameBytes - 1, nullptr, nullptr);
        wchar_t back[kZmItemNameBytes] = L"";
        MultiByteToWideChar(CP_ACP, 0, bytes, -1, back, kZmItemNameBytes);
        return back;
    }
    // The record ids of a record list (ZmListKind) in the order it shows them, as the main window
    // gives them to the list.
    std::vector<int> ListIds(int kind, HWND list)
    {
        std::vector<int> ids;
        int count = (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
        for (int i = 0; i < count; i++) {
            NMLVDISPINFOW info = {};
            info.hdr.hwndFrom = list;
            info.hdr.idFrom = (UINT_PTR)GetDlgCtrlID(list);
            info.item.mask = LVIF_PARAM;
            info.item.iItem = i;
            SendMessageW(wnd_, ZM_GET_LIST_CELL_TEXT, (WPARAM)kind, (LPARAM)&info);
            ids.push_back((int)info.item.lParam);
        }
        return ids;
    }
    // The line a record should have in the report: the shown columns read with SQL.
    std::wstring RowFromFile(int id)
    {
        std::wstring select;
        std::vector<std::wstring> kinds;
        for (const Row& row : Rows(IDC_PRINT_COLUMNS)) {
            if (!row.checked || !row.entry->DispField)
                continue;
            CFieldInfo* info = static_cast<CFieldInfo*>(row.entry->DispField->Field);
            std::wstring table = info->TableName;
            std::wstring alias = table == L"FEATURES" ? L"F." : table == L"SPECIES" ? L"S." : L"Z.";
            select += (select.empty() ? L"" : L", ") + alias + info->Field;
            kinds.push_back(info->Field);
        }
        dbtest::Rows rows = dbtest::Query(path_, L"SELECT " + select + L" FROM ZORNACOLLS Z LEFT JOIN FEATURES F "
                                                   L"ON F.LOCID = Z.FTRID LEFT JOIN SPECIES S ON S.SYSID = Z.SYSID "
                                                   L"WHERE Z.ID = " + std::to_wstring(id));
        if (rows.empty())
            return L"<no record " + std::to_wstring(id) + L">";
        std::wstring line;
        for (size_t i = 0; i < kinds.size(); i++) {
            std::wstring value = rows[0][i];
            if (value == L"<NULL>")
                value.clear();
            else if (kinds[i] == L"DATUM")
                value = DateText(_wtof(value.c_str()));
            else if (kinds[i] == L"DOKLAD")
                value = _wtoi(value.c_str()) ? L"Ano" : L"Ne";
            line += (i ? L"; " : L"") + value;
        }
        return line;
    }
};

}  // namespace printhost
