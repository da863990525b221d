// The Qt print tests' report grid and the PDFs and page images they read back.
#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <QPrinter>
#include <QString>
#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "palvo/memory/grid.h"
#include "palvo/memory/msgbox.h"
#include "palvo/session.h"
#include "support/pdf_text.h"

namespace Palvo::testing {

// Headings and rows with Chinese names, Latin codes whose digits follow letters, and amounts.
inline memory::FlexGrid salesGrid(int dataRows) {
    memory::FlexGrid g;
    g.Cols(4);
    g.Rows(1);
    const char* headings[] = {"序号", "单号", "客户名称", "金额"};
    for (int c = 0; c < 4; ++c) g.TextMatrix(0, c, headings[c]);
    for (int r = 1; r <= dataRows; ++r) {
        char code[32];
        std::snprintf(code, sizeof code, "XS2004%05d", r);
        g.AddItem(std::to_string(r) + "\t" + code + "\t华东钢材公司" + std::to_string(r) + "\t" +
                  std::to_string(r * 125) + ".50");
    }
    return g;
}

// A host's QPrinter writing a PDF file.
inline void toPdf(QPrinter& target, const std::filesystem::path& pdf) {
    target.setOutputFormat(QPrinter::PdfFormat);
    target.setOutputFileName(QString::fromStdString(pdf.string()));
}

// The share of the image's pixels that are not white.
inline double ink(const QImage& image) {
    long drawn = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) drawn += image.pixel(x, y) != qRgb(255, 255, 255);
    return static_cast<double>(drawn) / (static_cast<double>(image.width()) * image.height());
}

// A print test: pdftotext at hand, the message title set, a scratch folder and a
// scripted message box that keeps what the report said.
class QtPrintTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!havePdfToText()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
        session().sMsg = "提示";
    }
    void TearDown() override { session().sMsg.clear(); }
    std::filesystem::path file(const std::string& name) const {
        return std::filesystem::path(dir.path().toStdString()) / name;
    }

    QTemporaryDir dir;
    std::shared_ptr<memory::ScriptedMessageBox> box = std::make_shared<memory::ScriptedMessageBox>();
    ScopedMessageBox boxGuard{box};
};

}  // namespace Palvo::testing
