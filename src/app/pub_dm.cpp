#include "app/pub_dm.h"

#include "database/connection.h"
#include "text/errors.h"

namespace kestrel {

TPubDM::TPubDM(QString settingsPath, ConfigDialogRunner runConfigDialog)
    : m_settingsPath(std::move(settingsPath)), m_runConfigDialog(std::move(runConfigDialog)) {
    DataModuleCreate();
}

TPubDM::~TPubDM() = default;

// Retries with whatever the dialog saved until the connection opens or the operator closes
// the dialog; the failure's own text is not shown, the dialog is the whole report.
void TPubDM::DataModuleCreate() {
    int lastDialogResult = kResultApply;
    ConnectOK = false;
    while (!ConnectOK) {
        if (tryOpen()) {
            ConnectOK = true;
        } else {
            lastDialogResult = m_runConfigDialog(m_settingsPath);
            if (lastDialogResult != kResultApply)
                lastDialogResult = kResultClose;
        }
        if (lastDialogResult == kResultClose)
            ConnectOK = true;
    }
    if (lastDialogResult == kResultClose) {
        ConnectOK = false;
        m_adoConn.reset();
        return;
    }
    m_qrySystem = std::make_unique<Query>(*m_adoConn);
}

bool TPubDM::tryOpen() {
    m_qrySystem.reset();
    m_adoConn.reset();
    try {
        m_adoConn = openBranchDatabase(m_settingsPath); // reads the file afresh
        return true;
    } catch (const Error&) {
        return false;
    }
}

} // namespace kestrel
