#include "app/main_window.h"

#include "app/pub_dm.h"
#include "app/ui_support.h"
#include "importers/importers.h"
#include "text/errors.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
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

// --- Import run hook (owner: run) ------------------------------------------------------------
// An import runs on this thread inside its click (the database connection belongs to it). The
// observer calls let the window repaint every 30 ms; user input stays queued, and the busy
// window keeps its buttons disabled and refuses to close.
void keepWindowPainted() {
    static QElapsedTimer sinceLastPaint;
    if (sinceLastPaint.isValid() && sinceLastPaint.elapsed() < 30)
        return;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    sinceLastPaint.start();
}

// One button's import from start to end: the engine's run with this window as its observer.
void runEngineImport(TFrmBk_DataOutPut& window, ImportKind kind) {
    window.setBusy(true);
    const auto notBusy = qScopeGuard([&window] {
        // Clicks made during the run wait in the queue: let them reach the disabled buttons
        // now, so that none of them starts another import once the buttons are enabled again.
        QCoreApplication::processEvents();
        window.setBusy(false);
    });
    RunContext context(window.dataModule().AdoConn(), window);
    context.templateFolder = window.templateFolder();
    context.identity = window.identity();
    context.locale = QLocale::system();
    kestrel::runImport(kind, context);
}
// --- end of the import run hook -------------------------------------------------------------

} // namespace

TFrmBk_DataOutPut::TFrmBk_DataOutPut(TPubDM& dataModule, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_dataModule(dataModule), m_qryTemp(std::make_unique<Query>(dataModule.AdoConn())) {
    setObjectName(QStringLiteral("FrmBk_DataOutPut"));
    setWindowTitle(QStringLiteral("青雁软件 换第三方软件就这么简单---导入到分店数据库"));
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
        setImportAction(entry.kind, [this, kind = entry.kind] { runEngineImport(*this, kind); });
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
        showInformation(this, QStringLiteral("该导入尚未提供"));
        return;
    }
    try {
        it->second();
    } catch (const Error& failure) {
        error(failure.message());
    } catch (const std::exception& failure) {
        error(QString::fromLocal8Bit(failure.what()));
    }
}

void TFrmBk_DataOutPut::setBusy(bool busy) {
    onGuiThread([this, busy] {
        m_busy = busy;
        for (QAbstractButton* button : std::as_const(m_buttons))
            button->setEnabled(!busy);
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
    close();
}

void TFrmBk_DataOutPut::closeEvent(QCloseEvent* event) {
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
    onGuiThread([this, caption] { setWindowTitle(caption); });
    keepWindowPainted(); // import run hook (owner: run)
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
        PrgBar->repaint(); // an import on this thread would otherwise hold the paint back
    });
    keepWindowPainted(); // import run hook (owner: run)
}

void TFrmBk_DataOutPut::information(const QString& text) {
    onGuiThread([this, text] { showInformation(this, text); });
}

void TFrmBk_DataOutPut::error(const QString& text) {
    onGuiThread([this, text] { showStandardError(this, text); });
}

void TFrmBk_DataOutPut::identityTrimmed(const BranchIdentity& identity) {
    onGuiThread([this, identity] {
        EdtHotelTreeID->setText(identity.hotelTreeId);
        EdtHotelID->setText(identity.hotelId);
        EdtHotelName->setText(identity.hotelName);
    });
}

} // namespace kestrel
