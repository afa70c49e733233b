#include "dataaccess/refusals.h"

#include <cwctype>

#include "dataaccess/ado.h"
#include "dataaccess/odbccore.h"
#include "dataaccess/trim.h"

namespace zdata {

namespace {

const wchar_t kSqlitePrefix[] = L"[SQLite]";

bool StartsWith(const std::wstring& text, const wchar_t* prefix, std::wstring* rest = nullptr)
{
    size_t n = wcslen(prefix);
    if (text.compare(0, n, prefix) != 0)
        return false;
    if (rest)
        *rest = text.substr(n);
    return true;
}

bool Contains(const std::wstring& text, const wchar_t* part)
{
    return text.find(part) != std::wstring::npos;
}

// "T.A, T.B" -> table T, columns A and B.
void ReadColumnList(const std::wstring& list, EngineRefusal* out)
{
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(L',', start);
        std::wstring part = Trim(list.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start));
        size_t dot = part.rfind(L'.');
        if (!part.empty()) {
            if (dot != std::wstring::npos) {
                out->table = part.substr(0, dot);
                part = part.substr(dot + 1);
            }
            out->columns.push_back(part);
        }
        if (comma == std::wstring::npos)
            break;
        start = comma + 1;
    }
}

// The engine's texts the layer knows: each at the start of the text (anywhere: within it), and
// whether a list of "T.A, T.B" follows it. The first that matches counts.
struct EngineText {
    const wchar_t* text;
    RefusalKind kind;
    bool anywhere;
    bool namesColumns;
};
const EngineText kEngineTexts[] = {
    {L"UNIQUE constraint failed: ", RefusalKind::Duplicate, false, true},
    {L"NOT NULL constraint failed: ", RefusalKind::Required, false, true},
    {L"is not unique", RefusalKind::Duplicate, true, false},
    {L"are not unique", RefusalKind::Duplicate, true, false},
    {L"must be unique", RefusalKind::Duplicate, true, false},
    {L"may not be NULL", RefusalKind::Required, true, false},
    {L"FOREIGN KEY constraint failed", RefusalKind::ForeignKey, false, false},
    {L"datatype mismatch", RefusalKind::DoesNotFit, false, false},
    {L"string or blob too big", RefusalKind::TooLarge, false, false},
    // Another connection holds the file (SQLITE_BUSY); a statement of the connection's own that
    // has not finished holds the table (SQLITE_LOCKED).
    {L"database is locked", RefusalKind::Locked, false, false},
    {L"database table is locked", RefusalKind::LockedHere, false, false},
    {L"database schema is locked", RefusalKind::LockedHere, false, false},
    {L"attempt to write a readonly database", RefusalKind::ReadOnly, false, false},
    {L"database or disk is full", RefusalKind::DiskFull, false, false},
    {L"database disk image is malformed", RefusalKind::Damaged, false, false},
    {L"malformed database schema", RefusalKind::Damaged, false, false},
    {L"is not a database", RefusalKind::NotADatabase, true, false},
    {L"unable to open database file", RefusalKind::CannotOpen, false, false},
    {L"disk I/O error", RefusalKind::DiskError, false, false},
};

