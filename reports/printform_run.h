// A run of the print form's report (printform_report.cpp), seen by the form, its worker and tests.
#pragma once
#include <windows.h>

#include <atomic>
#include <memory>
#include <vector>

#include "dataaccess/ado.h"
#include "reports/printform_text.h"
#include "reports/reportlines.h"
#include "reports/rtfreport.h"

// The state of one run of the report, shared by the form and the run's worker.
struct ReportRun
{
    int Id = 0;
    ReportOptions Options;
    RtfReportFormat Format;
    zdata::Recordset* Snapshot = nullptr;  // the list as the run found it; null without one
    std::shared_ptr<ReportText> Text = std::make_shared<ReportText>();
    // The lines before the rows as the worker made them: saving and printing repeat them, so
    // that they carry the heading that was shown. Whole once HeadingMade is set.
    std::vector<ReportLine> Heading;
    HANDLE HeadingMade = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    AbbrevPairList Pairs = {};  // the pairs the worker's walk used
    std::atomic<bool> Stopped{false};
    std::atomic<long> RowsDone{0};
    std::atomic<long> RowCount{0};

    ReportRun() = default;
    ReportRun(const ReportRun&) = delete;
    ReportRun& operator=(const ReportRun&) = delete;
    ~ReportRun()
    {
        FreeAbbreviations(&Pairs);
        if (Snapshot)
            Snapshot->Release();
        if (HeadingMade)
            CloseHandle(HeadingMade);
    }
};
