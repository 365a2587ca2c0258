// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/imports/TabFile.h"

#include "core/files/FailureCause.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <mutex>
#include <optional>
#include <vector>

namespace {

// Bytes read from the file at a time; the decoded text of one block is all the reader holds.
constexpr qsizetype BlockSize = 256 * 1024;
// Bounds of one record, far beyond what a spreadsheet writes (16384 columns, 32767
// characters a cell): a file past them is no table, and its text is not kept in memory.
constexpr qsizetype MaxFields = 16384;
constexpr qsizetype MaxRecordChars = 1 << 20;
constexpr size_t MaxBlankRuns = 4096;
// The look at a file without a byte-order mark stops after this many byte sequences that
// are not UTF-8: by then the file has shown what it is.
constexpr int EnoughInvalidSequences = 64;

// Length of the UTF-8 sequence at p (n bytes available): 1 to 4 for a well-formed one,
// 0 when the bytes are no UTF-8 (overlong forms and surrogates included), -1 when the
// sequence is cut off by the end of the bytes.
int utf8Length(const uchar* p, qsizetype n)
{
    const uchar b = p[0];
    if (b < 0x80)
        return 1;
    int length = 0;
    uchar low = 0x80;
    uchar high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        if (b == 0xE0)
            low = 0xA0;
        else if (b == 0xED)
            high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        if (b == 0xF0)
            low = 0x90;
        else if (b == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    for (int i = 1; i < length; ++i) {
        if (i >= n)
            return -1;
        const uchar c = p[i];
        if (c < low || c > high)
            return 0;
        low = 0x80;
        high = 0xBF;
    }
    return length;
}

bool eightAscii(const uchar* p)
{
    quint64 word;
    std::memcpy(&word, p, sizeof word);
    return (word & 0x8080808080808080ULL) == 0;
}

bool eightAsciiWithoutNul(const uchar* p)
{
    quint64 word;
    std::memcpy(&word, p, sizeof word);
    // A byte of zero turns its high bit on in word - 0x01…01 while it is off in word.
    return ((word | ((word - 0x0101010101010101ULL) & ~word)) & 0x8080808080808080ULL) == 0;
}

// The bytes of p up to a UTF-8 sequence cut off by the end (all n when none is).
qsizetype withoutCutSequence(const uchar* p, qsizetype n)
{
    qsizetype start = n;
    while (start > 0 && n - start < 4 && (p[start - 1] & 0xC0) == 0x80)
        --start;
    if (start == 0)
        return n;
    const uchar lead = p[start - 1];
    const qsizetype length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return start - 1 + length > n ? start - 1 : n;
}

// Well-formed UTF-8 without a NUL, the common case, checked at Qt's speed; the multi-byte
// sequences in it are the bytes that lead one.
bool plainUtf8(const uchar* p, qsizetype n, qint64* sequences)
{
    if (std::memchr(p, 0, static_cast<size_t>(n)) || !QByteArrayView(p, n).isValidUtf8())
        return false;
    if (sequences) {
        qint64 leads = 0;
        for (qsizetype i = 0; i < n; ++i)
            leads += p[i] >= 0xC0;
        *sequences += leads;
    }
    return true;
}

// Where the run of field text from from ends: at a line break, at stop (the tab after an
// unquoted field, the quote in a quoted one) or at to.
qsizetype runEnd(const char16_t* text, qsizetype from, qsizetype to, char16_t stop)
{
    const char16_t highest = std::max(stop, u'\r');
    for (; from < to; ++from) {
        const char16_t c = text[from];
        if (c <= highest && (c == stop || c == u'\n' || c == u'\r'))
            break;
    }
    return from;
}

// Code page 932 as glibc's converter reads it, laid out as tables for speed: each single
// byte's character, which bytes lead a two-byte character, and each pair's character.
// A zero entry is a byte or pair the code page does not hold (U+0000 is refused anyway).
struct Cp932Table
{
    bool valid = false;
    std::array<char16_t, 256> single {};
    std::array<bool, 256> lead {};
    std::vector<char16_t> pairs = std::vector<char16_t>(256 * 256, 0);
};

const Cp932Table& cp932Table()
{
    static Cp932Table table;
    static std::once_flag built;
    std::call_once(built, [] {
        iconv_t converter = iconv_open("UTF-16LE", "CP932");
        if (converter == reinterpret_cast<iconv_t>(-1))
            converter = iconv_open("UTF-16LE", "WINDOWS-31J");
        if (converter == reinterpret_cast<iconv_t>(-1))
            return;
        // 1: one character out; 0: incomplete (a lead byte); -1: not in the code page.
        const auto convert = [converter](const uchar* in, size_t length, char16_t& out) {
            char input[2];
            std::memcpy(input, in, length);
            char output[8];
            char* inPtr = input;
            char* outPtr = output;
            size_t inLeft = length;
            size_t outLeft = sizeof output;
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
            const size_t result = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
            if (result == static_cast<size_t>(-1))
                return errno == EINVAL ? 0 : -1;
            if (sizeof output - outLeft != 2)
                return -1;
            out = static_cast<char16_t>(static_cast<uchar>(output[0]) | (static_cast<uchar>(output[1]) << 8));
            return 1;
        };
        for (int b = 1; b < 256; ++b) {
            const uchar byte = static_cast<uchar>(b);
            char16_t c = 0;
            const int kind = convert(&byte, 1, c);
            if (kind == 1)
                table.single[b] = c;
            else if (kind == 0)
                table.lead[b] = true;
        }
        for (int b = 0; b < 256; ++b) {
            if (!table.lead[b])
                continue;
            for (int t = 1; t < 256; ++t) {
                const uchar pair[2] = { static_cast<uchar>(b), static_cast<uchar>(t) };
                char16_t c = 0;
                if (convert(pair, 2, c) == 1 && c != 0)
                    table.pairs[b * 256 + t] = c;
            }
        }
        iconv_close(converter);
        table.valid = true;
    });
    return table;
}

// How decoding a block ended.
enum class Decoded
{
    Done, // every byte decoded, or all but an incomplete sequence at the end
    Invalid, // bytes the encoding does not hold at the stop
    Nul // a NUL character at the stop
};

struct DecodeResult
{
    Decoded status = Decoded::Done;
    qsizetype consumed = 0;
    qsizetype produced = 0;
};

// The decoders write at most one UTF-16 unit per input byte.
DecodeResult decodeUtf8(const uchar* p, qsizetype n, char16_t* out)
{
    DecodeResult r;
    qsizetype i = 0;
    qsizetype o = 0;
    while (i < n) {
        if (i + 8 <= n && eightAsciiWithoutNul(p + i)) {
            for (int k = 0; k < 8; ++k)
                out[o + k] = p[i + k];
            i += 8;
            o += 8;
            continue;
        }
        const int length = utf8Length(p + i, n - i);
        if (length < 0)
            break;
        if (length == 0) {
            r.status = Decoded::Invalid;
            break;
        }
        const uchar b = p[i];
        if (length == 1) {
            if (b == 0) {
                r.status = Decoded::Nul;
                break;
            }
            out[o++] = b;
        } else if (length == 2) {
            out[o++] = static_cast<char16_t>(((b & 0x1F) << 6) | (p[i + 1] & 0x3F));
        } else if (length == 3) {
            out[o++] = static_cast<char16_t>(((b & 0x0F) << 12) | ((p[i + 1] & 0x3F) << 6) | (p[i + 2] & 0x3F));
        } else {
            const char32_t c
                = ((b & 0x07) << 18) | ((p[i + 1] & 0x3F) << 12) | ((p[i + 2] & 0x3F) << 6) | (p[i + 3] & 0x3F);
            out[o++] = QChar::highSurrogate(c);
            out[o++] = QChar::lowSurrogate(c);
        }
        i += length;
    }
    r.consumed = i;
    r.produced = o;
    return r;
}

DecodeResult decodeUtf16(const uchar* p, qsizetype n, char16_t* out, bool bigEndian)
{
    DecodeResult r;
    qsizetype i = 0;
    qsizetype o = 0;
    const auto unitAt = [p, bigEndian](qsizetype at) {
        return bigEndian ? static_cast<char16_t>((p[at] << 8) | p[at + 1])
                         : static_cast<char16_t>(p[at] | (p[at + 1] << 8));
    };
    while (i + 1 < n) {
        const char16_t u = unitAt(i);
        if (u == 0) {
            r.status = Decoded::Nul;
            break;
        }
        if (QChar::isLowSurrogate(u)) {
            r.status = Decoded::Invalid;
            break;
        }
        if (QChar::isHighSurrogate(u)) {
            if (i + 3 >= n)
                break;
            const char16_t low = unitAt(i + 2);
            if (!QChar::isLowSurrogate(low)) {
                r.status = Decoded::Invalid;
                break;
            }
            out[o++] = u;
            out[o++] = low;
            i += 4;
            continue;
        }
        out[o++] = u;
        i += 2;
    }
    r.consumed = i;
    r.produced = o;
    return r;
}

DecodeResult decodeCp932(const uchar* p, qsizetype n, char16_t* out)
{
    const Cp932Table& table = cp932Table();
    DecodeResult r;
    qsizetype i = 0;
    qsizetype o = 0;
    while (i < n) {
        const uchar b = p[i];
        if (b < 0x80) {
            if (b == 0) {
                r.status = Decoded::Nul;
                break;
            }
            out[o++] = b;
            ++i;
            continue;
        }
        if (const char16_t c = table.single[b]) {
            out[o++] = c;
            ++i;
            continue;
        }
        if (!table.lead[b]) {
            r.status = Decoded::Invalid;
            break;
        }
        if (i + 1 >= n)
            break;
        const char16_t c = table.pairs[b * 256 + p[i + 1]];
        if (c == 0) {
            r.status = Decoded::Invalid;
            break;
        }
        out[o++] = c;
        i += 2;
    }
    r.consumed = i;
    r.produced = o;
    return r;
}

QString encodingName(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return QStringLiteral("UTF-8");
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE:
        return QStringLiteral("UTF-16");
    case TextEncoding::Cp932:
        break;
    }
    return QStringLiteral("シフトJIS（コードページ932）");
}

} // namespace

