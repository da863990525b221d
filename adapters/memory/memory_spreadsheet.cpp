#include <fstream>
#include <sstream>

#include "palvo/memory/spreadsheet.h"

namespace Palvo::memory {

std::string SpreadsheetDesk::savePath(const std::string& title) {
    saved.push_back(saveTo.empty() ? Palvo::SpreadsheetDesk::savePath(title) : saveTo);
    return saved.back();
}

void SpreadsheetDesk::preview(const WorkbookPreview& request) {
    Preview p{request, request.sheet != nullptr, false, {}};
    p.request.sheet = nullptr;
    std::ifstream in(request.path, std::ios::binary);
    if (in) {
        std::ostringstream bytes;
        bytes << in.rdbuf();
        p.fileThere = true;
        p.fileContent = bytes.str();
    }
    previews.push_back(std::move(p));
}

}  // namespace Palvo::memory
