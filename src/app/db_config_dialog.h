#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

namespace kestrel {

// The connection settings dialog: shows the four keys of the settings file and saves them on
// "确定" (modal result 1); "关闭", Esc and the window manager leave it with result 2.
class TFrmPub_UntDBconfig : public QDialog {
    Q_OBJECT
public:
    explicit TFrmPub_UntDBconfig(QString settingsPath, QWidget* parent = nullptr);

    QLineEdit* edtsvrName = nullptr;
    QLineEdit* edtDBName = nullptr;
    QLineEdit* edtUserName = nullptr;
    QLineEdit* edtpass = nullptr;

    void FormShow();
    void btnapplyClick();
    void btnCancelClick();

    // Every way of leaving the dialog but "确定" counts as "关闭".
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildMemo();
    void buildFields();
    void buildButtons();
    void buildStatusBar();

    QString m_settingsPath;
};

// Creates the dialog, shows it modally and frees it: the runner the data module uses.
int execConfigDialog(const QString& settingsPath);

} // namespace kestrel
