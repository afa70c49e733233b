// A dBASE III table of text columns (the names of a layer's shapes), with the texts in UTF-8;
// the layer's .cpg names that code page for the programs that read it.
#pragma once
#include <string>
#include <vector>

namespace zor {

struct DbfColumn
{
    std::string Name;  // at most 10 ASCII characters
    int Width;         // bytes, at most 254
};

// The table's bytes: header, column descriptors, one record per row (each row one text per
// column, cut to the column's width on a character boundary), end mark.
std::vector<unsigned char> MakeDbf(const std::vector<DbfColumn>& columns,
                                   const std::vector<std::vector<std::wstring>>& rows);

std::string Utf8Of(const std::wstring& text);

}  // namespace zor
