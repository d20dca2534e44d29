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

TfrUpdate::TfrUpdate(QWidget *parent) : QDialog(parent)
{
    prepare(this, "TfrUpdate", QStringLiteral("Download de Pacotes"));
}

}  // namespace tivra::gui
