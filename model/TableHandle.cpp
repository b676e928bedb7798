#include "model/TableHandle.h"

#include "platform/FileSystem.h"

#include <QByteArrayView>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <optional>

namespace {

constexpr qint64 HeaderSize = 32;
constexpr qint64 DescriptorSize = 32;
constexpr char TableVersion = 0x03;
constexpr char DescriptorEnd = 0x0D;
constexpr char EndOfFile = 0x1A;
constexpr char LiveFlag = 0x20;
constexpr char DeletedFlag = 0x2A;
constexpr int MaxNameLength = 10;
constexpr int MaxFieldWidth = 254;
// Largest number of records read in one go while looking for a visible row: the scan starts
// with one record (the common case of a walk) and doubles, so a long run of deleted or filtered
// rows costs few reads without copying large blocks on every step.
constexpr qint64 MaxScanChunk = 256;

// Offsets inside the 32-byte header and a field descriptor.
constexpr qint64 DateOffset = 1;
constexpr qint64 CountOffset = 4;
constexpr qint64 HeaderLengthOffset = 8;
constexpr qint64 RecordLengthOffset = 10;
constexpr qint64 IndexFlagOffset = 28;
constexpr qint64 LanguageDriverOffset = 29;
constexpr qint64 TypeOffset = 11;
constexpr qint64 WidthOffset = 16;
constexpr qint64 DecimalsOffset = 17;

quint16 readU16(const char* p)
{
    return qFromLittleEndian<quint16>(p);
}

quint32 readU32(const char* p)
{
    return qFromLittleEndian<quint32>(p);
}

// Bytes 1-3 of the header: the local date of the write.
QByteArray dateBytes()
{
    const QDate today = QDate::currentDate();
    QByteArray bytes(3, '\0');
    bytes[0] = static_cast<char>(std::clamp(today.year() - 1900, 0, 255));
    bytes[1] = static_cast<char>(today.month());
    bytes[2] = static_cast<char>(today.day());
    return bytes;
}

// Field bytes as text: trailing spaces go, the rest is UTF-8, or Latin-1 when it is not valid
// UTF-8 (a table written by an older release in a single-byte code page).
QString decodeField(QByteArrayView bytes)
{
    qsizetype length = bytes.size();
    while (length > 0 && bytes[length - 1] == ' ')
        --length;
    bytes = bytes.first(length);
    if (bytes.isValidUtf8())
        return QString::fromUtf8(bytes);
    return QString::fromLatin1(bytes);
}

// Text as exactly width bytes: UTF-8, padded with spaces, or cut to the width without splitting
// a character.
QByteArray encodeField(const QString& value, int width)
{
    QByteArray bytes = value.toUtf8();
    if (bytes.size() > width) {
        qsizetype cut = width;
        while (cut > 0 && (static_cast<uchar>(bytes[cut]) & 0xC0) == 0x80)
            --cut;
        bytes.truncate(cut);
    }
    return bytes.leftJustified(width, ' ');
}

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// The field name and literal of a filter "FIELD = 'literal'", quotes inside doubled.
bool parseFilter(const QString& filter, QString* field, QString* literal)
{
    const qsizetype equals = filter.indexOf(QLatin1Char('='));
    if (equals < 0)
        return false;
    *field = filter.left(equals).trimmed();
    if (field->isEmpty() || field->contains(QLatin1Char(' ')))
        return false;
    const QString quotedLiteral = filter.mid(equals + 1).trimmed();
    const QChar quote = QLatin1Char('\'');
    if (quotedLiteral.size() < 2 || !quotedLiteral.startsWith(quote) ||
        !quotedLiteral.endsWith(quote))
        return false;
    literal->clear();
    const qsizetype end = quotedLiteral.size() - 1;
    for (qsizetype i = 1; i < end; ++i) {
        if (quotedLiteral[i] == quote) {
            // A quote inside the literal must be doubled; a lone one ends it too early.
            if (i + 1 >= end || quotedLiteral[i + 1] != quote)
                return false;
            ++i;
        }
        literal->append(quotedLiteral[i]);
    }
    return true;
}

} // namespace

struct TableHandle::State
{
    enum class Mode
    {
        Browse,
        Insert,
        Edit
    };

