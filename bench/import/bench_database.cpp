#include "bench_database.h"

#include "sqlite_script.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <sqlite3.h>
#include <stdexcept>

namespace kestrel::bench {

namespace {

[[noreturn]] void fail(const QSqlQuery& query, const QString& what) {
    throw std::runtime_error(
        (what + QStringLiteral(": ") + query.lastError().text()).toStdString());
}

void exec(QSqlDatabase& connection, const QString& statement) {
    QSqlQuery query(connection);
    if (!query.exec(statement))
        fail(query, statement);
}

QString insertStatement(const QString& table, const QStringList& columns) {
    QStringList marks;
    for (qsizetype i = 0; i < columns.size(); ++i)
        marks.append(QStringLiteral("?"));
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(table, columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
}

const QStringList memberTypes{QStringLiteral("会员卡"), QStringLiteral("老会员卡"),
                              QStringLiteral("员工卡"), QStringLiteral("家庭卡")};

// Existing card types named by the generated members, so that the import's reconciliation sees
// a realistic category table.
void insertCardTypes(QSqlDatabase& connection) {
    QSqlQuery query(connection);
    query.prepare(insertStatement(QStringLiteral("HY_CardType"),
                                  {QStringLiteral("CardTypeID"), QStringLiteral("CardTypeName"),
                                   QStringLiteral("HotelTreeID"), QStringLiteral("LevelID"),
                                   QStringLiteral("isTransfer"), QStringLiteral("isBackup")}));
    for (qsizetype i = 0; i < memberTypes.size(); ++i) {
        query.addBindValue(QStringLiteral("OLD%1").arg(i + 1));
        query.addBindValue(memberTypes.at(i));
        query.addBindValue(QStringLiteral("QY"));
        query.addBindValue(1);
        query.addBindValue(QStringLiteral("n"));
        query.addBindValue(QStringLiteral("n"));
        if (!query.exec())
            fail(query, QStringLiteral("card type"));
    }
}

void insertMembers(QSqlDatabase& connection, int members) {
    QSqlQuery member(connection);
    member.prepare(insertStatement(
        QStringLiteral("HY_Member"),
        {QStringLiteral("HotelTreeID"), QStringLiteral("HotelID"), QStringLiteral("HotelName"),
         QStringLiteral("MemberID"), QStringLiteral("CardName"), QStringLiteral("CardTypeID"),
         QStringLiteral("CardTypeName"), QStringLiteral("MemberName"), QStringLiteral("Phone"),
         QStringLiteral("MemberPassword"), QStringLiteral("RepeatPassword"),
         QStringLiteral("PaperTypeName"), QStringLiteral("SumMoney"), QStringLiteral("QtdXfMoney"),
         QStringLiteral("JiFen"), QStringLiteral("CreateDate"), QStringLiteral("EndDate"),
         QStringLiteral("isBlankOut"), QStringLiteral("Memo")}));
    QSqlQuery log(connection);
    log.prepare(insertStatement(QStringLiteral("HY_CardValueOpLog"),
                                {QStringLiteral("HotelTreeID"), QStringLiteral("HotelID"),
                                 QStringLiteral("CardCode"), QStringLiteral("CardFaceID"),
                                 QStringLiteral("CardGroupID"), QStringLiteral("CardGroupName"),
                                 QStringLiteral("ClientName"), QStringLiteral("OpTypeFlag"),
                                 QStringLiteral("CardValue"), QStringLiteral("NowCardValue"),
                                 QStringLiteral("CreateDate"), QStringLiteral("Memo")}));
    const QString tree = QStringLiteral("QY");
    const QString hotel = QStringLiteral("001");
    for (int i = 0; i < members; ++i) {
        const QString id = QStringLiteral("M%1").arg(i + 1, 9, 10, QLatin1Char('0'));
        const qsizetype type = i % memberTypes.size();
        const QString typeId = QStringLiteral("OLD%1").arg(type + 1);
        const QString name = QStringLiteral("会员%1").arg(i + 1);
        const double money = (i % 500) * 10.0;
        const QString created = QStringLiteral("2015-%1-%2 00:00:00")
                                    .arg(i % 12 + 1, 2, 10, QLatin1Char('0'))
                                    .arg(i % 28 + 1, 2, 10, QLatin1Char('0'));
        member.addBindValue(tree);
        member.addBindValue(hotel);
        member.addBindValue(QStringLiteral("青雁一店"));
        member.addBindValue(id);
        member.addBindValue(id);
        member.addBindValue(typeId);
        member.addBindValue(memberTypes.at(type));
        member.addBindValue(name);
        member.addBindValue(QStringLiteral("139%1").arg(i, 8, 10, QLatin1Char('0')));
        // A third of the members have no password, as the clean-up statements expect.
        const QString password =
            i % 3 == 0 ? QString() : QStringLiteral("%1").arg(i % 1000000, 6, 10, QLatin1Char('0'));
        member.addBindValue(password);
        member.addBindValue(password);
        member.addBindValue(QStringLiteral("身份证"));
        member.addBindValue(money);
        member.addBindValue(i % 10 == 0 ? 0.0 : money);
        member.addBindValue(i % 300);
        member.addBindValue(created);
        member.addBindValue(QStringLiteral("2030-12-31 00:00:00"));
        member.addBindValue(QStringLiteral("n"));
        member.addBindValue(QStringLiteral("导入"));
        if (!member.exec())
            fail(member, QStringLiteral("member"));
        log.addBindValue(tree);
        log.addBindValue(hotel);
        log.addBindValue(id);
        log.addBindValue(id);
        log.addBindValue(typeId);
        log.addBindValue(memberTypes.at(type));
        log.addBindValue(name);
        log.addBindValue(QStringLiteral("CZ"));
        log.addBindValue(money);
        log.addBindValue(money);
        log.addBindValue(created);
        log.addBindValue(QStringLiteral("工具导入"));
        if (!log.exec())
            fail(log, QStringLiteral("log row"));
    }
}

} // namespace

void createMemberDatabase(const QString& path, const QString& schemaScript, int members) {
    const QString name = QStringLiteral("bench-generate");
    {
        QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        connection.setDatabaseName(path);
        if (!connection.open())
            throw std::runtime_error(connection.lastError().text().toStdString());
        exec(connection, QStringLiteral("PRAGMA journal_mode=OFF"));
        exec(connection, QStringLiteral("PRAGMA synchronous=OFF"));
        sqlscript::runFile(connection, schemaScript);
        exec(connection, QStringLiteral("BEGIN"));
        insertCardTypes(connection);
        insertMembers(connection, members);
        exec(connection, QStringLiteral("COMMIT"));
        exec(connection, QStringLiteral("ANALYZE"));
        connection.close();
    }
    QSqlDatabase::removeDatabase(name);
}

QStringList writtenMemberColumns() {
    return QStringLiteral(
               "HotelTreeID,MemberID,MemberPassword,CardName,SumMoney,MemberName,AgioRate,Phone,"
               "Address,PostCode,Sex,Birthday,JiFen,CreateDate,isBlankOut,EndDate,"
               "isQianZhangXiaoFei,isCalJiFenAndAgio,XFSumMoney,GdCardNo,CardTypeName,isAttach,"
               "CalTimes,CardTypeID,HotelID,QtdXfMoney,QtdJiFen,HotelName,StartDate,Memo,"
               "SalerCode,SalerName,PrvRealDate,AdviserCode,AdviserName,XingZuo,ShuXiang,XuXing,"
               "HeightBMI,SanWeiDu,XuYa,MaiBo,ClientTypeID,ClientTypeName,QQCode,MSNCode,"
               "EmailCode,Fax,ZhiYe,PaperTypeID,PaperTypeName,HomePhone,LifeXiGuan,Operator,"
               "JiGuan,CarCode,ChengHu,XinYang,JinJi,XingQHH,RepeatPassword,MokuanID,"
               "ZkZhiWenOne,ZkZhiWenTwo,ZkZhiWenThree,ZkZhiWenFour,Age,CardEndDate,MingZu,"
               "CardFZJG,FkLsh,isZdFk,isGiveCard,FpMoney,isSend,XFTimes,GiveDays,isSendMsg,"
               "PrvComCallDate,PrvRevisitDate,MarriedDate,OpenID,YuETxDate,GuoQiTxDate,"
               "JiFenTxDate,WddTxDate,FaceID,LimitMoney,isTransfer,isBackup")
        .split(QLatin1Char(','));
}

QStringList writtenLogColumns() {
    return QStringLiteral(
               "CKSN,HotelTreeID,HotelID,HotelName,MokuanID,CardCode,CardFaceID,CardTypeID,"
               "CardGroupID,CardGroupName,ClientName,OpTypeFlag,OldJiFenValue,OldCardValue,"
               "JiFenValue,CardValue,ZsCardValue,NowJiFenValue,NowCardValue,AccountID,"
               "AccountName,CheckTypeID,CheckTypeName,KeMuID,KeMuName,ZhaiYaoID,ZhaiYaoName,"
               "Operator,CreateDate,CreateTime,BanCiName,CheckoutDate,isAudit,isChoiced,"
               "isGzCheck,GzCheckMoney,GzCheckDate,GzCheckOperator,SalerCode,SalerName,"
               "SaleTcMoney,isInvoice,CardOpLsh,FkHotelID,Auditor,AuditDate,ToRmbRate,"
               "CheckTypeEnID,CheckGroupID,CheckGroupName,BankCardCode,EndDate,isZdCz,isSend,"
               "Memo,isTransfer,isBackup")
        .split(QLatin1Char(','));
}

QStringList presentColumns(QSqlDatabase& connection, const QString& table,
                           const QStringList& wanted, QStringList& missing) {
    const QSqlRecord record = connection.record(table);
    QStringList present;
    for (const QString& column : wanted) {
        if (record.indexOf(column) >= 0)
            present.append(column);
        else
            missing.append(table + QLatin1Char('.') + column);
    }
    return present;
}

TableRows readRows(QSqlDatabase& connection, const QString& table, const QStringList& columns,
                   const QString& where) {
    TableRows result{table, columns, {}};
    QSqlQuery query(connection);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                        .arg(columns.join(QLatin1Char(',')), table, where)))
        fail(query, table);
    while (query.next()) {
        QVariantList row;
        row.reserve(columns.size());
        for (int i = 0; i < columns.size(); ++i)
            row.append(query.value(i));
        result.rows.append(row);
    }
    return result;
}

