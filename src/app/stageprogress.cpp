// The top panel's subtitle while a stage counts its items.
#include "app/installer.h"

#include "core/clock.h"
#include "core/userinterface.h"

namespace tivra {

void Installer::showStageProgress(const QString &stage, qint64 done, qint64 total, ProgressUnit unit)
{
    // Stages report per item; the subtitle (and the event pump that repaints it) follows at a
    // pace the eye can read, with the first and the last count always shown.
    const qint64 now = currentMSecsSinceEpoch();
    if (!progressSubtitle.isEmpty() && done != total && now - m_progressShownAt < kProgressRepaintMs)
        return;
    m_progressShownAt = now;
    progressSubtitle = stageProgressText(stage, done, total, unit);
    Q_EMIT progressChanged();
    session.ui.processEvents();
}

void Installer::endStageProgress()
{
    if (progressSubtitle.isEmpty())
        return;
    progressSubtitle.clear();
    Q_EMIT progressChanged();
}

}  // namespace tivra
