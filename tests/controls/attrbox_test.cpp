// The database object's attribute rows in a real property box, and the values of an edit dialog
// moved in and out of it: item order, captions, full-pointer item data, and the stop at the first
// empty required attribute.
#include "tests/controls/ctltest_host.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <string>

#include "core/ctlfill.h"
#include "core/database.h"
#include "core/textutil.h"
#include "tests/support/wintest.h"

using namespace ctltest;

namespace {

CustomAttrDef* NewDef(int type, const wchar_t* field, const wchar_t* caption, int key = 0)
{
    CustomAttrDef* def = (CustomAttrDef*)calloc(1, sizeof(CustomAttrDef));
    def->Type = type;
    def->KeyFlag = key;
    def->ColumnOrdinal = -1;
    CopyWideBounded(field, def->FieldName, 32);
    CopyWideBounded(caption, def->Caption, 64);
    return def;
}

std::wstring ItemName(HWND box, int item)
{
    LRESULT len = SendMessageW(box, PBXM_GETITEMTEXTLEN, PBX_ITEM(item), 0);
    if (len < 0)
        return L"<none>";
    std::wstring text((size_t)len + 1, L'\0');
    SendMessageW(box, PBXM_GETITEMTEXT, PBX_ITEM(item), (LPARAM)&text[0]);
    text.resize((size_t)len);
    return text;
}

TEST(AttrPropertyBox, SystematicAttributesThenSpeciesAttributesWithTheirValues)
{
    Host host(320, 220);
    HWND box = CreateBox(host.hwnd(), 0, 0, 320, 220);
    ASSERT_TRUE(box != nullptr);
    CDatabase db(host.hwnd(), GetModuleHandleW(nullptr));
    db.SysTreeAttrs->Add(NewDef(ATTR_TEXT, L"SKUPINACZ", L"Český název skupiny"));
    db.SpeciesAttrs->Add(NewDef(ATTR_INTEGER, L"POCET", L"Počet", 1));
    db.SpeciesAttrs->Add(NewDef(ATTR_REAL, L"DELKA", L"Délka těla (mm)"));
    db.SpeciesAttrs->Add(NewDef(ATTR_BOOLEAN, L"CHRANENY", L"Chráněný druh"));

    EXPECT_EQ(1, db.FillSysPropertyBox(box));
    ASSERT_EQ(4, SendMessageW(box, PBXM_GETCOUNT, (WPARAM)-1, 0));
    const CustomAttrDef* defs[4] = {
        (CustomAttrDef*)db.SysTreeAttrs->GetItems()[0], (CustomAttrDef*)db.SpeciesAttrs->GetItems()[0],
        (CustomAttrDef*)db.SpeciesAttrs->GetItems()[1], (CustomAttrDef*)db.SpeciesAttrs->GetItems()[2],
    };
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(std::wstring(defs[i]->Caption), ItemName(box, i)) << i;
        EXPECT_EQ((LRESULT)defs[i], SendMessageW(box, PBXM_GETITEMDATA, PBX_ITEM(i), 0)) << i;
    }

    // The dialog's values go in and come back out in item order.
    VARIANT values[4];
    CPtrArray list(PTRARRAY_BORROWS, 4, 1);
    for (int i = 0; i < 4; i++) {
        VariantInit(&values[i]);
        list.Add(&values[i]);
    }
    values[0].vt = VT_BSTR;
    values[0].bstrVal = SysAllocString(L"Střevlíkovití");
    values[1].vt = VT_I4;
    values[1].lVal = 12;
    values[2].vt = VT_R8;
    values[2].dblVal = 23.5;
    values[3].vt = VT_BOOL;
    values[3].boolVal = VARIANT_TRUE;
    SetPropertyBoxValues(box, &list);
    UpdateWindow(box);
    wintest::PumpMessages(100);
    EXPECT_FALSE(wintest::SaveScreenshot(host.hwnd(), L"attrbox_values").empty());
    ClearVariantArray(&list);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(VT_EMPTY, values[i].vt);

    EXPECT_EQ(-1, GetPropertyBoxValues(box, &list, 0));
    ASSERT_EQ(VT_BSTR, values[0].vt);
    EXPECT_STREQ(L"Střevlíkovití", values[0].bstrVal);
    EXPECT_EQ(12, VariantToInt(&values[1]));
    EXPECT_DOUBLE_EQ(23.5, VariantToReal(&values[2]));
    EXPECT_EQ(VT_BOOL, values[3].vt);

    // The required count emptied: reading stops at it, unless told to skip the check.
    VARIANT empty;
    VariantInit(&empty);
    SendMessageW(box, PBXM_SETVALUE, PBX_ITEM(1), (LPARAM)&empty);
    ClearVariantArray(&list);
    EXPECT_EQ(1, GetPropertyBoxValues(box, &list, 0));
    EXPECT_EQ(VT_EMPTY, values[2].vt);
    EXPECT_EQ(-1, GetPropertyBoxValues(box, &list, 1));
    EXPECT_DOUBLE_EQ(23.5, VariantToReal(&values[2]));
    ClearVariantArray(&list);
    DestroyWindow(box);
}

