// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/app/Prompter.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <deque>
#include <variant>

// A Prompter for tests: answers questions and file dialogs from a script given in advance
// and records every dialog shown. A dialog nobody scripted, or a scripted answer of the
// wrong kind, is recorded as a problem; problems() and unusedAnswers() let a test fail on them.
class ScriptedPrompter final : public Prompter
{
public:
    enum class Kind
    {
        Notice,
        Ask,
        OpenFile,
        SaveFile,
        Font,
        PrinterSettings,
        Choose
    };

    struct Shown
    {
        Kind kind;
        QString title;
        Icon icon = Icon::None;
        QString text;
        FileDialogRequest file;
    };

    // A test fails when its script was not followed to the end: a dialog came that nobody
    // scripted, or an answer was never asked for.
    ~ScriptedPrompter() override;

    void answerAsk(bool yes) { m_answers.emplace_back(yes); }
    void answerFile(std::optional<QString> path) { m_answers.emplace_back(FileAnswer { std::move(path) }); }
    void answerFont(std::optional<QString> family) { m_answers.emplace_back(FontAnswer { std::move(family) }); }
    // The paper code chosen in the printer's own settings; nullopt: they cannot be shown.
    void answerPrinterSettings(std::optional<int> paperCode)
    {
        m_answers.emplace_back(PrinterSettingsAnswer { paperCode });
    }

    // The button pressed in a choice among several; nullopt: the box closed with Escape.
    void answerChoice(std::optional<int> index) { m_answers.emplace_back(ChoiceAnswer { index }); }

    void notice(const QString& text, Icon icon, const QString& title) override;
    bool ask(const QString& text, const QString& title) override;
    std::optional<QString> openFile(const FileDialogRequest& request) override;
    std::optional<QString> saveFile(const FileDialogRequest& request) override;
    std::optional<QString> chooseFont(const QString& family, int pointSize) override;
    std::optional<int> printerSettings(const QString& printer, int paperCode) override;
    std::optional<int> choose(const QString& text, const QStringList& choices, const QString& title) override;

    const QList<Shown>& shown() const { return m_shown; }
    // The buttons of the last choice shown.
    const QStringList& lastChoices() const { return m_lastChoices; }
    // The texts of all notices and questions, in order.
    QStringList texts() const;
    const QStringList& problems() const { return m_problems; }
    qsizetype unusedAnswers() const { return qsizetype(m_answers.size()); }
    void clear();

private:
    struct FileAnswer
    {
        std::optional<QString> path;
    };
    struct FontAnswer
    {
        std::optional<QString> family;
    };
    struct PrinterSettingsAnswer
    {
        std::optional<int> paperCode;
    };
    struct ChoiceAnswer
    {
        std::optional<int> index;
    };
    using Answer = std::variant<bool, FileAnswer, FontAnswer, PrinterSettingsAnswer, ChoiceAnswer>;

    template<typename T> std::optional<T> take(const char* what);

    std::deque<Answer> m_answers;
    QList<Shown> m_shown;
    QStringList m_problems;
    QStringList m_lastChoices;
};
