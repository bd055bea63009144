#include "app/main_window.h"

#include "app/import_thread.h"
#include "app/pub_dm.h"
#include "app/run_relay.h"
#include "app/ui_support.h"
#include "importers/importers.h"
#include "text/errors.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScopeGuard>
#include <QScreen>
#include <QThread>
#include <QToolButton>

namespace kestrel {

namespace {

const QColor kBackground(90, 231, 125);
constexpr int kClientWidth = 616;
constexpr int kClientHeight = 397;
constexpr int kProgressHeight = 29;
constexpr int kHintHeight = 4;

void setColor(QWidget* widget, QPalette::ColorRole role, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(role, color);
    widget->setPalette(palette);
}

QLineEdit* addEdit(QWidget* parent, const char* name, const QRect& geometry) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setFont(songTiPixelFont(19, true));
    edit->setGeometry(geometry);
    return edit;
}

QLabel* addLabel(QWidget* parent, const QString& text, QPoint position) {
    auto* label = new QLabel(text, parent);
    label->setFont(songTiPixelFont(19, true));
    label->move(position);
    label->adjustSize();
    return label;
}

// How often the caption and the progress bar follow a running import: a person's pace.
constexpr int kProgressIntervalMs = 50;

QString windowCaption() {
    return QStringLiteral("青雁软件 换第三方软件就这么简单---导入到分店数据库");
}

} // namespace

