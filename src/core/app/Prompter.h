// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// What a file dialog is asked to show. The filter is written the old way,
// "description|pattern|description|pattern", and converted for the toolkit in one place.
struct FileDialogRequest
{
    QString title;
    QString fileName;
    QString directory; // where the dialog starts; empty: wherever the toolkit chooses
    QString filter;
    int filterIndex = 1; // 1-based, as the filter string counts its pairs
    QString defaultSuffix; // appended to a typed name without one
    bool mustExist = true; // false: a new name may be typed (open dialog used to name a new file)

    // ("すべてのファイル (*.*)", …) with every "*.*" pattern widened to "*", so files
    // without an extension are listed too.
    QStringList nameFilters() const;
};

// Every message box, question, file dialog and font dialog of the program goes through
// this one service, so the texts are in one style and tests can answer and record them.
class Prompter
{
public:
    enum class Icon
    {
        None,
        Information,
        Question,
        Exclamation,
        Critical
    };

    virtual ~Prompter() = default;

    // A notice with an OK button.
    virtual void notice(const QString& text, Icon icon = Icon::Information,
                        const QString& title = QStringLiteral("Information"))
        = 0;
    // A Yes/No question with the question icon; true for Yes.
    virtual bool ask(const QString& text, const QString& title = QStringLiteral("Question")) = 0;
    // nullopt when the user cancels.
    virtual std::optional<QString> openFile(const FileDialogRequest& request) = 0;
    virtual std::optional<QString> saveFile(const FileDialogRequest& request) = 0;
    // The chosen family among the installed faces that print the sheets (fixed pitch, with
    // kana and kanji), starting on the face family prints in; nullopt when cancelled.
    virtual std::optional<QString> chooseFont(const QString& family, int pointSize) = 0;
    // The printer driver's own settings of the named printer, starting on the paper with the
    // DMPAPER code paperCode. The paper code chosen there (paperCode itself when the user
    // cancels); nullopt when the settings cannot be shown, as by a program without windows.
    virtual std::optional<int> printerSettings(const QString& printer, int paperCode)
    {
        Q_UNUSED(printer);
        Q_UNUSED(paperCode);
        return std::nullopt;
    }
    // A question answered by one of several buttons, captioned choices (with their access
    // keys): the index of the one pressed; nullopt for キャンセル, which Enter and Escape
    // press (a stray Enter, as a scanner's, chooses nothing), and always without windows.
    virtual std::optional<int> choose(const QString& text, const QStringList& choices,
                                      const QString& title = QStringLiteral("Question"))
    {
        Q_UNUSED(text);
        Q_UNUSED(choices);
        Q_UNUSED(title);
        return std::nullopt;
    }

    // Before a file is replaced: true when path does not exist or the user agrees to
    // overwrite it ("指定した名前のファイルが存在します。\r上書きしますか？").
    bool confirmOverwrite(const QString& path);
};