    QFile file;
    bool open = false;
    bool writable = false;
    QList<TableField> fields;
    QList<qint64> offsets; // of each field inside a record
    qint64 headerLength = 0;
    qint64 recordLength = 0;

    // The filter in force, built from the handle's text and switch when they were last read.
    QString filterText;
    bool filterSwitch = false;
    int filterField = -1;
    QString filterValue;
    bool filterValid = true;

    // The record count last read from the header. Counts only grow (rows are appended, never
    // packed away), so a walk re-reads the header only when it reaches this many records.
    qint64 knownCount = 0;

    qint64 current = -1; // index of the current row, -1 when there is none
    QByteArray row;      // the current row as read at the last move
    bool eof = true;

    Mode mode = Mode::Browse;
    QByteArray buffer; // the row being inserted or edited

    QString error;

    int fieldIndex(const QString& name) const
    {
        for (int i = 0; i < fields.size(); ++i) {
            if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return i;
        }
        return -1;
    }

    qint64 recordOffset(qint64 index) const { return headerLength + index * recordLength; }

    bool fail(const QString& message)
    {
        error = message;
        return false;
    }

    void clearRow()
    {
        current = -1;
        row.clear();
    }

    bool applyFilter(const QString& text, bool on);
    bool isVisible(const char* record) const;
    qint64 readAt(qint64 offset, char* data, qint64 size);
    std::optional<qint64> recordCount(const QString& operation);
    bool readRecord(qint64 index, QByteArray* out);
    qint64 findForward(qint64 from, bool countIsFresh, const QString& operation);
    qint64 findBackward(qint64 from);
    bool writeAt(qint64 offset, const QByteArray& bytes, const QString& operation);
    bool writeJournaled(qint64 offset, const QByteArray& bytes, const QString& operation);
    void completeJournaledEdit(qint64 count);
};

bool TableHandle::State::applyFilter(const QString& text, bool on)
{
    filterText = text;
    filterSwitch = on;
    filterField = -1;
    filterValue.clear();
    filterValid = true;
    // A switched-on filter without text selects every row, as no filter does.
    if (!on || text.trimmed().isEmpty())
        return true;
    QString field;
    if (!parseFilter(text, &field, &filterValue)) {
        filterValid = false;
        return fail(QStringLiteral("Open: invalid filter %1.").arg(quoted(text)));
    }
    filterField = fieldIndex(field);
    if (filterField < 0) {
        filterValid = false;
        return fail(
            QStringLiteral("Open: the filter %1 names no field of the table.").arg(quoted(text)));
    }
    return true;
}

bool TableHandle::State::isVisible(const char* record) const
{
    if (record[0] == DeletedFlag || !filterValid)
        return false;
    if (filterField < 0)
        return true;
    const QByteArrayView bytes(record + offsets[filterField], fields[filterField].width);
    return decodeField(bytes) == filterValue;
}

// Reads at offset, seeking only when the file is not already there: a walk reads record after
// record, and a seek per record would double its system calls. Returns the bytes read, which
// are fewer than size where the file ends.
qint64 TableHandle::State::readAt(qint64 offset, char* data, qint64 size)
{
    if (file.pos() != offset && !file.seek(offset))
        return -1;
    return file.read(data, size);
}

// The record count as the file's header gives it now. Another handle may have appended rows;
// a header whose lengths changed means the file was replaced under the handle, and nothing of
// it can be trusted any more.
std::optional<qint64> TableHandle::State::recordCount(const QString& operation)
{
    char header[12];
    if (readAt(0, header, sizeof header) != static_cast<qint64>(sizeof header)) {
        fail(QStringLiteral("%1: cannot read the header of %2.")
                 .arg(operation, quoted(file.fileName())));
        return std::nullopt;
    }
    if (readU16(header + HeaderLengthOffset) != headerLength ||
        readU16(header + RecordLengthOffset) != recordLength) {
        fail(QStringLiteral("%1: the layout of %2 changed while it was open.")
                 .arg(operation, quoted(file.fileName())));
        return std::nullopt;
    }
    knownCount = readU32(header + CountOffset);
    return knownCount;
}

