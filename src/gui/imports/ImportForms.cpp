// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/imports/ImportForms.h"

#include "core/app/Paths.h"
#include "core/imports/Importer.h"

namespace {

QStringList columnsHelp(const QString& fourth, const QStringList& more = {})
{
    return QStringList {
        QStringLiteral("インポートの設定について"), QString(),
        QStringLiteral("インポートするファイルを選択すると「項目（F)」にファイルの項目が表示されます。"), fourth
    }
    + more + QStringList { QString() };
}

} // namespace

const ImportForm& importForm(ImportKind kind)
{
    static const ImportForm lines {
        ImportKind::Lines,
        "DialogExcelA",
        "DialogTabA",
        QStringLiteral("棚卸のインポート"),
        QStringLiteral("棚　卸　ｲﾝﾎﾟｰﾄの設定"),
        QStringLiteral("棚卸マスターフィールド"),
        columnsHelp(QStringLiteral("棚卸表フィールドにインポートするファイルの項目を関連付けします。")),
        importFailedMessage(ImportKind::Lines),
        QStringLiteral("棚卸のインポートは正常に完了しました。"),
        true,
        false,
    };
    static const ImportForm products {
        ImportKind::Products,
        "DialogExcelB",
        "DialogTabB",
        QStringLiteral("品名情報のインポート"),
        QStringLiteral("品名情報　ｲﾝﾎﾟｰﾄの設定"),
        QStringLiteral("品名フィールド"),
        columnsHelp(QStringLiteral("品名フィールドにインポートするファイルの項目を関連付けします。"),
                    { QStringLiteral("JANコードの列には、一つの品名のコードを「,」か「;」で区切って"
                                     "いくつでも書けます（13桁・8桁のJANコード、12桁のUPC）。") }),
        importFailedMessage(ImportKind::Products),
        QStringLiteral("棚卸表のインポートは正常に完了しました。"),
        false,
        true,
    };
    return kind == ImportKind::Lines ? lines : products;
}

FileDialogRequest importFileRequest()
{
    FileDialogRequest request;
    request.title = QStringLiteral("開く");
    request.filter = QStringLiteral("DAT形式のファイル (*.dat)|*.dat|タブ区切りのテキストファイル (*.txt)|*.txt");
    request.filterIndex = 2;
    return request;
}

FileFolder importFolder(ImportKind kind)
{
    return kind == ImportKind::Lines ? FileFolder::ImportLines : FileFolder::ImportProducts;
}

QStringList importRunHelp()
{
    return {
        QStringLiteral("インポートについて"),
        QStringLiteral("インポートできるファイル形式は、タブ区切り(TXT)、(DAT)のテキストファイルです。"), QString(),
        QStringLiteral("Ｅｘｃｅｌなどでタブ区切り(TXT)のテキスト形式で保存してください。インポート処理は一行目("
                       "見出し行）は読み込みません。見出し行がないデータの場合は、１行目に「見出し」を挿入してくださ"
                       "い。"),
        QString()
    };
}

QString mappingPath(const Paths& paths, ImportKind kind)
{
    return paths.inDataDir(ImportMapping::fileName(kind));
}
