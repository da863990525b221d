// A list listener that writes down what a view of the list hears, one line an
// announcement: "reset", "insert 2+3" (three entries at 2), "remove 1",
// "item 4", "index", "text".
#pragma once

#include <string>
#include <vector>

#include "palvo/controls.h"

namespace Palvo::testing {

class ListEvents : public ListListener {
public:
    void beginInsertItems(int first, int count) override {
        open("insert " + std::to_string(first) + "+" + std::to_string(count));
    }
    void endInsertItems() override { close(); }
    void beginRemoveItem(int index) override { open("remove " + std::to_string(index)); }
    void endRemoveItem() override { close(); }
    void beginReset() override { open("reset"); }
    void endReset() override { close(); }
    void itemChanged(int index) override { heard.push_back("item " + std::to_string(index)); }
    void listIndexChanged() override { heard.push_back("index"); }
    void textChanged() override { heard.push_back("text"); }

    std::vector<std::string> heard;

private:
    // a begin before the last one ended (or an end without a begin) shows in what was heard
    void open(std::string what) {
        if (pending_) heard.push_back("begin inside a begin");
        heard.push_back(std::move(what));
        pending_ = true;
    }
    void close() {
        if (!pending_) heard.push_back("end without begin");
        pending_ = false;
    }
    bool pending_ = false;
};

}  // namespace Palvo::testing