void insertRowsPlainly(QSqlDatabase& connection, const QList<TableRows>& tables) {
    exec(connection, QStringLiteral("BEGIN"));
    QList<QSqlQuery> inserts;
    for (const TableRows& table : tables) {
        inserts.append(QSqlQuery(connection));
        if (!inserts.last().prepare(insertStatement(table.table, table.columns)))
            fail(inserts.last(), table.table);
    }
    // Member row, then its log row, as the import writes them.
    const qsizetype count = tables.isEmpty() ? 0 : tables.first().rows.size();
    for (qsizetype row = 0; row < count; ++row) {
        for (qsizetype t = 0; t < tables.size(); ++t) {
            if (row >= tables.at(t).rows.size())
                continue;
            QSqlQuery& insert = inserts[t];
            for (const QVariant& value : tables.at(t).rows.at(row))
                insert.addBindValue(value);
            if (!insert.exec())
                fail(insert, tables.at(t).table);
        }
    }
    exec(connection, QStringLiteral("COMMIT"));
}

qint64 scalar(QSqlDatabase& connection, const QString& select) {
    QSqlQuery query(connection);
    if (!query.exec(select) || !query.next())
        fail(query, select);
    return query.value(0).toLongLong();
}

namespace {

[[noreturn]] void failSqlite(sqlite3* db, const char* what) {
    throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

void execSqlite(sqlite3* db, const QString& statement) {
    if (sqlite3_exec(db, statement.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        failSqlite(db, "statement");
}

void bindSqlite(sqlite3* db, sqlite3_stmt* statement, int position, const QVariant& value) {
    int rc = SQLITE_OK;
    if (value.isNull()) {
        rc = sqlite3_bind_null(statement, position);
    } else if (value.metaType().id() == QMetaType::Double) {
        rc = sqlite3_bind_double(statement, position, value.toDouble());
    } else if (value.metaType().id() == QMetaType::LongLong ||
               value.metaType().id() == QMetaType::Int) {
        rc = sqlite3_bind_int64(statement, position, value.toLongLong());
    } else {
        const QString text = value.toString();
        rc = sqlite3_bind_text16(statement, position, text.utf16(),
                                 static_cast<int>(text.size() * 2), SQLITE_TRANSIENT);
    }
    if (rc != SQLITE_OK)
        failSqlite(db, "bind");
}

} // namespace

double readColumnThroughSqlite(const QString& path, const QStringList& pragmas,
                               const QString& select) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        failSqlite(db, "open");
    sqlite3_stmt* statement = nullptr;
    try {
        for (const QString& pragma : pragmas)
            execSqlite(db, pragma);
        QElapsedTimer clock;
        clock.start();
        const QByteArray text = select.toUtf8();
        if (sqlite3_prepare_v2(db, text.constData(), -1, &statement, nullptr) != SQLITE_OK)
            failSqlite(db, "prepare");
        qint64 units = 0;
        int rc = SQLITE_OK;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            sqlite3_column_text16(statement, 0);
            units += sqlite3_column_bytes16(statement, 0);
        }
        if (rc != SQLITE_DONE || units < 0)
            failSqlite(db, "select");
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return seconds;
    } catch (...) {
        sqlite3_finalize(statement);
        sqlite3_close(db);
        throw;
    }
}

double insertRowsThroughSqlite(const QString& path, const QStringList& pragmas,
                               const QList<TableRows>& tables) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK)
        failSqlite(db, "open");
    std::vector<sqlite3_stmt*> inserts;
    try {
        for (const QString& pragma : pragmas)
            execSqlite(db, pragma);
        QElapsedTimer clock;
        clock.start();
        execSqlite(db, QStringLiteral("BEGIN"));
        for (const TableRows& table : tables) {
            sqlite3_stmt* statement = nullptr;
            const QByteArray text = insertStatement(table.table, table.columns).toUtf8();
            if (sqlite3_prepare_v3(db, text.constData(), -1, SQLITE_PREPARE_PERSISTENT, &statement,
                                   nullptr) != SQLITE_OK)
                failSqlite(db, "prepare");
            inserts.push_back(statement);
        }
        const qsizetype count = tables.isEmpty() ? 0 : tables.first().rows.size();
        for (qsizetype row = 0; row < count; ++row) {
            for (qsizetype t = 0; t < tables.size(); ++t) {
                if (row >= tables.at(t).rows.size())
                    continue;
                sqlite3_stmt* insert = inserts[static_cast<std::size_t>(t)];
                const QVariantList& values = tables.at(t).rows.at(row);
                for (qsizetype i = 0; i < values.size(); ++i)
                    bindSqlite(db, insert, static_cast<int>(i + 1), values.at(i));
                if (sqlite3_step(insert) != SQLITE_DONE)
                    failSqlite(db, "insert");
                sqlite3_reset(insert);
            }
        }
        execSqlite(db, QStringLiteral("COMMIT"));
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        for (sqlite3_stmt* statement : inserts)
            sqlite3_finalize(statement);
        sqlite3_close(db);
        return seconds;
    } catch (...) {
        for (sqlite3_stmt* statement : inserts)
            sqlite3_finalize(statement);
        sqlite3_close(db);
        throw;
    }
}

} // namespace kestrel::bench
