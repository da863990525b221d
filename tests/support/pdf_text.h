// What a PDF says, as poppler's pdftotext reads it: the text a user searches and
// copies. The tests compare it with what was printed, as it stands.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace Palvo::testing {

inline std::string commandOutput(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

inline bool havePdfToText() { return !commandOutput("command -v pdftotext").empty(); }

/// What pdfinfo gives for `field` ("Pages", "Page size", "Title"): the rest of its line.
inline std::string pdfInfo(const std::string& pdf, const std::string& field) {
    const std::string info = "\n" + commandOutput("pdfinfo -enc UTF-8 '" + pdf + "' 2>/dev/null");
    auto at = info.find("\n" + field + ":");
    if (at == std::string::npos) return "";
    at = info.find_first_not_of(' ', at + field.size() + 2);
    return info.substr(at, info.find('\n', at) - at);
}

inline int pdfPages(const std::string& pdf) {
    const std::string pages = pdfInfo(pdf, "Pages");
    return pages.empty() ? -1 : std::stoi(pages);
}

/// pdftotext's text of page `page` (every page when 0), in reading order or, with
/// `layout`, as the lines stand on the page; `options` more of pdftotext's.
inline std::string pdfText(const std::string& pdf, int page = 0, bool layout = false,
                           const std::string& options = "") {
    std::string command = "pdftotext -q -enc UTF-8" + options;
    if (layout) command += " -layout";
    if (page > 0) command += " -f " + std::to_string(page) + " -l " + std::to_string(page);
    return commandOutput(command + " '" + pdf + "' -");
}

/// The lines of the page, each with its runs of blanks made one blank, trimmed;
/// empty lines left out. With `layout` (the lines as they stand on the page) a
/// table row reads as its cells joined by a blank; without, pdftotext keeps the
/// blanks between ideographs that it drops from a laid-out line.
inline std::vector<std::string> pdfLines(const std::string& pdf, int page = 0, bool layout = true) {
    std::vector<std::string> lines;
    std::istringstream in(pdfText(pdf, page, layout));
    for (std::string line; std::getline(in, line);) {
        std::string out;
        for (char c : line) {
            const bool blank = c == ' ' || c == '\f' || c == '\t';
            if (!blank)
                out += c;
            else if (!out.empty() && out.back() != ' ')
                out += ' ';
        }
        if (!out.empty() && out.back() == ' ') out.pop_back();
        if (!out.empty()) lines.push_back(out);
    }
    return lines;
}

/// A word pdftotext -bbox finds on a page: its box in points from the top left.
struct PdfWord {
    double xMin, yMin, xMax, yMax;
    std::string text;
};

inline std::vector<PdfWord> pdfWords(const std::string& pdf, int page) {
    std::vector<PdfWord> words;
    std::istringstream in(pdfText(pdf, page, false, " -bbox"));
    for (std::string line; std::getline(in, line);) {
        PdfWord w{};
        int at = 0;
        if (std::sscanf(line.c_str(), " <word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\">%n",
                        &w.xMin, &w.yMin, &w.xMax, &w.yMax, &at) < 4 ||
            at == 0)
            continue;
        const auto end = line.find("</word>", static_cast<std::size_t>(at));
        w.text = line.substr(static_cast<std::size_t>(at), end - static_cast<std::size_t>(at));
        words.push_back(w);
    }
    return words;
}

/// Cells as pdfLines reads a row of them.
inline std::string rowLine(const std::vector<std::string>& cells) {
    std::string line;
    for (const auto& cell : cells) {
        if (cell.empty()) continue;
        if (!line.empty()) line += ' ';
        line += cell;
    }
    return line;
}

}  // namespace Palvo::testing
