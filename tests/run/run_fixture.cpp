#include "run_fixture.h"

#include "importers/importers.h"
#include "text/errors.h"

#include "test_paths.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace kestrel::test {

void RecordingObserver::captionChanged(const QString& caption) {
    captions.append(caption);
}
void RecordingObserver::progressReset(int maximum) {
    progressMaxima.append(maximum);
}
void RecordingObserver::progressChanged(int position) {
    lastProgress = position;
}
void RecordingObserver::information(const QString& text) {
    messages.append(text);
}
void RecordingObserver::error(const QString& text) {
    errors.append(text);
}
void RecordingObserver::identityTrimmed(const BranchIdentity& identity) {
    trimmed = identity;
}
void RecordingObserver::blockRecorded(const BlockRecord& record) {
    records.append(record);
}

namespace {

const QStringList kMemberNumbers = {QStringLiteral("SumMoney"),   QStringLiteral("JiFen"),
                                    QStringLiteral("AgioRate"),   QStringLiteral("XFSumMoney"),
                                    QStringLiteral("QtdXfMoney"), QStringLiteral("QtdJiFen"),
                                    QStringLiteral("FpMoney"),    QStringLiteral("LimitMoney")};
const QStringList kMemberCounts = {QStringLiteral("CalTimes"), QStringLiteral("Age"),
                                   QStringLiteral("XFTimes"), QStringLiteral("GiveDays")};
const QStringList kMemberDates = {
    QStringLiteral("Birthday"),       QStringLiteral("CreateDate"),
    QStringLiteral("EndDate"),        QStringLiteral("StartDate"),
    QStringLiteral("PrvRealDate"),    QStringLiteral("CardEndDate"),
    QStringLiteral("PrvComCallDate"), QStringLiteral("PrvRevisitDate"),
    QStringLiteral("MarriedDate"),    QStringLiteral("YuETxDate"),
    QStringLiteral("GuoQiTxDate"),    QStringLiteral("JiFenTxDate"),
    QStringLiteral("WddTxDate")};
const QStringList kMemberTexts = {QStringLiteral("HotelTreeID"),
                                  QStringLiteral("MemberID"),
                                  QStringLiteral("MemberPassword"),
                                  QStringLiteral("CardName"),
                                  QStringLiteral("MemberName"),
                                  QStringLiteral("Phone"),
                                  QStringLiteral("Address"),
                                  QStringLiteral("PostCode"),
                                  QStringLiteral("Sex"),
                                  QStringLiteral("isBlankOut"),
                                  QStringLiteral("isQianZhangXiaoFei"),
                                  QStringLiteral("isCalJiFenAndAgio"),
                                  QStringLiteral("GdCardNo"),
                                  QStringLiteral("CardTypeName"),
                                  QStringLiteral("isAttach"),
                                  QStringLiteral("CardTypeID"),
                                  QStringLiteral("HotelID"),
                                  QStringLiteral("HotelName"),
                                  QStringLiteral("Memo"),
                                  QStringLiteral("SalerCode"),
                                  QStringLiteral("SalerName"),
                                  QStringLiteral("AdviserCode"),
                                  QStringLiteral("AdviserName"),
                                  QStringLiteral("XingZuo"),
                                  QStringLiteral("ShuXiang"),
                                  QStringLiteral("XuXing"),
                                  QStringLiteral("HeightBMI"),
                                  QStringLiteral("SanWeiDu"),
                                  QStringLiteral("XuYa"),
                                  QStringLiteral("MaiBo"),
                                  QStringLiteral("ClientTypeID"),
                                  QStringLiteral("ClientTypeName"),
                                  QStringLiteral("QQCode"),
                                  QStringLiteral("MSNCode"),
                                  QStringLiteral("EmailCode"),
                                  QStringLiteral("Fax"),
                                  QStringLiteral("ZhiYe"),
                                  QStringLiteral("PaperTypeID"),
                                  QStringLiteral("PaperTypeName"),
                                  QStringLiteral("HomePhone"),
                                  QStringLiteral("LifeXiGuan"),
                                  QStringLiteral("Operator"),
                                  QStringLiteral("JiGuan"),
                                  QStringLiteral("CarCode"),
                                  QStringLiteral("ChengHu"),
                                  QStringLiteral("XinYang"),
                                  QStringLiteral("JinJi"),
                                  QStringLiteral("XingQHH"),
                                  QStringLiteral("RepeatPassword"),
                                  QStringLiteral("MokuanID"),
                                  QStringLiteral("ZkZhiWenOne"),
                                  QStringLiteral("ZkZhiWenTwo"),
                                  QStringLiteral("ZkZhiWenThree"),
                                  QStringLiteral("ZkZhiWenFour"),
                                  QStringLiteral("MingZu"),
                                  QStringLiteral("CardFZJG"),
                                  QStringLiteral("FkLsh"),
                                  QStringLiteral("isZdFk"),
                                  QStringLiteral("isGiveCard"),
                                  QStringLiteral("isSend"),
                                  QStringLiteral("isSendMsg"),
                                  QStringLiteral("OpenID"),
                                  QStringLiteral("FaceID"),
                                  QStringLiteral("isTransfer"),
                                  QStringLiteral("isBackup")};

const QStringList kLogNumbers = {QStringLiteral("OldJiFenValue"), QStringLiteral("OldCardValue"),
                                 QStringLiteral("JiFenValue"),    QStringLiteral("CardValue"),
                                 QStringLiteral("ZsCardValue"),   QStringLiteral("NowJiFenValue"),
                                 QStringLiteral("NowCardValue"),  QStringLiteral("GzCheckMoney"),
                                 QStringLiteral("SaleTcMoney"),   QStringLiteral("ToRmbRate")};
const QStringList kLogDates = {QStringLiteral("CreateDate"), QStringLiteral("CheckoutDate"),
                               QStringLiteral("GzCheckDate"), QStringLiteral("AuditDate"),
                               QStringLiteral("EndDate")};
const QStringList kLogTexts = {QStringLiteral("CKSN"),
                               QStringLiteral("HotelTreeID"),
                               QStringLiteral("HotelID"),
                               QStringLiteral("HotelName"),
                               QStringLiteral("MokuanID"),
                               QStringLiteral("CardCode"),
                               QStringLiteral("CardFaceID"),
                               QStringLiteral("CardTypeID"),
                               QStringLiteral("CardGroupID"),
                               QStringLiteral("CardGroupName"),
                               QStringLiteral("ClientName"),
                               QStringLiteral("OpTypeFlag"),
                               QStringLiteral("AccountID"),
                               QStringLiteral("AccountName"),
                               QStringLiteral("CheckTypeID"),
                               QStringLiteral("CheckTypeName"),
                               QStringLiteral("KeMuID"),
                               QStringLiteral("KeMuName"),
                               QStringLiteral("ZhaiYaoID"),
                               QStringLiteral("ZhaiYaoName"),
                               QStringLiteral("Operator"),
                               QStringLiteral("CreateTime"),
                               QStringLiteral("BanCiName"),
                               QStringLiteral("isAudit"),
                               QStringLiteral("isChoiced"),
                               QStringLiteral("isGzCheck"),
                               QStringLiteral("GzCheckOperator"),
                               QStringLiteral("SalerCode"),
                               QStringLiteral("SalerName"),
                               QStringLiteral("isInvoice"),
                               QStringLiteral("CardOpLsh"),
                               QStringLiteral("FkHotelID"),
                               QStringLiteral("Auditor"),
                               QStringLiteral("CheckTypeEnID"),
                               QStringLiteral("CheckGroupID"),
                               QStringLiteral("CheckGroupName"),
                               QStringLiteral("BankCardCode"),
                               QStringLiteral("isZdCz"),
                               QStringLiteral("isSend"),
                               QStringLiteral("Memo"),
                               QStringLiteral("isTransfer"),
                               QStringLiteral("isBackup")};

struct Types {
    QString text;
    QString number;
    QString count;
    QString date;
};

Types typesOf(SchemaFlavour flavour) {
    if (flavour == SchemaFlavour::Strict)
        return {QStringLiteral("varchar(40) COLLATE NOCASE"), QStringLiteral("numeric(18,2)"),
                QStringLiteral("int"), QStringLiteral("datetime")};
    return {QStringLiteral("TEXT"), QStringLiteral("REAL"), QStringLiteral("NUMERIC"),
            QStringLiteral("DATE")};
}

QString createTable(const QString& table, const QString& leading, const QStringList& texts,
                    const QStringList& numbers, const QStringList& counts, const QStringList& dates,
                    const Types& types) {
    QStringList columns{leading};
    for (const QString& name : texts)
        columns.append(name + QLatin1Char(' ') + types.text);
    for (const QString& name : numbers)
        columns.append(name + QLatin1Char(' ') + types.number);
    for (const QString& name : counts)
        columns.append(name + QLatin1Char(' ') + types.count);
    for (const QString& name : dates)
        columns.append(name + QLatin1Char(' ') + types.date);
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(table, columns.join(QStringLiteral(", ")));
}

} // namespace

