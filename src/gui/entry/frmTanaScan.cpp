// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// The entry screen's codes: a code typed or scanned into 品名 finds its product, and scan
// mode counts piece by piece.
#include "core/app/AppState.h"
#include "core/app/Prompter.h"
#include "core/app/Settings.h"
#include "core/masters/ScannedCode.h"
#include "core/rules/TextRules.h"
#include "gui/entry/ScanSound.h"
#include "gui/entry/ScannerKeys.h"
#include "gui/entry/frmTana.h"
#include "gui/widgets/LookupCombo.h"
#include "gui/widgets/Named.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTimer>

namespace {

const QString SettingsSection = QStringLiteral("Settings");
const QString ScanModeKey = QStringLiteral("ScanMode");

} // namespace

void frmTana::buildScanControls(QGridLayout* entry, QWidget* frame)
{
    chkScan = named(new QCheckBox(QStringLiteral("スキャンで数える(&S)"), frame), "chkScan");
    chkScan->setToolTip(QStringLiteral("同じコードを読むたびに数量を1増やし、別のコードを読むと前の行を登録します。"));
    // Ticking it leaves the focus where the codes go.
    chkScan->setFocusPolicy(Qt::NoFocus);
    entry->addWidget(chkScan, 3, 0, 1, 2);

    // The running count, to be read from arm's length while scanning.
    lblScanCount = named(new QLabel(frame), "lblScanCount");
    QFont big = lblScanCount->font();
    big.setPixelSize(64);
    big.setBold(true);
    lblScanCount->setFont(big);
    lblScanCount->setAlignment(Qt::AlignCenter);
    // Five digits wide, whatever it shows: the boxes beside it keep their room.
    lblScanCount->setFixedWidth(QFontMetrics(big).horizontalAdvance(QStringLiteral("00000")) + 16);
    lblScanCount->setFrameShape(QFrame::StyledPanel);
    lblScanCount->setToolTip(QStringLiteral("数量"));
    entry->addWidget(lblScanCount, 0, 5, 5, 1);

    m_sound = named(new ScanSound(this), "scanSound");
    connect(txtCnt, &QLineEdit::textChanged, this, &frmTana::showScanCount);
    connect(dbcShohin, &QComboBox::editTextChanged, this, [this](const QString& text) {
        if (text.trimmed() != m_resolvedName)
            m_resolvedName.clear();
    });
    connect(chkScan, &QCheckBox::toggled, this, [this](bool on) {
        m_state.settings.write(SettingsSection, ScanModeKey, on ? QStringLiteral("1") : QStringLiteral("0"));
        setScanMode(on);
        dbcShohin->setFocus();
    });
    chkScan->setChecked(m_state.settings.read(SettingsSection, ScanModeKey) == QLatin1String("1"));
    setScanMode(chkScan->isChecked());
}

void frmTana::setScanMode(bool on)
{
    // A scanner's digits must reach the box as keys, not as an input method's conversion.
    dbcShohin->setOpensInputMethod(!on);
    lblScanCount->setVisible(on);
    m_counting.reset();
    showScanCount();
}