// Reads one whole record; false when the file ends before it (cut short by someone else).
bool TableHandle::State::readRecord(qint64 index, QByteArray* out)
{
    out->resize(recordLength);
    return readAt(recordOffset(index), out->data(), recordLength) == recordLength;
}

// The first visible row at or after from, read into row; -1 when there is none. Rows appended
// by other handles are found: reaching the known count re-reads it from the header, unless the
// caller has just done so.
qint64 TableHandle::State::findForward(qint64 from, bool countIsFresh, const QString& operation)
{
    QByteArray block;
    qint64 chunk = 1;
    for (qint64 index = from;;) {
        if (index >= knownCount) {
            if (countIsFresh || !recordCount(operation) || index >= knownCount)
                return -1;
            countIsFresh = true;
        }
        const qint64 wanted = std::min(chunk, knownCount - index);
        block.resize(wanted * recordLength);
        const qint64 got =
            std::max<qint64>(readAt(recordOffset(index), block.data(), block.size()), 0);
        const qint64 whole = got / recordLength;
        for (qint64 k = 0; k < whole; ++k) {
            const char* record = block.constData() + k * recordLength;
            if (isVisible(record)) {
                row = QByteArray(record, recordLength);
                return index + k;
            }
        }
        if (whole < wanted) {
            fail(QStringLiteral("The table %1 ends before its record %2.")
                     .arg(quoted(file.fileName()))
                     .arg(index + whole + 1));
            return -1;
        }
        index += wanted;
        chunk = std::min(chunk * 2, MaxScanChunk);
    }
}

// The last visible row before from, read into row; -1 when there is none.
qint64 TableHandle::State::findBackward(qint64 from)
{
    QByteArray record;
    for (qint64 index = from - 1; index >= 0; --index) {
        if (readRecord(index, &record) && isVisible(record.constData())) {
            row = record;
            return index;
        }
    }
    return -1;
}

bool TableHandle::State::writeAt(qint64 offset, const QByteArray& bytes, const QString& operation)
{
    if ((file.pos() != offset && !file.seek(offset)) || file.write(bytes) != bytes.size() ||
        !file.flush()) {
        const int cause = errno;
        return fail(
            QStringLiteral("%1: cannot write %2: %3.")
                .arg(operation, quoted(file.fileName()), FileSystem::writeErrorText(file, cause)));
    }
    return true;
}

// An edit rewrites its record in place, and a write cut short by a kill can leave the record half
// new where it crosses a page of the file. So the new bytes first go whole into a journal beside
// the table ("<table>.journal", written whole or not at all), and opening the table completes an
// edit whose journal is still there.
namespace {

QString journalPath(const QFile& table)
{
    return table.fileName() + QStringLiteral(".journal");
}

} // namespace

bool TableHandle::State::writeJournaled(qint64 offset, const QByteArray& bytes,
                                        const QString& operation)
{
    const QString journal = journalPath(file);
    QByteArray entry(8, '\0');
    qToLittleEndian<quint64>(quint64(offset), entry.data());
    QString reason;
    if (!FileSystem::writeFileAtomically(journal, entry + bytes, &reason)) {
        return fail(
            QStringLiteral("%1: cannot write %2: %3.").arg(operation, quoted(journal), reason));
    }
    // A failed write keeps the journal: the next opening makes the record whole.
    if (!writeAt(offset, bytes, operation))
        return false;
    QFile::remove(journal);
    return true;
}

// Only the fields of a counted record are written back; a journal of any other shape is not an
// edit of this table and goes.
void TableHandle::State::completeJournaledEdit(qint64 count)
{
    QFile journal(journalPath(file));
    if (!journal.open(QIODevice::ReadOnly))
        return;
    const QByteArray entry = journal.readAll();
    journal.close();
    const qint64 offset =
        entry.size() >= 8 ? qint64(qFromLittleEndian<quint64>(entry.constData())) : -1;
    const qint64 index = offset > headerLength ? (offset - headerLength - 1) / recordLength : -1;
    const bool fits = entry.size() == 8 + recordLength - 1 && index >= 0 && index < count &&
                      offset == recordOffset(index) + 1;
    if (fits && !writeAt(offset, entry.mid(8), QStringLiteral("Open")))
        return;
    journal.remove();
}

TableHandle::TableHandle() : d(std::make_unique<State>()) {}