// The statements of an SQL script: comment lines dropped, split at semicolons.
QStringList scriptStatements(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path.toStdString();
        return {};
    }
    QStringList lines;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (!line.trimmed().startsWith(QStringLiteral("--")))
            lines.append(line);
    }
    QStringList statements;
    for (const QString& statement : lines.join(QLatin1Char('\n')).split(QLatin1Char(';'))) {
        if (!statement.trimmed().isEmpty())
            statements.append(statement.trimmed());
    }
    return statements;
}

QStringList storedValueSchema(SchemaFlavour flavour) {
    if (flavour == SchemaFlavour::Branch)
        return scriptStatements(sourceDir() + QStringLiteral("/schema/branch.sql"));
    const Types types = typesOf(flavour);
    const QString key = QStringLiteral("RowNo INTEGER PRIMARY KEY AUTOINCREMENT");
    const QString pairColumns = QStringLiteral("CardCode %1, CardTypeID %1, CardTypeName %1, "
                                               "CardGroupID %1")
                                    .arg(types.text);
    return {
        createTable(QStringLiteral("HY_Member"),
                    key + QStringLiteral(", Grade varchar(10) NOT NULL DEFAULT 'A'"), kMemberTexts,
                    kMemberNumbers, kMemberCounts, kMemberDates, types),
        createTable(QStringLiteral("HY_CardValueOpLog"), key, kLogTexts, kLogNumbers, {}, kLogDates,
                    types),
        QStringLiteral("CREATE TABLE HY_CardType (CardTypeID %1, CardTypeName %1, HotelTreeID %1, "
                       "LevelID %2, isTransfer %1, isBackup %1)")
            .arg(types.text, types.count),
        QStringLiteral("CREATE TABLE HY_JiCiCardDetail (%1)").arg(pairColumns),
        QStringLiteral("CREATE TABLE HY_JFAgioCardDetail (%1)").arg(pairColumns),
    };
}