struct TabFileReader::State
{
    // Where the bytes come from: the file, or data given whole.
    QFile file;
    QByteArray data;
    bool fromData = false;
    qint64 dataOffset = 0;
    qint64 totalSize = 0;
    qint64 bytesRead = 0;

    TextEncoding encoding = TextEncoding::Cp932;
    bool opened = false;

    // Blocks are as long as the file when it is shorter than the longest block.
    qsizetype longestBlock = BlockSize;
    qsizetype blockSize = BlockSize;
    // Undecoded bytes: the block read and what was left of the previous one (a sequence
    // cut by the block's end). Left uninitialised: only what is read is ever used.
    std::unique_ptr<uchar[]> raw;
    qsizetype rawLength = 0;
    bool atEnd = false;
    Decoded stop = Decoded::Done; // why decoding stopped for good

    // The decoded text of the current block and how far the records have used it.
    std::unique_ptr<char16_t[]> text;
    qsizetype textLength = 0;
    qsizetype textPos = 0;

    // Parsing: the line of the next character, and a CR just seen whose LF belongs to it.
    enum class Where
    {
        RecordStart,
        FieldStart,
        Unquoted,
        Quoted,
        QuoteInQuoted
    };
    Where where = Where::RecordStart;
    qint64 line = 1;
    bool skipLineFeed = false;
    TabRecord current;
    qsizetype fieldCount = 0;
    bool fieldReused = false;
    qsizetype recordChars = 0;
    bool recordTooLarge = false;
    qint64 quoteLine = 0;

