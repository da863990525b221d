// Reads a written workbook back: its parts unzipped (libzip) and queried with
// XPath (libxml2), the spreadsheet namespace bound to the prefix "x".
#pragma once

#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>
#include <zip.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace Palvo::testing {

class XlsxFile {
public:
    explicit XlsxFile(const std::string& path) {
        int error = 0;
        zip_ = zip_open(path.c_str(), ZIP_RDONLY, &error);
        if (!zip_) throw std::runtime_error("not a zip file: " + path);
    }
    ~XlsxFile() {
        if (zip_) zip_discard(zip_);
    }
    XlsxFile(const XlsxFile&) = delete;
    XlsxFile& operator=(const XlsxFile&) = delete;

    /// The part's text; throws when the workbook lacks it.
    std::string part(const std::string& name) const {
        zip_stat_t st;
        if (zip_stat(zip_, name.c_str(), 0, &st) != 0) throw std::runtime_error("no part " + name);
        zip_file_t* f = zip_fopen(zip_, name.c_str(), 0);
        std::string bytes(static_cast<std::size_t>(st.size), '\0');
        const zip_int64_t n = zip_fread(f, bytes.data(), st.size);
        zip_fclose(f);
        if (n != static_cast<zip_int64_t>(st.size)) throw std::runtime_error("short part " + name);
        return bytes;
    }

private:
    zip_t* zip_ = nullptr;
};

/// The string values of the nodes the expression selects, in document order.
inline std::vector<std::string> xpath(const std::string& xml, const std::string& expression) {
    std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> doc(
        xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "part.xml", nullptr, XML_PARSE_NONET),
        xmlFreeDoc);
    if (!doc) throw std::runtime_error("not XML");
    std::unique_ptr<xmlXPathContext, void (*)(xmlXPathContextPtr)> ctx(xmlXPathNewContext(doc.get()),
                                                                       xmlXPathFreeContext);
    xmlXPathRegisterNs(ctx.get(), BAD_CAST "x",
                       BAD_CAST "http://schemas.openxmlformats.org/spreadsheetml/2006/main");
    std::unique_ptr<xmlXPathObject, void (*)(xmlXPathObjectPtr)> found(
        xmlXPathEvalExpression(BAD_CAST expression.c_str(), ctx.get()), xmlXPathFreeObject);
    if (!found) throw std::runtime_error("bad XPath " + expression);
    std::vector<std::string> values;
    if (found->nodesetval) {
        for (int i = 0; i < found->nodesetval->nodeNr; ++i) {
            xmlChar* s = xmlNodeGetContent(found->nodesetval->nodeTab[i]);
            values.emplace_back(s ? reinterpret_cast<const char*>(s) : "");
            xmlFree(s);
        }
    }
    return values;
}

/// The one value the expression selects, "" when it selects none.
inline std::string xpath1(const std::string& xml, const std::string& expression) {
    const auto v = xpath(xml, expression);
    return v.empty() ? "" : v.front();
}

}  // namespace Palvo::testing
