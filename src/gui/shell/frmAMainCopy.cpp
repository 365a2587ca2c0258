// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// The main window's moves of a whole business: ﾌｧｲﾙ → サーバーへコピー (a file up to a server's
// empty database) and ファイルへコピー (a server's or a file's database down to a new file).

#include "core/app/AppState.h"
#include "core/files/CopyCommands.h"
#include "core/store/ServerLogin.h"
#include "gui/shell/DialogServer.h"
#include "gui/shell/frmAMain.h"

void frmAMain::copyToFile()
{
    CopyCommands(m_state, *this).copyToFile();
}

void frmAMain::copyToServer()
{
    // The server's boxes as サーバーに接続 has them, starting on the server of the open
    // database or this computer; the open database stays open.
    ServerLogin start;
    if (const std::optional<ServerLogin> open = ServerLogin::fromName(m_state.DatabaseFileName))
        start = *open;
    else
        start.user = qEnvironmentVariable("USER");
    start.database.clear();
    DialogServer dialog(
        m_state, start,
        [this](const ServerLogin& login, bool savePassword) {
            if (savePassword) {
                QString error;
                if (!PasswordFile::store(login, &error))
                    m_state.prompter.notice(error, Prompter::Icon::Exclamation);
            }
            return CopyCommands(m_state, *this).copyTo(login.name(true), ServerLogin::shown(login.name()));
        },
        this);
    dialog.setWindowTitle(QStringLiteral("サーバーへコピー"));
    dialog.exec();
}
