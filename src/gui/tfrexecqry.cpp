#include "gui/tfrexecqry.h"

#include "core/session.h"

namespace tivra::gui {

TfrExecQry::TfrExecQry(InstallerSession &session, QWidget *parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("TfrExecQry"));
    setWindowTitle(QStringLiteral("Executar SQL"));
    setModal(true);
}

}  // namespace tivra::gui
