#include "store/FileOps.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace FileOps {

bool copyFileAtomically(const QString& source, const QString& target, QString* error)
{
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("%1: %2").arg(source, in.errorString()));
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("%1: %2").arg(target, out.errorString()));
    constexpr qint64 ChunkSize = 1 << 20;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(ChunkSize);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError) {
            out.cancelWriting();
            return fail(QStringLiteral("%1: %2").arg(source, in.errorString()));
        }
        if (out.write(chunk) != chunk.size()) {
            const QString why = out.errorString();
            out.cancelWriting();
            return fail(QStringLiteral("%1: %2").arg(target, why));
        }
    }
    if (!out.commit())
        return fail(QStringLiteral("%1: %2").arg(target, out.errorString()));
    return true;
}

bool samePathIgnoringCase(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

} // namespace FileOps
