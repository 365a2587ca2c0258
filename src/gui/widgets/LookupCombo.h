// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/masters/LookupModel.h"

#include <QComboBox>
#include <QPointer>

class AppState;
#include <QLineEdit>

// A combo box for names from a master. It lists the names containing what is typed,
// afresh on getting the focus and on every change of its text, and shows the ID of the
// first match in its ID box. Leaving it is announced with left(), after the focus change,
// so the screen can check and resolve the text. A name chosen from the pop-up list is
// announced with chosen(), its ID in the ID box. A list that cannot be read (another
// program holding the file) is not waited for: the combo says why and the typing goes on.
class LookupCombo : public QComboBox
{
    Q_OBJECT
public:
    LookupCombo(LookupModel::Kind kind, AppState& state, QWidget* parent = nullptr);

    void setIdBox(QLineEdit* box) { m_idBox = box; }
    // Whether getting the focus opens the input method (on by default).
    void setOpensInputMethod(bool opens) { m_opensInputMethod = opens; }

    QString text() const { return currentText(); }
    void setText(const QString& text);
    // Lists the names containing the text again, keeping the text as it is.
    void refreshList();

Q_SIGNALS:
    void left();
    // The user clicked the combo, its text or its arrow.
    void pressed();
    // The user chose a name from the pop-up list.
    void chosen();

protected:
    void hidePopup() override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Says why the list could not be read, once until a look-up reads again.
    void reportUnreadable();

    AppState& m_state;
    LookupModel* m_model;
    QPointer<QLineEdit> m_idBox;
    bool m_refreshing = false;
    bool m_choosing = false;
    bool m_opensInputMethod = true;
};
