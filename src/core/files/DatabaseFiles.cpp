// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/files/DatabaseFiles.h"

#include "core/app/AppState.h"
#include "core/app/Prompter.h"
#include "core/app/Settings.h"
#include "core/app/WaitCursor.h"
#include "core/files/BackupKeeper.h"
#include "core/files/FailureCause.h"
#include "core/store/DatabaseCopy.h"
#include "core/store/DatabaseName.h"
#include "core/store/FileOps.h"
#include "core/store/HistoryTrail.h"
#include "core/store/ServerLogin.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString InvalidName = QStringLiteral("ファイル名が不正です。");
const QString SaveFailed = QStringLiteral("データベースの保存に失敗しました。");
const QString InUse = QStringLiteral("データベースに接続してるユーザーがいます。");
const QString ReopenFailed
    = QStringLiteral("データベースの接続に失敗しました。データベースが使用可能になってから再度実行してください。");

QString sizeText(const char* prefix, qint64 bytes)
{
    return QString::fromLatin1(prefix) + QString::number(bytes) + QStringLiteral(" byte");
}

// What the long work of the repair and compaction says at each of its stages.
QString compactionStageText(FileOps::Stage stage)
{
    switch (stage) {
    case FileOps::Stage::Checking:
        return QStringLiteral("データベースファイルに破損がないか検査しています…");
    case FileOps::Stage::Copying:
        return QStringLiteral("データベースファイルを最適化しています…");
    case FileOps::Stage::CheckingCopy:
        return QStringLiteral("最適化したファイルを検査しています…");
    }
    return {};
}

bool sameFile(const QString& a, const QString& b)
{
    const QFileInfo x(a), y(b);
    if (x.absoluteFilePath() == y.absoluteFilePath())
        return true;
    return x.exists() && y.exists() && x.canonicalFilePath() == y.canonicalFilePath();
}

} // namespace

DatabaseFiles::DatabaseFiles(AppState& state, FileCommandsView& view)
    : m_state(state)
    , m_view(view)
{ }

bool DatabaseFiles::openConnection(const QString& name, QString* error)
{
    const bool server = ServerLogin::isServerName(name);
    // The template is only ever looked at: whatever is typed belongs in a file of the user's own.
    const bool isTemplate = !server && FileOps::samePathIgnoringCase(name, m_state.paths.templatePath());
    // A file the user may read but not write still shows its count; nothing can change it.
    const QString readOnly = isTemplate || server ? QString() : FailureCause::readOnlyReason(name);
    // The work shows itself once it has taken a moment; a file that needs no upgrade shows nothing.
    std::unique_ptr<LongWork> work;
    const ProgressStep upgradeProgress = [&](qint64 done, qint64 total) {
        if (!work)
            work = m_view.startWork(QStringLiteral("データベースファイルの更新"),
                                    QStringLiteral("データベースファイルを新しい形式に更新しています。\n"
                                                   "この更新は、このファイルを初めて開くときの一度だけです。"));
        return !work || work->step(done, total);
    };
    const bool ok = m_state.DatabaseConnection.open(
        name, error, isTemplate || !readOnly.isEmpty() ? Database::Access::ReadOnly : Database::Access::ReadWrite,
        upgradeProgress);
    const bool shown = work && work->wasShown();
    work.reset();
    m_state.ConnectionOpen = m_state.DatabaseConnection.isOpen();
    const QString later = QStringLiteral("ファイルは元のままです。\r品名の検索に時間がかかることがあります。"
                                         "次に開くときに、もう一度更新します。");
    switch (ok ? m_state.DatabaseConnection.upgrade() : Schema::Upgrade::NotNeeded) {
    case Schema::Upgrade::Done:
        if (shown)
            m_state.prompter.notice(
                QStringLiteral("データベースファイルを新しい形式に更新しました。次回からはすぐに開きます。"));
        break;
    case Schema::Upgrade::Cancelled:
        m_state.prompter.notice(QStringLiteral("データベースファイルの更新を中止しました。") + later);
        break;
    case Schema::Upgrade::Failed:
        if (shown)
            m_state.prompter.notice(QStringLiteral("データベースファイルを新しい形式に更新できませんでした。") + later,
                                    Prompter::Icon::Exclamation);
        break;
    case Schema::Upgrade::NotNeeded:
        break;
    }
    if (ok && !readOnly.isEmpty())
        m_state.prompter.notice(QStringLiteral("データベースファイルを読み取り専用で開きました。\r") + readOnly
                                + QStringLiteral("\r棚卸の表示はできますが、入力・インポート・最適化・データ削除などの"
                                                 "変更はできません。変更するには「名前を付けて保存」で書き込める場所"
                                                 "に保存してください。"));
    return ok;
}

