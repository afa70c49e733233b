// The pure rules of tree editing: the numbers the item dialog accepts, and where each of the
// tree card's drags may end.
#include <gtest/gtest.h>

#include <windows.h>

#include "browse/itemfields.h"
#include "browse/treecard.h"

namespace {

const wchar_t kNbsp = 0x00A0;

TEST(ItemFields, WholeNumbersAreTheWholeTextOrNothing)
{
    struct Case
    {
        const wchar_t* text;
        int result;
        int value;
    } cases[] = {
        {L"", ITEMFIELD_EMPTY, 0},      {L"   ", ITEMFIELD_EMPTY, 0},
        {L"1998", ITEMFIELD_READ, 1998}, {L" -12 ", ITEMFIELD_READ, -12},
        {L"+7", ITEMFIELD_READ, 7},      {L"19x8", ITEMFIELD_INVALID, 0},
        {L"12abc", ITEMFIELD_INVALID, 0}, {L"-", ITEMFIELD_INVALID, 0},
        {L"1,5", ITEMFIELD_INVALID, 0},  {L"99999999999", ITEMFIELD_INVALID, 0},
    };
    for (const Case& c : cases) {
        int value = -4711;
        EXPECT_EQ(c.result, ReadWholeNumberText(c.text, &value)) << std::wstring(c.text).size();
        EXPECT_EQ(c.result == ITEMFIELD_READ ? c.value : -4711, value);
    }
}

TEST(ItemFields, RealsTakeTheUsersSeparatorsAndNothingElse)
{
    wchar_t grouped[] = {L'1', kNbsp, L'2', L'3', L'4', L',', L'5', 0};
    struct Case
    {
        const wchar_t* text;
        int result;
        double value;
    } cases[] = {
        {grouped, ITEMFIELD_READ, 1234.5}, {L"1 234,5", ITEMFIELD_READ, 1234.5},
        {L"-0,25", ITEMFIELD_READ, -0.25}, {L"312.75", ITEMFIELD_READ, 312.75},
        {L"", ITEMFIELD_EMPTY, 0},         {L"12 m", ITEMFIELD_INVALID, 0},
        {L"1,2,3", ITEMFIELD_INVALID, 0},  {L",", ITEMFIELD_INVALID, 0},
        {L"inf", ITEMFIELD_INVALID, 0},
    };
    for (const Case& c : cases) {
        double value = -4711;
        ASSERT_EQ(c.result, ReadRealText(c.text, kNbsp, L',', &value));
        if (c.result == ITEMFIELD_READ)
            EXPECT_DOUBLE_EQ(c.value, value);
        else
            EXPECT_EQ(-4711, value);
    }
}

TEST(ItemFields, CoordinatesKeepTheirSignAndStayInRange)
{
    struct Case
    {
        const wchar_t *d, *m, *s;
        double limit;
        int result;
        double value;
        int badPart;
    } cases[] = {
        {L"49", L"30", L"45", 90, ITEMFIELD_READ, 49.5125, -1},
        {L"-14", L"15", L"", 180, ITEMFIELD_READ, -14.25, -1},
        {L"-0", L"30", L"0", 180, ITEMFIELD_READ, -0.5, -1},  // between -1 and 0
        {L"", L"30", L"x", 180, ITEMFIELD_EMPTY, 0, -1},
        {L"200", L"", L"", 180, ITEMFIELD_INVALID, 0, DMS_DEGREES},
        {L"90", L"0", L"1", 90, ITEMFIELD_INVALID, 0, DMS_DEGREES},
        {L"16", L"75", L"", 180, ITEMFIELD_INVALID, 0, DMS_MINUTES},
        {L"16", L"10", L"61", 180, ITEMFIELD_INVALID, 0, DMS_SECONDS},
        {L"1x6", L"", L"", 180, ITEMFIELD_INVALID, 0, DMS_DEGREES},
        {L"16", L"", L"59,5", 180, ITEMFIELD_READ, 16 + 59.5 / 3600, -1},
    };
    for (const Case& c : cases) {
        double value = -4711;
        int bad = -1;
        ASSERT_EQ(c.result, ReadDmsTexts(c.d, c.m, c.s, c.limit, kNbsp, L',', &value, &bad)) << c.d;
        if (c.result == ITEMFIELD_READ) {
            EXPECT_NEAR(c.value, value, 1e-9) << c.d;
        }
        if (c.result == ITEMFIELD_INVALID) {
            EXPECT_EQ(c.badPart, bad) << c.d;
        }
    }
}

TEST(DropRules, AnInsertMarkOnlyAtALabelsEdgesAndNotBesideTheDraggedItem)
{
    RECT label = {20, 100, 80, 116};
    struct Case
    {
        int y;
        bool previousDragged, nextDragged;
        int side;
    } cases[] = {
        {101, false, false, CARDMARK_BEFORE}, {103, false, false, CARDMARK_BEFORE},
        {104, false, false, CARDMARK_NONE},   {108, false, false, CARDMARK_NONE},
        {112, false, false, CARDMARK_NONE},   {113, false, false, CARDMARK_AFTER},
        {115, false, false, CARDMARK_AFTER},  {101, true, false, CARDMARK_NONE},
        {115, false, true, CARDMARK_NONE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.side, ReorderMarkSide(c.y, label, c.previousDragged, c.nextDragged)) << c.y;
}

TEST(DropRules, ChildrenGoOnlyToHigherLevelsOutsideTheirBranchAndRecordsOnlyToOtherDataItems)
{
    struct Case
    {
        int target, level, current, minLevel;
        bool inside, accepted;
    } children[] = {
        {0, -1, 9002, 3, false, true},     // the root takes any level
        {0, -1, 0, 3, false, false},       // unless it is the current item
        {9003, 2, 9002, 3, false, true},   // another family
        {9020, 3, 9002, 3, false, false},  // the same level
        {9121, 4, 9002, 3, false, false},  // a deeper one
        {9002, 2, 9002, 3, false, false},  // the current item
        {9001, 1, 9002, 3, true, false},   // inside a dragged branch
        {9555, -1, 9002, 3, false, false}, // a level the cache does not know is no root
    };
    for (const Case& c : children)
        EXPECT_EQ(c.accepted, AcceptsChildren(c.target, c.level, c.current, c.minLevel, c.inside))
            << c.target;
    EXPECT_TRUE(AcceptsRecords(true, 9103, 9101));
    EXPECT_FALSE(AcceptsRecords(true, 9101, 9101));
    EXPECT_FALSE(AcceptsRecords(false, 9010, 9101));
    EXPECT_FALSE(AcceptsRecords(true, 0, 9101));
}

}  // namespace
