// The print form's report font on this machine: the face the report is shown in, and the font
// dialog that starts from it.
#include "reports/printform.h"

#include <wchar.h>

#include "common/fontchooser.h"

namespace {

struct FamilySearch
{
    const wchar_t* Face;
    bool Found;
};

int CALLBACK NoteFamily(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM param)
{
    FamilySearch* search = reinterpret_cast<FamilySearch*>(param);
    // A substitute name may enumerate the family it stands for: only the name itself counts.
    if (_wcsicmp(font->lfFaceName, search->Face) != 0)
        return 1;
    search->Found = true;
    return 0;
}

// Whether the machine has a horizontal font family of exactly this name (one the font dialog
// lists). A vertical "@" face is never taken for the report.
bool HasFontFamily(HDC dc, const wchar_t* face)
{
    if (!face || !*face || face[0] == L'@')
        return false;
    LOGFONTW wanted = {};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
    FamilySearch search = {wanted.lfFaceName, false};
    EnumFontFamiliesExW(dc, &wanted, NoteFamily, reinterpret_cast<LPARAM>(&search), 0);
    return search.Found;
}

}  // namespace

std::wstring CPrintForm::ShownFace() const
{
    std::wstring face = ReportFont.lfFaceName;
    HDC dc = GetDC(Window);
    if (!HasFontFamily(dc, face.c_str())) {
        // The face of the form's own font as the machine draws it ("MS Shell Dlg" is a
        // substitute name, its family has another).
        HFONT own = Window ? reinterpret_cast<HFONT>(SendMessageW(Window, WM_GETFONT, 0, 0)) : nullptr;
        HGDIOBJ old = SelectObject(dc, own ? own : GetStockObject(DEFAULT_GUI_FONT));
        wchar_t drawn[LF_FACESIZE] = L"";
        if (GetTextFaceW(dc, LF_FACESIZE, drawn) > 0 && HasFontFamily(dc, drawn))
            face = drawn;
        SelectObject(dc, old);
    }
    ReleaseDC(Window, dc);
    return face;
}

void CPrintForm::ChooseReportFont()
{
    // The dialog starts from the font the report shows: its face at the body size.
    ReportSizes(ReportFont, &BodySize, &TitleSize);
    LOGFONTW font = ReportFont;
    std::wstring face = ShownFace();
    lstrcpynW(font.lfFaceName, face.c_str(), LF_FACESIZE);
    HDC screen = GetDC(nullptr);
    font.lfHeight = -MulDiv(BodySize, GetDeviceCaps(screen, LOGPIXELSY), 144);
    ReleaseDC(nullptr, screen);
    font.lfWidth = 0;
    CHOOSEFONTW cf = {};
    cf.lStructSize = sizeof(cf);
    cf.hwndOwner = Window;
    cf.lpLogFont = &font;
    cf.iPointSize = BodySize * 5;
    cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_NOVERTFONTS;
    if (!ChooseFontDialog(&cf))
        return;
    ReportFont = font;
    RestartReport();
}
