#include "tools/oldersample/olderdb.h"

#include "core/dbschema.h"
#include "tools/testkit/rawodbc.h"

namespace zor {

namespace {

// A further attribute: its definition and the SQL expression of the value every row gets (its
// rowid written {R}); lookup attributes take their values from their own list.
struct ExtraAttr {
    const wchar_t* table;
    const wchar_t* field;
    int type;
    int size;
    const wchar_t* caption;
    const wchar_t* value;
};

const ExtraAttr kExtraAttrs[] = {
    {L"SYSTREE", L"KODTAXONU", AttrInteger, 0, L"Kód taxonu", L"{R} * 7 % 1000"},
    {L"SYSTREE", L"VYSKYT", AttrLookup, 30, L"Výskyt v ČR", nullptr},
    {L"SYSTREE", L"POZNTAXON", AttrLongText, 0, L"Poznámka k taxonu", L"'Taxon č. ' || {R} || ' – d''après Šťastný'"},
    {L"LOCTREE", L"PLOCHA", AttrReal, 0, L"Plocha (ha)", L"{R} * 1.25"},
    {L"LOCTREE", L"ZALOZENO", AttrDate, 0, L"Založeno", L"36526 + {R} % 5000"},
    {L"LOCTREE", L"CHRANENO", AttrBoolean, 0, L"Chráněno", L"CASE {R} % 2 WHEN 0 THEN -1 ELSE 0 END"},
    {L"SPECIES", L"POPSANO", AttrDate, 0, L"Popsáno", L"10000 + {R} % 30000"},
    {L"SPECIES", L"ENDEMIT", AttrBoolean, 0, L"Endemit", L"CASE {R} % 5 WHEN 0 THEN -1 ELSE 0 END"},
    {L"SPECIES", L"POZNDRUH", AttrLongText, 0, L"Poznámka k druhu", L"'Druh ' || {R} || ' (Žluťoučký kůň)'"},
    {L"FEATURES", L"VYSKAMAX", AttrInteger, 0, L"Nejvyšší bod (m)", L"200 + {R} % 1400"},
    {L"FEATURES", L"OVERENO", AttrBoolean, 0, L"Ověřeno", L"CASE {R} % 3 WHEN 0 THEN -1 ELSE 0 END"},
    {L"FEATURES", L"NAVSTIVENO", AttrDate, 0, L"Navštíveno", L"40000 + {R} % 3000"},
    {L"FEATURES", L"KODLOK", AttrText, 16, L"Kód lokality", L"'L-' || {R}"},
    {L"ZORNACOLLS", L"POZNNALEZ", AttrLongText, 0, L"Poznámka k nálezu", L"'Nález ' || {R} || ' – leg. d''Ořechová'"},
    {L"ZORNACOLLS", L"UZEMI", AttrGeoLookup, 40, L"Území", nullptr},
    {L"LITERATURE", L"ISBN", AttrText, 20, L"ISBN", L"'80-' || ({R} * 37 % 10000)"},
    {L"LITERATURE", L"VYDANO", AttrDate, 0, L"Vydáno", L"30000 + {R} % 12000"},
    {L"LITERATURE", L"STRAN", AttrInteger, 0, L"Počet stran", L"10 + {R} % 400"},
    {L"LITERATURE", L"HODNOCENI", AttrReal, 0, L"Hodnocení", L"({R} % 50) / 10.0"},
    {L"LITERATURE", L"OBOR", AttrLookup, 30, L"Obor", nullptr},
    {L"LITERATURE", L"SOUHRN", AttrLongText, 0, L"Souhrn", L"'Souhrn práce ' || {R}"},
};

// Values of the added lookup lists, with an apostrophe and Czech letters.
const wchar_t* const kLookupValues[] = {L"Běžný", L"Vzácný", L"d'Ouvrierův výskyt", L"Nezvěstný"};

// Text between apostrophes in a statement: each apostrophe doubled.
std::wstring Quoted(const wchar_t* text)
{
    std::wstring quoted;
    for (const wchar_t* p = text; *p; ++p)
        quoted += *p == L'\'' ? std::wstring(L"''") : std::wstring(1, *p);
    return quoted;
}

class OlderMaker {
public:
    OlderMaker(RawOdbc& db, const OlderDbOptions& options) : db_(db), opt_(options) {}

