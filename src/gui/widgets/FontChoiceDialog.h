// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QLabel;
class QListWidget;

// The choice of the printed sheets' face: the families offered, the current one selected, and
// a sample line of a sheet in the selected face at the sheets' size.
class FontChoiceDialog : public QDialog
{
    Q_OBJECT
public:
    // current is an offered family or none of them (then nothing is selected until the user
    // picks one).
    FontChoiceDialog(const QStringList& families, const QString& current, int pointSize, QWidget* parent = nullptr);

    // The selected family; empty when none is.
    QString chosenFamily() const;

private:
    void showSample();

    QListWidget* m_families;
    QLabel* m_sample;
    int m_pointSize;
};
