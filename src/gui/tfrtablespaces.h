// The tablespace mapping window ("Relacionar TableSpaces").
#pragma once

#include <QDialog>

namespace tivra {
struct InstallerSession;
}

namespace tivra::gui {

class TfrTableSpaces : public QDialog {
    Q_OBJECT
public:
    TfrTableSpaces(InstallerSession &session, QWidget *parent = nullptr);

private:
    InstallerSession &m_session;
};

}  // namespace tivra::gui
