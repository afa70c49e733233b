// Which files go to the XML parser. The programs' settings files (workspace, grid definitions,
// the utilities' settings) are small and declare no document type; a file that is large or has a
// DOCTYPE is refused before the parser sees it: an entity declared there and used thousands of
// times, or one attribute of many megabytes, keeps the parser busy for minutes.
#pragma once
#include <windows.h>

#include <string>

// How a settings file was read.
enum XmlReadResult {
    XmlReadOk = 0,
    XmlReadMissing,   // no file there, or it cannot be opened
    XmlReadDamaged,   // read, but it is no whole XML document
    XmlReadDoctype,   // refused unparsed: it declares a document type
    XmlReadTooLarge,  // refused unparsed: more than kSettingsFileLimit bytes
};

// The largest settings file read (a workspace of many maps and grids takes a few megabytes).
const size_t kSettingsFileLimit = 8u << 20;

// Whether the file's bytes may be parsed: XmlReadOk, XmlReadDoctype or XmlReadTooLarge.
int CheckSettingsBytes(const std::string& bytes);

// The Czech text of a file that was not read, naming it (resources/xmlrefusal_ids.h in the
// program's string table); empty for XmlReadOk and XmlReadMissing.
std::wstring XmlReadResultText(HINSTANCE module, int result, const wchar_t* path);
// For a file refused unparsed (XmlReadDoctype, XmlReadTooLarge): its text in an error box over
// owner under the caption entry, and true; false, with nothing shown, for any other result.
bool ShowXmlRefusal(HWND owner, HINSTANCE module, UINT captionId, const wchar_t* path, int result);
