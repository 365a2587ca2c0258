#pragma once

#include "core/app/Prompter.h"

// The Prompter of the running program: Qt's message boxes and dialogs, parented to
// the active window.
class WidgetPrompter final : public Prompter
{
public:
    void notice(const QString& text, Icon icon, const QString& title) override;
    bool ask(const QString& text, const QString& title) override;
    std::optional<QString> openFile(const FileDialogRequest& request) override;
    std::optional<QString> saveFile(const FileDialogRequest& request) override;
    std::optional<QString> chooseFont(const QString& family, int pointSize) override;
};
