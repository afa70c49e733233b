// The import log: every import writes the source rows it could not import into a dated 8-bit
// text file in the data folder ("Imp20110315_093005.log"), and the log viewer shows it. Each
// import source carries one ImportLog as its data part.
//
// The file is written in the system's ANSI code page, lines ended by CR LF, without a byte-order
// mark. Every error entry counts in ErrorCount, also when the file could not be made (the writes
// then do nothing), so the run still learns that rows failed. A note (a row imported, but with a
// choice the user should know of) counts in NoteCount instead: it keeps the log, not an error.
// A log that could not be made, or whose text did not all reach the disk (a full disk), keeps the
// system's error in LostError: the run's end then says that the log is incomplete.
#pragma once
#include <windows.h>
#include <string>

#include "dataaccess/ado.h"

struct ImportLog {
    HANDLE LogFile;                // the open log, null before it is opened
    DWORD LostError;               // why text did not reach the file (the first error); 0 while whole
    std::string Pending;           // text not yet written to the file
    int ErrorCount;                // error entries written since it was opened
    int NoteCount;                 // notes written since it was opened
    zdata::Connection* Connection; // target database, whose errors an entry may list
    wchar_t LinePrefix[64];        // "Chyba na řádku: "
    wchar_t NotePrefix[64];        // "Upozornění k řádku: "
    wchar_t SourcePrefix[32];      // "  Zdroj: "
    wchar_t DescPrefix[32];        // "  Popis: "
    wchar_t LogPath[260];          // full path of the log file
};

// The folder of the import logs: the REG_SZ value "Z211 Data" under HKEY_LOCAL_MACHINE
// "Software\Kelvane\Z211" when it can be read, else the common application-data folder +
// "\Kelvane\Zorna2011\"; with a trailing backslash either way.
std::wstring ImportDataFolder();

// Writes folder + "Imp" + the time as "%d%.2d%.2d_%.2d%.2d%.2d.log" into path (size
// characters), one backslash between folder and name. A folder too long for the path gives the
// default folder instead; false (path empty) when even that does not fit.
bool FormatImportLogPath(const std::wstring& folder, const SYSTEMTIME& time, wchar_t* path, int size);

// Builds LogPath for a log opened now (data folder, local time).
void BuildImportLogPath(ImportLog* log);

// Where the log was written (the viewer shows it).
const wchar_t* GetImportLogPath(const ImportLog* log);

// Zeroes the counts and LostError, keeps the connection, builds LogPath (creating its folder) and
// makes the file anew; false (LostError set) when the file cannot be made.
bool OpenImportLog(ImportLog* log, zdata::Connection* connection);

// Writes the text's bytes in the ANSI code page. From the first write that fails on, nothing
// more reaches the file: the log stays a whole beginning of what was logged.
void WriteLogText(ImportLog* log, const wchar_t* text);

// An entry: LinePrefix + the line number, then the message (which may hold CR LF itself).
void LogImportError(ImportLog* log, int line, const wchar_t* message);

// A note: NotePrefix + the line number, then the message.
void LogImportNote(ImportLog* log, int line, const wchar_t* message);

// A line of its own, no entry and not counted: how the run ended when the user stopped it.
void LogImportLine(ImportLog* log, const wchar_t* text);

// An entry: LinePrefix + the line number, then "  Zdroj: " + Source and "  Popis: " + Description
// of each error of the connection.
void LogAdoErrors(ImportLog* log, int line);

// The entry prefixes ("Chyba na řádku: ", "Upozornění k řádku: ", "  Zdroj: ", "  Popis: ") from
// the program's strings.
void LoadImportLogPrefixes(ImportLog* log, HINSTANCE instance);

// Writes what is pending and closes the file; the number of error entries written.
int CloseImportLog(ImportLog* log);

// When entries were logged that the file does not hold whole: the Czech words saying so, naming
// the file and the system's reason (string IDS_I_LOG_INCOMPLETE); else empty.
std::wstring ImportLogLostText(HINSTANCE instance, const ImportLog* log);

// Errors and notes written since the log was opened: the log is kept (and shown) when nonzero.
inline int LogEntryCount(const ImportLog* log) { return log->ErrorCount + log->NoteCount; }

// Deletes the log file; the system's result (nonzero when it was deleted). Called by the
// import when it logged no error, and by the viewer on the user's request.
BOOL DeleteImportLog(const ImportLog* log);
