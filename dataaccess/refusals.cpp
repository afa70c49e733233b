#include "dataaccess/refusals.h"

#include <cwctype>

#include "dataaccess/ado.h"
#include "dataaccess/odbccore.h"

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

std::wstring Trimmed(const std::wstring& s)
{
    size_t b = 0, e = s.size();
    while (b < e && iswspace(s[b]))
        ++b;
    while (e > b && iswspace(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

// "T.A, T.B" -> table T, columns A and B.
void ReadColumnList(const std::wstring& list, EngineRefusal* out)
{
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(L',', start);
        std::wstring part = Trimmed(list.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start));
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

// The engine's result codes (primary, without the extended bits).
RefusalKind KindOfCode(long code)
{
    switch (code & 0xFF) {
    case 5:
    case 6: return RefusalKind::Locked;
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
    std::wstring rest;
    if (StartsWith(text, L"UNIQUE constraint failed: ", &rest)) {
        out.kind = RefusalKind::Duplicate;
        ReadColumnList(rest, &out);
    } else if (StartsWith(text, L"NOT NULL constraint failed: ", &rest)) {
        out.kind = RefusalKind::Required;
        ReadColumnList(rest, &out);
    } else if (Contains(text, L"is not unique") || Contains(text, L"are not unique") ||
               Contains(text, L"must be unique")) {
        out.kind = RefusalKind::Duplicate;
    } else if (Contains(text, L"may not be NULL")) {
        out.kind = RefusalKind::Required;
    } else if (StartsWith(text, L"FOREIGN KEY constraint failed")) {
        out.kind = RefusalKind::ForeignKey;
    } else if (StartsWith(text, L"datatype mismatch")) {
        out.kind = RefusalKind::DoesNotFit;
    } else if (StartsWith(text, L"string or blob too big")) {
        out.kind = RefusalKind::TooLarge;
    } else if (StartsWith(text, L"database is locked") || StartsWith(text, L"database table is locked") ||
               StartsWith(text, L"database schema is locked")) {
        out.kind = RefusalKind::Locked;
    } else if (StartsWith(text, L"attempt to write a readonly database")) {
        out.kind = RefusalKind::ReadOnly;
    } else if (StartsWith(text, L"database or disk is full")) {
        out.kind = RefusalKind::DiskFull;
    } else if (StartsWith(text, L"database disk image is malformed") ||
               StartsWith(text, L"malformed database schema")) {
        out.kind = RefusalKind::Damaged;
    } else if (Contains(text, L"is not a database")) {
        out.kind = RefusalKind::NotADatabase;
    } else if (StartsWith(text, L"unable to open database file")) {
        out.kind = RefusalKind::CannotOpen;
    } else if (StartsWith(text, L"disk I/O error")) {
        out.kind = RefusalKind::DiskError;
    } else if (sqlite) {
        // Another driver's native errors mean something else.
        out.kind = KindOfCode(nativeError);
    }
    return out;
}

std::wstring RefusalSentence(const EngineRefusal& refusal, const ColumnLabelFn& labelOf)
{
    std::vector<std::wstring> labels;
    for (const std::wstring& column : refusal.columns)
        labels.push_back(labelOf ? labelOf(refusal.table, column) : column);
    switch (refusal.kind) {
    case RefusalKind::Duplicate:
        if (labels.size() == 1)
            return L"Hodnota pole " + QuotedList(labels) +
                   L" už v databázi je a nesmí se opakovat. Zadejte jinou hodnotu.";
        if (labels.size() > 1)
            return L"Záznam se stejnými hodnotami polí " + QuotedList(labels) +
                   L" už v databázi je. Změňte některou z těchto hodnot.";
        return L"Stejná hodnota už v databázi je a nesmí se opakovat. Zadejte jinou hodnotu.";
    case RefusalKind::Required:
        if (!labels.empty())
            return L"Pole " + QuotedList(labels) + L" je povinné. Vyplňte ho.";
        return L"Povinná hodnota není vyplněna. Vyplňte ji.";
    case RefusalKind::DoesNotFit:
        return L"Zadaná hodnota neodpovídá typu svého pole. Opravte ji.";
    case RefusalKind::TooLarge:
        return L"Hodnota je příliš velká, než aby ji databáze uložila. Zkraťte ji.";
    case RefusalKind::ForeignKey:
        return L"Změnu nelze uložit: odkazuje na položku, která v databázi není, nebo na měněnou položku "
               L"odkazují jiné záznamy.";
    case RefusalKind::Locked:
        return L"Databázový soubor právě používá jiný program, změnu proto nelze zapsat. Zkuste to znovu "
               L"za chvíli.";
    case RefusalKind::ReadOnly:
        return L"Databázový soubor je jen pro čtení, změny do něj nelze zapsat. Zrušte u souboru atribut "
               L"„Jen pro čtení“ nebo otevřete jeho kopii ve složce, do které smíte zapisovat.";
    case RefusalKind::DiskFull:
        return L"Na disku s databází není dost místa, změna nebyla zapsána. Uvolněte místo na disku a zkuste "
               L"to znovu.";
    case RefusalKind::Damaged:
        return L"Databázový soubor je poškozený. Spusťte kontrolu dat v Databázových nástrojích Zorny "
               L"(Data – Kontrola), případně použijte zálohu.";
    case RefusalKind::NotADatabase:
        return L"Soubor není databáze.";
    case RefusalKind::CannotOpen:
        return L"Databázový soubor nelze otevřít. Zkontrolujte, že existuje a že k němu máte přístup.";
    case RefusalKind::DiskError:
        return L"Při čtení nebo zápisu databázového souboru došlo k chybě disku. Zkontrolujte disk a zkuste "
               L"to znovu.";
    case RefusalKind::None:
        break;
    }
    return L"Databáze požadavek odmítla.";
}

std::wstring EngineErrorDescription(const std::wstring& text, long nativeError, const ColumnLabelFn& labelOf)
{
    return RefusalSentence(ReadEngineRefusal(text, nativeError), labelOf) + L"\n" + text;
}

std::wstring ValueDoesNotFitText(const std::wstring& label, DataTypeEnum type, bool overflow)
{
    if (overflow)
        return L"Hodnota pole \u201E" + label + L"\u201C je mimo rozsah, který pole pojme. Zadejte menší hodnotu.";
    return L"Hodnota pole \u201E" + label + L"\u201C neodpovídá jeho typu (" + TypeWord(type) +
           L"). Opravte ji.";
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