TableHandle::~TableHandle() = default;

void TableHandle::setFolder(const QString& folder)
{
    m_folder = folder;
}

void TableHandle::setTableName(const QString& fileName)
{
    m_tableName = fileName;
}

QString TableHandle::fullPath() const
{
    if (m_folder.isEmpty())
        return m_tableName;
    return QDir(m_folder).filePath(m_tableName);
}

void TableHandle::setFilter(const QString& filter)
{
    m_filter = filter;
}

void TableHandle::setFiltered(bool on)
{
    m_filtered = on;
}

bool TableHandle::open(QString* error)
{
    if (d->open)
        return true;
    d->error.clear();
    const QString path = fullPath();
    const QString name = quoted(path);
    const auto refuse = [&](const QString& message) {
        d->file.close();
        d->fields.clear();
        d->offsets.clear();
        d->error = message;
        if (error)
            *error = message;
        return false;
    };
    const auto damaged = [&](const QString& reason) {
        return refuse(QStringLiteral("Open: damaged table file %1: %2.").arg(name, reason));
    };

    if (!QFile::exists(path))
        return refuse(QStringLiteral("Open: file not found: %1.").arg(name));
    // Unbuffered, so that every read sees what other handles on the file wrote just before.
    d->file.setFileName(path);
    d->writable = d->file.open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    if (!d->writable && !d->file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return refuse(QStringLiteral("Open: cannot open %1: %2.").arg(name, d->file.errorString()));
    }

    const qint64 fileSize = d->file.size();
    const QByteArray header = d->file.read(HeaderSize);
    if (header.size() < HeaderSize)
        return damaged(QStringLiteral("the header is shorter than 32 bytes"));
    if (header[0] != TableVersion) {
        return damaged(QStringLiteral("version byte 0x%1 is not 0x03")
                           .arg(static_cast<uchar>(header[0]), 2, 16, QLatin1Char('0')));
    }
    const qint64 headerLength = readU16(header.constData() + HeaderLengthOffset);
    const qint64 recordLength = readU16(header.constData() + RecordLengthOffset);
    const qint64 count = readU32(header.constData() + CountOffset);
    if (headerLength < HeaderSize + 1)
        return damaged(QStringLiteral("header length %1 is too small").arg(headerLength));
    if (headerLength > fileSize) {
        return damaged(
            QStringLiteral("header length %1 runs past the end of the file").arg(headerLength));
    }
    const QByteArray descriptors = d->file.read(headerLength - HeaderSize);
    if (descriptors.size() != headerLength - HeaderSize)
        return damaged(QStringLiteral("the field descriptors cannot be read"));

    // The descriptors end at the first 0x0D found where a descriptor would begin; the header
    // length must end right after it.
    qint64 fieldCount = -1;
    for (qint64 at = 0; at < descriptors.size(); at += DescriptorSize) {
        if (descriptors[at] == DescriptorEnd) {
            fieldCount = at / DescriptorSize;
            break;
        }
    }
    if (fieldCount < 0)
        return damaged(QStringLiteral("the field descriptors are not ended by 0x0D"));
    if (headerLength != HeaderSize + fieldCount * DescriptorSize + 1) {
        return damaged(QStringLiteral("header length %1 does not match its %2 field descriptors")
                           .arg(headerLength)
                           .arg(fieldCount));
    }
    if (fieldCount == 0)
        return damaged(QStringLiteral("the table has no fields"));

    QList<TableField> fields;
    QList<qint64> offsets;
    qint64 widths = 0;
    for (qint64 i = 0; i < fieldCount; ++i) {
        const char* descriptor = descriptors.constData() + i * DescriptorSize;
        const QByteArrayView nameBytes(descriptor, qstrnlen(descriptor, MaxNameLength + 1));
        const QString fieldName = QString::fromLatin1(nameBytes);
        const QString label = fieldName.isEmpty() ? QString::number(i + 1) : fieldName;
        if (fieldName.isEmpty())
            return damaged(QStringLiteral("field %1 has no name").arg(label));
        if (descriptor[TypeOffset] != 'C') {
            return damaged(
                QStringLiteral("field %1 has type 0x%2, not character ('C')")
                    .arg(label)
                    .arg(static_cast<uchar>(descriptor[TypeOffset]), 2, 16, QLatin1Char('0')));
        }
        const int width = static_cast<uchar>(descriptor[WidthOffset]);
        if (width == 0)
            return damaged(QStringLiteral("field %1 has width 0").arg(label));
        offsets.append(1 + widths);
        fields.append({fieldName, width});
        widths += width;
    }
    if (recordLength != 1 + widths) {
        return damaged(QStringLiteral("record length %1 is not 1 + the field widths (%2)")
                           .arg(recordLength)
                           .arg(1 + widths));
    }
    const qint64 held = (fileSize - headerLength) / recordLength;
    if (count > held) {
        return damaged(QStringLiteral("the header counts %1 records but the file holds %2")
                           .arg(count)
                           .arg(held));
    }

    d->fields = fields;
    d->offsets = offsets;
    d->headerLength = headerLength;
    d->recordLength = recordLength;
    d->mode = State::Mode::Browse;
    d->buffer.clear();
    if (!d->applyFilter(m_filter, m_filtered))
        return refuse(d->error);
    if (d->writable)
        d->completeJournaledEdit(count);
    d->open = true;
    first();
    return true;
}

