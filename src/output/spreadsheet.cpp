// The spreadsheet ports as installed per thread, and the name a saved workbook takes.
#include "palvo/spreadsheet.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "palvo/error.h"
#include "palvo/value.h"

namespace Palvo {

RowSource::~RowSource() = default;
SpreadsheetWriter::~SpreadsheetWriter() = default;
SpreadsheetDesk::~SpreadsheetDesk() = default;

// ---------------------------------------------------------------- installed ports

namespace {
std::shared_ptr<SpreadsheetWriter>& writerSlot() {
    thread_local std::shared_ptr<SpreadsheetWriter> writer;
    return writer;
}
std::shared_ptr<SpreadsheetDesk>& deskSlot() {
    thread_local std::shared_ptr<SpreadsheetDesk> desk;
    return desk;
}
}  // namespace

std::shared_ptr<SpreadsheetWriter> installSpreadsheetWriter(std::shared_ptr<SpreadsheetWriter> writer) {
    auto previous = std::move(writerSlot());
    writerSlot() = std::move(writer);
    return previous;
}

SpreadsheetWriter& spreadsheetWriter() {
    if (!writerSlot()) {
        throw Error(
            ErrorNumber::NotInstalled,
            "ActiveX component can't create object: no spreadsheet writer is installed on this thread "
            "(Palvo::installSpreadsheetWriter)");
    }
    return *writerSlot();
}

std::shared_ptr<SpreadsheetDesk> installSpreadsheetDesk(std::shared_ptr<SpreadsheetDesk> desk) {
    auto previous = std::move(deskSlot());
    deskSlot() = std::move(desk);
    return previous;
}

SpreadsheetDesk& spreadsheetDesk() {
    thread_local SpreadsheetDesk defaults;
    return deskSlot() ? *deskSlot() : defaults;
}

std::string workbookFileName(const std::string& title, int year, int month, int day, int hour, int minute,
                             int second) {
    std::string name;
    for (char ch : title) {
        const auto u = static_cast<unsigned char>(ch);
        const bool bad = u < 0x20 || std::string_view("/\\:*?\"<>|").find(ch) != std::string_view::npos;
        name += bad ? '_' : ch;
    }
    while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
    while (!name.empty() && (name.front() == ' ' || name.front() == '.')) name.erase(0, 1);
    if (name.empty()) name = "报表";
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, " %04d%02d%02d-%02d%02d%02d.xlsx", year, month, day, hour, minute,
                  second);
    return name + stamp;
}

std::string SpreadsheetDesk::savePath(const std::string& title) {
    const DateTime now = DateTime::now();
    std::string name =
        workbookFileName(title, now.year, now.month, now.day, now.hour, now.minute, now.second);
    const char* home = std::getenv("HOME");
    if (!home || !*home) return name;
    const std::string documents = std::string(home) + "/Documents";
    struct stat st {};
    if (::stat(documents.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return documents + "/" + name;
    return std::string(home) + "/" + name;
}

void SpreadsheetDesk::open(const std::string&) {}

void SpreadsheetDesk::preview(const WorkbookPreview& request) {
    throw Error(ErrorNumber::NotInstalled,
                "No print preview is installed on this thread (Palvo::installSpreadsheetDesk); not shown: " +
                    request.title);
}

int SpreadsheetDesk::printerCount() { return 1; }

}  // namespace Palvo
