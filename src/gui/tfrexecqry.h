// The ad-hoc SQL window ("Executar SQL"): a validated database, a statement text, "Executar" and
// "Select"; a query's rows are shown in the grid below the text. Opened modally with Ctrl+E on
// the databases page.
#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QTableView;

namespace tivra {
struct InstallerSession;
}

namespace tivra::gui {

class ResultTableModel;

class TfrExecQry : public QDialog {
    Q_OBJECT
public:
    TfrExecQry(InstallerSession &session, QWidget *parent = nullptr);

    void btExecutarClick();

    QComboBox *aliases() const { return m_aliases; }
    QPlainTextEdit *statement() const { return m_text; }
    QCheckBox *select() const { return m_select; }
    QPushButton *execute() const { return m_execute; }
    QTableView *result() const { return m_result; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    InstallerSession &m_session;
    QComboBox *m_aliases = nullptr;
    QPushButton *m_execute = nullptr;
    QCheckBox *m_select = nullptr;
    QPlainTextEdit *m_text = nullptr;
    QTableView *m_result = nullptr;
    ResultTableModel *m_model = nullptr;
};

}  // namespace tivra::gui