void TableHandle::close()
{
    d->file.close();
    d->open = false;
    d->fields.clear();
    d->offsets.clear();
    d->clearRow();
    d->eof = true;
    d->mode = State::Mode::Browse;
    d->buffer.clear();
    d->error.clear();
}

bool TableHandle::isOpen() const
{
    return d->open;
}

// Moving drops a row being inserted or edited that was not posted: only post writes.
void TableHandle::first()
{
    d->error.clear();
    d->mode = State::Mode::Browse;
    if (!d->open)
        return;
    if (d->filterText != m_filter || d->filterSwitch != m_filtered)
        d->applyFilter(m_filter, m_filtered);
    const QString operation = QStringLiteral("First");
    d->current = d->recordCount(operation) ? d->findForward(0, true, operation) : -1;
    if (d->current < 0)
        d->row.clear();
    d->eof = d->current < 0;
}

void TableHandle::next()
{
    d->error.clear();
    d->mode = State::Mode::Browse;
    if (!d->open)
        return;
    if (d->current < 0) {
        first();
        return;
    }
    // Without a further row the current one stays, as read at the last move.
    const qint64 found = d->findForward(d->current + 1, false, QStringLiteral("Next"));
    if (found >= 0)
        d->current = found;
    d->eof = found < 0;
}

bool TableHandle::eof() const
{
    return !d->open || d->eof;
}

bool TableHandle::isEmpty() const
{
    return !d->open || d->current < 0;
}

QString TableHandle::fieldValue(const QString& name) const
{
    if (!d->open)
        return {};
    const int index = d->fieldIndex(name);
    const QByteArray& record = d->mode == State::Mode::Browse ? d->row : d->buffer;
    if (index < 0 || record.size() != d->recordLength)
        return {};
    return decodeField(
        QByteArrayView(record.constData() + d->offsets[index], d->fields[index].width));
}

const QList<TableField>& TableHandle::fields() const
{
    return d->fields;
}

void TableHandle::insert()
{
    d->error.clear();
    if (!d->open) {
        d->fail(QStringLiteral("Insert: the table is not open."));
        return;
    }
    d->mode = State::Mode::Insert;
    d->buffer = QByteArray(d->recordLength, ' ');
    d->buffer[0] = LiveFlag;
}

void TableHandle::edit()
{
    d->error.clear();
    if (!d->open) {
        d->fail(QStringLiteral("Edit: the table is not open."));
        return;
    }
    if (d->current < 0) {
        d->fail(QStringLiteral("Edit: there is no current row."));
        return;
    }
    // Start from the row as the file holds it now, not as it was read at the last move.
    QByteArray record;
    if (!d->readRecord(d->current, &record)) {
        d->fail(QStringLiteral("Edit: the current row of %1 is no longer in the file.")
                    .arg(quoted(d->file.fileName())));
        return;
    }
    d->mode = State::Mode::Edit;
    d->buffer = record;
}

