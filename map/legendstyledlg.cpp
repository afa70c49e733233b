#include "map/legendstyledlg.h"

#include <commdlg.h>

#include <cmath>

#include "common/colorchooser.h"
#include "core/ctlfill.h"
#include "map/mapunits.h"
#include "map/stylepreview.h"
#include "resources/zorna/resource.h"

namespace {

const int kSwatches[3] = {IDC_STYLE_BORDERSWATCH, IDC_STYLE_FILLSWATCH, IDC_STYLE_PATTERNSWATCH};

// The length edits and the unit label beside each.
const int kLengthEdits[4] = {IDC_STYLE_BORDERWIDTH, IDC_STYLE_SIZE, IDC_STYLE_PATTERNSIZE, IDC_STYLE_PATTERNWIDTH};
const int kLengthUnits[4] = {IDC_STYLE_BORDERLAST, IDC_STYLE_SIZEUNIT, 132, 135};

// Points in a millimetre, as the map counts an inch (the PostScript picture's 72 points).
const double kPointsPerMm = 72 / kMapMmPerInch;

void EnableRange(HWND dialog, int first, int last, bool enable)
{
    for (int id = first; id <= last; ++id)
        if (HWND control = GetDlgItem(dialog, id))
            EnableWindow(control, enable);
}

void FillCombo(HWND dialog, int id, HINSTANCE instance, UINT firstString, int count, int selected)
{
    HWND combo = GetDlgItem(dialog, id);
    for (int i = 0; i < count; ++i) {
        wchar_t text[64] = L"";
        LoadStringW(instance, firstString + i, text, 64);
        SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)text);
    }
    SendMessageW(combo, CB_SETCURSEL, selected, 0);
}

bool Checked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

}  // namespace

CEditLegendStyleDlg::CEditLegendStyleDlg(HINSTANCE instance)
    : Owner(nullptr), Dialog(nullptr), BoldFont(nullptr), CustColors(), Instance(instance), Style(),
      Units(0), Initialising(0), Brushes(), BrushColours()
{
    for (COLORREF& c : CustColors)
        c = RGB(255, 255, 255);
}

CEditLegendStyleDlg::~CEditLegendStyleDlg() = default;

int CEditLegendStyleDlg::Show(HWND owner, const LegendStyle* style)
{
    if (!style)
        return 0;
    Owner = owner;
    Style = *style;
    INT_PTR result = DialogBoxParamW(Instance, L"EDITLEGENDSTYLE", owner, EditLegendStyleDlgProc, (LPARAM)this);
    Dialog = nullptr;
    return result == 1 ? 1 : 0;
}