    // Records whose fields are all empty are held back until a record with text follows:
    // at the end of the file they are no records. Such a record always fills one line, so
    // the first one's line and the field counts say everything; they are kept as runs of
    // equal counts. Past MaxBlankRuns runs they are given out as records (so much
    // variety is no end of a file), keeping the memory bounded.
    struct BlankRun
    {
        qsizetype fields = 0;
        qint64 count = 0;
    };
    qint64 blankFirstLine = 0;
    std::vector<BlankRun> blankRuns;
    qsizetype blankRunDelivered = 0;
    qint64 blankDeliveredInRun = 0;
    bool givingOutBlanks = false;
    bool holdingCurrent = false;

    bool failed = false;
    bool finished = false;
    QString errorText;
    qint64 errorLine = 0;

    void fail(const QString& reason, qint64 atLine)
    {
        failed = true;
        errorText = reason;
        errorLine = atLine;
    }

    qint64 readBytes(char* into, qint64 max)
    {
        if (!fromData)
            return file.read(into, max);
        const qint64 n = std::min(max, data.size() - dataOffset);
        std::memcpy(into, data.constData() + dataOffset, static_cast<size_t>(n));
        dataOffset += n;
        return n;
    }

    bool rewindTo(qint64 offset)
    {
        if (fromData) {
            dataOffset = offset;
            return true;
        }
        return file.seek(offset);
    }

