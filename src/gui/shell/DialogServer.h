// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/store/ServerLogin.h"

#include <QDialog>
#include <functional>

class AppState;
class QCheckBox;
class QLineEdit;
class QPushButton;

// サーバーに接続: the server, port, database, user and password of a business database on a
// PostgreSQL server. Enter moves on from box to box and connects from the password. 接続
// hands the login to the connection; one that fails has said why and leaves every box as it
// was typed, so only the wrong part is typed again.
class DialogServer : public QDialog
{
    Q_OBJECT
public:
    // Connects to login (and keeps its password when asked); true once connected.
    using Connect = std::function<bool(const ServerLogin& login, bool savePassword)>;
    // start: the boxes' first values (the server of the open database, or the last one).
    DialogServer(AppState& state, const ServerLogin& start, Connect connectTo, QWidget* parent = nullptr);

    ServerLogin login() const;

private:
    void tryConnect();

    AppState& m_state;
    Connect m_connect;
    QLineEdit* txtHost;
    QLineEdit* txtPort;
    QLineEdit* txtDatabase;
    QLineEdit* txtUser;
    QLineEdit* txtPassword;
    QCheckBox* chkSavePassword;
    QPushButton* cmdConnect;
    QPushButton* cmdCancel;
};
