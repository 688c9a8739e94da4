// The error report written on Windows (the text: engine/report/error_report.h).
#pragma once

#include <string>
#include <string_view>

#include "engine/report/error_report.h"

namespace ferry {

class Dialogs;

// Gathers OS, memory and CPU figures, writes the report, shows the box
// through `dialogs` and, when `openReport`, opens the file. A report that
// cannot be written is told through `dialogs` instead; the call never
// throws. Returns the path written, empty on failure.
std::string WriteErrorReport(const ErrorReportSource& source, std::string_view errorText,
                             std::string_view errorType, Dialogs& dialogs, bool openReport);

}  // namespace ferry