bool DatabaseFiles::openAndRecord()
{
    const QString name = m_view.fileName();
    if (name.isEmpty()) {
        m_state.prompter.notice(QStringLiteral("データベースファイル名が入力されていません。"));
        return false;
    }
    QString why;
    if (!openConnection(name, &why)) {
        m_state.prompter.notice(ServerLogin::isServerName(name)
                                    ? ServerLogin::problem(why, name)
                                    : FailureCause::withCause(ReopenFailed, FailureCause::ofOpen(name)));
        // The file that was open stays open and is named again.
        if (m_state.ConnectionOpen)
            m_view.setFileName(m_state.DatabaseFileName);
        return false;
    }
    record(name);
    return true;
}

void DatabaseFiles::record(const QString& name)
{
    // A password typed into a server's name went to the connection; it is neither shown nor kept.
    const QString shown = ServerLogin::shown(name);
    m_state.DatabaseFileName = shown;
    m_backupTold = false;
    m_state.settings.setValue(Setting::MDBFileName, shown);
    m_state.settings.sync();
    m_view.setFileName(shown);
    m_view.showFileStatus(shown);
}

bool DatabaseFiles::openServer(const ServerLogin& login, bool savePassword)
{
    QString why;
    bool ok = false;
    {
        WaitCursor hourglass;
        ok = openConnection(login.name(true), &why);
    }
    if (!ok) {
        m_state.prompter.notice(ServerLogin::problem(why, login.name(true)), Prompter::Icon::Exclamation);
        return false;
    }
    record(login.name(false));
    if (savePassword && !login.password.isEmpty()) {
        if (QString failed; !PasswordFile::store(login, &failed))
            m_state.prompter.notice(
                QStringLiteral(
                    "接続しましたが、パスワードを保存できませんでした。次に開くときにもう一度入力してください。\r")
                    + PasswordFile::path() + QStringLiteral("\r") + failed,
                Prompter::Icon::Exclamation);
    }
    return true;
}

bool DatabaseFiles::onServer() const
{
    return m_state.ConnectionOpen && ServerLogin::isServerName(m_state.DatabaseFileName);
}

FileDialogRequest DatabaseFiles::databaseDialog(const QString& title, bool mustExist) const
{
    FileDialogRequest request;
    request.title = title;
    request.filter = QStringLiteral("すべてのファイル (*.*)|*.*|cdb ﾌｧｲﾙ (*.idb)|*.idb");
    request.filterIndex = 2;
    request.defaultSuffix = QStringLiteral("idb");
    request.mustExist = mustExist;
    // Beside the open database; the template's folder belongs to the program, not the user.
    const QString open = m_state.DatabaseFileName;
    request.directory = !open.isEmpty() && !FileOps::samePathIgnoringCase(open, m_state.paths.templatePath())
        ? QFileInfo(open).absolutePath()
        : QDir::homePath();
    return request;
}

QString DatabaseFiles::missingTemplate() const
{
    const QString templatePath = m_state.paths.templatePath();
    if (QFileInfo(templatePath).isFile())
        return {};
    return QStringLiteral("初期設定用のファイル（%1）が見つかりません。").arg(templatePath);
}

DatabaseFiles::Outcome DatabaseFiles::createFromTemplate(const QString& chosen, QString* error)
{
    if (!m_state.prompter.confirmOverwrite(chosen))
        return Outcome::Declined;
    const QString templatePath = m_state.paths.templatePath();
    {
        WaitCursor hourglass;
        if (const QString missing = missingTemplate(); !missing.isEmpty()) {
            if (error)
                *error = missing;
            return Outcome::Failed;
        }
        // The copy replaces an existing file only once it is complete. The open file, when it
        // is the one replaced, is let go first: a file open in a program is never replaced.
        const bool replacesOpen = m_state.ConnectionOpen && sameFile(chosen, m_state.DatabaseFileName);
        if (replacesOpen) {
            m_state.DatabaseConnection.close();
            m_state.ConnectionOpen = false;
        }
        QString why;
        if (!FileOps::copyFileAtomically(templatePath, chosen, &why)) {
            if (replacesOpen)
                openConnection(m_state.DatabaseFileName);
            if (error) {
                const QString cause = FailureCause::ofWrite(chosen, why);
                *error = FailureCause::withCause(QStringLiteral("データベースファイルを作成できませんでした。"),
                                                 cause.isEmpty() ? why : cause);
            }
            return Outcome::Failed;
        }
        m_view.setFileName(chosen);
        if (!openAndRecord()) {
            if (error)
                error->clear();
            return Outcome::Failed;
        }
    }
    m_view.setFileName(m_state.DatabaseFileName);
    return Outcome::Done;
}

