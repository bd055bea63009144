#include "run/import_run.h"

#include "database/database.h"
#include "run/block_recorder.h"
#include "run/checks.h"
#include "run/import_definition.h"
#include "run/reconciliation.h"
#include "run/row_writer.h"
#include "run/storage_checks.h"
#include "run/template_lookup.h"
#include "text/errors.h"
#include "text/textrules.h"
#include "workbook/workbook.h"

#include <QCoreApplication>
#include <QDir>
#include <map>
#include <vector>

namespace kestrel {

namespace {

// Removes leading and trailing characters whose code is 32 or below.
QString trimmedControlAndBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

// Trims the branch fields (branch number, branch name, group number) and checks them in the
// order group number, branch number, branch name. Gives the first failing message.
QString identityProblem(BranchIdentity& identity) {
    identity.hotelId = trimmedControlAndBlanks(identity.hotelId);
    identity.hotelName = trimmedControlAndBlanks(identity.hotelName);
    identity.hotelTreeId = trimmedControlAndBlanks(identity.hotelTreeId);
    if (identity.hotelTreeId.isEmpty())
        return QStringLiteral("集团号不能为空!");
    if (identity.hotelId.isEmpty())
        return QStringLiteral("分店号不能为空!");
    if (identity.hotelName.isEmpty())
        return QStringLiteral("分店名不能为空!");
    return {};
}

QString errorText(const std::exception& error) {
    if (const auto* ours = dynamic_cast<const Error*>(&error))
        return ours->message();
    return QString::fromLocal8Bit(error.what());
}

// Thrown inside a block when the shell asks the run to stop; never leaves the run.
struct StopRequested {};

QString unknownErrorText() {
    return QCoreApplication::translate("Run", "An unknown error occurred during the import");
}

// The queries of one block, created when first used.
class BlockQueries {
public:
    explicit BlockQueries(Database& database) : m_database(database) {}

    Query& get(QueryRole role) {
        std::unique_ptr<Query>& query = m_queries[role];
        if (!query)
            query = std::make_unique<Query>(m_database);
        return *query;
    }

    void open(const QueryOpening& opening) {
        Query& query = get(opening.role);
        query.close();
        query.setSql(opening.statement);
        query.open();
    }

private:
    Database& m_database;
    std::map<QueryRole, std::unique_ptr<Query>> m_queries;
};

// The texts of one template row, each read once when first needed. Kept for the whole pass so
// that its storage serves every row.
class RowTexts {
public:
    RowTexts(const Workbook& book, int sheet, const QLocale& locale)
        : m_book(book), m_sheet(sheet), m_locale(locale) {}

    void moveTo(int row) {
        m_row = row;
        for (std::optional<QString>& text : m_texts)
            text.reset();
    }

    QString text(int column) {
        if (column < 1)
            throw Error(QCoreApplication::translate("Run", "Invalid template column number: %1")
                            .arg(column));
        const auto index = std::size_t(column);
        if (m_texts.size() <= index)
            m_texts.resize(index + 1);
        if (!m_texts[index])
            m_texts[index] = cellText(m_book, m_sheet, m_row, column, m_locale);
        return *m_texts[index];
    }

private:
    const Workbook& m_book;
    int m_sheet;
    int m_row = 0;
    const QLocale& m_locale;
    std::vector<std::optional<QString>> m_texts;
};

// One block of an import, in either mode.
class BlockRun {
public:
    // record: what the block's record shares with the run's other blocks.
    BlockRun(const BlockDefinition& block, RunContext& context, const BranchIdentity& identity,
             QDate today, CategoryKeyGenerator& keys, BlockRecord record = {})
        : m_block(block), m_context(context), m_identity(identity), m_today(today), m_keys(keys),
          m_queries(context.database),
          m_recorder(context.recordBlocks && context.mode == RunMode::Import, std::move(record),
                     block, context.now) {}

    // Import mode: both passes, clean-up and reconciliation in one transaction, then the
    // completion message; then the block's record.
    RunOutcome runImport() {
        const RunOutcome outcome = importAndReport();
        if (m_recorder.enabled())
            m_context.observer.blockRecorded(m_recorder.record());
        return outcome;
    }

