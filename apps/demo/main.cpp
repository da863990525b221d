// palvo-demo [--db DATABASE] [--tour OUTDIR]
// The demo host application, on a database file or over ODBC (--db "Driver=..."). With --tour it runs the
// scripted tour (offscreen unless a platform is set), writes screenshots into OUTDIR and exits.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <cstdlib>
#include <iostream>
#include <string>

#include "demo_session.h"
#include "main_window.h"
#include "palvo/error.h"
#include "palvo/odbc/connection.h"
#include "tour.h"

int main(int argc, char** argv) {
    std::string db;
    std::string tour;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--db" && i + 1 < argc) {
            db = argv[++i];
        } else if (arg == "--tour" && i + 1 < argc) {
            tour = argv[++i];
        } else {
            std::cerr << "usage: palvo-demo [--db DATABASE] [--tour OUTDIR]\n";
            return 2;
        }
    }
    if (!tour.empty() && std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QApplication::setApplicationName("Palvo 商务管理");
    if (db.empty() && !tour.empty()) {
        // The tour enters records: it starts from a fresh sample every time.
        QDir().mkpath(QString::fromStdString(tour));
        db = QDir(QString::fromStdString(tour)).filePath("tour.db").toStdString();
        QFile::remove(QString::fromStdString(db));
    }
    if (db.empty()) db = "palvo-demo.db";
    try {
        auto conn = Palvo::demo::startSession(db);
        Palvo::demo::MainWindow window;
        const Palvo::HostGuard host = Palvo::installHost(Palvo::demo::demoHost(&window));
        if (tour.empty()) {
            window.showFitted();
        } else {
            window.resize(1200, 780);  // the tour's screenshots have the same size everywhere
            window.show();
        }
        if (!tour.empty()) {
            // a connection string is not shown: it may hold a password
            std::cout << "palvo-demo tour on "
                      << (Palvo::odbc::namesOdbcDriver(db) ? Palvo::odbc::shownDatabase(db) : db) << "\n";
            return Palvo::demo::runTour(window, QString::fromStdString(tour), std::cout);
        }
        return QApplication::exec();
    } catch (const Palvo::Error& e) {
        std::cerr << "palvo-demo: " << e.description() << "\n";
        return 1;
    }
}
