// The writers the reliability scripts kill or starve of disk space, and the checks of what they
// leave behind. Values carry their round and length ("<round>:<n>:" and n copies of one letter),
// so a torn write shows up as a value that does not match itself.
//   reliability_writer vm-init FILE            a new VM definition file from the template
//   reliability_writer vm-write FILE           rewrites it until killed ("FILE.ready" once writing)
//   reliability_writer vm-check FILE TEMPLATE  exit 0 when it holds whole old or new content
//   reliability_writer vm-once FILE LENGTH     one write of a LENGTH-character value
//   reliability_writer table-init FOLDER ROWS  a new "process.dat" with ROWS rows
//   reliability_writer table-write FOLDER      appends, edits, deletes until killed
//   reliability_writer table-check FOLDER      exit 0 when the table opens and holds whole rows
//   reliability_writer table-once FOLDER       one append

#include "model/IniFile.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QtEndian>

#include <cstdio>

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

int fail(const QString& why)
{
    std::fprintf(stderr, "%s\n", qUtf8Printable(why));
    return 1;
}

// round r's value of at most maxLength characters; lengths jump so files grow and shrink.
QString value(quint64 round, int maxLength)
{
    const int length = int((round * 7919) % quint64(maxLength - 24));
    return QString::number(round) + QLatin1Char(':') + QString::number(length) + QLatin1Char(':') +
           QString(length, QChar(u'a' + char16_t(round % 26)));
}

// The round of a whole value, or -1.
qint64 roundOf(const QString& text, int maxLength)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    bool ok = false;
    const quint64 round = parts.value(0).toULongLong(&ok);
    if (parts.size() != 3 || !ok || value(round, maxLength) != text)
        return -1;
    return qint64(round);
}

constexpr int VMValueLength = 24000;
const QString General = s("General");
const QString LaunchString = s("LaunchString");
const QString Hardware = s("Hardware");
const QString Ram = s("RAM");

int vmWrite(const QString& path)
{
    const IniFile ini(path);
    const qint64 last = roundOf(ini.read(General, LaunchString), VMValueLength);
    for (quint64 round = quint64(last + 1);; ++round) {
        // Two writes a round: a kill between them leaves RAM one round behind.
        QString error;
        if (!ini.write(General, LaunchString, value(round, VMValueLength), &error) ||
            !ini.write(Hardware, Ram, QString::number(round), &error))
            return fail(error);
        if (round == quint64(last + 1))
            QFile(path + s(".ready")).open(QIODevice::WriteOnly);
    }
}

int vmCheck(const QString& path, const QString& templatePath)
{
    const IniFile ini(path);
    const QString launch = ini.read(General, LaunchString);
    const QString ram = ini.read(Hardware, Ram);
    const qint64 round = launch.isEmpty() ? -1 : roundOf(launch, VMValueLength);
    if (!launch.isEmpty() && round < 0)
        return fail(s("torn LaunchString: ") + launch.left(40));
    if (!ram.isEmpty() && ram != QString::number(round) && ram != QString::number(round - 1))
        return fail(s("RAM ") + ram + s(" does not go with round ") + QString::number(round));
    // The whole file, byte for byte, is the template with these two values written into it.
    const QString expected = path + s(".expected");
    QFile::remove(expected);
    if (!QFile::copy(templatePath, expected))
        return fail(s("cannot copy the template"));
    const IniFile rebuilt(expected);
    if ((!launch.isEmpty() && !rebuilt.write(General, LaunchString, launch)) ||
        (!ram.isEmpty() && !rebuilt.write(Hardware, Ram, ram)))
        return fail(s("cannot rebuild the expected file"));
    QFile a(path);
    QFile b(expected);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || a.readAll() != b.readAll())
        return fail(s("the file is not the old or new content of a round"));
    QFile::remove(expected);
    return 0;
}

int vmOnce(const QString& path, int length)
{
    QString error;
    if (!WriteVMFileValue(path, General, LaunchString, QString(length, QLatin1Char('x')), &error))
        return fail(s("Cannot save the setting \"LaunchString\": ") + error);
    return 0;
}

// process.dat, through two handles as the program keeps them: one appends, one walks and
// deletes.
constexpr int VMFieldWidth = 254;
const QString ProcessId = s("PROCESSID");
const QString VM = s("VM");

bool openTable(TableHandle& table, const QString& folder, QString* error)
{
    table.setFolder(folder);
    table.setTableName(TableSchemas::ProcessTable);
    return table.open(error);
}

bool append(TableHandle& table, quint64 round, QString* error)
{
    table.insert();
    table.setFieldValue(ProcessId, QString::number(round));
    table.setFieldValue(VM, value(round, VMFieldWidth));
    return table.post(error);
}

