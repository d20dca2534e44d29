// The status log (cdsStatus) and the log text, fed by UpdateStatus.
//
// Every step of the installer reports through UpdateStatus. A report may add a row to the status
// log (shown grouped by stage on the log page) and may append a time-stamped item to the log text
// (saved as the log file at the end of a run).
//
// A new row shows image 0 (in progress), or 2 for an error, until the next row is added; adding a
// row gives the previous last row the image code that was reported with it.
#pragma once

#include "core/progress.h"

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <vector>

namespace tivra {

class UserInterface;

// Image codes of status rows and database entries.
enum StatusImage { ImageNeutral = 0, ImageSuccess = 1, ImageError = 2, ImageIgnored = 3 };

struct StatusRow {
    int id = 0;          // ID: order of insertion, from 1
    QString detalhes;    // DETALHES: the message, at most 200 characters
    int image = 0;       // IMAGE
    QString group;       // GROUP: the stage, at most 100 characters
};

class StatusLog : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColDetalhes = 0, ColImage = 1, ColGroup = 2, ColId = 3, ColumnCount = 4 };
    enum Role { ImageRole = Qt::UserRole + 1, GroupRole, IdRole };

    static constexpr int kDetalhesWidth = 200;
    static constexpr int kGroupWidth = 100;

    explicit StatusLog(QObject *parent = nullptr);

    // Where UpdateStatus pumps events; may be null (nothing pumped).
    void setUserInterface(UserInterface *ui) { m_ui = ui; }

    // message, write-to-log flag, stage, image code, add-row flag.
    void UpdateStatus(const QString &message, bool writeToLog, const QString &stage, int image, bool addRow);

    // How far the running stage is through its items (statements, files, rows...). Passed on to
    // whoever listens (progressReported) and never written to the status rows or the log text.
    // Cheap enough to call per item: the listeners decide how often they show anything.
    void reportProgress(qint64 done, qint64 total, ProgressUnit unit)
    {
        m_progressActive = true;
        Q_EMIT progressReported(m_currentStage, done, total, unit);
    }
    // The stage's counting ended (nothing happens when none was reported).
    void endProgress()
    {
        if (!m_progressActive)
            return;
        m_progressActive = false;
        Q_EMIT progressEnded();
    }
    bool progressActive() const { return m_progressActive; }
    // The stage of the last row added with one (what the progress reports belong to).
    const QString &currentStage() const { return m_currentStage; }

    // The status rows, all of them, in insertion order (whatever the filter).
    const std::vector<StatusRow> &rows() const { return m_rows; }
    // Empties the status log (rows only; the log text and the last status image stay).
    void clearRows();

    // Filter "IMAGE = n": on shows only the rows with that image; off shows every row.
    void setFilter(int image, bool on);
    bool filterOn() const { return m_filterOn; }
    int filterImage() const { return m_filterImage; }

    // Sets the filter to "IMAGE = code", switches it on and returns the number of rows then
    // visible. The filter stays on until it is set again.
    int countImage(int code);

    // Gives the last row the last status image (the run does so when it completes).
    void settleLastRow();

    int lastStatusImage() const { return m_lastStatusImage; }

    // The log text: ordered items, each possibly holding CR LF.
    const QStringList &logText() const { return m_logText; }
    void clearLogText() { m_logText.clear(); }
    void appendLogItem(const QString &item) { m_logText.append(item); }

    // Model: the visible rows.
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Index of the visible row of a stored row, -1 when it is filtered out.
    int visibleRowOf(int storedIndex) const;
    const StatusRow &visibleRow(int row) const;

Q_SIGNALS:
    // The grid must expand every group.
    void expandAllRequested();
    // The visible row that became the current one.
    void currentRowChanged(int visibleRow);
    // A stage's count of items done (reportProgress), and the end of its counting (endProgress).
    void progressReported(const QString &stage, qint64 done, qint64 total, tivra::ProgressUnit unit);
    void progressEnded();

private:
    bool passes(const StatusRow &row) const { return !m_filterOn || row.image == m_filterImage; }
    void setImage(int storedIndex, int image);
    void rebuildVisible();

    std::vector<StatusRow> m_rows;
    std::vector<int> m_visible;  // stored indexes of the visible rows, when the filter is on
    QStringList m_logText;
    int m_lastStatusImage = 0;
    int m_nextId = 1;
    int m_filterImage = 0;
    bool m_filterOn = false;
    UserInterface *m_ui = nullptr;
    QString m_currentStage;
    bool m_progressActive = false;
};

// "dd/mm/yyyy - hh:nn:ss" of the given moment.
QString logTimeStamp(const QDateTime &moment);

}  // namespace tivra
