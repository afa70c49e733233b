// Text export: the options dialog EXPTOTXT, the run under the progress dialog and the worker
// that writes the file.
#include "reports/textexport.h"

#include <strsafe.h>

#include <string>
#include <vector>

#include "core/longpath.h"
#include "core/msgbox.h"
#include "core/replacefile.h"
#include "dataaccess/ado.h"
#include "reports/exportcells.h"
#include "reports/exportprogress.h"
#include "reports/exportdialog.h"
#include "resources/zorna/export.h"
#include "workbook/sheetwriter.h"

namespace {

const UINT kIdsDelimiterTab = 309;    // "Tabulátor"
const UINT kIdsDelimiterSpace = 310;  // "Mezera"
const UINT kIdsAnsi = 311;
const UINT kIdsUnicode = 312;
const UINT kIdsInvalidValue = 511;    // "Vložená hodnota je neplatná"
const int kDelimiterChars = 15;

// ---- the options dialog ----

void InitTextOptions(HWND dlg, CTextExport* e)
{
    HWND delimiter = GetDlgItem(dlg, IDC_EXP_DELIMITER);
    wchar_t text[64];
    LoadStringW(e->Instance, kIdsDelimiterTab, text, 64);
    SendMessageW(delimiter, CB_ADDSTRING, 0, (LPARAM)text);
    LoadStringW(e->Instance, kIdsDelimiterSpace, text, 64);
    SendMessageW(delimiter, CB_ADDSTRING, 0, (LPARAM)text);
    SendMessageW(delimiter, CB_ADDSTRING, 0, (LPARAM)L";");
    SendMessageW(delimiter, CB_ADDSTRING, 0, (LPARAM)L",");
    SendMessageW(delimiter, CB_LIMITTEXT, kDelimiterChars, 0);
    if (wcscmp(e->Delimiter, L"\t") == 0)
        SendMessageW(delimiter, CB_SETCURSEL, 0, 0);
    else if (wcscmp(e->Delimiter, L" ") == 0)
        SendMessageW(delimiter, CB_SETCURSEL, 1, 0);
    else
        SetWindowTextW(delimiter, e->Delimiter);
    HWND encoding = GetDlgItem(dlg, IDC_EXP_ENCODING);
    LoadStringW(e->Instance, kIdsAnsi, text, 64);
    SendMessageW(encoding, CB_ADDSTRING, 0, (LPARAM)text);
    LoadStringW(e->Instance, kIdsUnicode, text, 64);
    SendMessageW(encoding, CB_ADDSTRING, 0, (LPARAM)text);
    SendMessageW(encoding, CB_SETCURSEL, e->Encoding != TEXTEXPORT_ANSI ? 1 : 0, 0);
    PlaceExportDialog(dlg, &e->Left, &e->Top);
}

// OK: an entry of the list gives its delimiter, anything else typed is the delimiter itself.
bool AcceptTextOptions(HWND dlg, CTextExport* e)
{
    HWND combo = GetDlgItem(dlg, IDC_EXP_DELIMITER);
    wchar_t typed[kDelimiterChars + 1] = L"";
    GetWindowTextW(combo, typed, kDelimiterChars + 1);
    LRESULT entry = SendMessageW(combo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)typed);
    const wchar_t* delimiter = entry >= 0 && entry < 4 ? kTextExportDelimiters[entry] : typed;
    if (!IsUsableDelimiter(delimiter)) {
        ZorMessageBoxRes(dlg, e->Instance, kIdsInvalidValue, IDS_EXPORT_ERROR_CAPTION, MB_OK | MB_ICONERROR);
        SetFocus(combo);
        return false;
    }
    StringCchCopyW(e->Delimiter, 16, delimiter);
    LRESULT encoding = SendDlgItemMessageW(dlg, IDC_EXP_ENCODING, CB_GETCURSEL, 0, 0);
    e->Encoding = encoding == 1 ? TEXTEXPORT_UNICODE : TEXTEXPORT_ANSI;
    return true;
}

// ---- the file ----

bool HasCombiningMarks(const std::wstring& text)
{
    for (wchar_t c : text)
        if (c >= 0x0300 && c <= 0x036F)
            return true;
    return false;
}

