// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/phones/DialogPhones.h"

#include "core/app/AppState.h"
#include "core/app/Prompter.h"
#include "core/app/Settings.h"
#include "core/serve/PhoneRegistry.h"
#include "core/serve/PhoneServer.h"
#include "gui/phones/QrCodeView.h"
#include "gui/widgets/Named.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int PhoneIdRole = Qt::UserRole;
// How often the list of phones and their lines is read again, and the database checked.
constexpr int WatchMs = 1000;

// The list of phones, which tells whether a name is being edited: it is not read again meanwhile.
class PhoneGrid : public QTableWidget
{
public:
    using QTableWidget::QTableWidget;
    bool isEditing() const { return state() == EditingState; }
};

} // namespace

DialogPhones::DialogPhones(AppState& state, QDate date, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_date(date)
{
    setObjectName(QStringLiteral("DialogPhones"));
    setWindowTitle(QStringLiteral("スマートフォンで入力"));
    setAttribute(Qt::WA_DeleteOnClose);

    lblDate = named(new QLabel(this), "lblDate");
    picQr = named(new QrCodeView(this), "picQr");
    lblUrl = named(new QLabel(this), "lblUrl");
    lblUrl->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblUrl->setWordWrap(true);
    lblHttps = named(new QLabel(this), "lblHttps");
    lblHttps->setWordWrap(true);
    cmdNewCode = named(new QPushButton(QStringLiteral("新しいコード(&N)"), this), "cmdNewCode");
    grdPhones = named(new PhoneGrid(0, 2, this), "grdPhones");
    grdPhones->setHorizontalHeaderLabels({ QStringLiteral("名前"), QStringLiteral("行数") });
    grdPhones->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    grdPhones->verticalHeader()->hide();
    grdPhones->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdPhones->setSelectionMode(QAbstractItemView::SingleSelection);
    grdPhones->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    cmdRename = named(new QPushButton(QStringLiteral("名前の変更(&R)"), this), "cmdRename");
    cmdUnpair = named(new QPushButton(QStringLiteral("ペアリング解除(&U)"), this), "cmdUnpair");
    cmdClose = named(new QPushButton(QStringLiteral("閉じる(&C)"), this), "cmdClose");
    cmdClose->setAutoDefault(false);

    auto* code = new QVBoxLayout;
    code->addWidget(lblDate);
    code->addWidget(picQr, 1);
    code->addWidget(lblUrl);
    code->addWidget(lblHttps);
    code->addWidget(cmdNewCode);
    auto* phoneButtons = new QHBoxLayout;
    phoneButtons->addWidget(cmdRename);
    phoneButtons->addWidget(cmdUnpair);
    phoneButtons->addStretch();
    auto* phones = new QVBoxLayout;
    phones->addWidget(namedLabel("lblPhones", QStringLiteral("ペアリングしたスマートフォン(&P)"), grdPhones, this));
    phones->addWidget(grdPhones, 1);
    phones->addLayout(phoneButtons);
    auto* columns = new QHBoxLayout;
    columns->addLayout(code, 1);
    columns->addLayout(phones, 1);
    auto* closing = new QHBoxLayout;
    closing->addWidget(
        named(new QLabel(QStringLiteral("この画面を閉じると、スマートフォンからは入力できなくなります。"), this),
              "lblClosing"));
    closing->addStretch();
    closing->addWidget(cmdClose);
    auto* page = new QVBoxLayout(this);
    page->addLayout(columns, 1);
    page->addLayout(closing);
    resize(760, 460);

    m_watch = new QTimer(this);
    m_watch->setInterval(WatchMs);
    connect(m_watch, &QTimer::timeout, this, &DialogPhones::watchDatabase);
    connect(cmdNewCode, &QPushButton::clicked, this, &DialogPhones::newCode);
    connect(cmdRename, &QPushButton::clicked, this, [this] {
        if (QTableWidgetItem* item = grdPhones->item(grdPhones->currentRow(), 0))
            grdPhones->editItem(item);
    });
    connect(grdPhones, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (!m_filling && item->column() == 0)
            renamePhone(item->row());
    });
    connect(cmdUnpair, &QPushButton::clicked, this, &DialogPhones::unpairPhone);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
}

DialogPhones::~DialogPhones() = default;

