// Deleting tree items, occurrence records and publications. Each delete runs in one
// transaction; the rows that hang on a deleted item or publication (its species or locality row,
// pictures, literature links) go with it through the file's cascades. An item that still has
// children or records is refused with a message that names it and says why.
#include "core/database.h"

#include <strsafe.h>

#include <string>

#include "core/containers.h"
#include "core/itemsave_rows.h"
#include "core/msgbox.h"

using namespace itemsave;

namespace {

struct DeleteKind
{
    const wchar_t* childrenSql;  // "%d" twice: the item (which the root row is its own child of)
    const wchar_t* recordsSql;
    const wchar_t* deleteSql;
    const wchar_t* nameSql;
};

const DeleteKind kTaxonDelete = {
    L"SELECT COUNT(*) FROM SYSTREE WHERE PARENT = %d AND ID <> %d",
    L"SELECT COUNT(*) FROM ZORNACOLLS WHERE SYSID = %d",
    L"DELETE FROM SYSTREE WHERE ID = %d",
    L"SELECT NAME FROM SYSTREE WHERE ID = %d",
};
const DeleteKind kLocalityDelete = {
    L"SELECT COUNT(*) FROM LOCTREE WHERE PARENT = %d AND ID <> %d",
    L"SELECT COUNT(*) FROM ZORNACOLLS WHERE FTRID = %d",
    L"DELETE FROM LOCTREE WHERE ID = %d",
    L"SELECT NAME FROM LOCTREE WHERE ID = %d",
};

// The count a "SELECT COUNT(*) ..." answers; -1 when it cannot be read.
int CountOf(CDatabase* db, const wchar_t* sql)
{
    RsHolder rs(OpenForRead(db, sql));
    if (!HasRow(rs.get()))
        return -1;
    FieldsRef f(rs.get());
    return GetInt(f.get(), 0);
}

// Why the item cannot go: IDS_DB_ITEM_HAS_CHILDREN or IDS_DB_ITEM_HAS_RECORDS, -1 when the
// counts cannot be read, 0 when it may go.
int DeleteRefusal(CDatabase* db, int id, const DeleteKind& kind)
{
    wchar_t sql[96];
    StringCchPrintfW(sql, 96, kind.childrenSql, id, id);
    int children = CountOf(db, sql);
    StringCchPrintfW(sql, 96, kind.recordsSql, id);
    int records = children == 0 ? CountOf(db, sql) : 0;
    if (children < 0 || records < 0)
        return -1;
    return children > 0 ? IDS_DB_ITEM_HAS_CHILDREN : (records > 0 ? IDS_DB_ITEM_HAS_RECORDS : 0);
}

// Says why, naming the item, over the window the user works in.
void ShowDeleteRefusal(CDatabase* db, int id, const DeleteKind& kind, int refusal)
{
    if (refusal < 0) {
        db->ReportAdoErrors();
        return;
    }
    wchar_t sql[96], name[80] = L"", format[256] = L"", text[384] = L"", caption[64] = L"";
    StringCchPrintfW(sql, 96, kind.nameSql, id);
    RsHolder rs(OpenForRead(db, sql));
    if (HasRow(rs.get())) {
        FieldsRef f(rs.get());
        GetText(f.get(), 0, name, 80);
    }
    LoadStringW(db->Instance, (UINT)refusal, format, 256);
    LoadStringW(db->Instance, IDS_DB_ERROR_CAPTION, caption, 64);
    StringCchPrintfW(text, 384, format, name);
    ZorMessageBox(MessageOwner(db->MainWindow), text, caption, MB_ICONERROR);
}

int DeleteTreeItem(CDatabase* db, int id, const DeleteKind& kind, bool checkOnly)
{
    if (!db->IsOpen())
        return 0;
    if (checkOnly) {
        int refusal = DeleteRefusal(db, id, kind);
        if (refusal)
            ShowDeleteRefusal(db, id, kind, refusal);
        return refusal ? 0 : 1;
    }
    WriteTransaction tx(db);
    if (!tx.Begin())
        return 0;
    // Asked again inside the transaction: another program may have added to the item since.
    if (int refusal = DeleteRefusal(db, id, kind)) {
        tx.Rollback(false);  // nothing was written
        ShowDeleteRefusal(db, id, kind, refusal);
        return 0;
    }
    wchar_t sql[96];
    StringCchPrintfW(sql, 96, kind.deleteSql, id);
    if (FAILED(db->AdoConnection->Execute(sql, nullptr, adExecuteNoRecords))) {
        tx.Fail();
        return 0;
    }
    return tx.Commit() ? 1 : 0;
}

// "<column> = n" for one id of the range, "<column> IN (n, ...)" for more.
std::wstring IdCondition(const wchar_t* column, const CIntArray* ids, int first, int last)
{
    std::wstring list = IdListText(ids->GetItems(), first, last);
    return std::wstring(L" WHERE ") + column + (last - first == 1 ? L" = " + list : L" IN (" + list + L")");
}

// What refers to the rows a delete would take: "SELECT COUNT(*) FROM <table>" and the column
// that holds their ids; the rows are refused with the message when the count is not 0.
struct DeleteGuard
{
    const wchar_t* countSql;
    const wchar_t* column;
    UINT message;
};

// Deletes the rows of the ids in one transaction; a long list goes in several statements,
// since one statement naming every id would pass the file's statement length. With a guard,
// nothing is deleted while something still refers to one of the rows.
bool DeleteByIds(CDatabase* db, const wchar_t* table, const CIntArray* ids,
                 const DeleteGuard* guard = nullptr)
{
    if (!ids || ids->GetCount() < 1 || !db->IsOpen())
        return false;
    WriteTransaction tx(db);
    if (!tx.Begin())
        return false;
    int count = ids->GetCount();
    for (int first = 0; guard && first < count; first += kIdsPerStatement) {
        int last = first + kIdsPerStatement < count ? first + kIdsPerStatement : count;
        int users = CountOf(db, (guard->countSql + IdCondition(guard->column, ids, first, last)).c_str());
        if (users != 0) {
            tx.Rollback(false);  // nothing was written
            if (users < 0)
                db->ReportAdoErrors();
            else
                ZorMessageBoxRes(MessageOwner(db->MainWindow), db->Instance, guard->message,
                                 IDS_DB_ERROR_CAPTION, MB_ICONERROR);
            return false;
        }
    }
    for (int first = 0; first < count; first += kIdsPerStatement) {
        int last = first + kIdsPerStatement < count ? first + kIdsPerStatement : count;
        std::wstring sql = std::wstring(L"DELETE FROM ") + table + IdCondition(L"ID", ids, first, last);
        if (FAILED(db->AdoConnection->Execute(sql.c_str(), nullptr, adExecuteNoRecords))) {
            tx.Fail();
            return false;
        }
    }
    return tx.Commit();
}

}  // namespace