    bool start();
    std::optional<TextEncoding> utf16WithoutMark();
    void detectWithoutMark(qint64 from);
    bool fill();
    bool parseRecord();
    void startField();
    void append(const char16_t* from, qsizetype length);
    void endField();
    bool recordIsBlank() const;
};

bool TabFileReader::State::start()
{
    totalSize = fromData ? data.size() : file.size();
    blockSize = static_cast<qsizetype>(std::min<qint64>(std::max<qint64>(totalSize, 16), longestBlock));
    uchar head[3] = { 0, 0, 0 };
    const qint64 got = readBytes(reinterpret_cast<char*>(head), 3);
    if (got < 0) {
        fail(QStringLiteral("ファイルを読めません。"), 0);
        return false;
    }
    qint64 mark = 0;
    if (got >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
        encoding = TextEncoding::Utf8;
        mark = 3;
    } else if (got >= 2 && head[0] == 0xFF && head[1] == 0xFE) {
        encoding = TextEncoding::Utf16LE;
        mark = 2;
    } else if (got >= 2 && head[0] == 0xFE && head[1] == 0xFF) {
        encoding = TextEncoding::Utf16BE;
        mark = 2;
    } else if (const std::optional<TextEncoding> wide = utf16WithoutMark(); failed) {
        return false;
    } else if (wide) {
        encoding = *wide;
    } else {
        detectWithoutMark(0);
        if (failed)
            return false;
    }
    if (!rewindTo(mark)) {
        fail(QStringLiteral("ファイルを読めません。"), 0);
        return false;
    }
    bytesRead = mark;
    raw.reset(new uchar[static_cast<size_t>(blockSize) + 8]);
    text.reset(new char16_t[static_cast<size_t>(blockSize) + 8]);
    if (encoding == TextEncoding::Cp932 && !cp932Table().valid) {
        fail(QStringLiteral("この環境にはシフトJIS（コードページ932）の変換表がありません。"), 0);
        return false;
    }
    opened = true;
    return true;
}

// UTF-16 written without its byte-order mark: no text in the other encodings holds a NUL
// byte, while in UTF-16 every tab, line end, digit and Latin letter has one, in its high
// byte: in the odd bytes of little-endian text, in the even bytes of big-endian text. The
// start of the file decides; a few NUL bytes, or NULs on both sides alike, are no UTF-16
// (and stop the reading as a file that is no text).
std::optional<TextEncoding> TabFileReader::State::utf16WithoutMark()
{
    constexpr qint64 Looked = 64 * 1024;
    std::unique_ptr<char[]> head(new char[Looked]);
    if (!rewindTo(0)) {
        fail(QStringLiteral("ファイルを読めません。"), 0);
        return std::nullopt;
    }
    const qint64 got = readBytes(head.get(), Looked);
    if (got < 0) {
        fail(QStringLiteral("ファイルを読めません。"), 0);
        return std::nullopt;
    }
    qint64 nul[2] = { 0, 0 };
    for (qint64 i = 0; i < got; ++i) {
        if (head[i] == 0)
            ++nul[i % 2];
    }
    // At least one character in eight with a NUL high byte (a tab between every column
    // makes many more), and few on the other side: a stray NUL in other text is no UTF-16.
    const auto wide
        = [&](int high) { return nul[high] >= 2 && nul[high] * 16 >= got && nul[1 - high] * 4 <= nul[high]; };
    if (wide(1))
        return TextEncoding::Utf16LE;
    if (wide(0))
        return TextEncoding::Utf16BE;
    return std::nullopt;
}

