// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QDialog>
#include <QStringList>

class AppState;
class QLineEdit;
class QListWidget;
class QPushButton;

// "JANコード": one product's list of codes, edited as a whole. A code typed or scanned into
// the box (a scanner types the digits and ends with Enter) is checked at once and goes to
// the end of the list; the list can be put in order (the first code is the one shown and
// printed) and codes taken off. 登録 writes the list in one go; ｷｬﾝｾﾙ writes nothing.
class DialogShohinCode : public QDialog
{
    Q_OBJECT
public:
    DialogShohinCode(AppState& state, int productId, const QString& productName, QWidget* parent = nullptr);

    QStringList codes() const;

private:
    void addTyped();
    void removeCurrent();
    void move(int step);
    void save();
    void updateButtons();

    AppState& m_state;
    const int m_productId;

    QListWidget* lstCode;
    QLineEdit* txtCode;
    QPushButton* cmdAddCode;
    QPushButton* cmdRemoveCode;
    QPushButton* cmdUp;
    QPushButton* cmdDown;
    QPushButton* cmdUpdate;
    QPushButton* cmdCancel;
};