QStringList storedValueHeader() {
    return {QStringLiteral("卡类型"), QStringLiteral("卡芯号"),   QStringLiteral("卡面号"),
            QStringLiteral("挂失"),   QStringLiteral("密码"),     QStringLiteral("卡中金额"),
            QStringLiteral("积分"),   QStringLiteral("有效日期"), QStringLiteral("发卡日期"),
            QStringLiteral("备用"),   QStringLiteral("顾问"),     QStringLiteral("姓名"),
            QStringLiteral("性别"),   QStringLiteral("电话"),     QStringLiteral("短信"),
            QStringLiteral("生日"),   QStringLiteral("邮编"),     QStringLiteral("地址"),
            QStringLiteral("证件")};
}

QStringList storedValueRow(const QString& chipNumber, const QString& cardType) {
    return {cardType,
            chipNumber,
            QStringLiteral("F-") + chipNumber,
            QStringLiteral("n"),
            QStringLiteral("pw1"),
            QStringLiteral("300"),
            QStringLiteral("15"),
            QStringLiteral("2026-12-31"),
            QStringLiteral("2024-01-15"),
            QStringLiteral("不存"),
            QStringLiteral("李顾问"),
            QStringLiteral("王五"),
            QStringLiteral("女"),
            QStringLiteral("13800000000"),
            QStringLiteral("n"),
            QStringLiteral("1985-06-01"),
            QStringLiteral("510000"),
            QStringLiteral("广州天河"),
            QStringLiteral("护照")};
}