// Valid UTF-8 is read as UTF-8. A file that is not, but whose well-formed UTF-8 sequences
// far outnumber the broken ones, is UTF-8 with a fault (reading it stops there with the
// fault's line); anything else is code page 932, whose double-byte characters are mostly
// no UTF-8 at all.
void TabFileReader::State::detectWithoutMark(qint64 from)
{
    if (!rewindTo(from)) {
        fail(QStringLiteral("ファイルを読めません。"), 0);
        return;
    }
    std::unique_ptr<uchar[]> block(new uchar[static_cast<size_t>(blockSize) + 4]);
    qsizetype carried = 0;
    qint64 wellFormed = 0;
    qint64 broken = 0;
    for (;;) {
        const qint64 got = readBytes(reinterpret_cast<char*>(block.get()) + carried, blockSize);
        if (got < 0) {
            fail(QStringLiteral("ファイルを読めません。"), 0);
            return;
        }
        const qsizetype n = carried + got;
        const bool last = got == 0;
        qsizetype i = 0;
        if (const qsizetype whole = withoutCutSequence(block.get(), n);
            !last && plainUtf8(block.get(), whole, &wellFormed))
            i = whole;
        while (i < n) {
            if (i + 8 <= n && eightAscii(block.get() + i)) {
                i += 8;
                continue;
            }
            const int length = utf8Length(block.get() + i, n - i);
            if (length < 0 && !last)
                break;
            if (length <= 0) {
                ++i;
                // Counting stops at this very sequence, not at the end of the block: the
                // verdict must not depend on how the file is cut into blocks.
                if (++broken >= EnoughInvalidSequences)
                    break;
                continue;
            }
            if (length > 1)
                ++wellFormed;
            i += length;
        }
        carried = n - i;
        std::memmove(block.get(), block.get() + i, static_cast<size_t>(carried));
        if (last || broken >= EnoughInvalidSequences)
            break;
    }
    encoding = broken == 0 || wellFormed >= 4 * broken ? TextEncoding::Utf8 : TextEncoding::Cp932;
}

// Decodes the next block into text. False when no more text comes: at the end of the
// file, or where decoding stopped (stop says why).
bool TabFileReader::State::fill()
{
    textLength = 0;
    textPos = 0;
    if (stop != Decoded::Done)
        return false;
    while (textLength == 0) {
        if (atEnd) {
            if (rawLength > 0) {
                stop = Decoded::Invalid; // a sequence cut off by the end of the file
                rawLength = 0;
            }
            return false;
        }
        const qint64 got = readBytes(reinterpret_cast<char*>(raw.get()) + rawLength, blockSize);
        if (got < 0) {
            fail(QStringLiteral("ファイルを読めません。"), line);
            return false;
        }
        bytesRead += got;
        if (got == 0)
            atEnd = true;
        const qsizetype n = rawLength + got;
        DecodeResult r;
        switch (encoding) {
        case TextEncoding::Utf8:
            r = decodeUtf8(raw.get(), n, text.get());
            break;
        case TextEncoding::Utf16LE:
            r = decodeUtf16(raw.get(), n, text.get(), false);
            break;
        case TextEncoding::Utf16BE:
            r = decodeUtf16(raw.get(), n, text.get(), true);
            break;
        case TextEncoding::Cp932:
            r = decodeCp932(raw.get(), n, text.get());
            break;
        }
        textLength = r.produced;
        rawLength = n - r.consumed;
        std::memmove(raw.get(), raw.get() + r.consumed, static_cast<size_t>(rawLength));
        if (r.status != Decoded::Done) {
            stop = r.status;
            return textLength > 0;
        }
    }
    return true;
}

void TabFileReader::State::startField()
{
    if (fieldCount >= MaxFields)
        recordTooLarge = true;
    if (recordTooLarge)
        return;
    // A field string of an earlier record is written over by the first text, keeping its
    // memory: reading allocates nothing once the strings are long enough.
    QStringList& fields = current.fields;
    fieldReused = fieldCount < fields.size();
    if (!fieldReused)
        fields.append(QString());
}

