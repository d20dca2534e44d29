// The four side windows of the installer, created once at start and hidden until shown.
#pragma once

#include <QDialog>

namespace tivra::gui {

class TfrUpdate : public QDialog {
    Q_OBJECT
public:
    explicit TfrUpdate(QWidget *parent = nullptr);
};

class TfrTableSpaces : public QDialog {
    Q_OBJECT
public:
    explicit TfrTableSpaces(QWidget *parent = nullptr);
};

class TfrSyncSvrs : public QDialog {
    Q_OBJECT
public:
    explicit TfrSyncSvrs(QWidget *parent = nullptr);
};

class TfrExecQry : public QDialog {
    Q_OBJECT
public:
    explicit TfrExecQry(QWidget *parent = nullptr);
};

}  // namespace tivra::gui