// The sentences of the refusals that name no field: after a statement that wrote, and after one
// that only read (null: the same).
struct KindSentence {
    RefusalKind kind;
    const wchar_t* wrote;
    const wchar_t* read;
};
const KindSentence kKindSentences[] = {
    {RefusalKind::DoesNotFit, L"Zadaná hodnota neodpovídá typu svého pole. Opravte ji.", nullptr},
    {RefusalKind::TooLarge, L"Hodnota je příliš velká, než aby ji databáze uložila. Zkraťte ji.", nullptr},
    {RefusalKind::ForeignKey,
     L"Změnu nelze uložit: odkazuje na položku, která v databázi není, nebo na měněnou položku odkazují jiné "
     L"záznamy.",
     nullptr},
    {RefusalKind::Locked,
     L"Databázový soubor právě používá jiný program, změnu proto nelze zapsat. Zkuste to znovu za chvíli.",
     L"Databázový soubor právě používá jiný program, data z něj proto nelze přečíst. Zkuste to znovu za chvíli."},
    {RefusalKind::LockedHere,
     L"Databázovou tabulku právě používá jiná rozpracovaná činnost tohoto programu, změnu proto nelze zapsat. "
     L"Zkuste to znovu, až skončí.",
     L"Databázovou tabulku právě používá jiná rozpracovaná činnost tohoto programu, data z ní proto nelze "
     L"přečíst. Zkuste to znovu, až skončí."},
    {RefusalKind::ReadOnly,
     L"Databázový soubor je jen pro čtení, změny do něj nelze zapsat. Zrušte u souboru atribut „Jen pro čtení“ "
     L"nebo otevřete jeho kopii ve složce, do které smíte zapisovat.",
     nullptr},
    {RefusalKind::DiskFull,
     L"Na disku s databází není dost místa, změna nebyla zapsána. Uvolněte místo na disku a zkuste to znovu.",
     L"Na disku není dost místa pro dočasná data databáze, data proto nelze přečíst. Uvolněte místo na disku a "
     L"zkuste to znovu."},
    {RefusalKind::Damaged,
     L"Databázový soubor je poškozený. Spusťte kontrolu dat v Databázových nástrojích Zorny (Data – Kontrola), "
     L"případně použijte zálohu.",
     nullptr},
    {RefusalKind::NotADatabase, L"Soubor není databáze.", nullptr},
    {RefusalKind::CannotOpen,
     L"Databázový soubor nelze otevřít. Zkontrolujte, že existuje a že k němu máte přístup.", nullptr},
    {RefusalKind::DiskError,
     L"Při zápisu do databázového souboru došlo k chybě disku, změna nebyla zapsána. Zkontrolujte disk a "
     L"zkuste to znovu.",
     L"Při čtení databázového souboru došlo k chybě disku. Zkontrolujte disk a zkuste to znovu."},
};

// The engine's result codes (primary, without the extended bits).
RefusalKind KindOfCode(long code)
{
    switch (code & 0xFF) {
    case 5: return RefusalKind::Locked;
    case 6: return RefusalKind::LockedHere;
    case 8: return RefusalKind::ReadOnly;
    case 10: return RefusalKind::DiskError;
    case 11: return RefusalKind::Damaged;
    case 13: return RefusalKind::DiskFull;
    case 14: return RefusalKind::CannotOpen;
    case 18: return RefusalKind::TooLarge;
    case 20: return RefusalKind::DoesNotFit;
    case 26: return RefusalKind::NotADatabase;
    default: return RefusalKind::None;
    }
}

// „A“, „B“ a „C“
std::wstring QuotedList(const std::vector<std::wstring>& names)
{
    std::wstring out;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            out += i + 1 == names.size() ? L" a " : L", ";
        out += L"\u201E" + names[i] + L"\u201C";
    }
    return out;
}

const wchar_t* TypeWord(DataTypeEnum type)
{
    switch (type) {
    case adBoolean: return L"ano/ne";
    case adTinyInt: case adSmallInt: case adInteger: case adBigInt: case adUnsignedTinyInt:
    case adUnsignedSmallInt: case adUnsignedInt: case adUnsignedBigInt:
        return L"celé číslo";
    case adSingle: case adDouble: case adCurrency: case adDecimal: case adNumeric:
        return L"číslo";
    case adDate: case adDBDate: case adDBTime: case adDBTimeStamp:
        return L"datum";
    case adBinary: case adVarBinary: case adLongVarBinary:
        return L"binární data";
    default:
        return L"text";
    }
}

}  // namespace

void SetColumnLabel(Connection* connection, const std::wstring& table, const std::wstring& column,
                    const std::wstring& label)
{
    if (!connection)
        return;
    std::shared_ptr<ConnectionCore> core = connection->Core();
    std::lock_guard<std::recursive_mutex> hold(core->lock);
    core->SetColumnLabel(table, column, label);
}