void RunFixture::SetUp() {
    folder = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(folder->isValid());
    connectionName = QUuid::createUuid().toString();
    QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    connection.setDatabaseName(folder->filePath(QStringLiteral("branch.db")));
    ASSERT_TRUE(connection.open()) << connection.lastError().text().toStdString();
    database = std::make_unique<Database>(connection, Dialect::Sqlite);
}

void RunFixture::TearDown() {
    database.reset();
    QSqlDatabase::database(connectionName, false).close();
    QSqlDatabase::removeDatabase(connectionName);
}

void RunFixture::createSchema(const QStringList& statements) {
    for (const QString& statement : statements)
        exec(statement);
}

void RunFixture::exec(const QString& statement) {
    QSqlQuery query(database->connection());
    ASSERT_TRUE(query.exec(statement))
        << statement.toStdString() << ": " << query.lastError().text().toStdString();
}

QVariant RunFixture::scalar(const QString& select) {
    QSqlQuery query(database->connection());
    if (!query.exec(select) || !query.next()) {
        ADD_FAILURE() << select.toStdString() << ": " << query.lastError().text().toStdString();
        return {};
    }
    return query.value(0);
}

int RunFixture::count(const QString& table, const QString& where) {
    QString select = QStringLiteral("SELECT COUNT(*) FROM ") + table;
    if (!where.isEmpty())
        select += QStringLiteral(" WHERE ") + where;
    return scalar(select).toInt();
}

QStringList RunFixture::column(const QString& select) {
    QSqlQuery query(database->connection());
    QStringList values;
    if (!query.exec(select)) {
        ADD_FAILURE() << select.toStdString() << ": " << query.lastError().text().toStdString();
        return values;
    }
    while (query.next())
        values.append(query.value(0).toString());
    return values;
}

MemoryWorkbook& RunFixture::addTemplate(const QString& fileName, int worksheets) {
    auto book = std::make_shared<MemoryWorkbook>(folder->filePath(fileName), worksheets);
    templates.insert(fileName, book);
    return *book;
}

RunContext RunFixture::context(RunMode mode, RunObserver* reportTo) {
    RunContext context(*database, reportTo ? *reportTo : observer);
    context.templateFolder = folder->path();
    context.identity = identity;
    context.locale = locale;
    context.now = [this] { return now; };
    context.mode = mode;
    context.phaseStarted = [this](RunPhase phase) { phases.append(phase); };
    context.stopRequested = &stopRequested;
    context.openWorkbook = [this](const QString& path) -> std::unique_ptr<Workbook> {
        const QString name = QFileInfo(path).fileName();
        if (!templates.contains(name))
            throw WorkbookError(QStringLiteral("找不到模板 ") + path);
        return std::make_unique<MemoryWorkbook>(*templates.value(name));
    };
    return context;
}

void StoredValueRunFixture::SetUp() {
    RunFixture::SetUp();
    createSchema(storedValueSchema(SchemaFlavour::Strict));
    restartTemplate();
}

void StoredValueRunFixture::restartTemplate() {
    book = &addTemplate(QStringLiteral("青雁充值卡模板.xls"));
    book->appendTextRow(1, storedValueHeader());
}

void StoredValueRunFixture::addRows(const QStringList& chips) {
    for (const QString& chip : chips)
        book->appendTextRow(1, storedValueRow(chip));
}

RunOutcome RunFixture::run(ImportKind kind, RunMode mode) {
    RunContext runContext = context(mode);
    return runImport(kind, runContext);
}

RunOutcome RunFixture::runDefinition(const ImportDefinition& definition, RunMode mode) {
    RunContext runContext = context(mode);
    return runImportDefinition(definition, runContext);
}

} // namespace kestrel::test
