// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/shell/DialogServer.h"

#include "core/app/AppState.h"
#include "core/app/Prompter.h"
#include "gui/widgets/Named.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString Title = QStringLiteral("サーバーに接続");

// Full-width letters and digits, as an input method left on types them, in their ASCII form.
QString ascii(const QString& text)
{
    return text.normalized(QString::NormalizationForm_KC).trimmed();
}

} // namespace

DialogServer::DialogServer(AppState& state, const ServerLogin& start, Connect connectTo, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_connect(std::move(connectTo))
{
    setObjectName(QStringLiteral("DialogServer"));
    setWindowTitle(Title);

    auto* about
        = named(new QLabel(QStringLiteral("PostgreSQL サーバーの棚卸データベースに接続します。"), this), "Label1");
    about->setWordWrap(true);
    txtHost = named(new QLineEdit(start.host, this), "txtHost");
    txtPort = named(new QLineEdit(QString::number(start.port), this), "txtPort");
    // Digits arrive at once, whatever the input method is doing.
    txtPort->setAttribute(Qt::WA_InputMethodEnabled, false);
    txtPort->setMaximumWidth(90);
    txtDatabase = named(new QLineEdit(start.database, this), "txtDatabase");
    txtUser = named(new QLineEdit(start.user, this), "txtUser");
    txtUser->setAttribute(Qt::WA_InputMethodEnabled, false);
    txtPassword = named(new QLineEdit(start.password, this), "txtPassword");
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setAttribute(Qt::WA_InputMethodEnabled, false);
    chkSavePassword
        = named(new QCheckBox(QStringLiteral("パスワードをこのコンピューターに保存(&S)"), this), "chkSavePassword");
    chkSavePassword->setToolTip(
        QStringLiteral("このコンピューターのユーザーだけが読めるファイル（%1）に保存し、次回から入力を省きます。"
                       "保存しないときは、開くたびにパスワードを入力します。")
            .arg(PasswordFile::path()));
    cmdConnect = named(new QPushButton(QStringLiteral("接続(&C)"), this), "cmdConnect");
    cmdCancel = named(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this), "cmdCancel");
    // Enter belongs to the boxes: it moves on, and connects from the last one.
    cmdConnect->setAutoDefault(false);
    cmdCancel->setAutoDefault(false);

    auto* form = new QFormLayout;
    form->addRow(namedLabel("Label2", QStringLiteral("サーバー(&H)"), txtHost, this), txtHost);
    form->addRow(namedLabel("Label3", QStringLiteral("ポート(&P)"), txtPort, this), txtPort);
    form->addRow(namedLabel("Label4", QStringLiteral("データベース(&D)"), txtDatabase, this), txtDatabase);
    form->addRow(namedLabel("Label5", QStringLiteral("ユーザー(&U)"), txtUser, this), txtUser);
    form->addRow(namedLabel("Label6", QStringLiteral("パスワード(&W)"), txtPassword, this), txtPassword);
    form->addRow(QString(), chkSavePassword);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdConnect);
    buttons->addWidget(cmdCancel);
    auto* page = new QVBoxLayout(this);
    page->addWidget(about);
    page->addLayout(form);
    page->addLayout(buttons);
    setMinimumWidth(440);

    const QList<QLineEdit*> boxes = { txtHost, txtPort, txtDatabase, txtUser };
    for (qsizetype i = 0; i < boxes.size(); ++i) {
        QLineEdit* next = i + 1 < boxes.size() ? boxes[i + 1] : txtPassword;
        connect(boxes[i], &QLineEdit::returnPressed, next, [next] {
            next->setFocus(Qt::TabFocusReason);
            next->selectAll();
        });
    }
    connect(txtPassword, &QLineEdit::returnPressed, this, &DialogServer::tryConnect);
    connect(cmdConnect, &QPushButton::clicked, this, &DialogServer::tryConnect);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    // The first box still empty takes the focus; with everything known, the password.
    for (QLineEdit* box : { txtHost, txtDatabase, txtUser, txtPassword }) {
        if (box->text().isEmpty() || box == txtPassword) {
            box->setFocus();
            break;
        }
    }
}

ServerLogin DialogServer::login() const
{
    ServerLogin login;
    login.host = ascii(txtHost->text());
    login.port = ascii(txtPort->text()).toInt();
    login.database = txtDatabase->text().trimmed();
    login.user = ascii(txtUser->text());
    login.password = txtPassword->text();
    return login;
}

void DialogServer::tryConnect()
{
    const ServerLogin typed = login();
    const auto refuse = [this](const QString& text, QLineEdit* box) {
        m_state.prompter.notice(text, Prompter::Icon::Exclamation, Title);
        box->setFocus();
        box->selectAll();
    };
    if (typed.host.isEmpty())
        return refuse(QStringLiteral("サーバー名を入力してください。"), txtHost);
    if (typed.port < 1 || typed.port > 65535)
        return refuse(QStringLiteral("ポート番号は 1 から 65535 までの数で入力してください。"), txtPort);
    if (typed.database.isEmpty())
        return refuse(QStringLiteral("データベース名を入力してください。"), txtDatabase);
    if (typed.user.isEmpty())
        return refuse(QStringLiteral("ユーザー名を入力してください。"), txtUser);
    if (chkSavePassword->isChecked() && typed.password.isEmpty())
        return refuse(QStringLiteral("保存するパスワードを入力してください。"), txtPassword);
    if (m_connect(typed, chkSavePassword->isChecked())) {
        accept();
        return;
    }
    // What was wrong has been said; the boxes stay as typed.
    txtPassword->setFocus();
    txtPassword->selectAll();
}
