// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "ScriptedPrompter.h"

#include <QTest>

template<typename T> std::optional<T> ScriptedPrompter::take(const char* what)
{
    if (m_answers.empty()) {
        m_problems << QStringLiteral("unscripted %1: %2").arg(QLatin1String(what), m_shown.constLast().text);
        return std::nullopt;
    }
    Answer answer = m_answers.front();
    m_answers.pop_front();
    if (!std::holds_alternative<T>(answer)) {
        m_problems << QStringLiteral("scripted answer of another kind for %1: %2")
                          .arg(QLatin1String(what), m_shown.constLast().text);
        return std::nullopt;
    }
    return std::get<T>(answer);
}

void ScriptedPrompter::notice(const QString& text, Icon icon, const QString& title)
{
    m_shown.append({ Kind::Notice, title, icon, text, {} });
}

bool ScriptedPrompter::ask(const QString& text, const QString& title)
{
    m_shown.append({ Kind::Ask, title, Icon::Question, text, {} });
    return take<bool>("question").value_or(false);
}

std::optional<QString> ScriptedPrompter::openFile(const FileDialogRequest& request)
{
    m_shown.append({ Kind::OpenFile, request.title, Icon::None, request.title, request });
    const auto answer = take<FileAnswer>("open-file dialog");
    return answer ? answer->path : std::nullopt;
}

std::optional<QString> ScriptedPrompter::saveFile(const FileDialogRequest& request)
{
    m_shown.append({ Kind::SaveFile, request.title, Icon::None, request.title, request });
    const auto answer = take<FileAnswer>("save-file dialog");
    return answer ? answer->path : std::nullopt;
}

std::optional<QString> ScriptedPrompter::chooseFont(const QString& family, int)
{
    m_shown.append({ Kind::Font, QString(), Icon::None, family, {} });
    const auto answer = take<FontAnswer>("font dialog");
    return answer ? answer->family : std::nullopt;
}

std::optional<int> ScriptedPrompter::printerSettings(const QString& printer, int)
{
    m_shown.append({ Kind::PrinterSettings, QString(), Icon::None, printer, {} });
    const auto answer = take<PrinterSettingsAnswer>("printer settings");
    return answer ? answer->paperCode : std::nullopt;
}

std::optional<int> ScriptedPrompter::choose(const QString& text, const QStringList& choices, const QString& title)
{
    m_shown.append({ Kind::Choose, title, Icon::Question, text, {} });
    m_lastChoices = choices;
    const auto answer = take<ChoiceAnswer>("choice");
    return answer ? answer->index : std::nullopt;
}

QStringList ScriptedPrompter::texts() const
{
    QStringList result;
    for (const Shown& s : m_shown) {
        if (s.kind == Kind::Notice || s.kind == Kind::Ask || s.kind == Kind::Choose)
            result << s.text;
    }
    return result;
}

void ScriptedPrompter::clear()
{
    m_answers.clear();
    m_shown.clear();
    m_problems.clear();
}

ScriptedPrompter::~ScriptedPrompter()
{
    if (!m_problems.isEmpty() || !m_answers.empty()) {
        const QString text = m_problems.join(QLatin1Char('\n'))
            + (m_answers.empty() ? QString()
                                 : QStringLiteral("\n%1 scripted answers never used").arg(m_answers.size()));
        QTest::qFail(qPrintable(text), __FILE__, __LINE__);
    }
}
