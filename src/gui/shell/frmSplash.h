// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QWidget>

class QLabel;

// The window shown while the main window loads.
class frmSplash : public QWidget
{
    Q_OBJECT
public:
    explicit frmSplash(QWidget* parent = nullptr);

    // "Version 1.0.1"
    static QString versionText();

private:
    QLabel* lblVersion;
};