void CEditLegendStyleDlg::OnInit(HWND dialog)
{
    Dialog = dialog;
    Initialising = 1;
    LOGFONTW font = {};
    GetObjectW((HFONT)SendMessageW(dialog, WM_GETFONT, 0, 0), sizeof font, &font);
    font.lfWeight = FW_BOLD;
    BoldFont = CreateFontIndirectW(&font);
    SendDlgItemMessageW(dialog, IDC_STYLE_TYPE, WM_SETFONT, (WPARAM)BoldFont, FALSE);
    const int type = Style.StyleType == STYLE_LINE || Style.StyleType == STYLE_AREA ? Style.StyleType : STYLE_SYMBOL;
    wchar_t name[64] = L"";
    LoadStringW(Instance, IDS_STYLETYPE_FIRST + type, name, 64);
    SetDlgItemTextW(dialog, IDC_STYLE_TYPE, name);

    FillCombo(dialog, IDC_STYLE_SYMBOL, Instance, IDS_SYMBOL_FIRST, 3, Style.SymbShape);
    FillCombo(dialog, IDC_STYLE_UNITS, Instance, IDS_UNIT_MM, 2, Units);
    FillCombo(dialog, IDC_STYLE_PATTERNTYPE, Instance, IDS_PATTERN_FIRST, 2, Style.PatternType);

    CheckDlgButton(dialog, IDC_STYLE_BORDER, Style.Border ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_STYLE_FILL, Style.Fill ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemInt(dialog, IDC_STYLE_TRANSPARENCY, (UINT)Style.FillTransp, FALSE);
    CheckDlgButton(dialog, IDC_STYLE_FULLCELL, Style.FullCell ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_STYLE_PATTERN, Style.Pattern ? BST_CHECKED : BST_UNCHECKED);
    ShowLengths();
    SetWindowReal(GetDlgItem(dialog, IDC_STYLE_PATTERNANGLE), Style.PatternRotation);
    EnableControls();
    Initialising = 0;
    RefreshStylePreview();
}

void CEditLegendStyleDlg::ShowLengths()
{
    const int was = Initialising;
    Initialising = 1;  // the texts set are no typing
    const double lengths[4] = {Style.BorderWidth, Style.SymbSize, Style.PatternSize, Style.PatternWidth};
    const double factor = Units == 1 ? kPointsPerMm : 1.0;
    wchar_t unit[16] = L"";
    LoadStringW(Instance, Units == 1 ? IDS_UNIT_PT : IDS_UNIT_MM, unit, 16);
    for (int k = 0; k < 4; ++k) {
        SetWindowReal(GetDlgItem(Dialog, kLengthEdits[k]), lengths[k] * factor);
        SetDlgItemTextW(Dialog, kLengthUnits[k], unit);
    }
    Initialising = was;
}

void CEditLegendStyleDlg::EnableControls()
{
    const bool area = Style.StyleType == STYLE_AREA;
    const bool line = Style.StyleType == STYLE_LINE;
    const bool symbol = !area && !line;
    EnableRange(Dialog, IDC_STYLE_BORDERGROUP, IDC_STYLE_BORDERLAST, Style.Border);
    EnableRange(Dialog, IDC_STYLE_FILLGROUP, IDC_STYLE_FILLLAST, Style.Fill);
    EnableRange(Dialog, IDC_STYLE_PATTERN, IDC_STYLE_PATTERN, !line);
    EnableRange(Dialog, IDC_STYLE_PATTERNGROUP, IDC_STYLE_PATTERNLAST, Style.Pattern && !line);
    EnableRange(Dialog, IDC_STYLE_SYMBOL, IDC_STYLE_SYMBOL, symbol);
    EnableRange(Dialog, IDC_STYLE_FULLCELL, IDC_STYLE_FULLCELL, symbol);
    EnableRange(Dialog, IDC_STYLE_SIZELABEL, IDC_STYLE_SIZEUNIT, !area);
}

void CEditLegendStyleDlg::RefreshStylePreview()
{
    HWND picture = GetDlgItem(Dialog, IDC_STYLE_PREVIEW);
    if (!picture)
        return;
    RECT r;
    GetClientRect(picture, &r);
    HDC dc = GetDC(picture);
    HBITMAP preview = RenderStylePreview(dc, r.right, r.bottom, &Style, 1);
    ReleaseDC(picture, dc);
    if (!preview)
        return;
    HBITMAP old = (HBITMAP)SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)preview);
    if (old)
        DeleteObject(old);
    // A static may keep a copy of the bitmap instead (32-bit pictures): ours is then not needed.
    if ((HBITMAP)SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0) != preview)
        DeleteObject(preview);
    UpdateWindow(picture);
}

void CEditLegendStyleDlg::ReadNumber(int id)
{
    double* field = id == IDC_STYLE_BORDERWIDTH   ? &Style.BorderWidth
                     : id == IDC_STYLE_SIZE         ? &Style.SymbSize
                     : id == IDC_STYLE_PATTERNSIZE  ? &Style.PatternSize
                     : id == IDC_STYLE_PATTERNWIDTH ? &Style.PatternWidth
                                                    : &Style.PatternRotation;
    double value = 0;
    if (GetWindowReal(GetDlgItem(Dialog, id), 64, &value) != 1 || !std::isfinite(value))
        return;  // an empty or unreadable text keeps the value
    // Widths, sizes and the spacing of hatching lines must be above 0 (a spacing of 0 would
    // draw lines without end); the angle may be anything.
    if (id != IDC_STYLE_PATTERNANGLE && !(value > 0))
        return;
    *field = id != IDC_STYLE_PATTERNANGLE && Units == 1 ? value / kPointsPerMm : value;
}

void CEditLegendStyleDlg::ChooseColour(int swatch, COLORREF* colour)
{
    CHOOSECOLORW cc = {};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = Dialog;
    cc.rgbResult = *colour;
    cc.lpCustColors = CustColors;
    cc.Flags = CC_RGBINIT | CC_ANYCOLOR;
    if (!ChooseColorDialog(&cc))
        return;
    *colour = cc.rgbResult & 0xFFFFFF;
    InvalidateRect(GetDlgItem(Dialog, swatch), nullptr, TRUE);
}