void DatabaseFiles::newDatabase()
{
    const std::optional<QString> chosen
        = m_state.prompter.openFile(databaseDialog(QStringLiteral("新しいファイル名"), false));
    if (!chosen || chosen->isEmpty()) {
        restoreArrowCursor();
        return;
    }
    if (*chosen == m_state.paths.templatePath()) {
        m_state.prompter.notice(InvalidName);
        return;
    }
    QString error;
    switch (createFromTemplate(*chosen, &error)) {
    case Outcome::Done:
        m_state.prompter.notice(QStringLiteral("新規に棚卸表データファイルを作成しました。"));
        break;
    case Outcome::Failed:
        if (!error.isEmpty())
            m_state.prompter.notice(error, Prompter::Icon::Critical);
        break;
    case Outcome::Declined:
        break;
    }
}

void DatabaseFiles::open()
{
    const std::optional<QString> chosen
        = m_state.prompter.openFile(databaseDialog(QStringLiteral("データベースの変更"), true));
    if (chosen && !chosen->isEmpty())
        openNamed(*chosen);
    // Whatever happened, the box names the file that is open.
    m_view.setFileName(m_state.DatabaseFileName);
}

void DatabaseFiles::openNamed(const QString& name)
{
    m_view.setFileName(name);
    if (FileOps::samePathIgnoringCase(name, m_state.paths.templatePath())) {
        m_state.prompter.notice(
            QStringLiteral("現在、初期設定用のファイルが選択されていますので、新規にデータベースを作成します。"));
        newDatabase();
    } else {
        openAndRecord();
    }
    m_view.setFileName(m_state.DatabaseFileName);
}

bool DatabaseFiles::isOpenFile(const QString& name) const
{
    if (ServerLogin::isServerName(name) || ServerLogin::isServerName(m_state.DatabaseFileName))
        return m_state.ConnectionOpen && ServerLogin::sameDatabase(name, m_state.DatabaseFileName);
    return m_state.ConnectionOpen && sameFile(name, m_state.DatabaseFileName);
}

void DatabaseFiles::saveAs()
{
    if (!m_state.ConnectionOpen)
        return;
    const std::optional<QString> chosen
        = m_state.prompter.saveFile(databaseDialog(QStringLiteral("名前を付けて保存"), false));
    if (!chosen || chosen->isEmpty()) {
        m_state.prompter.notice(SaveFailed);
        return;
    }
    if (sameFile(*chosen, m_state.DatabaseFileName) || isTemplate(*chosen)) {
        m_state.prompter.notice(InvalidName);
        return;
    }
    if (!m_state.prompter.confirmOverwrite(*chosen))
        return;
    WaitCursor hourglass;
    if (m_state.DatabaseConnection.isServer()) {
        // A server's database becomes a file through the whole copy, made beside the chosen
        // name and put in its place only when complete.
        const QString part = *chosen + QStringLiteral(".part");
        QFile::remove(part);
        const DatabaseCopy::Result copied = DatabaseCopy::copy(m_state.DatabaseFileName, part);
        QString why = copied.message;
        if (!copied.copied() || !FileOps::replaceWith(part, *chosen, &why)) {
            QFile::remove(part);
            m_state.prompter.notice(FailureCause::withCause(SaveFailed, why));
            return;
        }
    } else if (QString why; !FileOps::copyDatabase(m_state.DatabaseConnection, *chosen, &why)) {
        m_state.prompter.notice(FailureCause::withCause(SaveFailed, FailureCause::ofWrite(*chosen, why)));
        return;
    }
    m_view.setFileName(*chosen);
    openAndRecord();
}

void DatabaseFiles::openBackup()
{
    const QString backup = m_state.paths.backupPath();
    if (!QFileInfo::exists(backup)) {
        m_state.prompter.notice(ReopenFailed);
        return;
    }
    m_view.setFileName(backup);
    openAndRecord();
}

