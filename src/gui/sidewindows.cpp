#include "gui/sidewindows.h"

namespace tivra::gui {

namespace {
void prepare(QDialog *dialog, const char *name, const QString &caption)
{
    dialog->setObjectName(QString::fromLatin1(name));
    dialog->setWindowTitle(caption);
    dialog->setModal(true);
    dialog->resize(560, 400);
}
}  // namespace

TfrSyncSvrs::TfrSyncSvrs(QWidget *parent) : QDialog(parent)
{
    prepare(this, "TfrSyncSvrs", QStringLiteral("Sincronizar Arquivos entre servidores"));
}

}  // namespace tivra::gui
