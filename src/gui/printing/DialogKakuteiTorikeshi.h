// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QDialog>

class AppState;
class QLineEdit;
class QPushButton;

// "確定の取消": the reason a finalisation is undone, typed by the user; it is kept in the change
// history with the undoing. An empty reason is refused and the dialog stays.
class DialogKakuteiTorikeshi : public QDialog
{
    Q_OBJECT
public:
    // what: the finalisation undone, as the user is to read it.
    DialogKakuteiTorikeshi(AppState& state, const QString& what, QWidget* parent = nullptr);

    QString reason() const;

private:
    void take();

    AppState& m_state;
    QLineEdit* txtRiyu;
    QPushButton* cmdTorikeshi;
    QPushButton* cmdCancel;
};