void frmTana::closeEvent(QCloseEvent* event)
{
    const QString inBox = dbcShohin->text().trimmed();
    if (chkScan->isChecked() && m_counting && inBox == m_counting->name
        && m_state.prompter.ask(
            QStringLiteral("スキャンで数えた「%1」（数量 %2）はまだ登録されていません。登録しますか？")
                .arg(inBox, txtCnt->text().trimmed()))
        && !registerLine()) {
        // Not registered (the reason was said): the window stays, with the line in it.
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void frmTana::showScanCount()
{
    if (!lblScanCount->isHidden())
        lblScanCount->setText(txtCnt->text().trimmed());
}

bool frmTana::takeCode(const QString& text, bool fromScanner)
{
    using Kind = ScannedCode::Result::Kind;
    const ScannedCode::Result found = ScannedCode::resolve(m_state.DatabaseConnection, text, fromScanner);
    if (found.kind == Kind::Name)
        return false;
    // A code that waited for its name is given up for the new one.
    m_waitingCode.reset();
    dbcShohin->lineEdit()->setPlaceholderText(QString());
    switch (found.kind) {
    case Kind::Name:
        return false;
    case Kind::Found:
        takeProduct(found.owner, found.code);
        return true;
    case Kind::Unknown:
        // A new product counted by scanning is registered with its line: until then its code
        // is known here only.
        if (chkScan->isChecked() && m_counting && m_counting->code == found.code
            && dbcShohin->text().trimmed() == m_counting->name) {
            countScan({ 0, m_counting->name, {}, {} }, found.code);
            return true;
        }
        m_sound->play(ScanSound::Kind::Refused);
        offerUnknownCode(found.code);
        return true;
    case Kind::NotACode:
        m_sound->play(ScanSound::Kind::Refused);
        m_state.prompter.notice(found.error, Prompter::Icon::Exclamation);
        if (!fromScanner) {
            dbcShohin->setFocus();
            dbcShohin->lineEdit()->selectAll();
        }
        return true;
    }
    return true;
}

void frmTana::takeProduct(const ProductCodes::Owner& owner, const QString& code)
{
    if (chkScan->isChecked()) {
        countScan(owner, code);
        return;
    }
    m_sound->play(ScanSound::Kind::Found);
    fillProduct(owner);
    txtCnt->setFocus();
}

void frmTana::fillProduct(const ProductCodes::Owner& owner)
{
    dbcShohin->setText(owner.name);
    m_resolvedName = owner.name;
    if (owner.productId == 0)
        return;
    Text2->setText(QString::number(owner.productId));
    if (!owner.unit.isNull())
        dbcTani->setText(owner.unit.toString());
    if (!owner.unitPrice.isNull())
        txtTanka->setText(QString::number(owner.unitPrice.toDouble(), 'g', 15));
    // The earlier counts are read once the boxes and the count are shown (a search through
    // every line): they are for looking up, the next scan need not wait for them.
    QTimer::singleShot(0, this, [this, name = owner.name] {
        if (dbcShohin->text().trimmed() == name)
            fillHistory(name);
    });
}

void frmTana::countScan(const ProductCodes::Owner& owner, const QString& code)
{
    const QString inBox = dbcShohin->text().trimmed();
    const bool sameLine = m_counting && inBox == owner.name
        && (m_counting->code == code || (owner.productId != 0 && m_counting->productId == owner.productId));
    if (sameLine) {
        const TextRules::NumberInput quantity = TextRules::readNumber(QStringLiteral("数量"), txtCnt->text());
        if (!quantity.value && !txtCnt->text().trimmed().isEmpty()) {
            // A count changed by hand into something else is not guessed at.
            m_sound->play(ScanSound::Kind::Refused);
            m_state.prompter.notice(quantity.refusal, Prompter::Icon::Exclamation);
            txtCnt->setFocus();
            txtCnt->selectAll();
            return;
        }
        txtCnt->setText(QString::number(quantity.value.value_or(0) + 1, 'g', 15));
    } else {
        // Another product: the line in the boxes is registered first, as 入力 does, and
        // the scan counts only when it was.
        if (!inBox.isEmpty() && inBox != owner.name && !registerLine()) {
            m_sound->play(ScanSound::Kind::Refused);
            return;
        }
        fillProduct(owner);
        // A quantity typed before the first scan is the count the line starts with.
        if (txtCnt->text().trimmed().isEmpty())
            txtCnt->setText(QStringLiteral("1"));
        m_counting = Counting { code, owner.productId, owner.name };
    }
    m_sound->play(ScanSound::Kind::Found);
    dbcShohin->setFocus();
    dbcShohin->lineEdit()->selectAll();
}

void frmTana::offerUnknownCode(const QString& code)
{
    const std::optional<int> choice
        = m_state.prompter.choose(QStringLiteral("このコードの品名は登録されていません。\nコード：%1\n\n"
                                                 "登録済みの品名に割り当てるか、新しい品名として登録できます。")
                                      .arg(code),
                                  { QStringLiteral("品名に割り当てる(&A)"), QStringLiteral("新しい品名を登録(&N)") });
    if (!choice)
        return;
    // Scanning goes on with another product: the line counted so far is registered first.
    const QString inBox = dbcShohin->text().trimmed();
    if (chkScan->isChecked() && m_counting && !inBox.isEmpty() && !registerLine())
        return;
    m_counting.reset();
    m_waitingCode = code;
    dbcShohin->setText(QString());
    dbcTani->setText(QString());
    txtTanka->clear();
    if (chkScan->isChecked())
        txtCnt->clear();
    dbcShohin->lineEdit()->setPlaceholderText(
        *choice == 0 ? QStringLiteral("コード %1 の品名を選んでください").arg(code)
                     : QStringLiteral("コード %1 の新しい品名を入力してください").arg(code));
    dbcShohin->setFocus();
}

bool frmTana::attachWaitingCode(const QString& name)
{
    if (!m_waitingCode)
        return false;
    const QString code = *std::exchange(m_waitingCode, std::nullopt);
    dbcShohin->lineEdit()->setPlaceholderText(QString());
    const std::optional<ProductInfo> product = findProduct(m_state.DatabaseConnection, name);
    if (!product) {
        // A new product: registered with its line, and the code with it.
        m_newProductCode = Counting { code, 0, name };
        if (chkScan->isChecked()) {
            m_counting = m_newProductCode;
            if (txtCnt->text().trimmed().isEmpty())
                txtCnt->setText(QStringLiteral("1"));
        }
        return false;
    }
    QString error;
    if (!ProductCodes::addCode(m_state.DatabaseConnection, product->id, code, &error)) {
        m_state.prompter.notice(error, Prompter::Icon::Exclamation);
        return false;
    }
    takeProduct({ product->id, name, product->unit, product->unitPrice }, code);
    return true;
}

void frmTana::attachToRegistered(const QString& product, int productId)
{
    m_counting.reset();
    const std::optional<Counting> waiting = std::exchange(m_newProductCode, std::nullopt);
    if (!waiting || waiting->name != product)
        return;
    QString error;
    if (!ProductCodes::addCode(m_state.DatabaseConnection, productId, waiting->code, &error))
        m_state.prompter.notice(error, Prompter::Icon::Exclamation);
}
