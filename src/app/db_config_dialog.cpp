#include "app/db_config_dialog.h"

#include "app/pub_dm.h"
#include "app/ui_support.h"
#include "database/settings_file.h"
#include "text/errors.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QStatusBar>

namespace kestrel {

namespace {

const QString kSection = QStringLiteral("Kestrel");
constexpr int kFieldWidth = 150;

void setTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

QLabel* addLabel(QWidget* parent, const QString& text) {
    return new QLabel(text, parent);
}

struct FieldRow {
    QLabel* label;
    QLineEdit* field;
    QLabel* hint;
};

// Labels, fields and hints in three columns of the group box. The labels and the hints take the
// widths their texts need at the dialog's font (whatever font stands in for 宋体), the fields
// their 150 pixels, so that no text is cut at the box's edge.
void layOutFields(int groupWidth, const QList<FieldRow>& rows) {
    constexpr int kMargin = 4;
    constexpr int kGap = 4;
    constexpr int kRowHeight = 22;
    constexpr int kRowStep = 31;
    int labelWidth = 0;
    for (const FieldRow& row : rows)
        labelWidth = qMax(labelWidth, row.label->sizeHint().width());
    const int fieldLeft = kMargin + labelWidth + kGap;
    const int hintLeft = fieldLeft + kFieldWidth + kGap + 2;
    const int hintWidth = groupWidth - kMargin - hintLeft;
    int top = 16;
    for (const FieldRow& row : rows) {
        row.label->setGeometry(kMargin, top, labelWidth, kRowHeight);
        row.field->setGeometry(fieldLeft, top, kFieldWidth, kRowHeight);
        // A hint of two lines reaches above and below its field, centred on it.
        const int hintHeight = qMax(kRowHeight, row.hint->sizeHint().height());
        row.hint->setGeometry(hintLeft, top + (kRowHeight - hintHeight) / 2, hintWidth, hintHeight);
        top += kRowStep;
    }
}

// The password field shows "*" for every character, whatever the platform style's habit.
class AsteriskPasswordStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter)
            return u'*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

TFrmPub_UntDBconfig::TFrmPub_UntDBconfig(QString settingsPath, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_settingsPath(std::move(settingsPath)) {
    setObjectName(QStringLiteral("FrmPub_UntDBconfig"));
    setWindowTitle(QStringLiteral("连接数据库服务器参数配置"));
    setFont(songTiPointFont(9));
    setFixedSize(423, 275);
    buildMemo();
    buildFields();
    buildButtons();
    buildStatusBar();
}

void TFrmPub_UntDBconfig::buildMemo() {
    auto* memo = new QPlainTextEdit(this);
    memo->setObjectName(QStringLiteral("Memo1"));
    memo->setGeometry(0, 0, 423, 68);
    memo->setFrameShape(QFrame::NoFrame);
    memo->setReadOnly(true);
    memo->setFocusPolicy(Qt::NoFocus);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette palette = memo->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    palette.setColor(QPalette::Text, QColor(0, 0, 128));
    memo->setPalette(palette);
    memo->setPlainText(QStringLiteral("\n   1、数据库服务器先安装好SQLServer 2000\n\n"
                                      "   2、在数据库服务器上附加了该软件的数据库"));
}

void TFrmPub_UntDBconfig::buildFields() {
    auto* group = new QGroupBox(this);
    group->setObjectName(QStringLiteral("GroupBox1"));
    group->setGeometry(6, 70, 411, 142);
    struct Row {
        const char16_t* label;
        const char16_t* name;
        const char16_t* hint;
        QLineEdit** field;
    };
    const Row rows[] = {
        {u"服务器名称:", u"edtsvrName", u"*安装Sql Server 2000所在计\n算机的名字或IP地址",
         &edtsvrName},
        {u"数据库名称:", u"edtDBName", u"*数据库的名称", &edtDBName},
        {u"数据库的帐号:", u"edtUserName", u"*数据库的帐号", &edtUserName},
        {u"数据库的密码:", u"edtpass", u"*数据库的密码", &edtpass},
    };
    QList<FieldRow> fieldRows;
    for (const Row& row : rows) {
        QLabel* label = addLabel(group, QString::fromUtf16(row.label));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        setTextColor(label, Qt::blue);
        auto* field = new QLineEdit(group);
        field->setObjectName(QString::fromUtf16(row.name));
        *row.field = field;
        fieldRows.append({label, field, addLabel(group, QString::fromUtf16(row.hint))});
    }
    layOutFields(group->width(), fieldRows);
    edtpass->setEchoMode(QLineEdit::Password);
    auto* passwordStyle = new AsteriskPasswordStyle;
    passwordStyle->setParent(edtpass);
    edtpass->setStyle(passwordStyle);
}

void TFrmPub_UntDBconfig::buildButtons() {
    auto* apply = new QPushButton(glyphIcon(Glyph::Apply), QStringLiteral("确定"), this);
    apply->setObjectName(QStringLiteral("btnapply"));
    apply->setFlat(true);
    apply->setGeometry(100, 218, 90, 32);
    apply->setAutoDefault(false);
    connect(apply, &QPushButton::clicked, this, &TFrmPub_UntDBconfig::btnapplyClick);

    auto* cancel = new QPushButton(glyphIcon(Glyph::Cancel), QStringLiteral("关闭"), this);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    cancel->setFlat(true);
    cancel->setGeometry(232, 218, 90, 32);
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &TFrmPub_UntDBconfig::btnCancelClick);
}

void TFrmPub_UntDBconfig::buildStatusBar() {
    auto* statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("StatusBar1"));
    statusBar->setSizeGripEnabled(false);
    statusBar->setGeometry(0, 255, 423, 20);
    auto* text = new QLabel(QStringLiteral(" 数据库配置不正确，请重新配置"), statusBar);
    text->setObjectName(QStringLiteral("StatusText"));
    statusBar->addWidget(text, 1);
}

void TFrmPub_UntDBconfig::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TFrmPub_UntDBconfig::FormShow() {
    const SettingsFile file(m_settingsPath);
    edtpass->setText(file.read(kSection, QStringLiteral("dbpassword")));
    edtUserName->setText(file.read(kSection, QStringLiteral("dbuserid")));
    edtsvrName->setText(file.read(kSection, QStringLiteral("dbserver")));
    edtDBName->setText(file.read(kSection, QStringLiteral("dbname")));
}

// Saves every key, empty ones included; a file that cannot be written is reported and the
// dialog stays open.
void TFrmPub_UntDBconfig::btnapplyClick() {
    SettingsFile file(m_settingsPath);
    try {
        file.write(kSection, QStringLiteral("dbpassword"), edtpass->text());
        file.write(kSection, QStringLiteral("dbuserid"), edtUserName->text());
        file.write(kSection, QStringLiteral("dbserver"), edtsvrName->text());
        file.write(kSection, QStringLiteral("dbname"), edtDBName->text());
    } catch (const Error& error) {
        showStandardError(this, error.message());
        return;
    }
    done(TPubDM::kResultApply);
}

void TFrmPub_UntDBconfig::btnCancelClick() {
    done(TPubDM::kResultClose);
}

void TFrmPub_UntDBconfig::reject() {
    done(TPubDM::kResultClose);
}

int execConfigDialog(const QString& settingsPath) {
    TFrmPub_UntDBconfig dialog(settingsPath);
    return dialog.exec();
}

} // namespace kestrel
