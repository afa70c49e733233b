#include "reports/exportcells.h"

#include "core/containers.h"
#include "core/fields.h"
#include "core/textutil.h"
#include "reports/exportprogress.h"

namespace {

bool IsVisible(CZorObj* item)
{
    CDispField* d = static_cast<CDispField*>(item);
    return d && d->Field && d->Visible;
}

}  // namespace

int CountVisibleFields(CObjArray* dispFields)
{
    int n = 0;
    for (int i = 0; dispFields && i < dispFields->GetCount(); ++i)
        n += IsVisible(dispFields->GetItems()[i]) ? 1 : 0;
    return n;
}

// ---- ExportColumns ----

void ExportColumns::Open(zdata::Recordset* rows, CObjArray* dispFields)
{
    Clear();
    if (!rows || FAILED(rows->get_Fields(&fields_)))
        fields_ = nullptr;
    for (int i = 0; dispFields && i < dispFields->GetCount(); ++i) {
        if (!IsVisible(dispFields->GetItems()[i]))
            continue;
        CDispField* d = static_cast<CDispField*>(dispFields->GetItems()[i]);
        ExportColumn c = {d, -1, nullptr, adEmpty, d->DispName ? d->DispName : d->Field->Name};
        if (d->Field->Kind == FIELD_DATABASE) {
            c.Ordinal = static_cast<CFieldInfo*>(d->Field)->ColumnOrdinal;
            if (c.Ordinal < 0 || !fields_ || FAILED(fields_->Item(c.Ordinal, &c.Field)))
                c.Field = nullptr;
            if (c.Field)
                c.Field->get_Type(&c.Type);
            else
                c.Ordinal = -2;  // a column the recordset does not have: no value
        }
        items_.push_back(c);
    }
}

void ExportColumns::Clear()
{
    for (ExportColumn& c : items_)
        if (c.Field)
            c.Field->Release();
    items_.clear();
    if (fields_)
        fields_->Release();
    fields_ = nullptr;
}

HRESULT ExportColumns::Value(size_t i, VARIANT* out) const
{
    VariantInit(out);
    const ExportColumn& c = items_[i];
    if (c.Field) {
        HRESULT hr = c.Field->get_Value(out);
        if (FAILED(hr))
            VariantClear(out);
        return hr;
    }
    if (c.Ordinal == -1 && fields_)
        *out = RowFieldsVariant(fields_);  // borrowed: clearing a VT_BYREF frees nothing
    return S_OK;
}

// ---- CellTexts ----

CellTexts::CellTexts(HINSTANCE instance)
    : yes_(ExportString(instance, IDS_FIELD_YES)), no_(ExportString(instance, IDS_FIELD_NO)), buffer_(256)
{
}

void CellTexts::Text(const ExportColumn& column, const VARIANT& value, std::wstring* out)
{
    out->clear();
    ValueFormatterFn formatter = column.Disp ? column.Disp->ValueFormatter : nullptr;
    if (formatter) {
        int need = formatter(value, nullptr, 0, column.Disp->Field);
        if (need < 1)
            return;
        if (buffer_.size() < (size_t)need + 1)
            buffer_.resize((size_t)need + 1);
        buffer_[0] = 0;
        formatter(value, buffer_.data(), need + 1, column.Disp->Field);
        out->assign(buffer_.data());
        return;
    }
    switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_BYREF:
        return;
    case VT_BSTR:
        out->assign(value.bstrVal, SysStringLen(value.bstrVal));
        return;
    case VT_BOOL:
        *out = value.boolVal ? yes_ : no_;
        return;
    default: {
        size_t need = (size_t)VariantTextLength(&value) + 1;
        if (need < 64)
            need = 64;
        if (buffer_.size() < need)
            buffer_.resize(need);
        if (VariantToText(&value, buffer_.data(), (int)buffer_.size()))
            out->assign(buffer_.data());
        return;
    }
    }
}

// ---- delimited lines ----

bool NeedsQuotes(const std::wstring& text, const wchar_t* delimiter)
{
    if (!text.empty() && text[0] == L'"')
        return true;
    if (text.find_first_of(L"\r\n") != std::wstring::npos)
        return true;
    return delimiter && *delimiter && text.find(delimiter) != std::wstring::npos;
}

void AppendField(std::wstring* line, const std::wstring& text, const wchar_t* delimiter)
{
    if (!NeedsQuotes(text, delimiter)) {
        line->append(text);
        return;
    }
    line->push_back(L'"');
    for (wchar_t c : text) {
        if (c == L'"')
            line->push_back(L'"');
        line->push_back(c);
    }
    line->push_back(L'"');
}
