// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// The main window's way to a business database on a PostgreSQL server: ﾌｧｲﾙ → サーバーに接続,
// and a database's name typed into the file name box.

#include "core/app/AppState.h"
#include "core/store/ServerLogin.h"
#include "gui/shell/DialogServer.h"
#include "gui/shell/frmAMain.h"

#include <QLineEdit>

namespace {

// Where the dialog starts: the server of the open database, else the server remembered last,
// else this computer with the user's own name.
ServerLogin firstLogin(const QString& open)
{
    if (const std::optional<ServerLogin> login = ServerLogin::fromName(open))
        return *login;
    ServerLogin login;
    login.user = qEnvironmentVariable("USER");
    return login;
}

} // namespace

void frmAMain::connectToServer()
{
    const ServerLogin start = firstLogin(m_state.DatabaseFileName);
    DialogServer dialog(
        m_state, start,
        [this](const ServerLogin& login, bool savePassword) {
            bool connected = false;
            fileCommand([&] { connected = m_files.openServer(login, savePassword); });
            return connected;
        },
        this);
    dialog.exec();
}

void frmAMain::openTypedName()
{
    // Only what the user typed: the box is also filled by the file commands.
    if (!txtFileName->isModified())
        return;
    txtFileName->setModified(false);
    const QString typed = txtFileName->text().trimmed();
    if (typed.isEmpty() || m_files.isOpenFile(typed)) {
        setFileName(m_state.DatabaseFileName);
        return;
    }
    openDatabase(typed);
}