int tableInit(const QString& folder, int rows)
{
    QString error;
    const QString path = folder + QLatin1Char('/') + TableSchemas::ProcessTable;
    QFile::remove(path);
    TableHandle table;
    if (!CreateTable(path, TableSchemas::processFields(), &error) ||
        !openTable(table, folder, &error))
        return fail(error);
    for (int round = 0; round < rows; ++round) {
        if (!append(table, quint64(round), &error))
            return fail(error);
    }
    return 0;
}

int tableWrite(const QString& folder)
{
    TableHandle appender;
    TableHandle scanner;
    QString error;
    if (!openTable(appender, folder, &error) || !openTable(scanner, folder, &error))
        return fail(error);
    QRandomGenerator random(quint32(QCoreApplication::applicationPid()));
    for (quint64 round = 1000000;; ++round) {
        if (!append(appender, round, &error))
            return fail(error);
        // Edit one row and delete another, found by walking as the process poll does.
        const int skip = int(random.bounded(8));
        scanner.first();
        for (int i = 0; i < skip && !scanner.eof(); ++i)
            scanner.next();
        if (!scanner.isEmpty()) {
            scanner.edit();
            scanner.setFieldValue(VM, value(round, VMFieldWidth));
            if (!scanner.post(&error))
                return fail(error);
            scanner.next();
            if (!scanner.eof() && round % 2 == 0 && !scanner.deleteRow(&error))
                return fail(error);
        }
        if (round == 1000000)
            QFile(folder + s("/process.dat.ready")).open(QIODevice::WriteOnly);
    }
}

int tableCheck(const QString& folder)
{
    TableHandle table;
    QString error;
    if (!openTable(table, folder, &error))
        return fail(s("the table does not open: ") + error);
    QFile file(folder + QLatin1Char('/') + TableSchemas::ProcessTable);
    if (!file.open(QIODevice::ReadOnly))
        return fail(s("cannot read the table"));
    const QByteArray bytes = file.readAll();
    const qint64 count = qFromLittleEndian<quint32>(bytes.constData() + 4);
    const qint64 headerLength = qFromLittleEndian<quint16>(bytes.constData() + 8);
    const qint64 recordLength = qFromLittleEndian<quint16>(bytes.constData() + 10);
    // Every counted record is whole: a known flag and self-checking values.
    qint64 live = 0;
    for (qint64 i = 0; i < count; ++i) {
        const QByteArray record = bytes.mid(headerLength + i * recordLength, recordLength);
        if (record.size() != recordLength || (record[0] != ' ' && record[0] != '*'))
            return fail(s("record %1 of %2 is not whole").arg(i + 1).arg(count));
        const QString id = QString::fromUtf8(record.mid(1, 100)).trimmed();
        const QString vm = QString::fromUtf8(record.mid(101, VMFieldWidth)).trimmed();
        if (roundOf(vm, VMFieldWidth) < 0 || (id.toULongLong() == 0 && id != s("0")))
            return fail(s("record %1 is torn: %2 %3").arg(i + 1).arg(id, vm.left(40)));
        live += record[0] == ' ';
    }
    qint64 walked = 0;
    for (table.first(); !table.eof(); table.next())
        ++walked;
    if (walked != live)
        return fail(s("the walk visits %1 rows of %2 live ones").arg(walked).arg(live));
    // Bytes of an append cut short after its end byte lie past the count; the next append
    // replaces them. Say how many, for the figures.
    const qint64 beyond = bytes.size() - (headerLength + count * recordLength);
    std::printf("%lld %lld\n", static_cast<long long>(count), static_cast<long long>(beyond));
    return 0;
}

int tableOnce(const QString& folder)
{
    TableHandle table;
    QString error;
    if (!openTable(table, folder, &error) || !append(table, 424242, &error))
        return fail(s("Cannot record the process: ") + error);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const QByteArray mode = argc > 2 ? QByteArray(argv[1]) : QByteArray();
    const QString target = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const int number = argc > 3 ? QByteArray(argv[3]).toInt() : 0;
    if (mode == "vm-init")
        return WriteVMTemplate(target, true) ? 0 : fail(s("cannot write the template"));
    if (mode == "vm-write")
        return vmWrite(target);
    if (mode == "vm-check" && argc > 3)
        return vmCheck(target, QString::fromLocal8Bit(argv[3]));
    if (mode == "vm-once")
        return vmOnce(target, number);
    if (mode == "table-init")
        return tableInit(target, number);
    if (mode == "table-write")
        return tableWrite(target);
    if (mode == "table-check")
        return tableCheck(target);
    if (mode == "table-once")
        return tableOnce(target);
    return fail(s("usage: see the top of bench/reliability_writer.cpp"));
}
