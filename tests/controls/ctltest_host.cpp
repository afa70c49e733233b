#include "tests/controls/ctltest_host.h"
#include "tests/support/wintest.h"

namespace ctltest {

namespace {
const wchar_t kHostClass[] = L"ZorCtlTestHost";
}

void RegisterAll()
{
    static bool done = false;
    if (!done) {
        RegisterPlexaW(PLEXA_ALLCLASSES);
        done = true;
    }
}

void SetForcedThemed(bool on)
{
    SetEnvironmentVariableW(L"PLEXA_FORCE_THEMED", on ? L"1" : nullptr);
    RegisterPlexaW(PLEXA_ALLCLASSES);
}

Host::Host(int width, int height, bool visible)
{
    RegisterAll();
    WNDCLASSEXW wc = {sizeof(wc)};
    if (!GetClassInfoExW(GetModuleHandleW(nullptr), kHostClass, &wc)) {
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kHostClass;
        RegisterClassExW(&wc);
    }
    hwnd_ = CreateWindowExW(0, kHostClass, L"host", WS_POPUP | WS_CLIPCHILDREN | (visible ? WS_VISIBLE : 0), 20,
                            20, width, height, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    wintest::PumpMessages();
}

Host::~Host()
{
    if (hwnd_)
        DestroyWindow(hwnd_);
    wintest::PumpMessages();
}

std::vector<Event> Host::EventsOf(UINT msg, UINT code) const
{
    std::vector<Event> out;
    for (const Event& e : events_)
        if (e.msg == msg && e.code == code)
            out.push_back(e);
    return out;
}

LRESULT CALLBACK Host::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Host* self = reinterpret_cast<Host*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NCCREATE) {
        self = static_cast<Host*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_NOTIFY: {
        NMHDR* hdr = reinterpret_cast<NMHDR*>(lParam);
        Event e{WM_NOTIFY, hdr->code, hdr->hwndFrom, hdr->idFrom};
        WCHAR cls[32] = L"";
        GetClassNameW(hdr->hwndFrom, cls, 32);
        bool plexaRecord = lstrcmpiW(cls, L"PROPERTYBOX") == 0 || lstrcmpiW(cls, L"INPLACEBUTTON") == 0 ||
                           lstrcmpiW(cls, L"INPLACECOMBOBOX") == 0;
        if (plexaRecord && hdr->code != static_cast<UINT>(NM_KEYDOWN) && hdr->code != static_cast<UINT>(NM_CUSTOMDRAW)) {
            ComboItemRequest* r = reinterpret_cast<ComboItemRequest*>(lParam);
            e.listPos = r->item;
            e.item = r->reserved;
            if (r->text && (hdr->code == PBXN_BUTTONCLICK || hdr->code == IPBN_CLICKED ||
                            hdr->code == ICBN_FINDSTRING))
                e.text = r->text;
            const std::vector<std::wstring>& entries = self->entries;
            if (hdr->code == PBXN_GETLISTCOUNT) {
                r->data = static_cast<LPARAM>(entries.size());
            } else if (hdr->code == ICBN_GETTEXTLENGTH) {
                if (r->item >= 0 && r->item < static_cast<int>(entries.size()))
                    r->count = static_cast<int>(entries[r->item].size());
            } else if (hdr->code == ICBN_GETTEXT) {
                if (r->item >= 0 && r->item < static_cast<int>(entries.size()) && r->text) {
                    int cap = r->count > 0 ? r->count : static_cast<int>(entries[r->item].size()) + 1;
                    lstrcpynW(r->text, entries[r->item].c_str(), cap);
                }
            } else if (hdr->code == ICBN_FINDSTRING) {
                r->item = -1;
                for (size_t i = 0; i < entries.size(); ++i)
                    if (r->text && lstrcmpiW(entries[i].c_str(), r->text) == 0)
                        r->item = static_cast<int>(i);
            }
        } else if (hdr->code == static_cast<UINT>(NM_KEYDOWN)) {
            e.listPos = reinterpret_cast<NMKEY*>(lParam)->nVKey;
        }
        if (hdr->code != static_cast<UINT>(NM_CUSTOMDRAW)) {
            self->events_.push_back(e);
            if (self->onEvent)
                self->onEvent(e);
        }
        return 0;
    }
    case WM_COMMAND: {
        Event e{WM_COMMAND, HIWORD(wParam), reinterpret_cast<HWND>(lParam), LOWORD(wParam)};
        self->events_.push_back(e);
        return 0;
    }
    case WM_MEASUREITEM: {
        Event e{WM_MEASUREITEM, 0, hwnd, wParam};
        self->events_.push_back(e);
        reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = 23;
        return TRUE;
    }
    case WM_KEYDOWN: {
        Event e{WM_KEYDOWN, static_cast<UINT>(wParam), hwnd, 0};
        self->events_.push_back(e);
        return 0;
    }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND CreateBox(HWND parent, int x, int y, int width, int height, int id, DWORD extraStyle)
{
    HWND box = CreateWindowExW(0, WC_PROPERTYBOXW, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | extraStyle,
                               x, y, width, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               GetModuleHandleW(nullptr), nullptr);
    if (box)
        SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
    return box;
}

void Click(HWND hwnd, int x, int y)
{
    LPARAM pos = MAKELPARAM(x, y);
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, pos);
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, pos);
    PostMessageW(hwnd, WM_LBUTTONUP, 0, pos);
    wintest::PumpMessages(30);
}