void DatabaseFiles::repairAndCompact()
{
    const QString file = m_state.DatabaseFileName;
    if (isTemplate(file)) {
        m_state.prompter.notice(InvalidName);
        return;
    }
    // A server has no file to copy and rename: its database is checked where it is and
    // compacted by the server (VACUUM), while no other station works in it.
    if (m_state.DatabaseConnection.isServer()) {
        compactServer();
        return;
    }
    WaitCursor hourglass;
    m_state.DatabaseConnection.close();
    m_state.ConnectionOpen = false;
    m_view.showSizeBefore(sizeText("Old FileSize ", QFileInfo(file).size()));

    FileOps::CompactResult result;
    {
        std::unique_ptr<LongWork> work = m_view.startWork(QStringLiteral("データベースの修復/最適化"),
                                                          compactionStageText(FileOps::Stage::Checking));
        FileOps::Progress progress;
        if (work) {
            progress.step = [&work](qint64 done, qint64 total) { return work->step(done, total); };
            progress.stage = [&work](FileOps::Stage stage) { work->setText(compactionStageText(stage)); };
        }
        result = FileOps::compactDatabase(file, progress);
    }
    // The file is either the compacted copy or exactly what it was: work goes on with it.
    const bool reopened = openConnection(file);
    switch (result.status) {
    case FileOps::CompactResult::Status::Compacted:
        m_view.showSizeAfter(sizeText("New FileSize ", result.sizeAfter));
        m_state.prompter.notice(reopened ? QStringLiteral("データベースを最適化しました。") : ReopenFailed);
        break;
    case FileOps::CompactResult::Status::Damaged:
        restoreArrowCursor();
        reportDamage();
        break;
    case FileOps::CompactResult::Status::InUse:
        m_state.prompter.notice(InUse);
        break;
    case FileOps::CompactResult::Status::Cancelled:
        m_state.prompter.notice(QStringLiteral("データベースの最適化を中止しました。データベースは変更していません。"));
        break;
    case FileOps::CompactResult::Status::Failed:
        m_state.prompter.notice(FailureCause::withCause(InUse, FailureCause::ofWrite(file, result.detail)));
        break;
    }
}

void DatabaseFiles::compactServer()
{
    FileOps::CompactResult result;
    {
        WaitCursor hourglass;
        result = FileOps::compactServer(m_state.DatabaseConnection);
    }
    switch (result.status) {
    case FileOps::CompactResult::Status::Compacted:
        m_state.prompter.notice(QStringLiteral("データベースを最適化しました。"));
        break;
    case FileOps::CompactResult::Status::InUse:
        m_state.prompter.notice(result.detail, Prompter::Icon::Exclamation);
        break;
    case FileOps::CompactResult::Status::Damaged:
        m_state.prompter.notice(QStringLiteral("サーバーのデータベースの表が Kotrina の作ったものと違います。"
                                               "データベースは変更していません。\r")
                                    + result.detail,
                                Prompter::Icon::Critical);
        break;
    case FileOps::CompactResult::Status::Cancelled:
    case FileOps::CompactResult::Status::Failed:
        m_state.prompter.notice(QStringLiteral("データベースを最適化できませんでした。\r") + result.detail,
                                Prompter::Icon::Critical);
        break;
    }
}

void DatabaseFiles::deleteData(const QString& item)
{
    if (isTemplate(m_state.DatabaseFileName)) {
        m_state.prompter.notice(InvalidName);
        return;
    }
    // Nothing is asked while the work cannot be done.
    if (const QString refusal = FileOps::refusalWhileShared(m_state.DatabaseConnection); !refusal.isEmpty()) {
        m_state.prompter.notice(refusal, Prompter::Icon::Exclamation);
        return;
    }
    // The lines of a finalised date stay as they were filed: said before anything is asked.
    const std::optional<FileOps::DataItem> chosen = FileOps::dataItemFromText(item);
    QString locked;
    if ((chosen == FileOps::DataItem::All || chosen == FileOps::DataItem::Lines)
        && HistoryTrail::refuseAnyLocked(m_state.DatabaseConnection, &locked)) {
        m_state.prompter.notice(locked, Prompter::Icon::Exclamation);
        return;
    }
    if (!m_state.prompter.ask(QLatin1Char(' ') + item + QStringLiteral("を削除します。よろしいですか？")))
        return;
    if (m_view.fileName().isEmpty())
        return;
    const std::optional<FileOps::DataItem> which = FileOps::dataItemFromText(item);
    if (!which)
        return;
    bool ok = false;
    QString why;
    {
        WaitCursor hourglass;
        ok = FileOps::deleteData(m_state.DatabaseConnection, *which, &why);
    }
    if (!ok) {
        m_state.prompter.notice(
            FailureCause::withCause(QStringLiteral("データを削除できませんでした。データベースは変更していません。"),
                                    FailureCause::ofWrite(m_state.DatabaseFileName, why)),
            Prompter::Icon::Critical);
        return;
    }
    m_state.prompter.notice(*which == FileOps::DataItem::Lines ? QStringLiteral("棚卸マスターを削除しました。")
                                                               : item + QStringLiteral("を削除しました。"));
}

