#pragma once

#include "database/database.h"
#include "run/import_run.h"
#include "run/record_log.h"
#include "run/run_observer.h"

#include <QWidget>
#include <functional>
#include <map>
#include <memory>

class QAbstractButton;
class QLabel;
class QLineEdit;
class QProgressBar;

namespace kestrel {

class TPubDM;
class ImportThread;
class RunRelay;
class Workbook;

// The main window: branch identity, one button per import, the progress bar. An import runs on
// a thread of its own while the window shows its rows at a person's pace; "退出" and closing the
// window then ask whether to stop it. The window reports a run to the operator as its
// RunObserver; the observer methods may be called from another thread, they then wait for the
// window's thread to carry them out.
class TFrmBk_DataOutPut : public QWidget, public RunObserver {
    Q_OBJECT
public:
    explicit TFrmBk_DataOutPut(TPubDM& dataModule, QWidget* parent = nullptr);
    ~TFrmBk_DataOutPut() override;

    QLineEdit* EdtHotelTreeID = nullptr;
    QLineEdit* EdtHotelID = nullptr;
    QLineEdit* EdtHotelName = nullptr;
    QProgressBar* PrgBar = nullptr;
    QLabel* StaticTextHint = nullptr;

    // What a button runs; an exception it throws is shown in the standard error box.
    using ImportAction = std::function<void()>;
    void setImportAction(ImportKind kind, ImportAction action);

    // While busy the import buttons are disabled and closing the window asks to stop the run.
    void setBusy(bool busy);
    bool isBusy() const { return m_busy; }
    // Tests: opens the templates of the imports instead of the workbook readers (called on the
    // run's thread).
    void setWorkbookOpener(std::function<std::unique_ptr<Workbook>(const QString&)> opener) {
        m_workbookOpener = std::move(opener);
    }

    BranchIdentity identity() const;
    // The folder the imports take their templates from: the executable's folder unless set.
    void setTemplateFolder(const QString& folder) { m_templateFolder = folder; }
    QString templateFolder() const;
    TPubDM& dataModule() { return m_dataModule; }

    // Fills and locks the branch identity from Sys_System when the table exists.
    void FormShow();
    void btnEndClick();

    // RunObserver
    void captionChanged(const QString& caption) override;
    void progressReset(int maximum) override;
    void progressChanged(int position) override;
    void information(const QString& text) override;
    void error(const QString& text) override;
    void identityTrimmed(const BranchIdentity& identity) override;
    // Appends the block's section to the import log next to the program (the template folder).
    void blockRecorded(const BlockRecord& record) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildIdentity(QWidget* group);
    void buildButtons(QWidget* group);
    QAbstractButton* addImportButton(QWidget* group, const char* name, const QString& text,
                                     const QRect& geometry, ImportKind kind);
    void runImport(ImportKind kind);
    void runOnItsOwnThread(ImportKind kind);
    void showRunStarting();
    bool askToStop();
    void fillIdentityFromSystemTable();
    void onGuiThread(const std::function<void()>& work);

    TPubDM& m_dataModule;
    std::unique_ptr<Query> m_qryTemp;
    std::map<ImportKind, ImportAction> m_actions;
    QList<QAbstractButton*> m_buttons;
    QAbstractButton* m_exitButton = nullptr; // "退出" stays enabled during a run: it stops it
    bool m_busy = false;
    bool m_shown = false;
    QString m_templateFolder;
    std::function<std::unique_ptr<Workbook>(const QString&)> m_workbookOpener;
    // The run going on, if any: its thread and the relay of its reports.
    ImportThread* m_run = nullptr;
    RunRelay* m_relay = nullptr;
    bool m_runGaveCaption = false;
    bool m_asking = false;        // the stop question is open
    bool m_closeAfterRun = false; // the operator stopped the run by closing the window
    ImportLog m_importLog;
};

} // namespace kestrel