    // Check mode: every failing check of every row; an error ends the run.
    RunOutcome runChecks(bool& anyFailed) {
        try {
            const std::unique_ptr<Workbook> book = openTemplate();
            phase(RunPhase::Checking);
            checkingPass(*book, true, anyFailed);
            phase(RunPhase::Finished);
        } catch (const StopRequested&) {
            return RunOutcome::Stopped;
        } catch (const std::exception& error) {
            m_context.observer.error(errorText(error));
            return RunOutcome::Error;
        } catch (...) {
            m_context.observer.error(unknownErrorText());
            return RunOutcome::Error;
        }
        return RunOutcome::Completed;
    }

private:
    RunOutcome importAndReport() {
        try {
            if (!importInTransaction())
                return RunOutcome::RowCheckFailed;
        } catch (const StopRequested&) {
            m_context.database.rollback();
            m_recorder.stopped();
            return RunOutcome::Stopped;
        } catch (const std::exception& error) {
            return failed(errorText(error));
        } catch (...) {
            return failed(unknownErrorText());
        }
        m_context.observer.information(m_block.completionMessage);
        m_recorder.completed();
        return RunOutcome::Completed;
    }

    RunOutcome failed(const QString& text) {
        m_context.database.rollback();
        m_context.observer.error(text);
        m_recorder.failed(text);
        return RunOutcome::Error;
    }

    // False when a row check failed (its message was given).
    bool importInTransaction() {
        for (const QueryOpening& opening : m_block.preparatory)
            m_queries.open(opening);
        const std::unique_ptr<Workbook> book = openTemplate();
        // The rows already in the main table are read while the template's rows are checked,
        // inside the transaction that writes the new ones.
        m_context.database.beginTransaction();
        m_queries.open({QueryRole::Card, m_block.mainStatement});
        m_queries.get(QueryRole::Card).prepareLocate(m_block.keyField);
        bool anyFailed = false;
        phase(RunPhase::Checking);
        m_recorder.passBegins(&BlockRecord::checking);
        if (!checkingPass(*book, false, anyFailed)) {
            m_context.database.rollback();
            return false;
        }
        phase(RunPhase::ImportPass);
        m_recorder.passBegins(&BlockRecord::importing);
        importPass(*book);
        phase(RunPhase::CleanUp);
        m_recorder.passBegins(&BlockRecord::closing);
        for (const QStringList& batch : m_block.cleanUpBatches)
            m_context.database.executeBatch(batch);
        phase(RunPhase::Reconciliation);
        for (const ReconciliationInstance& instance : m_block.reconciliations)
            m_recorder.categoriesReconciled(
                reconcile(instance, m_context.database, m_identity, m_keys));
        throwIfStopRequested();
        m_context.database.commit();
        phase(RunPhase::Finished);
        return true;
    }

    void throwIfStopRequested() const {
        if (m_context.stopRequested && m_context.stopRequested->load(std::memory_order_relaxed))
            throw StopRequested{};
    }

    void phase(RunPhase started) {
        if (m_context.phaseStarted)
            m_context.phaseStarted(started);
    }

    std::unique_ptr<Workbook> openTemplate() {
        const QString path = findTemplate(m_context.templateFolder, m_block.templateFile);
        std::unique_ptr<Workbook> book =
            m_context.openWorkbook ? m_context.openWorkbook(path) : openWorkbook(path);
        m_context.observer.progressReset(book->lastRow(m_block.worksheet));
        m_recorder.templateOpened(path, book->worksheetName(m_block.worksheet));
        return book;
    }

    // Moves the progress bar and the caption to a row; gives the row's key text.
    QString showRow(const Workbook& book, int row) {
        m_context.observer.progressChanged(row);
        const QString key =
            cellText(book, m_block.worksheet, row, m_block.keyColumn, m_context.locale);
        m_context.observer.captionChanged(QStringLiteral("当前第") + QString::number(row - 1) +
                                          m_block.captionMiddle + key);
        return key;
    }

    // Gives the failing checks as row messages; false when any check failed.
    bool checkingPass(Workbook& book, bool allFailures, bool& anyFailed) {
        const CheckEnvironment environment{m_context.locale, m_today};
        const int lastRow = book.lastRow(m_block.worksheet);
        const StorageChecks storage(m_block, m_context.database);
        bool passed = true;
        for (int row = 2; row <= lastRow; ++row) {
            throwIfStopRequested();
            showRow(book, row);
            m_recorder.rowChecked();
            QList<CheckFailure> failures =
                checkRow(book, m_block.worksheet, row, m_block.checks, environment, allFailures,
                         m_recorder.defaultCounts());
            if (failures.isEmpty() || allFailures) {
                const QString problem =
                    storage.problem(book, m_block.worksheet, row, m_context.locale);
                if (!problem.isEmpty())
                    failures.append({row, 0, problem});
            }
            for (const CheckFailure& failure : failures)
                m_context.observer.information(failure.message);
            if (!failures.isEmpty()) {
                passed = false;
                anyFailed = true;
                if (!allFailures) {
                    m_recorder.describeDefaults(book, environment);
                    m_recorder.rowCheckFailed(row, failures.first().message);
                    return false;
                }
            }
        }
        m_recorder.describeDefaults(book, environment);
        return passed;
    }

