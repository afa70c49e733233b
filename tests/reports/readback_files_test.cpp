// The files of the read-back check (export_readback.py): a generated database with Czech text,
// delimiters, quotes, line breaks, NULLs, dates, booleans and coordinates, and its search list
// exported as ANSI and Unicode text and as a workbook of two sheets, with a manifest of the list
// (its rows' ids in list order and its columns). Written only when ZOR_READBACK_DIR names the
// folder; the script reads the files with csv, sqlite3, xlrd and LibreOffice and removes them.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "core/database.h"
#include "reports/excelexport.h"
#include "reports/textexport.h"
#include "tests/core/dbfixture.h"
#include "tests/reports/exportlist.h"

namespace {

std::wstring ReadbackFolder()
{
    wchar_t folder[MAX_PATH] = L"";
    DWORD n = GetEnvironmentVariableW(L"ZOR_READBACK_DIR", folder, MAX_PATH);
    return n > 0 && n < MAX_PATH ? folder : L"";
}

std::string Utf8(const std::wstring& w)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), (int)w.size(), nullptr, 0, nullptr, nullptr);
    std::string s((size_t)n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), (int)w.size(), &s[0], n, nullptr, nullptr);
    return s;
}

std::string JsonText(const std::wstring& w)
{
    std::string out = "\"";
    for (char c : Utf8(w)) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// Runs an export's worker as Run does, on a clone of the list.
template <class Export>
bool Write(Export* e, zdata::Recordset* list, CObjArray* fields, const std::wstring& file)
{
    exporttest::ProgressRecorder progress;
    e->DispFields = fields;
    if (FAILED(list->Clone(&e->Rows)))
        return false;
    e->Rows->put_CacheSize(64);
    e->FileName = file.c_str();
    progress.run.Cancel = &e->StopFlag;
    e->Progress = &progress.run;
    e->WriteRows();
    e->Progress = nullptr;
    e->Rows->Release();
    e->Rows = nullptr;
    EXPECT_EQ(0, progress.failedFlag) << std::string(Utf8(progress.outcome.Message));
    return progress.done == 1 && progress.failedFlag == 0;
}

TEST(ReadbackFiles, WritesTheFilesOfTheReadbackCheck)
{
    std::wstring folder = ReadbackFolder();
    if (folder.empty())
        GTEST_SKIP() << "ZOR_READBACK_DIR is not set: export_readback.py runs this";
    std::wstring path = folder + L"\\ZorBase.mdb";
    zor::SampleDbOptions options;
    options.records = 400;
    std::wstring error;
    ASSERT_TRUE(zor::CreateSampleDatabase(path, options, &error)) << Utf8(error);
    // What a list must carry through every format: delimiters and quotes in names, line breaks
    // and a text longer than one record of a workbook, NULLs, times of day, dates before the
    // sheets' calendar starts, booleans both ways.
    const wchar_t* statements[] = {
        L"UPDATE ZORNACOLLS SET LEG = 'Novák; \"Jan\", ml.' WHERE ID % 7 = 1",
        L"UPDATE ZORNACOLLS SET DET = '\"Dvořák\"' WHERE ID % 11 = 2",
        L"UPDATE ZORNACOLLS SET LEG = NULL, POCET = NULL, DOKLAD = NULL, PRESNOST = NULL WHERE ID % 5 = 3",
        L"UPDATE ZORNACOLLS SET DATUM = DATUM + 0.3854166666666667 WHERE ID % 6 = 4",
        L"UPDATE ZORNACOLLS SET DATUM = 31.25 WHERE ID % 50 = 5",
        L"UPDATE ZORNACOLLS SET DATUM = NULL WHERE ID % 13 = 6",
        L"UPDATE ZORNACOLLS SET DOKLAD = 1 - (ID % 2) WHERE DOKLAD IS NOT NULL",
        L"UPDATE FEATURES SET POPIS = 'Louka;' || char(13, 10) || 'u \"potoka\"' || char(13, 10) || 'konec' "
        L"WHERE LOCID IN (SELECT FTRID FROM ZORNACOLLS WHERE ID % 9 = 0)",
        L"UPDATE FEATURES SET POPIS = replace(hex(zeroblob(5000)), '00', 'Čá') "
        L"WHERE LOCID = (SELECT FTRID FROM ZORNACOLLS WHERE ID = 17)",
        L"UPDATE FEATURES SET LONGITUDE = NULL, ALTITUDE = NULL WHERE LOCID = (SELECT FTRID FROM ZORNACOLLS WHERE ID = 23)",
    };
    {
        zor::RawOdbc raw;
        ASSERT_TRUE(raw.Open(path, false));
        for (const wchar_t* sql : statements)
            ASSERT_TRUE(raw.Exec(sql)) << Utf8(sql) << " " << Utf8(raw.LastError());
    }

    HWND main = dbtest::MakeMainWindow();
    CDatabase* db = nullptr;
    ConnSettings settings = {};
    ASSERT_NO_FATAL_FAILURE(dbtest::OpenDatabase(main, path, &db, &settings));
    CObjArray fields(64, 16);
    db->BuildSearchListColumns(&fields);
    ListQuery all = {3, 0, nullptr, 0, 0, 0, nullptr};
    db->QueryAllRecords(256, &all);
    zdata::Recordset* list = db->GetListRecordset(2);
    ASSERT_TRUE(list != nullptr);

    CTextExport text(GetModuleHandleW(nullptr), nullptr);
    wcscpy(text.Delimiter, L";");
    text.Encoding = TEXTEXPORT_ANSI;
    EXPECT_TRUE(Write(&text, list, &fields, folder + L"\\ansi.txt"));
    wcscpy(text.Delimiter, L"\t");
    text.Encoding = TEXTEXPORT_UNICODE;
    EXPECT_TRUE(Write(&text, list, &fields, folder + L"\\unicode.txt"));
    CExcelExport excel(GetModuleHandleW(nullptr), nullptr);
    excel.SheetName = _wcsdup(L"Výběr");
    excel.FileExists = 0;
    EXPECT_TRUE(Write(&excel, list, &fields, folder + L"\\sesit.xls"));
    // The second sheet: the first half of the columns, added to the workbook.
    for (int i = fields.GetCount() / 2; i < fields.GetCount(); ++i)
        static_cast<CDispField*>(fields.GetItems()[i])->Visible = 0;
    free(excel.SheetName);
    excel.SheetName = _wcsdup(L"Druhý");
    excel.FileExists = 1;
    excel.Append = 1;
    EXPECT_TRUE(Write(&excel, list, &fields, folder + L"\\sesit.xls"));
    for (int i = 0; i < fields.GetCount(); ++i)
        static_cast<CDispField*>(fields.GetItems()[i])->Visible = 1;

    // The manifest: the rows' ids in list order and the columns with the view's ordinals.
    std::string json = "{\n  \"ids\": [";
    zdata::Fields* fs = nullptr;
    list->get_Fields(&fs);
    zdata::Field* id = nullptr;
    fs->Item(0L, &id);
    for (list->MoveFirst(); !list->IsEOF(); list->MoveNext()) {
        VARIANT v;
        VariantInit(&v);
        id->get_Value(&v);
        json += (json.back() == '[' ? "" : ",") + std::to_string(v.lVal);
    }
    id->Release();
    fs->Release();
    json += "],\n  \"columns\": [\n";
    for (int i = 0; i < fields.GetCount(); ++i) {
        CDispField* d = static_cast<CDispField*>(fields.GetItems()[i]);
        CFieldInfo* info = static_cast<CFieldInfo*>(d->Field);
        json += std::string(i ? ",\n" : "") + "    {\"caption\": " + JsonText(d->DispName) +
                ", \"ordinal\": " + std::to_string(info->ColumnOrdinal) +
                ", \"degrees\": " + (d->ValueFormatter == FormatDegMinSec ? "true" : "false") +
                ", \"whole\": " + (d->ValueFormatter == FormatWholeNumber ? "true" : "false") + "}";
    }
    json += "\n  ],\n  \"second_sheet_columns\": " + std::to_string(fields.GetCount() / 2) + "\n}\n";
    HANDLE f = CreateFileW((folder + L"\\manifest.json").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD done = 0;
    WriteFile(f, json.data(), (DWORD)json.size(), &done, nullptr);
    CloseHandle(f);
    for (int i = 0; i < fields.GetCount(); ++i)
        delete static_cast<CDispField*>(fields.GetItems()[i])->Field;
    fields.RemoveAll(1);
    dbtest::CloseDatabase(&main, &db, &settings);
}

}  // namespace
