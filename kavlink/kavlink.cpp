// The connection form: a database file chosen in the system's open dialog, with the folder and
// filter last used remembered in the program's settings file.
#include "kavlink/kavlink.h"

#include <stdlib.h>
#include <string>
#include <vector>

#include "common/datapaths.h"
#include "core/xmlaccess.h"

namespace {

// Long enough for any path the system accepts, so a chosen file is never cut short.
const DWORD kPathCapacity = 32768;

const wchar_t kTitle[] = L"Otevřít databázi";
// Filter pairs, each part ended by a null; the list ends with a second null.
const wchar_t kFilter[] = L"Databáze Zorny (*.mdb)\0*.mdb\0Všechny soubory (*.*)\0*.*\0";
const wchar_t kDefaultExt[] = L"mdb";

ConnFileChooser g_chooser = nullptr;

wchar_t* DupText(const wchar_t* text)
{
    if (!text)
        return nullptr;
    size_t n = wcslen(text) + 1;
    wchar_t* copy = static_cast<wchar_t*>(malloc(n * sizeof(wchar_t)));
    if (copy)
        memcpy(copy, text, n * sizeof(wchar_t));
    return copy;
}

std::wstring FolderOf(const wchar_t* path)
{
    std::wstring p = path ? path : L"";
    size_t slash = p.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : p.substr(0, slash);
}

class OpenConnForm final : public IOpenConnForm
{
public:
    OpenConnForm(HINSTANCE instance, HWND owner) : instance_(instance), owner_(owner) {}
    ~OpenConnForm() = default;

    void SetOwner(HINSTANCE instance, HWND owner)
    {
        instance_ = instance;
        owner_ = owner;
    }

    int RunDialog(ConnSettings* settings) override
    {
        if (!settings)
            return 0;
        std::vector<wchar_t> file(kPathCapacity, L'\0');
        // Start from the database in use, else in the folder chosen last time, else in the data
        // folder: never in the program's own folder, the current one.
        std::wstring initialDir;
        if (settings->DBName && *settings->DBName &&
            wcslen(settings->DBName) < kPathCapacity) {
            wcscpy(file.data(), settings->DBName);
            initialDir = FolderOf(settings->DBName);
        } else {
            initialDir = lastFolder_.empty() ? FolderOf(DefaultDatabasePath().c_str()) : lastFolder_;
        }

        OPENFILENAMEW ofn = {};
        ofn.lStructSize = sizeof(ofn);
        ofn.hwndOwner = owner_;
        ofn.hInstance = instance_;
        ofn.lpstrFilter = kFilter;
        ofn.nFilterIndex = filterIndex_ > 0 ? (DWORD)filterIndex_ : 1;
        ofn.lpstrFile = file.data();
        ofn.nMaxFile = kPathCapacity;
        ofn.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
        ofn.lpstrTitle = kTitle;
        ofn.lpstrDefExt = kDefaultExt;
        // The program folder is taken from the current directory, so the dialog must not move it.
        ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER |
                    OFN_ENABLESIZING | OFN_NOCHANGEDIR;
        ConnFileChooser choose = g_chooser ? g_chooser : GetOpenFileNameW;
        if (!choose(&ofn) || !file[0])
            return 0;

        wchar_t* name = DupText(file.data());
        if (!name)
            return 0;
        free(settings->DBName);
        settings->DBName = name;
        settings->ConnType = 1;
        if (!settings->UserName)
            settings->UserName = DupText(L"");
        lastFolder_ = FolderOf(name);
        filterIndex_ = (int)ofn.nFilterIndex;
        return 1;
    }

    int Reserved() override { return 0; }

    void LoadSettings(CXmlReader* reader) override
    {
        if (!reader)
            return;
        IXMLDOMElement* element = reader->SelectElement(KAVLINK_SETTINGS_ELEMENT);
        if (!element)
            return;
        wchar_t* folder = nullptr;
        if (reader->GetStringAttr(element, L"LastFolder", &folder) && folder)
            lastFolder_ = folder;
        free(folder);
        reader->GetIntAttr(element, L"FilterIndex", &filterIndex_);
        element->Release();
    }

    void SaveSettings(CXmlWriter* writer) override
    {
        if (!writer)
            return;
        IXMLDOMElement* element = writer->AddElement(KAVLINK_SETTINGS_ELEMENT);
        if (!element)
            return;
        writer->SetStringAttr(element, L"LastFolder", lastFolder_.c_str());
        writer->SetIntAttr(element, L"FilterIndex", filterIndex_);
        element->Release();
    }

private:
    HINSTANCE instance_;
    HWND owner_;
    std::wstring lastFolder_;  // folder of the file chosen last
    int filterIndex_ = 1;      // filter chosen last (1 database files, 2 all files)
};

OpenConnForm* g_form = nullptr;

}  // namespace

IOpenConnForm* GetOpenConnForm(HINSTANCE instance, HWND owner)
{
    if (g_form)
        g_form->SetOwner(instance, owner);
    else
        g_form = new OpenConnForm(instance, owner);
    return g_form;
}

void FreeOpenConnForm()
{
    delete g_form;
    g_form = nullptr;
}

ConnFileChooser SetConnFileChooser(ConnFileChooser chooser)
{
    ConnFileChooser previous = g_chooser;
    g_chooser = chooser;
    return previous;
}
