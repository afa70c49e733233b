// Existing Excel 97-2003 workbooks: opening the "Workbook" stream of the compound file, telling
// what stands in the way of reading it, the sheets it lists, and the scan of its globals that a
// sheet added to it needs.
#pragma once
#include <windows.h>
#include <objidl.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "workbook/chunkio.h"
#include "workbook/sharedstrings.h"

namespace xls {

enum class BookStatus
{
    Ok,
    NotFound,      // no such file or folder
    Locked,        // another program holds the file
    NotWorkbook,   // not a compound file, or one without a "Workbook" or "Book" stream (.xlsx, text...)
    OldFormat,     // Excel 5.0/95 or older (BOF version below BIFF8, or a bare BIFF2-4 file of
                   // Excel 2.x to 4.0)
    Encrypted,     // protected by a password (FILEPASS)
    Damaged,       // truncated or inconsistent records, or a compound file whose structure is not sound
    IoError,       // the system refused a read or write; see the HRESULT
    NameTaken,     // a sheet of that name is there already (case ignored)
    BadName,       // not a valid sheet name
    TooLarge,      // beyond 65,536 rows, 256 columns or the workbook's style table
};

// One sheet of the globals' BOUNDSHEET list.
struct SheetInfo
{
    std::wstring name;
    uint8_t kind = 0;    // 0 worksheet, 1 macro sheet, 2 chart, 6 VBA module
    uint8_t state = 0;   // 0 visible, 1 hidden, 2 very hidden
    uint32_t offset = 0; // of the sheet's BOF in the stream
};

// Reads a BOUNDSHEET record (offset, state, kind, name); false when it does not read as one.
bool ReadBoundSheet(const uint8_t* data, size_t size, SheetInfo* sheet);

// Whether two sheet names are the same, ignoring case the way the sheet tabs do ("Čáp" and
// "ČÁP" are one name).
bool SameSheetName(const std::wstring& a, const std::wstring& b);

// A name a sheet can carry: 1 to 31 characters, none of : \ / ? * [ ], no apostrophe at the
// start or the end.
bool IsValidSheetName(const std::wstring& name);

// The stream names of the workbook: Excel 97 and later, and Excel 5.0/95 (compared ignoring case).
const wchar_t kWorkbookStream[] = L"Workbook";
const wchar_t kOlderBookStream[] = L"Book";

// The workbook stream of a compound file ("Workbook", else "Book"), open for reading while this
// object lives. Other programs may read the file meanwhile but not write it. A compound file
// whose structure is not sound is refused as Damaged before the system's storage reads it.
class BookStream
{
public:
    BookStream() = default;
    ~BookStream() { Close(); }
    BookStream(const BookStream&) = delete;
    BookStream& operator=(const BookStream&) = delete;

    BookStatus Open(const wchar_t* path);
    void Close();
    IStorage* Storage() const { return storage_; }
    IStream* Stream() const { return stream_; }
    // The open stream's name as the file spells it.
    const std::wstring& Name() const { return name_; }
    HRESULT Error() const { return error_; }

private:
    std::wstring name_;
    IStorage* storage_ = nullptr;
    IStream* stream_ = nullptr;
    HRESULT error_ = S_OK;
};

// One record of the globals: where it is and what it is.
struct RecordSpan
{
    uint16_t id;
    uint16_t size;
    uint64_t position;
};

// What the globals of a workbook hold.
struct GlobalsScan
{
    std::vector<SheetInfo> sheets;
    std::vector<RecordSpan> records;  // every record of the globals, their EOF last
    uint64_t end = 0;                 // just after that EOF
    uint32_t xfCount = 0;
    size_t lastXf = SIZE_MAX;         // indexes into records; SIZE_MAX when there is none
    size_t lastSheet = SIZE_MAX;
    size_t sst = SIZE_MAX;            // the SST record (its CONTINUE records follow it)
    size_t sstEnd = SIZE_MAX;         // the first record after the table
    size_t extSst = SIZE_MAX;
    size_t tabId = SIZE_MAX;
    uint32_t strings = 0;             // strings read from the table
    uint32_t references = 0;          // its declared total of references
    std::vector<StringMark> marks;    // every eighth string of the table
    uint64_t sheetRecords = 0;        // records read after the sheets' BOFs to check them
};

// Reads the globals from the start of the stream and checks that each sheet's substream
// starts where the list says.
BookStatus ScanGlobals(RecordReader* reader, GlobalsScan* scan);

// The sheets of the workbook at path. *error gets the system's HRESULT of an IoError (or S_OK).
BookStatus ReadWorkbookSheets(const wchar_t* path, std::vector<SheetInfo>* sheets, HRESULT* error);

}  // namespace xls