void TableHandle::setFieldValue(const QString& name, const QString& value)
{
    d->error.clear();
    if (d->mode == State::Mode::Browse) {
        d->fail(QStringLiteral("Write field: no row is being inserted or edited."));
        return;
    }
    const int index = d->fieldIndex(name);
    if (index < 0) {
        d->fail(QStringLiteral("Write field: the table has no field %1.").arg(quoted(name)));
        return;
    }
    const int width = d->fields[index].width;
    d->buffer.replace(d->offsets[index], width, encodeField(value, width));
}

bool TableHandle::post(QString* error)
{
    d->error.clear();
    const QString operation = QStringLiteral("Post");
    const auto result = [&](bool ok) {
        if (!ok && error)
            *error = d->error;
        return ok;
    };
    if (!d->open)
        return result(d->fail(QStringLiteral("Post: the table is not open.")));
    if (d->mode == State::Mode::Browse)
        return result(d->fail(QStringLiteral("Post: no row is being inserted or edited.")));
    if (!d->writable) {
        return result(
            d->fail(QStringLiteral("Post: %1 is read-only.").arg(quoted(d->file.fileName()))));
    }
    const std::optional<qint64> counted = d->recordCount(operation);
    if (!counted)
        return result(false);
    const qint64 count = *counted;
    const qint64 fileSize = d->file.size();
    if (d->recordOffset(count) > fileSize) {
        return result(d->fail(QStringLiteral("Post: damaged table file %1: the header counts %2 "
                                             "records but the file holds %3.")
                                  .arg(quoted(d->file.fileName()))
                                  .arg(count)
                                  .arg((fileSize - d->headerLength) / d->recordLength)));
    }
    const QByteArray endByte(1, EndOfFile);

    if (d->mode == State::Mode::Insert) {
        // The record and its end byte go first, the count after: a crash in between leaves
        // the old count, which still describes a sound table (the new bytes lie beyond it).
        const qint64 offset = d->recordOffset(count);
        if (!d->writeAt(offset, d->buffer + endByte, operation)) {
            // A full disk can cut the record short: take back what reached the file, so the
            // table ends as it did.
            const QString reason = d->error;
            if (d->file.resize(offset))
                d->writeAt(offset, endByte, operation);
            d->error = reason;
            return result(false);
        }
        // Bytes past the end byte would be leftovers of an earlier interrupted append.
        if (fileSize > offset + d->recordLength + 1 &&
            !d->file.resize(offset + d->recordLength + 1)) {
            return result(d->fail(QStringLiteral("Post: cannot write %1: %2.")
                                      .arg(quoted(d->file.fileName()), d->file.errorString())));
        }
        QByteArray header = dateBytes();
        header.resize(7);
        qToLittleEndian<quint32>(static_cast<quint32>(count + 1), header.data() + 3);
        if (!d->writeAt(DateOffset, header, operation))
            return result(false);
        d->knownCount = count + 1;
        d->current = count;
    } else {
        if (d->current >= count) {
            return result(d->fail(QStringLiteral("Post: the row being edited is no longer in %1.")
                                      .arg(quoted(d->file.fileName()))));
        }
        // The deletion flag stays as the file has it: another handle may have deleted the row.
        const qint64 offset = d->recordOffset(d->current);
        if (!d->writeJournaled(offset + 1, d->buffer.mid(1), operation) ||
            !d->writeAt(DateOffset, dateBytes(), operation) ||
            !d->writeAt(d->recordOffset(count), endByte, operation))
            return result(false);
    }
    d->row = d->buffer;
    d->buffer.clear();
    d->mode = State::Mode::Browse;
    d->eof = false;
    return result(true);
}