void Key(HWND hwnd, UINT vk)
{
    UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
    PostMessageW(hwnd, WM_KEYDOWN, vk, 1 | (scan << 16));
    PostMessageW(hwnd, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000);
    wintest::PumpMessages(30);
}

void Type(HWND hwnd, const wchar_t* text)
{
    for (const wchar_t* p = text; *p; ++p)
        PostMessageW(hwnd, WM_CHAR, *p, 1);
    wintest::PumpMessages(30);
}

std::vector<DWORD> DialogTemplate(const wchar_t* caption, short cx, short cy, const std::vector<DlgItem>& items)
{
    std::vector<WORD> t;
    auto align = [&t]() {
        if (t.size() % 2)
            t.push_back(0);
    };
    auto str = [&t](const wchar_t* s) {
        for (; *s; ++s)
            t.push_back(*s);
        t.push_back(0);
    };
    auto dword = [&t](DWORD v) {
        t.push_back(LOWORD(v));
        t.push_back(HIWORD(v));
    };
    dword(WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_SETFONT | DS_MODALFRAME);
    dword(0);
    t.push_back(static_cast<WORD>(items.size()));
    for (short v : {short(10), short(10), cx, cy})
        t.push_back(static_cast<WORD>(v));
    t.push_back(0);  // menu
    t.push_back(0);  // class
    str(caption);
    t.push_back(8);
    str(L"MS Shell Dlg");
    for (const DlgItem& item : items) {
        align();
        dword(WS_CHILD | WS_VISIBLE | item.style);
        dword(0);
        for (short v : {item.x, item.y, item.cx, item.cy})
            t.push_back(static_cast<WORD>(v));
        t.push_back(item.id);
        str(item.cls);
        str(item.text);
        t.push_back(0);
    }
    std::vector<DWORD> aligned((t.size() + 1) / 2);
    memcpy(aligned.data(), t.data(), t.size() * sizeof(WORD));
    return aligned;
}

COLORREF PixelAt(HWND hwnd, int x, int y)
{
    UpdateWindow(hwnd);
    // Wine hands window pixels to the X server on its own schedule; let it flush first.
    wintest::PumpMessages(60);
    POINT pt = {x, y};
    ClientToScreen(hwnd, &pt);
    HDC screen = GetDC(nullptr);
    COLORREF c = GetPixel(screen, pt.x, pt.y);
    ReleaseDC(nullptr, screen);
    return c;
}

}  // namespace ctltest
