// A view of a grid model that writes down every announcement it hears.
#pragma once

#include <string>
#include <vector>

#include "palvo/grid_model.h"

namespace Palvo::testing {

class GridRecorder final : public GridListener {
public:
    std::vector<std::string> heard;

    void cellsChanged(int r0, int c0, int r1, int c1) override {
        heard.push_back("cells " + span(r0, r1) + " x " + span(c0, c1));
    }
    void beginInsertRows(int first, int last) override {
        heard.push_back("insert rows " + span(first, last));
    }
    void endInsertRows() override { heard.push_back("end"); }
    void beginRemoveRows(int first, int last) override {
        heard.push_back("remove rows " + span(first, last));
    }
    void endRemoveRows() override { heard.push_back("end"); }
    void beginInsertCols(int first, int last) override {
        heard.push_back("insert cols " + span(first, last));
    }
    void endInsertCols() override { heard.push_back("end"); }
    void beginRemoveCols(int first, int last) override {
        heard.push_back("remove cols " + span(first, last));
    }
    void endRemoveCols() override { heard.push_back("end"); }
    void beginReset() override { heard.push_back("reset"); }
    void endReset() override { heard.push_back("end"); }
    void fixedChanged() override { heard.push_back("fixed"); }
    void colWidthsChanged(int first, int last) override { heard.push_back("widths " + span(first, last)); }
    void lookChanged() override { heard.push_back("look"); }

private:
    static std::string span(int first, int last) {
        return std::to_string(first) + ".." + std::to_string(last);
    }
};

}  // namespace Palvo::testing
