// The legend style dialog EDITLEGENDSTYLE ("Úprava stylu"): a copy of one legend item's style
// edited with a live preview. One object serves every map card (the workspace keeps it), so the
// colour dialog's custom colours stay between uses.
#pragma once
#include <windows.h>

#include "core/zorobj.h"
#include "map/legend.h"

class CEditLegendStyleDlg : public CZorObj
{
public:
    explicit CEditLegendStyleDlg(HINSTANCE instance);
    ~CEditLegendStyleDlg() override;

    // Runs the dialog on a copy of the style; 1 on OK (the edited style is then Style), 0 on
    // Storno.
    int Show(HWND owner, const LegendStyle* style);
    // Renders Style into the preview at its size, over the transparency board.
    void RefreshStylePreview();

    // ---- the dialog's own work (its procedure calls these)
    void OnInit(HWND dialog);
    void OnCommand(int id, int code);
    // The brush of a colour swatch, null for other statics.
    HBRUSH SwatchBrush(HWND control);
    void OnDestroy();
    // Enables each group of controls by its check box and the style's kind.
    void EnableControls();

    HWND Owner;
    HWND Dialog;
    HFONT BoldFont;
    COLORREF CustColors[16];
    HINSTANCE Instance;
    LegendStyle Style;
    // The unit the lengths are shown and typed in (0 millimetres, 1 points), kept between uses;
    // the style itself always holds millimetres.
    int Units;

private:
    int Initialising;      // the controls are being filled: their changes are not the user's
    HBRUSH Brushes[3];     // border, fill and pattern swatches, made again when the colour changes
    COLORREF BrushColours[3];
    void ReadNumber(int id);
    // The widths, the size and the spacing in the chosen unit, with the unit beside each.
    void ShowLengths();
    void ChooseColour(int swatch, COLORREF* colour);
};

INT_PTR CALLBACK EditLegendStyleDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
