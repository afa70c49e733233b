#include "core/dbschema.h"

#include <sqlext.h>

#include "dataaccess/enclose.h"

namespace zor {

namespace {

// Column order is part of the file format: the programs read most columns by position, and
// user-defined columns are appended after the built-in ones (ALTER TABLE ... ADD).
// Name columns and text keys compare without ASCII case, as users expect of names.
// Booleans hold -1 (true) and 0; dates hold OLE automation dates as REAL.
const wchar_t kSchema[] = LR"SQL(
-- Levels of the systematic and the locality tree. LEVELID is not the rowid, so a renumbering
-- keeps the rows' identity; items follow a renumbered level through the cascade.
CREATE TABLE SYSDEF (
  LEVELID INTEGER NOT NULL UNIQUE,
  NAME VARCHAR(63) COLLATE NOCASE,
  DATALEVEL INTEGER NOT NULL DEFAULT 0,
  ICONLARGE BLOB,
  ICONSMALL BLOB,
  ICONSELECTED BLOB
);

CREATE TABLE LOCDEF (
  LEVELID INTEGER NOT NULL UNIQUE,
  NAME VARCHAR(63) COLLATE NOCASE,
  DATALEVEL INTEGER NOT NULL DEFAULT 0,
  ICONLARGE BLOB,
  ICONSMALL BLOB,
  ICONSELECTED BLOB
);

-- Items of the systematic tree; ids are given by the programs (largest + 1). An item with
-- children cannot be deleted.
CREATE TABLE SYSTREE (
  ID INTEGER PRIMARY KEY,
  PARENT INTEGER NOT NULL DEFAULT 0 REFERENCES SYSTREE(ID),
  SYSLEVEL INTEGER NOT NULL REFERENCES SYSDEF(LEVELID) ON UPDATE CASCADE,
  SYSPOS INTEGER,
  NAME VARCHAR(64) COLLATE NOCASE,
  ICONLARGE BLOB,
  ICONSMALL BLOB,
  ICONSELECTED BLOB
);
CREATE INDEX IX_SYSTREE_PARENT ON SYSTREE(PARENT, SYSPOS);

-- Items of the locality tree, listed by name among siblings. GEOMETRY holds the item's point
-- as well-known binary; user-defined columns follow it.
CREATE TABLE LOCTREE (
  ID INTEGER PRIMARY KEY,
  PARENT INTEGER NOT NULL DEFAULT 0 REFERENCES LOCTREE(ID),
  LOCLEVEL INTEGER NOT NULL REFERENCES LOCDEF(LEVELID) ON UPDATE CASCADE,
  NAME VARCHAR(64) COLLATE NOCASE,
  ABBREV VARCHAR(8),
  ICONLARGE BLOB,
  ICONSMALL BLOB,
  ICONSELECTED BLOB,
  GEOMETRY BLOB
);
CREATE INDEX IX_LOCTREE_PARENT ON LOCTREE(PARENT, NAME);

-- Value list of the species' describing authors; a duplicate is refused.
CREATE TABLE SYSAUTHORS (
  NAME VARCHAR(64) COLLATE NOCASE NOT NULL UNIQUE
);

-- One row for each item of a systematic data level.
CREATE TABLE SPECIES (
  NAME VARCHAR(63) COLLATE NOCASE,
  SYSID INTEGER NOT NULL UNIQUE REFERENCES SYSTREE(ID) ON DELETE CASCADE,
  ABSOLUTEPOS DOUBLE,
  AUTHOR VARCHAR(64) COLLATE NOCASE,
  PARENTHES BOOLEAN NOT NULL DEFAULT 0,
  IYEAR INTEGER
);
CREATE INDEX IX_SPECIES_NAME ON SPECIES(NAME);

-- One row for each item of a locality data level.
CREATE TABLE FEATURES (
  LOCID INTEGER NOT NULL UNIQUE REFERENCES LOCTREE(ID) ON DELETE CASCADE,
  NAME VARCHAR(62) COLLATE NOCASE,
  ABBREV VARCHAR(8),
  LONGITUDE DOUBLE,
  LATITUDE DOUBLE,
  ALTITUDE DOUBLE,
  SQUARE VARCHAR(8),
  LOCNOTE TEXT
);
CREATE INDEX IX_FEATURES_NAME ON FEATURES(NAME);

-- Pictures of tree items; the second column is the picture's position among the item's
-- pictures, the last a thumbnail the main program rebuilds for its information panel.
CREATE TABLE SYSIMAGES (
  SYSID INTEGER NOT NULL REFERENCES SYSTREE(ID) ON DELETE CASCADE,
  SYSLEVEL INTEGER NOT NULL,
  IMGNOTE TEXT,
  PICTURE BLOB,
  THUMBNAIL BLOB
);
CREATE INDEX IX_SYSIMAGES_SYSID ON SYSIMAGES(SYSID, SYSLEVEL);

CREATE TABLE LOCIMAGES (
  LOCID INTEGER NOT NULL REFERENCES LOCTREE(ID) ON DELETE CASCADE,
  LOCLEVEL INTEGER NOT NULL,
  IMGNOTE TEXT,
  PICTURE BLOB,
  THUMBNAIL BLOB
);
CREATE INDEX IX_LOCIMAGES_LOCID ON LOCIMAGES(LOCID, LOCLEVEL);

-- Name lists of the literature. Blank names are refused.
CREATE TABLE EDITORS (
  ID INTEGER PRIMARY KEY AUTOINCREMENT,
  NAME VARCHAR(128) COLLATE NOCASE NOT NULL CHECK (NAME <> ''),
  ABBREV VARCHAR(32),
  PLACE VARCHAR(64)
);

CREATE TABLE JOURNALS (
  ID INTEGER PRIMARY KEY AUTOINCREMENT,
  NAME VARCHAR(128) COLLATE NOCASE NOT NULL CHECK (NAME <> ''),
  ABBREV VARCHAR(64),
  EDITORID INTEGER
);

-- LITAUTHORS: the name as cited, the full name, the abbreviation.
CREATE TABLE LITAUTHORS (
  ID INTEGER PRIMARY KEY AUTOINCREMENT,
  NAME VARCHAR(64) COLLATE NOCASE NOT NULL CHECK (NAME <> ''),
  FULLNAME VARCHAR(64),
  ABBREV VARCHAR(32)
);

CREATE TABLE KEYWORDS (
  ID INTEGER PRIMARY KEY AUTOINCREMENT,
  NAME VARCHAR(64) COLLATE NOCASE NOT NULL CHECK (NAME <> '')
);

-- Publications. EDITOR, JOURNALID and FIRSTAUTHOR are NULL when there is none.
CREATE TABLE LITERATURE (
  ID INTEGER PRIMARY KEY AUTOINCREMENT,
  NAME VARCHAR(256) COLLATE NOCASE,
  ABBREV VARCHAR(64),
  EDITOR INTEGER,
  JOURNALID INTEGER,
  FIRSTAUTHOR INTEGER,
  IYEAR INTEGER,
  INUMBER INTEGER,
  IVOLUME VARCHAR(16),
  IPAGES VARCHAR(16),
  ABSTRACT TEXT
);
CREATE INDEX IX_LITERATURE_NAME ON LITERATURE(NAME);
CREATE INDEX IX_LITERATURE_FIRSTAUTHOR ON LITERATURE(FIRSTAUTHOR);

-- Links of a publication, rewritten as a whole when it is saved; they go with the publication.
CREATE TABLE BOOKAUTHORS (
  LITID INTEGER NOT NULL REFERENCES LITERATURE(ID) ON DELETE CASCADE,
  AUTHORID INTEGER NOT NULL,
  AUTHPOS INTEGER NOT NULL
);
CREATE INDEX IX_BOOKAUTHORS_LITID ON BOOKAUTHORS(LITID, AUTHPOS);

CREATE TABLE LITKEYWORDSREFS (
  LITID INTEGER NOT NULL REFERENCES LITERATURE(ID) ON DELETE CASCADE,
  KEYWORDID INTEGER NOT NULL,
  REFPOS INTEGER NOT NULL
);
CREATE INDEX IX_LITKEYWORDSREFS_LITID ON LITKEYWORDSREFS(LITID, REFPOS);

CREATE TABLE LITSYSREFS (
  LITID INTEGER NOT NULL REFERENCES LITERATURE(ID) ON DELETE CASCADE,
  SYSID INTEGER NOT NULL REFERENCES SYSTREE(ID) ON DELETE CASCADE,
  REFPOS INTEGER NOT NULL
);
CREATE INDEX IX_LITSYSREFS_LITID ON LITSYSREFS(LITID, REFPOS);
CREATE INDEX IX_LITSYSREFS_SYSID ON LITSYSREFS(SYSID);

CREATE TABLE LITLOCREFS (
  LITID INTEGER NOT NULL REFERENCES LITERATURE(ID) ON DELETE CASCADE,
  LOCID INTEGER NOT NULL REFERENCES LOCTREE(ID) ON DELETE CASCADE,
  REFPOS INTEGER NOT NULL
);
CREATE INDEX IX_LITLOCREFS_LITID ON LITLOCREFS(LITID, REFPOS);
CREATE INDEX IX_LITLOCREFS_LOCID ON LITLOCREFS(LOCID);

-- Occurrence records. LITID holds -1 for "no publication", so it has no foreign key. The level
-- path columns SYS_LEVEL_n / LOC_LEVEL_n and the user-defined columns are appended later.
-- A species or locality item with records cannot be deleted.
CREATE TABLE ZORNACOLLS (
  ID INTEGER PRIMARY KEY AUTOINCREMENT,
  SYSID INTEGER NOT NULL REFERENCES SYSTREE(ID),
  FTRID INTEGER NOT NULL REFERENCES LOCTREE(ID),
  LITID INTEGER,
  RECNOTE TEXT
);
CREATE INDEX IX_ZORNACOLLS_SYSID ON ZORNACOLLS(SYSID);
CREATE INDEX IX_ZORNACOLLS_FTRID ON ZORNACOLLS(FTRID);

-- Definitions of user-defined attributes.
CREATE TABLE CUSTOMATTRIBUTES (
  TABLENAME VARCHAR(31) COLLATE NOCASE NOT NULL,
  FIELDNAME VARCHAR(31) COLLATE NOCASE NOT NULL,
  POSID INTEGER NOT NULL,
  ATTRTYPE INTEGER NOT NULL,
  ATTRSIZE INTEGER,
  KEYFLAG BOOLEAN,
  TABNAME VARCHAR(31),
  CAPTION VARCHAR(63),
  MINVAL DOUBLE,
  MAXVAL DOUBLE,
  NULLVAL DOUBLE,
  UNIQUE (TABLENAME, FIELDNAME)
);

-- Records with their species and locality rows; records without such a row are listed too.
CREATE VIEW COLLECTVIEW AS SELECT T1.*, SPECIES.*, FEATURES.* FROM (ZORNACOLLS AS T1 LEFT JOIN SPECIES ON SPECIES.SYSID = T1.SYSID) LEFT JOIN FEATURES ON FEATURES.LOCID = T1.FTRID;

-- Publications with the names of their publisher, periodical and first author.
CREATE VIEW LITVIEW AS SELECT T1.*, T2.NAME, T3.NAME, T4.NAME FROM LITERATURE AS T1 LEFT JOIN LITAUTHORS AS T4 ON T4.ID = T1.FIRSTAUTHOR LEFT JOIN JOURNALS AS T3 ON T3.ID = T1.JOURNALID LEFT JOIN EDITORS AS T2 ON T2.ID = T1.EDITOR;

-- Root rows: level 0 and item 0 stand for "the top" of each tree, so that top-level items
-- (PARENT 0) satisfy their keys. The programs skip them (ID > 0, levels from 1).
INSERT INTO SYSDEF (LEVELID, NAME, DATALEVEL) VALUES (0, 'Kořen', 0);
INSERT INTO LOCDEF (LEVELID, NAME, DATALEVEL) VALUES (0, 'Kořen', 0);
INSERT INTO SYSTREE (ID, PARENT, SYSLEVEL, SYSPOS, NAME) VALUES (0, 0, 0, 0, 'Kořen');
INSERT INTO LOCTREE (ID, PARENT, LOCLEVEL, NAME) VALUES (0, 0, 0, 'Kořen');
)SQL";

}  // namespace

