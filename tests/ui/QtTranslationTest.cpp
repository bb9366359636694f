// Qt's own texts (file dialogs, context menus, standard buttons) come in Czech.

#include "ui/QtTranslation.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTranslator>

#include "support/QtAppEnvironment.h"

namespace velor {
namespace {

QString lookIn() {
    return QCoreApplication::translate("QFileDialog", "Look in:");
}

TEST(QtTranslation, CzechCatalogueFromQtsFolderAndOnlyOnce) {
    // A folder without the catalogue (a Windows copy shipped without it) leaves English.
    QTemporaryDir empty;
    EXPECT_FALSE(installQtTranslation({empty.path()}));
    EXPECT_EQ(lookIn(), QStringLiteral("Look in:"));

    // The default folders find the catalogue that scripts/deps.sh installs.
    ASSERT_TRUE(installQtTranslation()) << qtTranslationFolders().join(' ').toStdString();
    EXPECT_EQ(lookIn(), QStringLiteral("Hledat v:"));
    EXPECT_EQ(QCoreApplication::translate("QLineEdit", "&Undo"), QStringLiteral("&Zpět"));
    // A second call (another Program in the same process) keeps the one translator.
    EXPECT_TRUE(installQtTranslation({empty.path()}));
    EXPECT_EQ(QCoreApplication::instance()->findChildren<QTranslator*>().size(), 1);
}

}  // namespace
}  // namespace velor