// Lines of the export in the file's encoding, written in large chunks.
class TextFileSink
{
public:
    TextFileSink(HANDLE file, int encoding) : file_(file), unicode_(encoding == TEXTEXPORT_UNICODE)
    {
        buffer_.reserve(kChunk + 4096);
    }
    void ByteOrderMark()
    {
        if (unicode_)
            buffer_.insert(buffer_.end(), {'\xFF', '\xFE'});
    }
    void Put(const std::wstring& text)
    {
        size_t at = buffer_.size();
        if (unicode_) {
            buffer_.resize(at + text.size() * sizeof(wchar_t));
            memcpy(buffer_.data() + at, text.data(), text.size() * sizeof(wchar_t));
        } else if (!text.empty()) {
            // Two bytes a character cover any code page; composing only makes text shorter, and
            // only text with combining marks has anything to compose.
            buffer_.resize(at + text.size() * 2);
            DWORD flags = HasCombiningMarks(text) ? WC_COMPOSITECHECK : 0;
            int n = WideCharToMultiByte(CP_ACP, flags, text.data(), (int)text.size(),
                                        buffer_.data() + at, (int)(text.size() * 2), nullptr, nullptr);
            buffer_.resize(at + (n > 0 ? (size_t)n : 0));
        }
        if (buffer_.size() >= kChunk)
            Flush();
    }
    void Flush()
    {
        SetLastError(0);
        if (!error_ && !buffer_.empty() && !WriteAll(file_, buffer_.data(), buffer_.size()))
            error_ = GetLastError() ? GetLastError() : ERROR_DISK_FULL;
        buffer_.clear();
    }
    DWORD Error() const { return error_; }

private:
    static const size_t kChunk = 256 * 1024;
    HANDLE file_;
    bool unicode_;
    std::vector<char> buffer_;
    DWORD error_ = 0;
};

DWORD WINAPI TextExportWorker(LPVOID param)
{
    static_cast<CTextExport*>(param)->WriteRows();
    return 0;
}

}  // namespace

void CTextExport::WriteRows()
{
    ExportReporter report(Progress);
    ExportOutcome outcome;
    Rows->MoveFirst();
    HRESULT openError = xls::CheckReplaceable(FileName);
    // The rows go to a file beside the target, which takes its place only when they were all
    // written (or the export was cancelled): a write that fails leaves the old file as it was.
    std::wstring temp;
    HANDLE file = INVALID_HANDLE_VALUE;
    if (SUCCEEDED(openError)) {
        DWORD error = 0;
        temp = CreateTempFileBeside(FileName, &error);
        if (!temp.empty())
            file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            openError = HRESULT_FROM_WIN32(error ? error : GetLastError());
            ReplaceWithTempFile(temp, FileName, ERROR_CANCELLED);  // removes the temporary file
        }
    }
    if (FAILED(openError)) {
        outcome.Failed = true;
        outcome.Message = ExportErrorText(Instance, IDS_EXP_WRITE_FAILED, FileName, openError);
        report.Finish(outcome);
        return;
    }
    TextFileSink sink(file, Encoding);
    sink.ByteOrderMark();
    ExportColumns columns;
    columns.Open(Rows, DispFields);
    HRESULT readError = S_OK;
    if (columns.Count() > 0) {
        std::wstring line, cell;
        for (size_t i = 0; i < columns.Count(); ++i) {
            if (i)
                line += Delimiter;
            AppendField(&line, columns[i].Caption, Delimiter);
        }
        line += L"\r\n";
        sink.Put(line);
        CellTexts texts(Instance);
        int done = 0;
        while (!Rows->IsEOF() && !report.Cancelled() && !sink.Error() && SUCCEEDED(readError)) {
            report.Rows(done);
            line.clear();
            for (size_t i = 0; i < columns.Count() && SUCCEEDED(readError); ++i) {
                if (i)
                    line += Delimiter;
                VARIANT value;
                readError = columns.Value(i, &value);
                texts.Text(columns[i], value, &cell);
                VariantClear(&value);
                AppendField(&line, cell, Delimiter);
            }
            line += L"\r\n";
            if (SUCCEEDED(readError)) {
                sink.Put(line);
                ++done;
                readError = Rows->MoveNext();
            }
        }
    }
    sink.Flush();
    DWORD writeError = sink.Error();
    if (!CloseHandle(file) && !writeError)
        writeError = GetLastError();
    DWORD replaced = ReplaceWithTempFile(temp, FileName, writeError ? writeError : FAILED(readError) ? ERROR_CANCELLED : 0);
    if (!writeError && SUCCEEDED(readError))
        writeError = replaced;
    if (writeError) {
        outcome.Failed = true;
        outcome.Message = ExportErrorText(Instance, IDS_EXP_WRITE_FAILED, FileName, HRESULT_FROM_WIN32(writeError));
    } else if (FAILED(readError)) {
        outcome.Failed = true;
        outcome.Message = ExportErrorText(Instance, IDS_EXP_LIST_FAILED, FileName, readError);
    }
    report.Finish(outcome);
}

void CTextExport::Run(zdata::Recordset* recordset, const wchar_t* fileName, CObjArray* dispFields)
{
    if (!recordset || !fileName)
        return;
    Recordset = recordset;
    DispFields = dispFields;
    DLGPROC options = ExportOptionsProc<CTextExport, InitTextOptions, AcceptTextOptions>;
    if (DialogBoxParamW(Instance, L"EXPTOTXT", Owner, options, (LPARAM)this) == IDOK &&
        StartExportRows(recordset, &Rows, &RowCount)) {
        FileName = fileName;
        RunExportOnWorker(this, TextExportWorker);
    }
    FileName = nullptr;
    ProgressDlg = nullptr;
    Recordset = nullptr;
}