    bool Run()
    {
        bool ok = (!opt_.everyAttributeType || ExtraAttributes()) && (!opt_.lateLevel || LateLevel()) &&
                  (!opt_.renamedHalf || RenameHalf()) && (!opt_.olderLayout || OlderLayout()) &&
                  (!opt_.twoColumnNames || TwoColumnNames());
        return ok;
    }
    const std::wstring& Error() const { return error_; }

private:
    bool Exec(const std::wstring& sql)
    {
        if (db_.Exec(sql))
            return true;
        error_ = db_.LastError() + L" (" + sql + L")";
        return false;
    }

    bool ExtraAttributes()
    {
        for (const ExtraAttr& a : kExtraAttrs) {
            std::wstring table = a.table;
            std::wstring field = a.field;
            bool lookup = a.type == AttrLookup || a.type == AttrGeoLookup;
            if (lookup) {
                if (!Exec(LookupTableSql(table, field, a.type, a.size)))
                    return false;
                std::wstring list = LookupTableName(table, field);
                for (const wchar_t* v : kLookupValues)
                    if (!Exec(L"INSERT INTO " + list + L" (NAME) VALUES ('" + Quoted(v) + L"')"))
                        return false;
            }
            long long pos = db_.QueryInt(L"SELECT COALESCE(MAX(POSID), 0) FROM CUSTOMATTRIBUTES WHERE TABLENAME = '" +
                                         table + L"'", 0);
            int size = (a.type == AttrText || lookup) ? a.size : 0;
            if (!Exec(L"ALTER TABLE " + table + L" ADD " + AttrColumnDecl(table, field, a.type, a.size)) ||
                !Exec(L"INSERT INTO CUSTOMATTRIBUTES (TABLENAME, FIELDNAME, POSID, ATTRTYPE, ATTRSIZE, KEYFLAG, "
                      L"TABNAME, CAPTION) VALUES ('" + table + L"', '" + field + L"', " + std::to_wstring(pos + 1) +
                      L", " + std::to_wstring(a.type) + L", " + std::to_wstring(size) + L", 0, 'Další', '" +
                      a.caption + L"')"))
                return false;
            std::wstring value = a.value ? std::wstring(a.value) : L"CASE {R} % 4";
            for (size_t k = 0; !a.value && k < 4; ++k)
                value += L" WHEN " + std::to_wstring(k) + L" THEN '" + Quoted(kLookupValues[k]) + L"'";
            if (!a.value)
                value += L" END";
            // {R}: the row's rowid; the root rows keep NULL.
            std::wstring expr = value;
            for (size_t at = expr.find(L"{R}"); at != std::wstring::npos; at = expr.find(L"{R}", at))
                expr.replace(at, 3, L"rowid");
            if (!Exec(L"UPDATE " + table + L" SET " + field + L" = " + expr + L" WHERE rowid > 0"))
                return false;
        }
        return true;
    }

    bool LateLevel()
    {
        return Exec(L"INSERT INTO SYSDEF (LEVELID, NAME, DATALEVEL) VALUES (" + std::to_wstring(kLateLevelId) +
                    L", 'Forma', 0)") &&
               Exec(AddLevelColumnSql(true, kLateLevelId));
    }

