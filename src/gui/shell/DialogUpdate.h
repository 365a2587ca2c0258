// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QDialog>

class AppState;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "UPDATE": how to set up a newer version. Opening it puts the program's folder on the
// clipboard for the update's extraction; OKButton opens the download page, after which the
// program is to end so the update can replace its files.
class DialogUpdate : public QDialog
{
    Q_OBJECT
public:
    explicit DialogUpdate(AppState& state, QWidget* parent = nullptr);

    // True once the download page was asked for: the opener ends the program.
    bool downloadChosen() const { return m_downloadChosen; }

    // Every way of cancelling (the button, Escape, the close box) empties the clipboard.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void download();

    AppState& m_state;
    bool m_downloadChosen = false;

    QGroupBox* Frame1;
    QLabel* Label6;
    QLabel* Label5;
    QLabel* Label1;
    QLineEdit* Text1;
    QLabel* Picture1;
    QPushButton* OKButton;
    QPushButton* CancelButton;
};
