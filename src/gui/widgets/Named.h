#pragma once

#include <QObject>
#include <QString>

// Gives a new control its object name, the name the code and the tests know it by.
template<typename T> T* named(T* control, const char* name)
{
    control->setObjectName(QString::fromLatin1(name));
    return control;
}