    bool RenameHalf()
    {
        const std::wstring suffix = L" d''Ůlehla";
        // Composed species names start with the genus: they follow it.
        return Exec(L"CREATE TEMP TABLE RENAMED AS SELECT ID, NAME AS OLD FROM SYSTREE WHERE SYSLEVEL = 3 AND ID % 2 = 0") &&
               Exec(L"UPDATE SYSTREE SET NAME = NAME || '" + suffix + L"' WHERE ID IN (SELECT ID FROM RENAMED)") &&
               Exec(L"UPDATE SPECIES SET NAME = substr((SELECT G.OLD || '" + suffix + L"' FROM RENAMED G WHERE G.ID IN "
                    L"(SELECT P.ID FROM SYSTREE S JOIN SYSTREE P ON P.ID = S.PARENT WHERE S.ID = SPECIES.SYSID "
                    L"UNION SELECT GP.ID FROM SYSTREE S JOIN SYSTREE P ON P.ID = S.PARENT JOIN SYSTREE GP ON GP.ID = P.PARENT "
                    L"WHERE S.ID = SPECIES.SYSID)) || substr(NAME, length((SELECT G.OLD FROM RENAMED G WHERE G.ID IN "
                    L"(SELECT P.ID FROM SYSTREE S JOIN SYSTREE P ON P.ID = S.PARENT WHERE S.ID = SPECIES.SYSID "
                    L"UNION SELECT GP.ID FROM SYSTREE S JOIN SYSTREE P ON P.ID = S.PARENT JOIN SYSTREE GP ON GP.ID = P.PARENT "
                    L"WHERE S.ID = SPECIES.SYSID))) + 1), 1, 63) WHERE SYSID IN (SELECT S.ID FROM SYSTREE S "
                    L"JOIN SYSTREE P ON P.ID = S.PARENT WHERE P.ID IN (SELECT ID FROM RENAMED) OR P.PARENT IN "
                    L"(SELECT ID FROM RENAMED))") &&
               Exec(L"DROP TABLE RENAMED") &&
               Exec(L"UPDATE LOCTREE SET NAME = NAME || '" + suffix + L"' WHERE LOCLEVEL = 2 AND ID % 2 = 0") &&
               Exec(L"UPDATE LITERATURE SET NAME = NAME || ' (" + suffix.substr(1) + L")' WHERE ID % 2 = 0") &&
               Exec(L"UPDATE LITAUTHORS SET NAME = NAME || '" + suffix + L"' WHERE ID % 2 = 0") &&
               Exec(L"UPDATE KEYWORDS SET NAME = NAME || '" + suffix + L"' WHERE ID % 2 = 0");
    }

    bool OlderLayout()
    {
        return Exec(L"DROP VIEW COLLECTVIEW") && Exec(L"ALTER TABLE FEATURES DROP COLUMN LOCNOTE") &&
               Exec(L"ALTER TABLE CUSTOMATTRIBUTES DROP COLUMN NULLVAL") &&
               Exec(L"ALTER TABLE CUSTOMATTRIBUTES DROP COLUMN MAXVAL") &&
               Exec(L"ALTER TABLE CUSTOMATTRIBUTES DROP COLUMN MINVAL") &&
               Exec(L"CREATE VIEW COLLECTVIEW AS SELECT T1.*, SPECIES.*, FEATURES.*, LITERATURE.NAME FROM "
                    L"((ZORNACOLLS AS T1 LEFT JOIN SPECIES ON SPECIES.SYSID = T1.SYSID) LEFT JOIN FEATURES ON "
                    L"FEATURES.LOCID = T1.FTRID) LEFT JOIN LITERATURE ON LITERATURE.ID = T1.LITID");
    }

    bool TwoColumnNames()
    {
        return Exec(L"ALTER TABLE LITAUTHORS DROP COLUMN ABBREV") && Exec(L"ALTER TABLE LITAUTHORS DROP COLUMN FULLNAME") &&
               Exec(L"ALTER TABLE EDITORS DROP COLUMN PLACE") && Exec(L"ALTER TABLE EDITORS DROP COLUMN ABBREV");
    }

    RawOdbc& db_;
    const OlderDbOptions& opt_;
    std::wstring error_;
};

}  // namespace

bool CreateOlderDatabase(const std::wstring& path, const OlderDbOptions& options, std::wstring* error,
                         SampleDbStats* stats)
{
    SampleDbOptions sample = options.sample;
    sample.olderAttributeTable = false;  // dropped here, after the further attributes
    if (!CreateSampleDatabase(path, sample, error, stats))
        return false;
    RawOdbc db;
    if (!db.Open(path, false)) {
        if (error)
            *error = db.LastError();
        return false;
    }
    OlderMaker maker(db, options);
    if (!db.Begin() || !maker.Run()) {
        if (error)
            *error = maker.Error().empty() ? db.LastError() : maker.Error();
        db.Rollback();
        return false;
    }
    if (!db.Commit()) {
        if (error)
            *error = db.LastError();
        return false;
    }
    return true;
}

}  // namespace zor
