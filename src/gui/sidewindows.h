// Side windows of the installer that are still plain: created once at start, hidden until shown.
#pragma once

#include <QDialog>

namespace tivra::gui {

class TfrUpdate : public QDialog {
    Q_OBJECT
public:
    explicit TfrUpdate(QWidget *parent = nullptr);
};

}  // namespace tivra::gui