TFrmBk_DataOutPut::TFrmBk_DataOutPut(TPubDM& dataModule, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_dataModule(dataModule), m_qryTemp(std::make_unique<Query>(dataModule.AdoConn())) {
    setObjectName(QStringLiteral("FrmBk_DataOutPut"));
    setWindowTitle(windowCaption());
    setFixedSize(kClientWidth, kClientHeight);
    setAutoFillBackground(true);
    setColor(this, QPalette::Window, kBackground);

    const int groupHeight = kClientHeight - kProgressHeight - kHintHeight;
    auto* group = new QGroupBox(this);
    group->setObjectName(QStringLiteral("GroupBox1"));
    group->setGeometry(0, 0, kClientWidth, groupHeight);
    buildIdentity(group);
    buildButtons(group);

    StaticTextHint = new QLabel(this);
    StaticTextHint->setObjectName(QStringLiteral("StaticTextHint"));
    StaticTextHint->setGeometry(0, groupHeight, kClientWidth, kHintHeight);
    StaticTextHint->setFont(songTiPointFont(9));
    StaticTextHint->setAutoFillBackground(true);
    setColor(StaticTextHint, QPalette::Window, Qt::white);
    setColor(StaticTextHint, QPalette::WindowText, Qt::green);

    PrgBar = new QProgressBar(this);
    PrgBar->setObjectName(QStringLiteral("PrgBar"));
    PrgBar->setGeometry(0, groupHeight + kHintHeight, kClientWidth, kProgressHeight);
    PrgBar->setTextVisible(false);
    PrgBar->setRange(0, 100);
    PrgBar->setValue(0);

    if (QScreen* shown = screen())
        move(shown->availableGeometry().center() - rect().center());

    // Every button runs its import, btnStart's btnStartClick ("充值卡导入") first.
    for (const ImportEntry& entry : importRegistry())
        setImportAction(entry.kind, [this, kind = entry.kind] { runOnItsOwnThread(kind); });
}

TFrmBk_DataOutPut::~TFrmBk_DataOutPut() = default;

void TFrmBk_DataOutPut::buildIdentity(QWidget* group) {
    addLabel(group, QStringLiteral("集团号"), {32, 18});
    EdtHotelTreeID = addEdit(group, "EdtHotelTreeID", {94, 13, 131, 27});
    addLabel(group, QStringLiteral("分店号"), {32, 56});
    EdtHotelID = addEdit(group, "EdtHotelID", {94, 51, 131, 27});
    addLabel(group, QStringLiteral("分店名"), {32, 95});
    EdtHotelName = addEdit(group, "EdtHotelName", {94, 90, 307, 27});
    setTabOrder(EdtHotelTreeID, EdtHotelID);
    setTabOrder(EdtHotelID, EdtHotelName);

    QLabel* rule = addLabel(
        group, QStringLiteral("会员规则一：疗程次卡有三种规则，导入疗程次卡只能采用规则一"),
        {21, 145});
    rule->resize(580, rule->height());
    setColor(rule, QPalette::WindowText, Qt::blue);
}

void TFrmBk_DataOutPut::buildButtons(QWidget* group) {
    addImportButton(group, "btnStart", QStringLiteral("充值卡导入"), {120, 181, 120, 50},
                    ImportKind::StoredValue);
    addImportButton(group, "SpeedButton1", QStringLiteral("积分卡导入"), {241, 181, 137, 50},
                    ImportKind::Points);
    addImportButton(group, "SpeedButton2", QStringLiteral("疗程次卡导入"), {379, 181, 120, 50},
                    ImportKind::Treatment);
    addImportButton(group, "SpeedButton3", QStringLiteral("锁牌房号导入"), {120, 240, 120, 50},
                    ImportKind::RoomsLockers);
    addImportButton(group, "SpeedButton4", QStringLiteral("沐足洗浴项目导入"), {241, 240, 137, 50},
                    ImportKind::ItemsGoods);
    addImportButton(group, "SpeedButton5", QStringLiteral("员工资料导入"), {379, 240, 120, 50},
                    ImportKind::Employees);
    addImportButton(group, "SpeedButton6", QStringLiteral("时段卡导入"), {120, 299, 120, 50},
                    ImportKind::TimePeriod);

    auto* exit = new QToolButton(group);
    exit->setObjectName(QStringLiteral("btnEnd"));
    exit->setText(QStringLiteral("退出"));
    exit->setIcon(glyphIcon(Glyph::Exit));
    exit->setIconSize({24, 24});
    exit->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    exit->setFont(songTiPixelFont(12, true));
    exit->setFocusPolicy(Qt::NoFocus);
    exit->setGeometry(392, 300, 90, 49);
    connect(exit, &QToolButton::clicked, this, &TFrmBk_DataOutPut::btnEndClick);
    m_buttons.append(exit);
    m_exitButton = exit;
}

QAbstractButton* TFrmBk_DataOutPut::addImportButton(QWidget* group, const char* name,
                                                    const QString& text, const QRect& geometry,
                                                    ImportKind kind) {
    auto* button = new QToolButton(group);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(text);
    button->setIcon(glyphIcon(Glyph::Import));
    button->setIconSize({24, 24});
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setFont(songTiPixelFont(12, true));
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(geometry);
    connect(button, &QToolButton::clicked, this, [this, kind] { runImport(kind); });
    m_buttons.append(button);
    return button;
}

void TFrmBk_DataOutPut::setImportAction(ImportKind kind, ImportAction action) {
    m_actions[kind] = std::move(action);
}

void TFrmBk_DataOutPut::runImport(ImportKind kind) {
    if (m_busy)
        return;
    const auto it = m_actions.find(kind);
    if (it == m_actions.end() || !it->second) {
        showInformation(this, tr("This import is not available"));
        return;
    }
    try {
        it->second();
    } catch (const Error& failure) {
        error(failure.message());
    } catch (const std::exception& failure) {
        error(QString::fromLocal8Bit(failure.what()));
    }
    if (std::exchange(m_closeAfterRun, false))
        close();
}

// One button's import from start to end: the engine's run on a thread of its own, reporting
// through a relay to this window, while the window's event loop goes on (as a modal dialog's
// does) so that it repaints and "退出" can ask to stop the run.
void TFrmBk_DataOutPut::runOnItsOwnThread(ImportKind kind) {
    showRunStarting();
    RunRelay relay(*this, kProgressIntervalMs);
    ImportThread run(kind,
                     {m_dataModule.settingsPath(), templateFolder(), identity(), QLocale::system(),
                      m_workbookOpener},
                     relay);
    m_run = &run;
    m_relay = &relay;
    const auto notRunning = qScopeGuard([this, &relay, &run] {
        relay.close(); // the application quits: the run reports no more and stops
        run.requestStop();
        run.wait();
        m_run = nullptr;
        m_relay = nullptr;
        setBusy(false);
    });
    run.start();
    run.waitInEventLoop();
    if (!run.finished())
        return;
    relay.deliver(); // the last row's caption and position
    if (run.outcome() == RunOutcome::Stopped)
        information(tr("The import was stopped. The block being imported was not written to "
                       "the database."));
    if (!m_runGaveCaption)
        setWindowTitle(windowCaption());
}

// At once, before the run connects or waits for a lock: the buttons grey, the caption says the
// import is starting and the bar is empty, so that nothing of the last run shows.
void TFrmBk_DataOutPut::showRunStarting() {
    setBusy(true);
    m_runGaveCaption = false;
    m_closeAfterRun = false;
    setWindowTitle(tr("Starting the import…"));
    PrgBar->setValue(PrgBar->minimum());
}

// The run waits at its next row while the operator answers.
bool TFrmBk_DataOutPut::askToStop() {
    if (!m_run || m_asking)
        return false;
    m_asking = true;
    m_relay->setHeld(true);
    const bool stop = askYesNo(this, tr("Stop the import? The block being imported will not be "
                                        "written to the database."));
    if (stop)
        m_run->requestStop();
    m_relay->setHeld(false);
    m_asking = false;
    return stop;
}

void TFrmBk_DataOutPut::setBusy(bool busy) {
    onGuiThread([this, busy] {
        m_busy = busy;
        for (QAbstractButton* button : std::as_const(m_buttons))
            button->setEnabled(!busy || button == m_exitButton);
    });
}

BranchIdentity TFrmBk_DataOutPut::identity() const {
    return {EdtHotelTreeID->text(), EdtHotelID->text(), EdtHotelName->text()};
}

QString TFrmBk_DataOutPut::templateFolder() const {
    return m_templateFolder.isEmpty() ? QCoreApplication::applicationDirPath() : m_templateFolder;
}

void TFrmBk_DataOutPut::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    FormShow();
}

