#include "gui/tfrtablespaces.h"

#include "core/session.h"

namespace tivra::gui {

TfrTableSpaces::TfrTableSpaces(InstallerSession &session, QWidget *parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("TfrTableSpaces"));
    setWindowTitle(QStringLiteral("Relacionar TableSpaces"));
    setModal(true);
}

}  // namespace tivra::gui
