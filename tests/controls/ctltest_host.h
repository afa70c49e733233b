// A recording parent window for the Plexa control tests: it keeps every WM_NOTIFY and WM_COMMAND
// that its children send, and answers the requests of on-demand lists from a scripted list.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <functional>
#include <string>
#include <vector>
#include <gtest/gtest.h>
#include "controls/plexa.h"

namespace ctltest {

struct Event {
    UINT msg;           // WM_NOTIFY, WM_COMMAND or WM_KEYDOWN
    UINT code;          // notify code, command code (high word) or key
    HWND from;
    UINT_PTR id;
    int listPos = 0;    // PropBoxNotify::listPos / ComboItemRequest::item
    LPARAM item = 0;    // PropBoxNotify::item / ComboItemRequest::reserved
    std::wstring text;  // copied from the record while it is valid
};

class Host {
public:
    Host(int width = 360, int height = 240, bool visible = true);
    ~Host();
    HWND hwnd() const { return hwnd_; }
    std::vector<Event>& Events() { return events_; }
    std::vector<Event> EventsOf(UINT msg, UINT code) const;
    void Clear() { events_.clear(); }

    // Answers for on-demand lists: PBXN_GETLISTCOUNT gets the entry count, ICBN_ requests the texts.
    std::vector<std::wstring> entries;
    // Runs for each recorded notification while its sender waits for the answer.
    std::function<void(const Event&)> onEvent;

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    HWND hwnd_ = nullptr;
    std::vector<Event> events_;
};

// The base of a fixture whose tests share one host window of the given size (creating and
// destroying top-level windows is slow under Wine): host_ is that window, its events cleared
// before each test. Derived, the fixture itself, gives each suite a host of its own.
template <class Derived, int Width, int Height>
class SharedHostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { shared_ = new Host(Width, Height); }
    static void TearDownTestSuite()
    {
        delete shared_;
        shared_ = nullptr;
    }
    void SetUp() override
    {
        host_ = shared_;
        host_->Clear();
    }

    static Host* shared_;
    Host* host_ = nullptr;
};

template <class Derived, int Width, int Height>
Host* SharedHostTest<Derived, Width, Height>::shared_ = nullptr;

// Registers every Plexa class once for the test program.
void RegisterAll();

// Switches themed drawing on or off through the library's test switch (re-runs the theme binding).
void SetForcedThemed(bool on);

// A property box child of the host: visible, vertical scroll bar, tab stop.
HWND CreateBox(HWND parent, int x, int y, int width, int height, int id = 100, DWORD extraStyle = 0);

// Posts a mouse click (down and up) at client coordinates of the window and pumps.
void Click(HWND hwnd, int x, int y);
// Posts a key press (down, char when it has one, up) to the window and pumps.
void Key(HWND hwnd, UINT vk);
void Type(HWND hwnd, const wchar_t* text);

// An in-memory dialog template (DWORD-aligned) with the given controls, font "MS Shell Dlg" 8.
struct DlgItem {
    const wchar_t* cls;
    const wchar_t* text;
    DWORD style;
    short x, y, cx, cy;
    WORD id;
};
std::vector<DWORD> DialogTemplate(const wchar_t* caption, short cx, short cy, const std::vector<DlgItem>& items);

// Colour of a pixel as shown on screen, in client coordinates of the window.
COLORREF PixelAt(HWND hwnd, int x, int y);

}  // namespace ctltest