const wchar_t* SchemaScriptText()
{
    return kSchema;
}

std::vector<std::wstring> SplitSqlScript(const wchar_t* script)
{
    std::vector<std::wstring> out;
    std::wstring current;
    const wchar_t* p = script;
    while (*p) {
        const wchar_t* eol = p;
        while (*eol && *eol != L'\n')
            ++eol;
        std::wstring line(p, eol);
        p = *eol ? eol + 1 : eol;
        size_t first = line.find_first_not_of(L" \t\r");
        if (first == std::wstring::npos || line.compare(first, 2, L"--") == 0)
            continue;
        while (!line.empty() && (line.back() == L'\r' || line.back() == L' '))
            line.pop_back();
        if (!current.empty())
            current += L'\n';
        current += line;
        if (!line.empty() && line.back() == L';') {
            current.pop_back();
            out.push_back(current);
            current.clear();
        }
    }
    if (current.find_first_not_of(L" \t\r\n") != std::wstring::npos)
        out.push_back(current);
    return out;
}

bool RunSchemaScript(SQLHDBC dbc, std::wstring* error)
{
    std::vector<std::wstring> statements = SplitSqlScript(kSchema);
    SQLSetConnectAttrW(dbc, SQL_ATTR_AUTOCOMMIT, (SQLPOINTER)SQL_AUTOCOMMIT_OFF, 0);
    bool ok = true;
    for (const std::wstring& sql : statements) {
        SQLHSTMT stmt = SQL_NULL_HSTMT;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt))) {
            if (error)
                *error = L"no statement handle";
            ok = false;
            break;
        }
        SQLRETURN rc = SQLExecDirectW(stmt, (SQLWCHAR*)sql.c_str(), SQL_NTS);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
            if (error) {
                SQLWCHAR state[8] = {};
                SQLWCHAR message[1024] = {};
                SQLINTEGER native = 0;
                SQLSMALLINT len = 0;
                SQLGetDiagRecW(SQL_HANDLE_STMT, stmt, 1, state, &native, message, 1024, &len);
                *error = reinterpret_cast<wchar_t*>(message);
                *error += L" in: " + sql;
            }
            ok = false;
        }
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        if (!ok)
            break;
    }
    SQLEndTran(SQL_HANDLE_DBC, dbc, ok ? SQL_COMMIT : SQL_ROLLBACK);
    SQLSetConnectAttrW(dbc, SQL_ATTR_AUTOCOMMIT, (SQLPOINTER)SQL_AUTOCOMMIT_ON, 0);
    return ok;
}

