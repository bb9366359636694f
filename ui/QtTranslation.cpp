#include "ui/QtTranslation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

namespace velor {

namespace {

// Marks the application whose translator is installed, so a second call adds no second one.
constexpr char kInstalledProperty[] = "velorQtTranslation";

}  // namespace

QStringList qtTranslationFolders() {
    return {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
            QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"))};
}

bool installQtTranslation(const QStringList& folders) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return false;
    if (app->property(kInstalledProperty).toBool()) return true;
    auto* translator = new QTranslator(app);
    for (const QString& folder : folders) {
        // "qt_cs" gathers every Qt module's catalogue; a trimmed deployment may ship only qtbase.
        if (!translator->load(QStringLiteral("qt_cs"), folder) &&
            !translator->load(QStringLiteral("qtbase_cs"), folder))
            continue;
        QCoreApplication::installTranslator(translator);
        app->setProperty(kInstalledProperty, true);
        return true;
    }
    delete translator;
    return false;
}

}  // namespace velor