    // The main table's query is open already.
    void importPass(const Workbook& book) {
        Query& main = m_queries.get(QueryRole::Card);
        for (const QueryOpening& opening : m_block.importPassOpenings)
            m_queries.open(opening);
        m_context.observer.progressReset(book.lastRow(m_block.worksheet));
        const int lastRow = book.lastRow(m_block.worksheet);
        RowTexts texts(book, m_block.worksheet, m_context.locale);
        FieldContext fieldContext{m_identity, m_today, m_context.database.locale(),
                                  [&texts](int column) { return texts.text(column); }, nullptr};
        std::vector<std::pair<Query*, CompiledRow>> written;
        for (const WrittenRow& row : m_block.rows)
            written.emplace_back(&m_queries.get(row.role), CompiledRow(row.fields));
        // The rows are inserted on a second thread while the next ones are read and converted.
        m_context.database.beginBackgroundInserts();
        for (int row = 2; row <= lastRow; ++row) {
            throwIfStopRequested();
            const QString key = showRow(book, row);
            if (main.locate(m_block.keyField, key)) {
                m_recorder.rowLeftOut(key);
                continue;
            }
            m_recorder.rowWritten();
            texts.moveTo(row);
            fieldContext.mainRow = nullptr;
            for (auto& [query, fields] : written) {
                query->append();
                fields.write(*query, fieldContext);
                query->post();
                fieldContext.mainRow = &main;
            }
        }
        m_context.database.finishBackgroundInserts();
    }

    const BlockDefinition& m_block;
    RunContext& m_context;
    const BranchIdentity& m_identity;
    QDate m_today;
    CategoryKeyGenerator& m_keys;
    BlockQueries m_queries;
    BlockRecorder m_recorder;
};

RunOutcome runChecks(const ImportDefinition& definition, RunContext& context,
                     const BranchIdentity& identity, QDate today, CategoryKeyGenerator& keys) {
    bool anyFailed = false;
    for (const BlockDefinition& block : definition.blocks) {
        const RunOutcome outcome =
            BlockRun(block, context, identity, today, keys).runChecks(anyFailed);
        if (outcome != RunOutcome::Completed)
            return outcome;
    }
    return anyFailed ? RunOutcome::RowCheckFailed : RunOutcome::Completed;
}

// What the records of a run's blocks share.
BlockRecord runRecord(const ImportDefinition& definition, RunContext& context,
                      const BranchIdentity& identity, std::optional<ImportKind> kind) {
    BlockRecord record;
    if (!context.recordBlocks)
        return record;
    if (kind) {
        record.importName = importEntry(*kind).commandName;
        record.importCaption = importEntry(*kind).buttonCaption;
    }
    record.blockCount = int(definition.blocks.size());
    record.database = databaseLocation(context.database);
    record.branch = identity;
    return record;
}

RunOutcome runBlocks(const ImportDefinition& definition, RunContext& context,
                     const BranchIdentity& identity, QDate today, CategoryKeyGenerator& keys,
                     std::optional<ImportKind> kind) {
    BlockRecord record = runRecord(definition, context, identity, kind);
    for (const BlockDefinition& block : definition.blocks) {
        const RunOutcome outcome =
            BlockRun(block, context, identity, today, keys, record).runImport();
        if (outcome != RunOutcome::Completed)
            return outcome;
        ++record.block;
    }
    return RunOutcome::Completed;
}

} // namespace

RunOutcome runImportDefinition(const ImportDefinition& definition, RunContext& context,
                               std::optional<ImportKind> kind) {
    context.database.setLocale(context.locale);
    const QDate today = context.now().date();
    CategoryKeyGenerator keys(context.now);

    if (context.mode == RunMode::CheckOnly)
        return runChecks(definition, context, context.identity, today, keys);

    BranchIdentity identity = context.identity;
    const QString problem = identityProblem(identity);
    context.observer.identityTrimmed(identity);
    if (!problem.isEmpty()) {
        context.observer.information(problem);
        return RunOutcome::IdentityCheckFailed;
    }
    return runBlocks(definition, context, identity, today, keys, kind);
}

} // namespace kestrel