std::wstring LookupTablePrefix(const std::wstring& table)
{
    if (table == L"SPECIES")
        return L"SPE_";
    if (table == L"FEATURES")
        return L"FEA_";
    if (table == L"ZORNACOLLS")
        return L"ZOR_";
    if (table == L"SYSTREE")
        return L"SYS_";
    if (table == L"LOCTREE")
        return L"LOC_";
    if (table == L"LITERATURE")
        return L"LIT_";
    return std::wstring();
}

std::wstring LevelColumnName(bool systematic, int levelId)
{
    return (systematic ? L"SYS_LEVEL_" : L"LOC_LEVEL_") + std::to_wstring(levelId);
}

std::wstring AddLevelColumnSql(bool systematic, int levelId)
{
    return L"ALTER TABLE ZORNACOLLS ADD " + zdata::QuoteIdentifier(LevelColumnName(systematic, levelId)) +
           L" INTEGER";
}

std::wstring LookupTableName(const std::wstring& table, const std::wstring& field)
{
    return LookupTablePrefix(table) + field;
}

std::wstring AttrColumnDecl(const std::wstring& table, const std::wstring& field, int type, int size,
                            bool cascadeDelete)
{
    const std::wstring name = zdata::QuoteIdentifier(field);
    switch (type) {
    case AttrBoolean:
        return name + L" BOOLEAN";
    case AttrInteger:
        return name + L" INTEGER";
    case AttrReal:
        return name + L" DOUBLE";
    case AttrDate:
        return name + L" DATETIME";
    case AttrLongText:
        return name + L" TEXT";
    case AttrLookup:
    case AttrGeoLookup:
        return name + L" VARCHAR(" + std::to_wstring(size) + L") COLLATE NOCASE REFERENCES " +
               zdata::QuoteIdentifier(LookupTableName(table, field)) + L"(NAME) ON UPDATE CASCADE" +
               (cascadeDelete ? L" ON DELETE CASCADE" : L"");
    default:
        return name + L" VARCHAR(" + std::to_wstring(size) + L")";
    }
}

std::wstring LookupTableSql(const std::wstring& table, const std::wstring& field, int type, int size)
{
    return L"CREATE TABLE " + zdata::QuoteIdentifier(LookupTableName(table, field)) + L" (NAME VARCHAR(" +
           std::to_wstring(size) + L") NOT NULL COLLATE NOCASE PRIMARY KEY, ABBREV VARCHAR(15)" +
           (type == AttrGeoLookup ? L", GEOMETRY BLOB" : L"") + L")";
}

}  // namespace zor
