// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// The main window's long work: the window that shows it, and the backup at closing.

#include "core/app/AppState.h"
#include "core/app/WaitCursor.h"
#include "core/files/BackupKeeper.h"
#include "core/store/FileOps.h"
#include "core/store/ServerLogin.h"
#include "gui/shell/frmAMain.h"
#include "gui/widgets/WorkProgress.h"

#include <QApplication>
#include <QLineEdit>

namespace {

// The file commands' long work, in the window of long work.
class WindowWork final : public LongWork
{
public:
    WindowWork(QWidget* parent, const QString& caption, const QString& text)
        : m_progress(parent, caption, text)
    { }
    bool step(qint64 done, qint64 total) override { return m_progress.step(done, total); }
    void setText(const QString& text) override { m_progress.setText(text); }
    bool wasShown() const override { return m_progress.wasShown(); }

private:
    WorkProgress m_progress;
};

QString backupStageText(FileOps::Stage stage)
{
    return stage == FileOps::Stage::CheckingCopy
        ? QStringLiteral("作成したバックアップに破損がないか検査しています…")
        : QStringLiteral("終了する前に、データベースのバックアップを作成しています…");
}

} // namespace

QWidget* frmAMain::workParent() const
{
    if (isVisible())
        return const_cast<frmAMain*>(this);
    // While the window loads, the splash is what the user sees.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->windowType() == Qt::SplashScreen)
            return window;
    }
    return nullptr;
}

std::unique_ptr<LongWork> frmAMain::startWork(const QString& caption, const QString& text)
{
    return std::make_unique<WindowWork>(workParent(), caption, text);
}

QString frmAMain::makeBackup()
{
    // The template is never worked on, and the backup is not copied over itself.
    const QString file = txtFileName->text();
    BackupKeeper keeper(m_state.paths, m_state.settings);
    // A server's database is kept by the server's own backup (see the manual).
    if (file.isEmpty() || !BackupKeeper::appliesTo(file) || keeper.isBackup(file)
        || FileOps::samePathIgnoringCase(file, m_state.paths.templatePath()))
        return {};
    // Through the engine, from a file that passes the check, and checked again before it
    // takes the old backup's place: some seconds on a large file, shown with how far it has
    // come. Cancelled, the earlier backup stays.
    WaitCursor hourglass;
    WorkProgress work(workParent(), QStringLiteral("終了処理"), backupStageText(FileOps::Stage::Copying));
    FileOps::Progress progress;
    progress.step = [&work](qint64 done, qint64 total) { return work.step(done, total); };
    progress.stage = [&work](FileOps::Stage stage) { work.setText(backupStageText(stage)); };
    return BackupKeeper::message(keeper.write(file, progress));
}
