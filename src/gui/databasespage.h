// The content of the databases page (tsScripts): the databases grid, its legend and buttons.
#pragma once

#include <QWidget>

namespace tivra {
class Installer;
}

namespace tivra::gui {

class DatabasesPage : public QWidget {
    Q_OBJECT
public:
    DatabasesPage(Installer &installer, QWidget *parent = nullptr);

private:
    Installer &m_installer;
};

}  // namespace tivra::gui
