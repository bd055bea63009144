#pragma once

#include "database/database.h"

#include <QString>
#include <functional>
#include <memory>

namespace kestrel {

// Shows the settings dialog for the settings file and gives its modal result: 1 after "确定",
// 2 after "关闭" (or any other way of leaving it).
using ConfigDialogRunner = std::function<int(const QString& settingsPath)>;

// The data module: owns the one connection to the branch database and the query on the
// branch's system table. Creating it runs the connection loop.
class TPubDM {
public:
    static constexpr int kResultApply = 1;
    static constexpr int kResultClose = 2;

    TPubDM(QString settingsPath, ConfigDialogRunner runConfigDialog);
    ~TPubDM();
    TPubDM(const TPubDM&) = delete;
    TPubDM& operator=(const TPubDM&) = delete;

    // True once the loop has opened the connection; false when the operator gave up.
    bool ConnectOK = false;

    // Valid only when ConnectOK.
    Database& AdoConn() { return *m_adoConn; }
    Query& qrySystem() { return *m_qrySystem; }
    const QString& settingsPath() const { return m_settingsPath; }

private:
    void DataModuleCreate();
    bool tryOpen();

    QString m_settingsPath;
    ConfigDialogRunner m_runConfigDialog;
    std::unique_ptr<Database> m_adoConn;
    std::unique_ptr<Query> m_qrySystem;
};

} // namespace kestrel
