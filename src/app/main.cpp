// Program entry: the connection loop runs before any window; giving up ends the program
// silently, otherwise the main window runs until it closes.
#include "app/db_config_dialog.h"
#include "app/main_window.h"
#include "app/pub_dm.h"
#include "app/ui_support.h"
#include "database/settings_file.h"
#include "text/translations.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestrel"));
    QApplication::setFont(kestrel::songTiPointFont(9));
    kestrel::installTranslations(QLocale::system());

    const QString settingsPath = kestrel::settingsFilePath(QCoreApplication::applicationDirPath());
    kestrel::TPubDM PubDM(settingsPath, kestrel::execConfigDialog);
    if (!PubDM.ConnectOK)
        return 0;

    kestrel::TFrmBk_DataOutPut FrmBk_DataOutPut(PubDM);
    FrmBk_DataOutPut.show();
    return QApplication::exec();
}