bool DialogPhones::start()
{
    const Database& db = m_state.DatabaseConnection;
    if (!db.isOpen() || db.isReadOnly() || !PhoneRegistry::available(db)) {
        m_state.prompter.notice(QStringLiteral("開いているデータベースには、スマートフォンから入力できません。\r"
                                               "書き込みのできるデータベースを開いてください。"),
                                Prompter::Icon::Exclamation);
        return false;
    }
    m_file = db.fileName();
    m_server = std::make_unique<PhoneServer>(db, m_date);
    PhoneServer::Options options;
    options.certificate = m_state.settings.value(Setting::PhoneCertificate);
    options.key = m_state.settings.value(Setting::PhoneKey);
    QString error;
    bool started = m_server->start(options, &error);
    // The usual port taken by another program: any free one serves as well, the QR code
    // carries it.
    if (!started && options.certificate.isEmpty() == options.key.isEmpty()
        && error.contains(QStringLiteral("ポート"))) {
        options.port = 0;
        started = m_server->start(options, &error);
    }
    if (!started) {
        m_server.reset();
        m_state.prompter.notice(QStringLiteral("スマートフォン用のページを公開できませんでした。\r") + error,
                                Prompter::Icon::Exclamation);
        return false;
    }
    connect(&m_server->service(), &PhoneService::phonesChanged, this, &DialogPhones::showPhones);
    connect(&m_server->service(), &PhoneService::linesChanged, this, &DialogPhones::showPhones);
    lblDate->setText(QStringLiteral("決算日 %1 の棚卸を、スマートフォンのカメラでこのQRコードを読み取って入力します。")
                         .arg(m_date.toString(QStringLiteral("yyyy/MM/dd"))));
    lblDate->setWordWrap(true);
    lblHttps->setText(m_server->https() ? QString()
                                        : QStringLiteral("スマートフォンのカメラでバーコードを読むには HTTPS が必要です"
                                                         "（設定で証明書と秘密鍵を指定します）。"));
    newCode();
    showPhones();
    m_watch->start();
    return true;
}

void DialogPhones::closeEvent(QCloseEvent* event)
{
    m_watch->stop();
    if (m_server)
        m_server->stop();
    QDialog::closeEvent(event);
}

void DialogPhones::newCode()
{
    if (!m_server)
        return;
    const QString url = m_server->newPairingUrl();
    picQr->setCode(QrCode::encode(url));
    lblUrl->setText(QStringLiteral("ページ: %1\nペアリング: %2（%3 分間、1 台のみ有効）")
                        .arg(m_server->pageAddress(), url)
                        .arg(PhoneService::CodeLifetimeSeconds / 60));
}

void DialogPhones::showPhones()
{
    const std::optional<QList<PhoneRegistry::PhoneCount>> list
        = PhoneRegistry::phones(m_state.DatabaseConnection, m_date);
    if (!list || static_cast<PhoneGrid*>(grdPhones)->isEditing())
        return;
    const int current = grdPhones->currentRow();
    m_filling = true;
    grdPhones->setRowCount(int(list->size()));
    for (int row = 0; row < list->size(); ++row) {
        const PhoneRegistry::PhoneCount& phone = list->at(row);
        auto* name = new QTableWidgetItem(phone.phone.name);
        name->setData(PhoneIdRole, phone.phone.id);
        auto* lines = new QTableWidgetItem(QString::number(phone.lines));
        lines->setFlags(lines->flags() & ~Qt::ItemIsEditable);
        lines->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grdPhones->setItem(row, 0, name);
        grdPhones->setItem(row, 1, lines);
    }
    if (current >= 0 && current < grdPhones->rowCount())
        grdPhones->setCurrentCell(current, 0);
    m_filling = false;
    cmdRename->setEnabled(grdPhones->rowCount() > 0);
    cmdUnpair->setEnabled(grdPhones->rowCount() > 0);
}

void DialogPhones::renamePhone(int row)
{
    QTableWidgetItem* item = grdPhones->item(row, 0);
    if (!item)
        return;
    QString error;
    if (!PhoneRegistry::rename(m_state.DatabaseConnection, item->data(PhoneIdRole).toInt(), item->text(), &error))
        m_state.prompter.notice(error, Prompter::Icon::Exclamation);
    QTimer::singleShot(0, this, &DialogPhones::showPhones);
}

void DialogPhones::unpairPhone()
{
    QTableWidgetItem* item = grdPhones->item(grdPhones->currentRow(), 0);
    if (!item)
        return;
    if (!m_state.prompter.ask(
            QStringLiteral("「%1」のペアリングを解除します。このスマートフォンからは入力できなくなります。"
                           "よろしいですか。")
                .arg(item->text())))
        return;
    QString error;
    if (!PhoneRegistry::unpair(m_state.DatabaseConnection, item->data(PhoneIdRole).toInt(), &error))
        m_state.prompter.notice(QStringLiteral("ペアリングを解除できませんでした。\r") + error,
                                Prompter::Icon::Exclamation);
    showPhones();
}

void DialogPhones::watchDatabase()
{
    // Another database opened at the desk (or this one closed): the phones would count into
    // it unseen. The window goes, and the server with it.
    const Database& db = m_state.DatabaseConnection;
    if (!db.isOpen() || db.fileName() != m_file) {
        close();
        return;
    }
    showPhones();
}