void TabFileReader::State::append(const char16_t* from, qsizetype length)
{
    if (recordTooLarge || length == 0)
        return;
    recordChars += length;
    if (recordChars > MaxRecordChars) {
        recordTooLarge = true;
        return;
    }
    QString& field = current.fields[fieldCount];
    if (fieldReused) {
        fieldReused = false;
        field.resize(length);
        std::memcpy(static_cast<void*>(field.data()), from, static_cast<size_t>(length) * sizeof(char16_t));
    } else {
        field.append(reinterpret_cast<const QChar*>(from), length);
    }
}

void TabFileReader::State::endField()
{
    if (fieldReused && !recordTooLarge)
        current.fields[fieldCount].truncate(0);
    fieldReused = false;
    ++fieldCount;
}

bool TabFileReader::State::recordIsBlank() const
{
    for (const QString& field : current.fields) {
        if (!field.isEmpty())
            return false;
    }
    return true;
}

// Reads up to the end of the next record into current. False at the end of the file or
// on an error.
bool TabFileReader::State::parseRecord()
{
    for (;;) {
        if (textPos == textLength && !fill()) {
            if (failed)
                return false;
            if (stop == Decoded::Invalid) {
                fail(encodingName(encoding) + QStringLiteral("として読めない文字があります。"), line);
                return false;
            }
            if (stop == Decoded::Nul) {
                fail(QStringLiteral("NUL 文字があります（テキストファイルでないか、文字コードが違います）。"), line);
                return false;
            }
            switch (where) {
            case Where::RecordStart:
                return false;
            case Where::Quoted:
                fail(QStringLiteral("引用符（\"）で始まる項目が閉じていません。"), quoteLine);
                return false;
            case Where::FieldStart:
                startField();
                break;
            case Where::Unquoted:
            case Where::QuoteInQuoted:
                break;
            }
            endField();
            where = Where::RecordStart;
            break;
        }
        const char16_t* const text0 = text.get();
        if (skipLineFeed) {
            skipLineFeed = false;
            if (text0[textPos] == u'\n') {
                ++textPos;
                continue;
            }
        }
        bool recordEnded = false;
        switch (where) {
        case Where::RecordStart:
            current.line = line;
            fieldCount = 0;
            recordChars = 0;
            recordTooLarge = false;
            where = Where::FieldStart;
            [[fallthrough]];
        case Where::FieldStart:
            startField();
            if (text0[textPos] == u'"') {
                quoteLine = line;
                ++textPos;
                where = Where::Quoted;
            } else {
                where = Where::Unquoted;
            }
            break;
        case Where::Unquoted: {
            const qsizetype end = runEnd(text0, textPos, textLength, u'\t');
            append(text0 + textPos, end - textPos);
            textPos = end;
            if (end == textLength)
                break;
            const char16_t c = text0[textPos++];
            endField();
            if (c == u'\t') {
                where = Where::FieldStart;
                break;
            }
            ++line;
            skipLineFeed = c == u'\r';
            where = Where::RecordStart;
            recordEnded = true;
            break;
        }
        case Where::Quoted: {
            const qsizetype end = runEnd(text0, textPos, textLength, u'"');
            append(text0 + textPos, end - textPos);
            textPos = end;
            if (end == textLength)
                break;
            const char16_t c = text0[textPos++];
            if (c == u'"') {
                where = Where::QuoteInQuoted;
                break;
            }
            // A line break inside the field is kept as one LF, whatever form it had.
            const char16_t lineFeed = u'\n';
            append(&lineFeed, 1);
            ++line;
            skipLineFeed = c == u'\r';
            break;
        }
        case Where::QuoteInQuoted:
            if (text0[textPos] == u'"') {
                append(text0 + textPos, 1);
                ++textPos;
                where = Where::Quoted;
            } else {
                // The closing quote: what follows it up to the tab or line end is kept as
                // it stands, as spreadsheet programs do.
                where = Where::Unquoted;
            }
            break;
        }
        if (recordEnded)
            break;
    }
    if (recordTooLarge) {
        fail(QStringLiteral("1 件の項目数か文字数が多すぎます（%1 項目、%2 文字まで）。")
                 .arg(MaxFields)
                 .arg(MaxRecordChars),
             current.line);
        return false;
    }
    current.fields.resize(fieldCount);
    return true;
}