bool TableHandle::deleteRow(QString* error)
{
    d->error.clear();
    const QString operation = QStringLiteral("Delete");
    const auto result = [&](bool ok) {
        if (!ok && error)
            *error = d->error;
        return ok;
    };
    if (!d->open)
        return result(d->fail(QStringLiteral("Delete: the table is not open.")));
    d->mode = State::Mode::Browse;
    d->buffer.clear();
    if (d->current < 0)
        return result(d->fail(QStringLiteral("Delete: there is no current row.")));
    if (!d->writable) {
        return result(
            d->fail(QStringLiteral("Delete: %1 is read-only.").arg(quoted(d->file.fileName()))));
    }
    const std::optional<qint64> count = d->recordCount(operation);
    if (!count)
        return result(false);
    if (d->current >= *count || d->recordOffset(d->current + 1) > d->file.size()) {
        return result(d->fail(QStringLiteral("Delete: the current row is no longer in %1.")
                                  .arg(quoted(d->file.fileName()))));
    }
    const qint64 deleted = d->current;
    if (!d->writeAt(d->recordOffset(deleted), QByteArray(1, DeletedFlag), operation) ||
        !d->writeAt(DateOffset, dateBytes(), operation) ||
        !d->writeAt(d->recordOffset(*count), QByteArray(1, EndOfFile), operation))
        return result(false);

    d->current = d->findForward(deleted + 1, true, operation);
    if (d->current < 0)
        d->current = d->findBackward(deleted);
    if (d->current < 0)
        d->row.clear();
    d->eof = d->current < 0;
    // A short file met while moving is not a failure of the delete, which is done.
    d->error.clear();
    return result(true);
}

int TableHandle::recordNumber() const
{
    return d->open && d->current >= 0 ? static_cast<int>(d->current + 1) : 0;
}

const QString& TableHandle::lastError() const
{
    return d->error;
}

QString TableHandle::equalsFilter(const QString& field, const QString& value)
{
    QString literal = value;
    literal.replace(QLatin1Char('\''), QStringLiteral("''"));
    return field + QStringLiteral(" = '") + literal + QLatin1Char('\'');
}

bool CreateTable(const QString& path, const QList<TableField>& fields, QString* error)
{
    const auto refuse = [&](const QString& reason) {
        if (error)
            *error = QStringLiteral("Create table %1: %2.").arg(quoted(path), reason);
        return false;
    };
    if (fields.isEmpty())
        return refuse(QStringLiteral("a table needs at least one field"));
    QByteArray descriptors;
    QSet<QString> names;
    qint64 recordLength = 1;
    for (const TableField& field : fields) {
        const QString name = field.name.toUpper();
        bool plain = !name.isEmpty() && name.size() <= MaxNameLength;
        for (const QChar c : name)
            plain = plain && c.unicode() > 0x20 && c.unicode() < 0x7F;
        if (!plain) {
            return refuse(QStringLiteral("field name %1 is not 1-10 printable ASCII characters")
                              .arg(quoted(field.name)));
        }
        if (names.contains(name))
            return refuse(QStringLiteral("field %1 appears twice").arg(name));
        names.insert(name);
        if (field.width < 1 || field.width > MaxFieldWidth) {
            return refuse(
                QStringLiteral("field %1 has width %2, not 1-254").arg(name).arg(field.width));
        }
        QByteArray descriptor(DescriptorSize, '\0');
        descriptor.replace(0, name.size(), name.toLatin1());
        descriptor[TypeOffset] = 'C';
        descriptor[WidthOffset] = static_cast<char>(field.width);
        descriptor[DecimalsOffset] = 0;
        descriptors += descriptor;
        recordLength += field.width;
    }
    const qint64 headerLength = HeaderSize + descriptors.size() + 1;
    if (headerLength > 0xFFFF || recordLength > 0xFFFF)
        return refuse(QStringLiteral("too many fields for one table"));

    QByteArray bytes(HeaderSize, '\0');
    bytes[0] = TableVersion;
    bytes.replace(DateOffset, 3, dateBytes());
    qToLittleEndian<quint32>(0, bytes.data() + CountOffset);
    qToLittleEndian<quint16>(static_cast<quint16>(headerLength), bytes.data() + HeaderLengthOffset);
    qToLittleEndian<quint16>(static_cast<quint16>(recordLength), bytes.data() + RecordLengthOffset);
    // No production index is written, so the flag must not claim one; the language driver is
    // left unset because the text is UTF-8, which no dBase code page names.
    bytes[IndexFlagOffset] = 0;
    bytes[LanguageDriverOffset] = 0;
    bytes += descriptors;
    bytes += DescriptorEnd;
    bytes += EndOfFile;

    // A new file only: an existing table holds rows that must not be lost to a mistake.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (file.exists())
            return refuse(QStringLiteral("the file already exists"));
        return refuse(file.errorString());
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.close();
        file.remove();
        return refuse(reason);
    }
    return true;
}
