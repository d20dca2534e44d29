// Side windows of the installer that are still plain: created once at start, hidden until shown.
#pragma once

#include <QDialog>

namespace tivra::gui {

class TfrSyncSvrs : public QDialog {
    Q_OBJECT
public:
    explicit TfrSyncSvrs(QWidget *parent = nullptr);
};

}  // namespace tivra::gui