TabFileReader::TabFileReader()
    : m_state(std::make_unique<State>())
{ }

TabFileReader::~TabFileReader() = default;

void TabFileReader::setBlockSize(qsizetype bytes)
{
    m_state->longestBlock = std::max<qsizetype>(bytes, 4);
}

bool TabFileReader::open(const QString& path)
{
    const qsizetype longestBlock = m_state->longestBlock;
    m_state = std::make_unique<State>();
    m_state->longestBlock = longestBlock;
    State& s = *m_state;
    if (QFileInfo(path).isDir()) {
        s.fail(QStringLiteral("ファイルではなくフォルダです。"), 0);
        return false;
    }
    s.file.setFileName(path);
    if (!s.file.open(QIODevice::ReadOnly)) {
        s.fail(FailureCause::withCause(QStringLiteral("ファイルを開けません。"), FailureCause::ofOpen(path)), 0);
        return false;
    }
    return s.start();
}

bool TabFileReader::openData(const QByteArray& data)
{
    const qsizetype longestBlock = m_state->longestBlock;
    m_state = std::make_unique<State>();
    m_state->longestBlock = longestBlock;
    m_state->fromData = true;
    m_state->data = data;
    return m_state->start();
}

TextEncoding TabFileReader::encoding() const
{
    return m_state->encoding;
}

bool TabFileReader::next(TabRecord& record)
{
    State& s = *m_state;
    if (!s.opened || s.failed || s.finished)
        return false;
    for (;;) {
        if (s.givingOutBlanks) {
            if (s.blankRunDelivered < static_cast<qsizetype>(s.blankRuns.size())) {
                const State::BlankRun& run = s.blankRuns[s.blankRunDelivered];
                record.line = s.blankFirstLine++;
                record.fields.clear();
                for (qsizetype i = 0; i < run.fields; ++i)
                    record.fields.append(QString());
                if (++s.blankDeliveredInRun == run.count) {
                    ++s.blankRunDelivered;
                    s.blankDeliveredInRun = 0;
                }
                return true;
            }
            s.blankRuns.clear();
            s.blankRunDelivered = 0;
            s.givingOutBlanks = false;
            if (s.holdingCurrent) {
                s.holdingCurrent = false;
                std::swap(record, s.current);
                return true;
            }
        }
        if (!s.parseRecord()) {
            if (!s.failed)
                s.finished = true;
            return false;
        }
        if (!s.recordIsBlank()) {
            if (s.blankRuns.empty()) {
                std::swap(record, s.current);
                return true;
            }
            s.holdingCurrent = true;
            s.givingOutBlanks = true;
            continue;
        }
        const qsizetype fields = s.current.fields.size();
        if (s.blankRuns.empty())
            s.blankFirstLine = s.current.line;
        if (!s.blankRuns.empty() && s.blankRuns.back().fields == fields)
            ++s.blankRuns.back().count;
        else
            s.blankRuns.push_back({ fields, 1 });
        if (s.blankRuns.size() > MaxBlankRuns)
            s.givingOutBlanks = true;
    }
}

bool TabFileReader::hasError() const
{
    return m_state->failed;
}

QString TabFileReader::errorText() const
{
    return m_state->errorText;
}

qint64 TabFileReader::errorLine() const
{
    return m_state->errorLine;
}

qint64 TabFileReader::position() const
{
    return m_state->bytesRead;
}

qint64 TabFileReader::size() const
{
    return m_state->totalSize;
}

QStringList readHeading(const QString& path, QString* error)
{
    TabFileReader reader;
    TabRecord heading;
    if (reader.open(path) && reader.next(heading))
        return heading.fields;
    if (error) {
        if (!reader.hasError())
            *error = QStringLiteral("ファイルにデータがありません。");
        else if (reader.errorLine() > 0)
            *error = QStringLiteral("行 %1: %2").arg(reader.errorLine()).arg(reader.errorText());
        else
            *error = reader.errorText();
    }
    return {};
}
