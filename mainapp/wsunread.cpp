#include "mainapp/wsunread.h"

#include "core/longpath.h"
#include "core/msgbox.h"
#include "core/msgboxtext.h"
#include "core/xmlrefusal.h"
#include "resources/zorna/resource.h"

std::wstring KeptWorkspaceName(const std::wstring& path, int number)
{
    std::wstring name = path + L".poškozený";
    return number < 2 ? name : name + L"." + std::to_wstring(number);
}

void KeepUnreadWorkspace(const std::wstring& path, int result, HWND owner, HINSTANCE module)
{
    if (result == XmlReadOk || result == XmlReadMissing)
        return;
    // An older kept file is never replaced: the next free number is taken.
    std::wstring kept;
    for (int number = 1; number < 100; ++number) {
        std::wstring name = KeptWorkspaceName(path, number);
        if (MoveFileExW(FileSystemPath(path.c_str()).c_str(), FileSystemPath(name.c_str()).c_str(), 0)) {
            kept = name;
            break;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    const std::wstring why = XmlReadResultText(module, result, path.c_str());
    const std::wstring text =
        kept.empty() ? ResourceText(module, IDS_WORKSPACE_NOT_KEPT, {why.c_str(), KeptWorkspaceName(path, 1).c_str()})
                     : ResourceText(module, IDS_WORKSPACE_KEPT, {why.c_str(), kept.c_str(), path.c_str()});
    const std::wstring caption = ResourceText(module, IDS_WARNING_CAPTION, {});
    ZorMessageBox(MessageOwner(owner), text.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING);
}