TEST(AttrPropertyBox, LiteratureAndLocalityBoxesCountTheirFirstTable)
{
    Host host(300, 200);
    HWND box = CreateBox(host.hwnd(), 0, 0, 300, 200);
    CDatabase db(host.hwnd(), GetModuleHandleW(nullptr));
    db.FeatureAttrs->Add(NewDef(ATTR_LOOKUP, L"BIOTOP", L"Biotop"));
    db.FeatureAttrs->Add(NewDef(ATTR_LONG_TEXT, L"POPIS", L"Popis lokality"));
    EXPECT_EQ(0, db.FillLocPropertyBox(box));
    ASSERT_EQ(2, SendMessageW(box, PBXM_GETCOUNT, (WPARAM)-1, 0));
    EXPECT_EQ(L"Biotop", ItemName(box, 0));
    EXPECT_EQ(L"Popis lokality", ItemName(box, 1));

    SendMessageW(box, PBXM_RESETCONTENT, 0, 0);
    db.LiteratureAttrs->Add(NewDef(ATTR_INTEGER, L"IYEAR", L"Rok"));
    db.LiteratureAttrs->Add(NewDef(ATTR_LOOKUP, L"JAZYK", L"Jazyk"));
    EXPECT_EQ(2, db.FillLitPropertyBox(box));
    ASSERT_EQ(2, SendMessageW(box, PBXM_GETCOUNT, (WPARAM)-1, 0));
    EXPECT_EQ((LRESULT)db.LiteratureAttrs->GetItems()[1], SendMessageW(box, PBXM_GETITEMDATA, PBX_ITEM(1), 0));
    DestroyWindow(box);
}

TEST(AttrPropertyBox, ValuesStayOnTheirOwnItemsAndValuesWithoutAnItemAreSkipped)
{
    Host host(300, 200);
    HWND box = CreateBox(host.hwnd(), 0, 0, 300, 200);
    CDatabase db(host.hwnd(), GetModuleHandleW(nullptr));
    db.RecordAttrs->Add(NewDef(ATTR_TEXT, L"LEG", L"Sběratel", 1));
    db.RecordAttrs->Add(nullptr);  // a definition that could not be read
    db.RecordAttrs->Add(NewDef(ATTR_INTEGER, L"POCET", L"Počet"));
    db.FillRecordPropertyBox(box);
    // One item per definition, so that value 2 lands on the count.
    ASSERT_EQ(3, SendMessageW(box, PBXM_GETCOUNT, (WPARAM)-1, 0));
    EXPECT_EQ(0, SendMessageW(box, PBXM_GETITEMDATA, PBX_ITEM(1), 0));
    EXPECT_EQ((LRESULT)db.RecordAttrs->GetItems()[2], SendMessageW(box, PBXM_GETITEMDATA, PBX_ITEM(2), 0));
    EXPECT_EQ(L"Počet", ItemName(box, 2));

    // More values than items: the real box answers -1 for the missing ones.
    VARIANT values[5];
    CPtrArray list(PTRARRAY_BORROWS, 5, 1);
    for (int i = 0; i < 5; i++) {
        VariantInit(&values[i]);
        values[i].vt = VT_I4;
        values[i].lVal = 10 + i;
        list.Add(&values[i]);
    }
    ASSERT_EQ(-1, SendMessageW(box, PBXM_GETITEMDATA, PBX_ITEM(3), 0));
    SetPropertyBoxValues(box, &list);
    ClearVariantArray(&list);
    EXPECT_EQ(-1, GetPropertyBoxValues(box, &list, 0));
    EXPECT_EQ(10, VariantToIntOrZero(&values[0]));
    EXPECT_EQ(12, VariantToIntOrZero(&values[2]));
    EXPECT_EQ(VT_EMPTY, values[3].vt);
    EXPECT_EQ(VT_EMPTY, values[4].vt);

    // The required first item, emptied, still stops the reading there.
    VARIANT empty;
    VariantInit(&empty);
    SendMessageW(box, PBXM_SETVALUE, PBX_ITEM(0), (LPARAM)&empty);
    EXPECT_EQ(0, GetPropertyBoxValues(box, &list, 0));
    ClearVariantArray(&list);
    DestroyWindow(box);
}

TEST(AttrPropertyBox, ADateGoesInAsItsTextInTheUsersFormat)
{
    Host host(300, 200);
    HWND box = CreateBox(host.hwnd(), 0, 0, 300, 200);
    SendMessageW(box, PBXM_ADDITEM, MAKEWPARAM(0xFFFF, PBT_TEXT), (LPARAM)L"Datum");
    VARIANT date;
    VariantInit(&date);
    date.vt = VT_DATE;
    date.date = 40299;  // 1 May 2010
    CPtrArray list(PTRARRAY_BORROWS, 1, 1);
    list.Add(&date);
    SetPropertyBoxValues(box, &list);
    EXPECT_EQ(VT_DATE, date.vt);  // the caller's value is left as it was
    ASSERT_EQ(-1, GetPropertyBoxValues(box, &list, 0));
    ASSERT_EQ(VT_BSTR, date.vt);
    EXPECT_NE(std::wstring::npos, std::wstring(date.bstrVal).find(L"2010"));
    VARIANT back;
    VariantInit(&back);
    ASSERT_EQ(S_OK, VariantChangeTypeEx(&back, &date, LOCALE_USER_DEFAULT, 0, VT_DATE));
    EXPECT_EQ(40299.0, back.date);
    VariantClear(&date);
    DestroyWindow(box);
}

}  // namespace
