#include "palvo/qt/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QThread>
#include <QTranslator>

namespace Palvo::qt {

namespace {
constexpr const char* kMarker = "palvo-qt-zh_CN";
}

bool useChineseTexts() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) return false;
    // the translators live as children of the application, so a new
    // application (tests make several) loads them again
    if (auto* loaded = app->findChild<QTranslator*>(kMarker, Qt::FindDirectChildrenOnly)) {
        return !loaded->isEmpty();
    }
    auto* translator = new QTranslator(app);
    translator->setObjectName(kMarker);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return false;  // kept, empty, so that the files are looked for once
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

}  // namespace Palvo::qt
