// The ad-hoc SQL window ("Executar SQL").
#pragma once

#include <QDialog>

namespace tivra {
struct InstallerSession;
}

namespace tivra::gui {

class TfrExecQry : public QDialog {
    Q_OBJECT
public:
    TfrExecQry(InstallerSession &session, QWidget *parent = nullptr);

private:
    InstallerSession &m_session;
};

}  // namespace tivra::gui
