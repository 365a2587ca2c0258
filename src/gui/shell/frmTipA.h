// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTextEdit;

// "ﾜﾝﾎﾟｲﾝﾄ": a few lines of guidance. The caller appends its lines and shows it modal.
class frmTipA : public QDialog
{
    Q_OBJECT
public:
    explicit frmTipA(QWidget* parent = nullptr);

    // Appends one line followed by a line feed; empty lines count.
    void appendLine(const QString& line);
    QString text() const;

    // Loads the window with the lines and shows it modal.
    static void showLines(QWidget* parent, const QStringList& lines);

private:
    QTextEdit* RichTextBox1;
    QLabel* Picture1;
    QPushButton* cmdOK;
};
