#include "core/xmlrefusal.h"

#include "core/msgbox.h"
#include "core/msgboxtext.h"
#include "resources/xmlrefusal_ids.h"

namespace {

// Whether "<!DOCTYPE" stands anywhere in the bytes, in a single-byte form, UTF-8 or a wider
// encoding (whose zero bytes are passed over). The programs' files never hold it: their texts
// have every '<' escaped, and their only comment names the kind of file.
bool HasDoctype(const std::string& bytes)
{
    static const char kMark[] = "<!DOCTYPE";
    size_t matched = 0;
    for (char c : bytes) {
        if (c == '\0')
            continue;
        if (c == kMark[matched]) {
            if (!kMark[++matched])
                return true;
        } else {
            matched = c == kMark[0] ? 1 : 0;
        }
    }
    return false;
}

}  // namespace

int CheckSettingsBytes(const std::string& bytes)
{
    if (bytes.size() > kSettingsFileLimit)
        return XmlReadTooLarge;
    return HasDoctype(bytes) ? XmlReadDoctype : XmlReadOk;
}

std::wstring XmlReadResultText(HINSTANCE module, int result, const wchar_t* path)
{
    const wchar_t* file = path ? path : L"";
    switch (result) {
    case XmlReadDamaged:
        return ResourceText(module, IDS_XML_DAMAGED, {file});
    case XmlReadDoctype:
        return ResourceText(module, IDS_XML_DOCTYPE, {file});
    case XmlReadTooLarge:
        return ResourceText(module, IDS_XML_TOO_LARGE,
                            {file, std::to_wstring(kSettingsFileLimit >> 20).c_str()});
    }
    return std::wstring();
}

bool ShowXmlRefusal(HWND owner, HINSTANCE module, UINT captionId, const wchar_t* path, int result)
{
    if (result != XmlReadDoctype && result != XmlReadTooLarge)
        return false;
    const std::wstring text = XmlReadResultText(module, result, path);
    const std::wstring caption = ResourceText(module, captionId, {});
    ZorMessageBox(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
    return true;
}
