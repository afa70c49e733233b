// A named condition on one column of the occurrence records. The map cards draw a query layer
// for each criterion and keep it in their settings; this layout and the operator codes are the
// contract between the criteria dialog and the map's query layers.
#pragma once
#include <windows.h>

#include <functional>

class CPtrArray;
class ConfigData;  // shellcontract/configdata.h

// QueryCriterion::Operator.
enum QueryOperator
{
    QUERY_OP_LESS = 0,           // "Menší": MinValue
    QUERY_OP_LESS_EQUAL = 1,     // "Menší nebo rovno"
    QUERY_OP_GREATER = 2,        // "Větší"
    QUERY_OP_GREATER_EQUAL = 3,  // "Větší nebo rovno"
    QUERY_OP_BETWEEN = 4,        // "V rozmezí": MinValue to MaxValue
    QUERY_OP_EQUAL = 5,          // "Rovno": MinValue
    QUERY_OP_ANY_OF = 6,         // any of Values; set by the dialog for columns with a lookup table
};

// Characters of each text field, with its terminator.
const int kQueryTextSize = 64;

// Allocated by its owner, which also creates Values (CPtrArray, ownership mode 2) and frees it.
struct QueryCriterion
{
    wchar_t Name[kQueryTextSize];       // the layer's name
    int FieldType;                      // CFieldBase kind: 1 database column, 2 composed column
    wchar_t FieldName[kQueryTextSize];  // the column's name; "CUSTOM" for every composed column
    int Operator;                       // QueryOperator
    wchar_t MinValue[kQueryTextSize];   // the value of operators 0-3 and 5, the lower bound of 4
    wchar_t MaxValue[kQueryTextSize];   // the upper bound of operator 4
    CPtrArray* Values;                  // malloc'd wide strings of operator 6
};

// Lets the user edit a criterion in the criteria dialog over owner: 1 when the user pressed OK
// (the criterion holds the new values), 0 for Storno (unchanged). The workspace hands its dialog
// to the map cards this way.
using QueryCriterionEditor = std::function<int(HWND owner, ConfigData* config, QueryCriterion* criterion)>;