bool DatabaseFiles::backupUntold() const
{
    return !m_backupTold && m_state.ConnectionOpen && !m_state.DatabaseConnection.isReadOnly()
        && BackupKeeper(m_state.paths, m_state.settings).isBackup(m_state.DatabaseFileName);
}

void DatabaseFiles::offerSaveAsForBackup()
{
    if (!backupUntold())
        return;
    m_backupTold = true;
    if (m_state.prompter.ask(QStringLiteral("開いているのはバックアップファイル（%1）です。\r"
                                            "ほかのファイルを開いて終了すると、新しいバックアップに置き換わります"
                                            "（ここで変更した内容は、日付を付けた名前で残ります）。\r"
                                            "名前を付けて保存して、保存したファイルに入力しますか？")
                                 .arg(QDir::toNativeSeparators(m_state.DatabaseFileName))))
        saveAs();
}

QString DatabaseFiles::damageMessage()
{
    return QStringLiteral("データベースファイルに破損が見つかりました。ファイルは変更していません。");
}

void DatabaseFiles::reportDamage()
{
    if (m_state.prompter.ask(damageMessage()
                             + QStringLiteral("\r読み取れるデータを新しいファイルに救出しますか？"
                                              "（破損したファイルはそのまま残ります）")))
        salvage();
}

void DatabaseFiles::salvage()
{
    const QString source = m_state.DatabaseFileName;
    if (m_state.DatabaseConnection.isServer()) {
        m_state.prompter.notice(FileOps::salvageOnServerMessage());
        return;
    }
    if (source.isEmpty() || isTemplate(source) || !QFileInfo(source).isFile()) {
        m_state.prompter.notice(QStringLiteral("救出するデータベースファイルが開かれていません。"));
        return;
    }
    const std::optional<QString> chosen
        = m_state.prompter.saveFile(databaseDialog(QStringLiteral("データの救出先"), false));
    if (!chosen || chosen->isEmpty())
        return;
    if (sameFile(*chosen, source) || isTemplate(*chosen)) {
        m_state.prompter.notice(InvalidName);
        return;
    }
    if (!m_state.prompter.confirmOverwrite(*chosen))
        return;
    FileOps::SalvageResult result;
    {
        WaitCursor hourglass;
        result = FileOps::salvageDatabase(source, m_state.paths.templatePath(), *chosen);
    }
    if (!result.ok) {
        m_state.prompter.notice(QStringLiteral("データを救出できませんでした。破損したファイルは変更していません。\r")
                                    + result.detail,
                                Prompter::Icon::Critical);
        return;
    }
    QString report
        = QStringLiteral("読み取れるデータを次のファイルに救出しました。\r") + *chosen + QStringLiteral("\r");
    for (const FileOps::SalvagedTable& t : result.tables) {
        report += QStringLiteral("\r%1：救出 %2 件、読めなかった行 %3")
                      .arg(t.table)
                      .arg(t.saved)
                      .arg(t.lost < 0 ? QStringLiteral("件数不明") : QString::number(t.lost) + QStringLiteral(" 件"));
    }
    report += QStringLiteral("\r\r救出したファイルを開きますか？");
    if (!m_state.prompter.ask(report))
        return;
    m_view.setFileName(*chosen);
    if (!openAndRecord())
        m_view.setFileName(m_state.DatabaseFileName);
}

void DatabaseFiles::removeLeftovers() const
{
    const Paths& paths = m_state.paths;
    FileOps::keepTemporaryRecords(paths.dataDir());
    FileOps::removeLeftovers(paths.dataDir(), QFileInfo(paths.backupPath()).fileName());
    if (!m_state.DatabaseFileName.isEmpty() && !DatabaseName::isServer(m_state.DatabaseFileName))
        FileOps::removeLeftovers(QFileInfo(m_state.DatabaseFileName).absolutePath());
}

bool DatabaseFiles::isTemplate(const QString& name) const
{
    const QString templatePath = m_state.paths.templatePath();
    return FileOps::samePathIgnoringCase(name, templatePath) || sameFile(name, templatePath);
}
