// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/app/Prompter.h"

#include <QPointer>

class QWidget;

// The Prompter of the running program: Qt's message boxes and dialogs, each over the
// window it belongs to.
class WidgetPrompter final : public Prompter
{
public:
    void notice(const QString& text, Icon icon, const QString& title) override;
    bool ask(const QString& text, const QString& title) override;
    std::optional<QString> openFile(const FileDialogRequest& request) override;
    std::optional<QString> saveFile(const FileDialogRequest& request) override;
    std::optional<QString> chooseFont(const QString& family, int pointSize) override;
    std::optional<int> printerSettings(const QString& printer, int paperCode) override;
    std::optional<int> choose(const QString& text, const QStringList& choices, const QString& title) override;

    // From now on nobody is there to answer (the program ends on the system's request, as
    // at logging out): notices of every prompter go to standard error instead of waiting for
    // OK, questions are answered No and dialogs cancelled, so the program never waits on a window.
    static void setUnattended() { s_unattended = true; }

private:
    // The active window; while none is (a dialog has just closed and the window manager
    // has not yet handed activation back), the window the last dialog was asked from.
    QWidget* owner();
    std::optional<QString> runFileDialog(const FileDialogRequest& request, bool save);

    QPointer<QWidget> m_lastOwner;
    static inline bool s_unattended = false;
};
