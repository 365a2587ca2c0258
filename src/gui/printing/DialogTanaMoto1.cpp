#include "gui/printing/DialogTanaMoto1.h"

#include "core/app/AppState.h"
#include "core/app/Prompter.h"
#include "core/app/Settings.h"
#include "core/lines/LineChecks.h"
#include "core/printing/SheetText.h"
#include "gui/widgets/DatePicker.h"
#include "gui/widgets/LookupCombo.h"
#include "gui/widgets/Named.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

using StocktakingSheet::Layout;

DialogTanaMoto1::DialogTanaMoto1(AppState& state, QDate settlementDate, QWidget* parent)
    : PrintDialogFrame(state, QStringLiteral("棚　卸　表　印刷"), parent)
{
    setObjectName(QStringLiteral("DialogTanaMoto1"));
    buildControls(settlementDate);
    loadFrame();
    enableByChoice();
    enableByLayout();
}

void DialogTanaMoto1::buildControls(QDate settlementDate)
{
    DTPicker1 = makeDatePicker(this);
    DTPicker1->setDate(settlementDate);

    Combo1 = named(new QComboBox(this), "Combo1");
    for (Layout each : { Layout::Original, Layout::Simple, Layout::Hisago1151 })
        Combo1->addItem(StocktakingSheet::layoutName(each));
    const int stored = int(Combo1->findText(m_state.settings.value(Setting::DialogOutCombo1)));
    Combo1->setCurrentIndex(stored >= 0 ? stored : 0);

    auto* Frame1 = named(new QGroupBox(this), "Frame1");
    Option2 = named(new QRadioButton(QStringLiteral("すべての項目/分類を出力(&I)"), Frame1), "Option2");
    Option1 = named(new QRadioButton(QStringLiteral("項目/分類別に出力(&P)"), Frame1), "Option1");
    Option2->setChecked(true);
    dbcNouhin = named(new LookupCombo(LookupModel::Kind::Category, m_state, Frame1), "dbcNouhin");
    dbcNouhin->setToolTip(QStringLiteral("検索する仕入先名の文字列を入力してください。"));
    dbcNouhin->setMinimumWidth(220);
    Text3 = named(new QLineEdit(Frame1), "Text3");
    Text3->setReadOnly(true);
    Text3->setFocusPolicy(Qt::NoFocus);
    Text3->setMaximumWidth(60);
    dbcNouhin->setIdBox(Text3);
    Label10 = namedLabel("Label10", QStringLiteral("項目分類名(&K)"), dbcNouhin, Frame1);
    auto* choice = new QGridLayout(Frame1);
    choice->addWidget(Option2, 0, 0, 1, 3);
    choice->addWidget(Option1, 1, 0, 1, 3);
    choice->addWidget(Label10, 2, 0);
    choice->addWidget(dbcNouhin, 2, 1);
    choice->addWidget(Text3, 2, 2);

    // Receives the total of every line of the date for the comparison after printing.
    Text1 = named(new QLineEdit(this), "Text1");
    Text1->setVisible(false);

    QGridLayout* rows = form();
    rows->addWidget(namedLabel("Label1", QStringLiteral("決算日(&D)"), DTPicker1, this), 0, 0);
    rows->addWidget(DTPicker1, 0, 1);
    rows->addWidget(namedLabel("Label2", QStringLiteral("用紙(&M)"), Combo1, this), 1, 0);
    rows->addWidget(Combo1, 1, 1);
    rows->addWidget(Frame1, 2, 0, 1, 2);

    connect(Combo1, &QComboBox::currentTextChanged, this, [this] {
        layoutAllowsChoice();
        enableByLayout();
    });
    connect(Option1, &QRadioButton::clicked, this, [this] {
        layoutAllowsChoice();
        enableByChoice();
    });
    connect(Option2, &QRadioButton::clicked, this, &DialogTanaMoto1::enableByChoice);
}

QDate DialogTanaMoto1::date() const
{
    return DTPicker1->date();
}

Layout DialogTanaMoto1::layout() const
{
    return StocktakingSheet::layoutFromName(Combo1->currentText()).value_or(Layout::Original);
}

void DialogTanaMoto1::enableByLayout()
{
    // Only the continuous form is shifted on the paper.
    offsetGroup()->setEnabled(layout() == Layout::Hisago1151);
}

void DialogTanaMoto1::enableByChoice()
{
    dbcNouhin->setEnabled(Option1->isChecked());
    Label10->setEnabled(Option1->isChecked());
}

bool DialogTanaMoto1::layoutAllowsChoice()
{
    if (layout() != Layout::Hisago1151 || !Option1->isChecked())
        return true;
    m_state.prompter.notice(QStringLiteral("この用紙は、項目/分類別に出力できません。"));
    Option2->setChecked(true);
    enableByChoice();
    return false;
}

bool DialogTanaMoto1::checkCategories()
{
    const Database& db = m_state.DatabaseConnection;
    const std::optional<int> unmatched = markLinesWithoutCategory(db, date());
    if (!unmatched || *unmatched == 0)
        return true;
    if (!m_state.prompter.ask(QStringLiteral("項目/分類が登録された項目に属さない棚卸かあります。"
                                             "項目/分類を「未区分」に変更しますか？"))) {
        m_state.prompter.notice(QStringLiteral("棚卸表作成を中止し棚卸表訂正を行ってください。"));
        return false;
    }
    moveMarkedLinesToNoCategory(db, date());
    return true;
}

bool DialogTanaMoto1::prepare(Output)
{
    m_document.reset();
    const bool all = Option2->isChecked();
    if (all && !checkCategories())
        return false;
    const Database& db = m_state.DatabaseConnection;
    if (StocktakingSheet::lineCount(db, date()).value_or(0) == 0) {
        m_state.prompter.notice(QStringLiteral("該当する棚卸はありません。決算日を確認してください。"));
        return false;
    }
    std::optional<int> category;
    if (!all) {
        bool ok = false;
        category = Text3->text().trimmed().toInt(&ok);
        if (!ok || dbcNouhin->text().isEmpty()) {
            m_state.prompter.notice(QStringLiteral("項目/分類名が選択されていません。"));
            return false;
        }
    }
    m_document = StocktakingSheet::load(db, date(), category);
    if (!m_document) {
        m_state.prompter.notice(QStringLiteral("データベースの接続に失敗しました。"
                                               "データベースが使用可能になってから再度実行してください。"));
        return false;
    }
    return true;
}

void DialogTanaMoto1::draw(PageSurface& surface)
{
    m_printed = StocktakingSheet::draw(surface, *m_document, layout(), m_state.PrinterFont, offsetX(), offsetY());
}

void DialogTanaMoto1::printed()
{
    if (!Option2->isChecked())
        return;
    const std::optional<double> stored = StocktakingSheet::storedTotal(m_state.DatabaseConnection, date());
    Text1->setText(stored ? SheetText::amount(*stored) : QString());
    if (!stored || StocktakingSheet::totalsAgree(*stored, m_printed.total))
        return;
    m_state.prompter.notice(
        QStringLiteral("出力した棚卸表に出力漏れがあります。棚卸表「項目ID」の修正を行ってください。"));
    m_correction = true;
    done(Rejected);
}

QString DialogTanaMoto1::documentTitle() const
{
    return QStringLiteral("棚卸表 ") + SheetText::dateText(date());
}

void DialogTanaMoto1::done(int result)
{
    m_state.settings.setValue(Setting::DialogOutCombo1, Combo1->currentText());
    PrintDialogFrame::done(result);
}
