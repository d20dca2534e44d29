#include "gui/databasespage.h"

#include "app/installer.h"

#include <QHeaderView>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace tivra::gui {

DatabasesPage::DatabasesPage(Installer &installer, QWidget *parent) : QWidget(parent), m_installer(installer)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    auto *grid = new QTableView(this);
    grid->setObjectName(QStringLiteral("qgDbs"));
    grid->setModel(&m_installer.cdsDbs);
    grid->verticalHeader()->hide();
    layout->addWidget(grid, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(new QPushButton(QStringLiteral("Recarregar"), this));
    buttons->addWidget(new QPushButton(QStringLiteral("Vali&dar Bancos"), this));
    layout->addLayout(buttons);
}

}  // namespace tivra::gui
