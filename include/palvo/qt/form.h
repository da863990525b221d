// Qt 6 Widgets adapters: the entry form. Only a Qt host includes the
// headers under palvo/qt/ (target Palvo::qt); the core never does. Qt classes
// are only forward-declared here.
//
// Lifetime: every control adapter keeps a non-owning pointer to its widget.
// The host owns the widget and must keep it alive as long as the adapter;
// make one adapter per widget. Use them on the GUI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "palvo/export.h"
#include "palvo/form.h"

class QTableView;
class QWidget;

namespace Palvo::qt {

/// An entry form over a QWidget. TXT(i) is the QLineEdit or QPlainTextEdit
/// named "TXT_i" and lbl(i) the QLabel named "lbl_i" among the widget's
/// descendants (docs/qt.md). Controls() walks every descendant widget that
/// stands for a control, in the order QObject::findChildren gives (creation
/// order, depth first), which stays fixed while the form is unchanged; a
/// QTableView that shows no model of the host's (and is no QTableWidget) is a
/// flex grid, an MSHFlexGrid when it has the dynamic property GridType
/// "MSHFlexGrid". The adapters it hands out live as long as the Form adapter.
class PALVO_API Form : public Palvo::Form {
public:
    explicit Form(QWidget* form);
    ~Form() override;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    std::string Name() const override;
    std::int32_t BackColor() const override;
    void BackColor(std::int32_t color) override;
    std::int32_t ForeColor() const override;
    void ForeColor(std::int32_t color) override;
    std::string Icon() const override;
    /// Throws Palvo::Error 53 when Qt cannot read the file as an image.
    void Icon(const std::string& path) override;
    Palvo::ControlArray<Palvo::TextBox>& TXT() override;
    Palvo::ControlArray<Palvo::Label>& lbl() override;
    std::vector<Control*> Controls() override;

private:
    struct Private;
    Control* adapterFor(QWidget* widget);
    Control* gridFor(QTableView* table);
    QWidget* form_;
    std::unique_ptr<Private> d_;
};

}  // namespace Palvo::qt
