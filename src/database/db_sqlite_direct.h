#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringView>
#include <QVariant>
#include <functional>
#include <memory>

namespace kestrel {

// Inserts through SQLite's own C API on the handle of a Qt SQLite connection. Qt's binding
// costs a name lookup per value (it files positional values under generated names); an import
// binds a hundred values a row. Used only where the Qt driver and this program share one SQLite
// library; everything else goes through Qt.
class ConnectionWorker;

class DirectInsert {
public:
    // The statement on the connection's handle; null when the handle cannot be used directly.
    // With a worker, binds and runs go to its thread while it is running. Throws DatabaseError
    // when the statement does not prepare.
    static std::unique_ptr<DirectInsert> prepare(QSqlDatabase& connection, const QString& sql,
                                                 ConnectionWorker* worker = nullptr);
    ~DirectInsert();
    DirectInsert(const DirectInsert&) = delete;
    DirectInsert& operator=(const DirectInsert&) = delete;

    // Binds a value in the form Qt's driver binds it: a null (or null text) as NULL, integers,
    // booleans and doubles as numbers, everything else as text; a date and time as this
    // program stores it in SQLite (see bindableValue()). Bindings stay from one exec()
    // to the next: a value the same as the one bound at its position is not bound again.
    void bind(int position, const QVariant& value);
    // True when this very value (a copy of it) is bound at the position already: binding it
    // again may be skipped, whatever form it would be bound in.
    bool holds(int position, const QVariant& value) const;
    // Runs the insert and readies it for the next row. Throws DatabaseError with SQLite's
    // message, as the Qt driver reports it; through a running worker, at a later call.
    void exec();

private:
    friend class ConnectionWorker;
    void bindNow(int position, QVariant&& value);
    void execNow();
    void clearBindings() noexcept; // every position NULL

    struct Private;
    explicit DirectInsert(std::unique_ptr<Private> d);
    std::unique_ptr<Private> d;
};

// Reads the first column of every row of a select through SQLite's C API on the handle of a Qt
// SQLite connection, sparing a QVariant and a copied text per row: visit(text, other) gets a
// text the database holds as text as a view, valid during the call only, with other null; any
// other value comes in other, as Qt's driver would give it. Returns false, having called
// nothing, when the handle cannot be used directly. Throws DatabaseError as the Qt driver
// reports the fault.
using DirectColumnVisitor = std::function<void(QStringView text, const QVariant* other)>;
bool scanFirstColumnDirectly(QSqlDatabase& connection, const QString& sql,
                             const DirectColumnVisitor& visit);

} // namespace kestrel
