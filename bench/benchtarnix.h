// Shared by the benchmarks of the utilities program: a database copy opened as Tarnix opens it,
// with its structure loaded, and the message-box hook that prints instead of waiting.
#pragma once
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/connsettings.h"
#include "structure/schemadb.h"
#include "structure/structmodel.h"

class TarnixDb {
public:
    explicit TarnixDb(const std::wstring& path) : settings_{1, nullptr, nullptr, _wcsdup(path.c_str())}
    {
        InitStructureModel(&model_);
        ok_ = db_.Open(&settings_) && db_.Load(&model_);
    }
    ~TarnixDb()
    {
        db_.Close();
        ClearStructureModel(&model_);
        FreeStructureModel(&model_);
        free(settings_.DBName);
    }
    TarnixDb(const TarnixDb&) = delete;
    TarnixDb& operator=(const TarnixDb&) = delete;

    bool ok() const { return ok_; }
    CSchemaDb& Db() { return db_; }
    StructureModel& Model() { return model_; }
    zdata::Connection* Connection() { return db_.GetConnection(); }

private:
    ConnSettings settings_;
    CSchemaDb db_{GetModuleHandleW(nullptr)};
    StructureModel model_;
    bool ok_ = false;
};

// A message box of the program under measurement: its text printed, answered with OK.
inline int PrintMessageBox(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    printf("  message: %ls\n", text);
    return IDOK;
}