int CDatabase::DeleteSysItem(int id, bool checkOnly)
{
    if (checkOnly)
        return DeleteTreeItem(this, id, kTaxonDelete, true);
    if (!DeleteTreeItem(this, id, kTaxonDelete, false))
        return 0;
    RequeryIfOpen({SysTreeRs, TaxonRecordsRs, SearchRecordsRs, SpeciesNamesRs});
    return 1;
}

int CDatabase::DeleteLocItem(int id, bool checkOnly)
{
    if (checkOnly)
        return DeleteTreeItem(this, id, kLocalityDelete, true);
    if (!DeleteTreeItem(this, id, kLocalityDelete, false))
        return 0;
    RequeryIfOpen({LocTreeRs, LocalityRecordsRs, SearchRecordsRs, FeatureNamesRs});
    return 1;
}

int CDatabase::DeleteRecords(const CIntArray* ids)
{
    if (!DeleteByIds(this, L"ZORNACOLLS", ids))
        return 0;
    RequeryIfOpen({TaxonRecordsRs, LocalityRecordsRs, SearchRecordsRs});
    return 1;
}

int CDatabase::DeleteLiterature(const CIntArray* ids)
{
    // The publication's authors, keywords and taxon and locality links go with it. Records keep
    // their publication in a column without a key, so a cited publication is refused here.
    static const DeleteGuard cited = {L"SELECT COUNT(*) FROM ZORNACOLLS", L"LITID",
                                      IDS_DB_LIT_CITED_BY_RECORDS};
    if (!DeleteByIds(this, L"LITERATURE", ids, &cited))
        return 0;
    RequeryIfOpen(LiteratureNamesRs);
    LiteratureNamesStale = 0;
    return 1;
}
