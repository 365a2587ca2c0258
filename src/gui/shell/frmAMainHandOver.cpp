// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// The main window's part in the hand-over from a second start of the program: the file it
// was given is opened here, through the open command, once the user agrees.

#include "core/app/AppState.h"
#include "core/app/Prompter.h"
#include "core/store/ServerLogin.h"
#include "gui/shell/frmAMain.h"

#include <QApplication>
#include <QDir>
#include <algorithm>

void frmAMain::openDatabase(const QString& name)
{
    fileCommand([this, name] {
        if (name.isEmpty())
            m_files.open();
        else
            m_files.openNamed(name);
    });
}

bool frmAMain::otherWindowsOpen() const
{
    if (QApplication::activeModalWidget())
        return true;
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    return std::any_of(windows.cbegin(), windows.cend(), [this](const QWidget* w) {
        const Qt::WindowType type = w->windowType();
        return w != this && w->isVisible() && (type == Qt::Window || type == Qt::Dialog);
    });
}

void frmAMain::openHandedOver(const QString& file)
{
    if (m_closed)
        return;
    bringToFront();
    // The file that is open already: coming forward is all that was wanted.
    if (file.isEmpty() || m_files.isOpenFile(file))
        return;
    // A server's name is shown without the password it may carry.
    const QString shown = QDir::toNativeSeparators(ServerLogin::shown(file));
    // A screen holds what it shows of the open file, and a dialog waits for an answer about
    // it: the file is changed only from the main window alone, as the file menu does.
    if (otherWindowsOpen()) {
        m_state.prompter.notice(
            QStringLiteral("次のファイルを開くよう指示されましたが、開いている画面があるため開けません"
                           "でした。\r開いている画面をすべて閉じてから、もう一度開いてください。\r")
                + shown,
            Prompter::Icon::Exclamation);
        return;
    }
    if (m_state.ConnectionOpen
        && !m_state.prompter.ask(QStringLiteral("開いているファイルを閉じて、次のファイルを開きますか？\r")
                                 + QStringLiteral("開いているファイル：") + QDir::toNativeSeparators(fileName())
                                 + QStringLiteral("\r開くファイル：") + shown))
        return;
    // The question may have taken a while: the window may be closing by now.
    if (m_closed)
        return;
    openDatabase(file);
}