EngineRefusal ReadEngineRefusal(const std::wstring& raw, long nativeError)
{
    EngineRefusal out;
    std::wstring text = raw;
    bool sqlite = StartsWith(text, kSqlitePrefix, &text);
    // The driver ends its text with the result code in parentheses.
    size_t open = text.rfind(L" (");
    if (open != std::wstring::npos && !text.empty() && text.back() == L')')
        text.erase(open);
    for (const EngineText& known : kEngineTexts) {
        bool found = known.anywhere ? Contains(text, known.text) : StartsWith(text, known.text);
        if (!found)
            continue;
        out.kind = known.kind;
        if (known.namesColumns)
            ReadColumnList(text.substr(wcslen(known.text)), &out);
        return out;
    }
    // Another driver's native errors mean something else.
    if (sqlite)
        out.kind = KindOfCode(nativeError);
    return out;
}

std::wstring RefusalSentence(const EngineRefusal& refusal, const ColumnLabelFn& labelOf)
{
    std::vector<std::wstring> labels;
    for (const std::wstring& column : refusal.columns)
        labels.push_back(labelOf ? labelOf(refusal.table, column) : column);
    if (refusal.kind == RefusalKind::Duplicate) {
        if (labels.size() == 1)
            return L"Hodnota pole " + QuotedList(labels) +
                   L" už v databázi je a nesmí se opakovat. Zadejte jinou hodnotu.";
        if (labels.size() > 1)
            return L"Záznam se stejnými hodnotami polí " + QuotedList(labels) +
                   L" už v databázi je. Změňte některou z těchto hodnot.";
        return L"Stejná hodnota už v databázi je a nesmí se opakovat. Zadejte jinou hodnotu.";
    }
    if (refusal.kind == RefusalKind::Required) {
        if (!labels.empty())
            return L"Pole " + QuotedList(labels) + L" je povinné. Vyplňte ho.";
        return L"Povinná hodnota není vyplněna. Vyplňte ji.";
    }
    for (const KindSentence& k : kKindSentences)
        if (k.kind == refusal.kind)
            return refusal.onlyRead && k.read ? k.read : k.wrote;
    return L"Databáze požadavek odmítla.";
}

std::wstring EngineErrorDescription(const std::wstring& text, long nativeError, const ColumnLabelFn& labelOf,
                                    bool onlyRead)
{
    EngineRefusal refusal = ReadEngineRefusal(text, nativeError);
    refusal.onlyRead = onlyRead;
    return RefusalSentence(refusal, labelOf) + L"\n" + text;
}

std::wstring ValueDoesNotFitText(const std::wstring& label, DataTypeEnum type, ValueMiss miss)
{
    const std::wstring field = L"Hodnota pole \u201E" + label + L"\u201C";
    switch (miss) {
    case ValueMiss::AboveRange:
        return field + L" je větší, než pole pojme. Zadejte menší hodnotu.";
    case ValueMiss::BelowRange:
        return field + L" je menší, než pole pojme. Zadejte větší hodnotu.";
    default:
        return field + L" neodpovídá jeho typu (" + TypeWord(type) + L"). Opravte ji.";
    }
}

std::wstring OpenRefusalText(RefusalKind kind, const std::wstring& path)
{
    const std::wstring file = L"\u201E" + path + L"\u201C";
    switch (kind) {
    case RefusalKind::Locked:
        return L"Databázi " + file + L" má otevřenou jiný program. Zavřete ji v něm a zkuste to znovu.";
    case RefusalKind::ReadOnly:
        return L"Databázi " + file + L" nelze otevřít pro zápis: soubor je jen pro čtení. Zrušte u souboru "
               L"atribut „Jen pro čtení“ nebo otevřete jeho kopii ve složce, do které smíte zapisovat.";
    case RefusalKind::Damaged:
        return L"Soubor " + file + L" je poškozená databáze. Spusťte kontrolu dat v Databázových nástrojích "
               L"Zorny (Data – Kontrola), případně použijte zálohu.";
    case RefusalKind::NotADatabase:
        // The reason before the file: the import wizard's status line shows the start of a long path only.
        return L"Soubor není databáze: " + file + L".";
    case RefusalKind::CannotOpen:
        return L"Databázový soubor " + file + L" neexistuje nebo ho nelze otevřít.";
    default:
        return L"Databázi " + file + L" nelze otevřít.";
    }
}

}  // namespace zdata
