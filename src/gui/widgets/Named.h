// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QLabel>
#include <QObject>
#include <QString>

// Gives a new control its object name, the name the code and the tests know it by.
template<typename T> T* named(T* control, const char* name)
{
    control->setObjectName(QString::fromLatin1(name));
    return control;
}

// A named label whose access key moves the focus to buddy.
inline QLabel* namedLabel(const char* name, const QString& caption, QWidget* buddy, QWidget* parent)
{
    auto* label = named(new QLabel(caption, parent), name);
    label->setBuddy(buddy);
    return label;
}