void TFrmBk_DataOutPut::FormShow() {
    try {
        fillIdentityFromSystemTable();
    } catch (const Error& failure) {
        showStandardError(this, failure.message());
    }
}

void TFrmBk_DataOutPut::fillIdentityFromSystemTable() {
    Query& qryTemp = *m_qryTemp;
    qryTemp.close();
    qryTemp.setSql(
        QStringLiteral(" Select Name From sysobjects Where  Name='Sys_System' And    XType='U'"));
    qryTemp.open();
    if (!qryTemp.isEmpty()) {
        Query& qrySystem = m_dataModule.qrySystem();
        qrySystem.close();
        qrySystem.setSql(QStringLiteral("Select HotelID,HotelTreeID,HotelName From Sys_System"));
        qrySystem.open();
        const bool hasRow = !qrySystem.isEmpty();
        const auto text = [&](const QString& column) {
            return hasRow ? qrySystem.fieldText(column) : QString();
        };
        EdtHotelID->setText(text(QStringLiteral("HotelID")));
        EdtHotelName->setText(text(QStringLiteral("HotelName")));
        EdtHotelTreeID->setText(text(QStringLiteral("HotelTreeID")));
        EdtHotelTreeID->setReadOnly(true);
        EdtHotelID->setReadOnly(true);
        EdtHotelName->setReadOnly(true);
    }
    qryTemp.close();
}

void TFrmBk_DataOutPut::btnEndClick() {
    if (m_run)
        askToStop();
    else
        close();
}

// During a run the window asks to stop it first, and closes once it has stopped.
void TFrmBk_DataOutPut::closeEvent(QCloseEvent* event) {
    if (m_run && askToStop())
        m_closeAfterRun = true;
    if (m_busy)
        event->ignore();
    else
        event->accept();
}

void TFrmBk_DataOutPut::onGuiThread(const std::function<void()>& work) {
    if (QThread::currentThread() == thread())
        work();
    else
        QMetaObject::invokeMethod(this, work, Qt::BlockingQueuedConnection);
}

void TFrmBk_DataOutPut::captionChanged(const QString& caption) {
    onGuiThread([this, caption] {
        setWindowTitle(caption);
        m_runGaveCaption = true;
    });
}

void TFrmBk_DataOutPut::progressReset(int maximum) {
    onGuiThread([this, maximum] {
        // A range of 0 to 0 would turn the bar into a busy indicator: keep it empty instead.
        PrgBar->setRange(0, qMax(maximum, 1));
        PrgBar->setValue(0);
    });
}

void TFrmBk_DataOutPut::progressChanged(int position) {
    onGuiThread([this, position] {
        PrgBar->setValue(qBound(PrgBar->minimum(), position, PrgBar->maximum()));
    });
}

void TFrmBk_DataOutPut::information(const QString& text) {
    onGuiThread([this, text] { showInformation(this, text); });
}

void TFrmBk_DataOutPut::error(const QString& text) {
    onGuiThread([this, text] { showStandardError(this, text); });
}

void TFrmBk_DataOutPut::blockRecorded(const BlockRecord& record) {
    const QString failure = m_importLog.append(templateFolder(), record);
    if (!failure.isEmpty())
        information(failure);
}

void TFrmBk_DataOutPut::identityTrimmed(const BranchIdentity& identity) {
    onGuiThread([this, identity] {
        EdtHotelTreeID->setText(identity.hotelTreeId);
        EdtHotelID->setText(identity.hotelId);
        EdtHotelName->setText(identity.hotelName);
    });
}

} // namespace kestrel
