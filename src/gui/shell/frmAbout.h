// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QDialog>

class AppState;
class QLabel;
class QPushButton;

// The version window: the program's title, version and description, and a way to the
// desktop's own window about this computer.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(AppState& state, QWidget* parent = nullptr);

    // "ﾊﾞｰｼﾞｮﾝ 1.0.1"
    static QString versionText();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Starts the system information tool the desktop has, or says there is none.
    void showSystemInformation();

    AppState& m_state;
    QLabel* Picture1;
    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* lblDescription;
    QPushButton* cmdOK;
    QPushButton* cmdSysInfo;
};
