// EDITSYSITEM: the modal dialog in which the user creates or edits one taxon or locality. The
// tree card fills a TreeItemRecord, runs the dialog on it and stores it when the dialog answers
// 1. The dialog reads the item only through the main window's private messages and writes
// nothing to the database: what the user enters goes into the record.
//
// Pages, each a child dialog over the tab control's display area: the attributes (EDITSYSATTRS
// for a taxon, EDITLOCATTRS for a locality, sysitemdlg_attrs.cpp), the icons (EDITICONSDLG) and
// the pictures (EDITIMGSDLG, both sysitemdlg_images.cpp); a locality also has a note page.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

struct TreeItemRecord;

class CEditSysItemDlg
{
public:
    explicit CEditSysItemDlg(HINSTANCE instance);
    ~CEditSysItemDlg();
    CEditSysItemDlg(const CEditSysItemDlg&) = delete;
    CEditSysItemDlg& operator=(const CEditSysItemDlg&) = delete;

    // Runs EDITSYSITEM over the owner (the main window, which answers the dialog's messages) on
    // the record; 1 when the user confirmed valid input, 0 when cancelled.
    int Show(HWND owner, TreeItemRecord* record);

    // Reads the attributes page (and the note) into the record; false, after a warning that puts
    // the focus on the field at fault, when a value is missing or does not read.
    bool ReadFields();

    // ---- fields ----
    HWND Owner;
    HWND Dialog;
    int TreeAttrCount;            // property box items of SYSTREE / LOCTREE; the rest SPECIES / FEATURES
    wchar_t InitialFolder[260];   // of every file dialog; empty
    int CurrentPicture;
    HINSTANCE Instance;
    TreeItemRecord* Record;       // not owned
    HWND AttrPage;
    HWND IconsPage;
    HWND PicturesPage;
    HWND NoteEdit;                // locality only
    HIMAGELIST ToolbarImages;     // the pictures page's navigation, kept for the object's life

    // ---- internals (public for the dialog procedures and tests) ----
    // The object a page belongs to (the page's user data); and a page's start: the object into
    // its user data, the page into the object's slot.
    static CEditSysItemDlg* OfPage(HWND page);
    static CEditSysItemDlg* AttachPage(HWND page, LPARAM object, HWND CEditSysItemDlg::*slot);
    // The dialog's own buttons, pressed on a page (Enter and Escape there), go to the dialog;
    // false for any other command.
    bool PassDialogCommand(WPARAM wParam);
    bool IsTaxon() const;
    // The pages in tab order (the note edit is page 3 of a locality).
    HWND PageOfTab(int tab) const;
    void ShowTab(int tab);
    // Shows the attributes tab and warns with 511 or 512 about the control, named by its own
    // label or by that of the control given; the focus goes to the control.
    void Refuse(UINT textId, HWND control, HWND labelled = nullptr);
    // The same with a text of its own, named by the control's label.
    void Refuse(const std::wstring& text, HWND control);
    // Applies the level chosen in the attributes page: shows or hides what only items of a
    // level with records have.
    void ApplyLevel();
    // Stores the note typed for the current picture into its entry.
    void KeepPictureNote();

    static INT_PTR CALLBACK EditSysItemDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK SysAttrsDlgProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK LocAttrsDlgProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK IconsDlgProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK PicturesDlgProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    bool ReadTaxonFields();
    bool ReadLocalityFields();
    bool ReadAttributeValues(HWND box);
};

// Tabs of the dialog.
enum SysItemTab
{
    ITEMTAB_ATTRIBUTES = 0,
    ITEMTAB_ICONS = 1,
    ITEMTAB_PICTURES = 2,
    ITEMTAB_NOTE = 3,
};
