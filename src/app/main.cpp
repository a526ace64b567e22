#include <QApplication>
#include <QCommandLineParser>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include "app/appwindows.h"
#include "dataset/dataset.h"

namespace {

// Qt's own texts (file dialogs, standard buttons) in Japanese, like ours: from
// Qt's translations folder, or a "translations" folder beside the program
// where an installer puts them.
void installQtTranslations(QApplication& app) {
    static QTranslator qt;
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    for (const QString& dir :
         {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
          QCoreApplication::applicationDirPath() + QStringLiteral("/translations")})
        if (qt.load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"), dir)) {
            app.installTranslator(&qt);
            return;
        }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qrnview"));
    // The settings go to qrnview/qrnview.conf (or the registry key qrnview\qrnview),
    // not under "Unknown Organization".
    QApplication::setOrganizationName(QStringLiteral("qrnview"));
    installQtTranslations(app);

    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("電線動揺解析結果 ３Ｄ表示・変換ソフト"));
    options.addHelpOption();
    options.addPositionalArgument(
        QStringLiteral("ファイル"),
        QStringLiteral("開いて読み込むファイル (*.his *.f24 *.f08 *.dat *.qrn*)"));
    options.process(app);
    const QStringList files = options.positionalArguments();

    // The application owns the one dataset; every window works on it by reference.
    qrn::Dataset data;
    qrn::AppWindows windows(data);
    qrn::MainWindow& window = windows.main();
    window.recallSettings();

    window.show();
    if (files.isEmpty()) {
        QTimer::singleShot(0, &window, [&window] { window.showAbout(); });
    } else {
        // `qrnview FILE` (also how the desktop opens a file): select it as
        // "開く…" does and read it.
        const QString path = files.first();
        QTimer::singleShot(0, &window, [&window, path] {
            if (window.openFile(path)) window.execute();
        });
    }
    const int rc = QApplication::exec();
    window.rememberSettings();
    return rc;
}
