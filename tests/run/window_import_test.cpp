// The stored-value button of the main window runs the engine: while it runs the window is busy
// (buttons disabled), afterwards it is usable again.
#include "app/main_window.h"
#include "app/pub_dm.h"

#include "database/settings_file.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QUuid>
#include <gtest/gtest.h>

namespace kestrel {
namespace {

struct SeenBox {
    QString title;
    QString text;
    bool busy = false;
    bool buttonEnabled = true;
};

TEST(WindowImport, StoredValueButtonRunsWithTheWindowBusy) {
    QTemporaryDir dir;
    const QString dbPath = dir.filePath(QStringLiteral("branch.db"));
    {
        const QString name = QUuid::createUuid().toString();
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(dbPath);
        ASSERT_TRUE(db.open());
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
    SettingsFile settings(settingsFilePath(dir.path()));
    settings.write(QStringLiteral("Kestrel"), QStringLiteral("dbtype"), QStringLiteral("sqlite"));
    settings.write(QStringLiteral("Kestrel"), QStringLiteral("dbname"),
                   QStringLiteral("branch.db"));
    TPubDM dm(settings.path(), [](const QString&) { return TPubDM::kResultClose; });
    ASSERT_TRUE(dm.ConnectOK);
    TFrmBk_DataOutPut window(dm);
    window.show();
    window.EdtHotelTreeID->setText(QStringLiteral(" T01 "));
    window.EdtHotelID->setText(QStringLiteral("0101\t"));
    window.EdtHotelName->setText(QStringLiteral("青雁一店"));
    auto* start = window.findChild<QToolButton*>(QStringLiteral("btnStart"));
    ASSERT_NE(start, nullptr);

    // The database has none of the import's tables: the run ends with an error box, shown
    // while the run still holds the window.
    QList<SeenBox> seen;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        seen.append({box->windowTitle(), box->text(), window.isBusy(), start->isEnabled()});
        box->accept();
    });
    poll.start();
    start->click();
    poll.stop();

    ASSERT_EQ(seen.size(), 1);
    EXPECT_TRUE(seen.first().text.contains(QStringLiteral("HY_CardValueOpLog")))
        << seen.first().text.toStdString();
    EXPECT_TRUE(seen.first().busy);
    EXPECT_FALSE(seen.first().buttonEnabled);
    EXPECT_TRUE(window.isVisible());

    EXPECT_FALSE(window.isBusy());
    EXPECT_TRUE(start->isEnabled());
    EXPECT_EQ(window.EdtHotelTreeID->text(), QStringLiteral("T01"));
    EXPECT_EQ(window.EdtHotelID->text(), QStringLiteral("0101"));
}

} // namespace
} // namespace kestrel
