#include "app/db_config_dialog.h"
#include "app/pub_dm.h"
#include "app_test_support.h"

#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kestrel {
namespace {

class ConfigDialog : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = settingsFilePath(dir.path());

    QByteArray fileBytes() const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void writeFile(const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    // Shows the dialog modally and lets action press its buttons; gives the modal result.
    int runDialog(const std::function<void(TFrmPub_UntDBconfig*)>& action) {
        test::WhenModal<TFrmPub_UntDBconfig> act(action);
        return execConfigDialog(path);
    }
    static void click(TFrmPub_UntDBconfig* dialog, const char* name) {
        dialog->findChild<QPushButton*>(QString::fromLatin1(name))->click();
    }
};

TEST_F(ConfigDialog, WithoutSettingsFileFieldsAreEmptyAndOkCreatesAllFourKeys) {
    QStringList shown;
    const int result = runDialog([&](TFrmPub_UntDBconfig* dialog) {
        for (QLineEdit* field :
             {dialog->edtsvrName, dialog->edtDBName, dialog->edtUserName, dialog->edtpass})
            shown.append(field->text());
        dialog->edtsvrName->setText(QStringLiteral("srv"));
        click(dialog, "btnapply");
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(shown, QStringList(4, QString()));
    const QString text = QString::fromUtf8(fileBytes());
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Kestrel]")));
    for (const char* line : {"dbpassword=", "dbuserid=", "dbserver=srv", "dbname="})
        EXPECT_TRUE(text.contains(QString::fromLatin1(line))) << line;
}

TEST_F(ConfigDialog, HandWrittenKeysAreShownAndReplacedInPlace) {
    writeFile("[KESTREL]\ndbPassword=old pw\ndbUserID=olduser\ndbserver=srv\ndbname=db\n"
              "LinkMode=NT\n");
    QStringList shown;
    const int result = runDialog([&](TFrmPub_UntDBconfig* dialog) {
        shown = {dialog->edtpass->text(), dialog->edtUserName->text(), dialog->edtsvrName->text(),
                 dialog->edtDBName->text()};
        dialog->edtpass->setText(QStringLiteral("新密码"));
        dialog->edtUserName->setText(QStringLiteral("sa"));
        click(dialog, "btnapply");
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(shown, (QStringList{QStringLiteral("old pw"), QStringLiteral("olduser"),
                                  QStringLiteral("srv"), QStringLiteral("db")}));
    EXPECT_EQ(QString::fromUtf8(fileBytes()),
              QStringLiteral("[KESTREL]\ndbPassword=新密码\ndbUserID=sa\ndbserver=srv\n"
                             "dbname=db\nLinkMode=NT\n"));
}

TEST_F(ConfigDialog, CloseEscapeAndWindowCloseGiveTwoAndWriteNothing) {
    writeFile("[Kestrel]\ndbserver=srv\n");
    const QByteArray before = fileBytes();
    EXPECT_EQ(runDialog([](TFrmPub_UntDBconfig* dialog) {
                  dialog->edtsvrName->setText(QStringLiteral("changed"));
                  click(dialog, "btnCancel");
              }),
              2);
    EXPECT_EQ(runDialog([](TFrmPub_UntDBconfig* dialog) { dialog->reject(); }), 2);
    EXPECT_EQ(runDialog([](TFrmPub_UntDBconfig* dialog) { dialog->close(); }), 2);
    EXPECT_EQ(fileBytes(), before);
}

TEST_F(ConfigDialog, LooksAsDesigned) {
    TFrmPub_UntDBconfig dialog(path);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("连接数据库服务器参数配置"));
    EXPECT_EQ(dialog.size(), QSize(423, 275));
    EXPECT_FALSE(dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_EQ(dialog.edtpass->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dialog.edtpass->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter), u'*');
    for (QLineEdit* field :
         {dialog.edtsvrName, dialog.edtDBName, dialog.edtUserName, dialog.edtpass})
        EXPECT_EQ(field->width(), 150);
    const auto* status = dialog.findChild<QLabel*>(QStringLiteral("StatusText"));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->text(), QStringLiteral(" 数据库配置不正确，请重新配置"));
    EXPECT_EQ(dialog.font().pointSize(), 9);
    EXPECT_TRUE(QFontMetrics(dialog.font()).inFont(QChar(0x6570))); // 数
}

// Every label and hint of the group box shows its whole text inside the box, whatever the locale;
// the fields keep their 150 pixels.
TEST_F(ConfigDialog, TextsFitInsideTheGroupBoxInEveryLocale) {
    for (const char* name : {"zh_CN", "en_US", "de_DE"}) {
        SCOPED_TRACE(name);
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
        TFrmPub_UntDBconfig dialog(path);
        dialog.show();
        const auto* group = dialog.findChild<QGroupBox*>(QStringLiteral("GroupBox1"));
        ASSERT_NE(group, nullptr);
        const QList<QLabel*> texts = group->findChildren<QLabel*>();
        ASSERT_EQ(texts.size(), 8);
        for (const QLabel* text : texts) {
            const std::string shown = text->text().toStdString();
            EXPECT_LE(text->sizeHint().width(), text->width()) << shown;
            EXPECT_LE(text->sizeHint().height(), text->height()) << shown;
            EXPECT_TRUE(group->contentsRect().contains(text->geometry())) << shown;
            for (const QLineEdit* field : group->findChildren<QLineEdit*>())
                EXPECT_FALSE(field->geometry().intersects(text->geometry())) << shown;
        }
        const QLabel* hint = texts.at(1);
        EXPECT_EQ(hint->text(), QStringLiteral("*安装Sql Server 2000所在计\n算机的名字或IP地址"));
    }
    QLocale::setDefault(QLocale::system());
}

} // namespace
} // namespace kestrel