void CEditLegendStyleDlg::OnCommand(int id, int code)
{
    switch (id) {
    case IDOK:
        EndDialog(Dialog, 1);
        return;
    case IDCANCEL:
        EndDialog(Dialog, 0);
        return;
    case IDC_STYLE_BORDER:
    case IDC_STYLE_FILL:
    case IDC_STYLE_PATTERN: {
        if (code != BN_CLICKED)
            return;
        bool& field = id == IDC_STYLE_BORDER ? Style.Border : id == IDC_STYLE_FILL ? Style.Fill : Style.Pattern;
        field = Checked(Dialog, id);
        EnableControls();
        break;
    }
    case IDC_STYLE_BORDERCOLOR: ChooseColour(IDC_STYLE_BORDERSWATCH, &Style.BorderColor); break;
    case IDC_STYLE_FILLCOLOR: ChooseColour(IDC_STYLE_FILLSWATCH, &Style.FillColor); break;
    case IDC_STYLE_PATTERNCOLOR: ChooseColour(IDC_STYLE_PATTERNSWATCH, &Style.PatternColor); break;
    case IDC_STYLE_BORDERWIDTH:
    case IDC_STYLE_SIZE:
    case IDC_STYLE_PATTERNSIZE:
    case IDC_STYLE_PATTERNWIDTH:
    case IDC_STYLE_PATTERNANGLE:
        if (code != EN_CHANGE || Initialising)
            return;
        ReadNumber(id);
        break;
    case IDC_STYLE_TRANSPARENCY: {
        if (code != EN_CHANGE || Initialising)
            return;
        BOOL read = FALSE;
        UINT value = GetDlgItemInt(Dialog, id, &read, FALSE);
        if (!read)
            return;
        Style.FillTransp = value > 100 ? 100 : (int)value;
        break;
    }
    case IDC_STYLE_SYMBOL:
    case IDC_STYLE_PATTERNTYPE: {
        if (code != CBN_SELCHANGE)
            return;
        const int selected = (int)SendDlgItemMessageW(Dialog, id, CB_GETCURSEL, 0, 0);
        if (selected < 0)
            return;
        (id == IDC_STYLE_SYMBOL ? Style.SymbShape : Style.PatternType) = selected;
        break;
    }
    case IDC_STYLE_FULLCELL:
        if (code == BN_CLICKED)
            Style.FullCell = Checked(Dialog, id);
        return;  // no new preview
    case IDC_STYLE_UNITS: {
        // The same lengths shown in the other unit; the style keeps its millimetres.
        const int selected = (int)SendDlgItemMessageW(Dialog, id, CB_GETCURSEL, 0, 0);
        if (code == CBN_SELCHANGE && selected >= 0 && selected != Units) {
            Units = selected;
            ShowLengths();
        }
        return;
    }
    default:
        return;
    }
    RefreshStylePreview();
}

HBRUSH CEditLegendStyleDlg::SwatchBrush(HWND control)
{
    const int id = GetDlgCtrlID(control);
    const COLORREF colours[3] = {Style.BorderColor, Style.FillColor, Style.PatternColor};
    for (int k = 0; k < 3; ++k) {
        if (id != kSwatches[k])
            continue;
        // One brush per swatch, made again only when its colour changed.
        if (!Brushes[k] || BrushColours[k] != colours[k]) {
            if (Brushes[k])
                DeleteObject(Brushes[k]);
            Brushes[k] = CreateSolidBrush(colours[k]);
            BrushColours[k] = colours[k];
        }
        return Brushes[k];
    }
    return nullptr;
}

void CEditLegendStyleDlg::OnDestroy()
{
    if (BoldFont)
        DeleteObject(BoldFont);
    BoldFont = nullptr;
    HBITMAP preview =
        (HBITMAP)SendDlgItemMessageW(Dialog, IDC_STYLE_PREVIEW, STM_SETIMAGE, IMAGE_BITMAP, 0);
    if (preview)
        DeleteObject(preview);
    for (HBRUSH& brush : Brushes) {
        if (brush)
            DeleteObject(brush);
        brush = nullptr;
    }
}

INT_PTR CALLBACK EditLegendStyleDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        ((CEditLegendStyleDlg*)lParam)->OnInit(hwnd);
        return TRUE;
    }
    CEditLegendStyleDlg* dlg = (CEditLegendStyleDlg*)GetWindowLongPtrW(hwnd, DWLP_USER);
    if (!dlg)
        return FALSE;
    switch (msg) {
    case WM_COMMAND:
        dlg->OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_CTLCOLORSTATIC:
        if (HBRUSH brush = dlg->SwatchBrush((HWND)lParam))
            return (INT_PTR)brush;
        return FALSE;
    case WM_DESTROY:
        dlg->OnDestroy();
        return FALSE;
    default:
        return FALSE;
    }
}
