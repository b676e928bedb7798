#include "fuzz/FuzzEntries.h"

#include "devices/NetworkPorts.h"
#include "devices/TapAdapters.h"
#include "launch/ModernOptions.h"
#include "launch/MonitorClient.h"
#include "launch/Panels.h"
#include "launch/Snapshots.h"
#include "launch/ui/MonitorTerminal.h"
#include "model/ImageFormat.h"
#include "model/IniFile.h"
#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "platform/Bitmap.h"
#include "platform/CommandLine.h"
#include "platform/ProcessStart.h"
#include "platform/Processes.h"
#include "services/UpdateCheck.h"
#include "versions/Packages.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <QtEndian>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace {

void check(bool kept, const char* rule)
{
    if (kept)
        return;
    std::fprintf(stderr, "fuzz: broken rule: %s\n", rule);
    std::abort();
}

// Most entries take their parameters from the input's first line and the file from the rest.
struct Split
{
    QByteArrayView head;
    QByteArrayView rest;
};

Split splitFirstLine(QByteArrayView data)
{
    const qsizetype lf = data.indexOf('\n');
    if (lf < 0)
        return {data, {}};
    return {data.first(lf), data.sliced(lf + 1)};
}

void writeScratch(const QString& path, QByteArrayView bytes)
{
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
              file.write(bytes.data(), bytes.size()) == bytes.size(),
          "the scratch file can be written");
}

bool isAscii(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// VM definition files and the settings file.
// First line: section, key and value separated by tabs; the rest is the file.

void runIni(QByteArrayView data, const QString& scratch)
{
    const Split split = splitFirstLine(data);
    const QStringList parameters = QString::fromUtf8(split.head).split(QLatin1Char('\t'));
    const QString section = parameters.value(0);
    const QString key = parameters.value(1);
    const QString value = parameters.value(2);
    const QString path = scratch + QStringLiteral("/fuzz.vm2");
    writeScratch(path, split.rest);

    const IniFile ini(path);
    ini.read(section, key);
    ini.read(QStringLiteral("General"), QStringLiteral("Status"));
    ini.readSectionValues(section);
    ini.sectionExists(section);

    QString error;
    if (ini.write(section, key, value, &error)) {
        // Line breaks in a value are written as blanks.
        QString stored = value;
        stored.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        stored.replace(QLatin1Char('\r'), QLatin1Char(' '));
        stored.replace(QLatin1Char('\n'), QLatin1Char(' '));
        check(ini.sectionExists(section), "a written section exists");
        // A value that is not ASCII may read back as Latin-1 when the key's own line is not
        // UTF-8; an ASCII value always reads back as written.
        if (isAscii(stored))
            check(ini.read(section, key, QStringLiteral("<missing>")) == stored,
                  "a written value reads back");
    } else {
        check(!error.isEmpty(), "a refused write says why");
    }
    ini.deleteKey(section, key);
    ini.eraseSection(section);

    // Deleting a network card renumbers the card sections of the file text and lowers the count.
    const QByteArray text = split.rest.toByteArray();
    writeScratch(path, text);
    const QString network = QStringLiteral("Network");
    const QString cardCount = QStringLiteral("CardCount");
    const std::optional<int> count = ParseCount(ini.read(network, cardCount));
    if (!count || *count < 1)
        return;
    const int card = 1 + int(text.size() % *count);
    const QByteArray renumbered = RenumberSectionsText(text, QStringLiteral("Network Card "),
                                                       network, cardCount, card, *count);
    writeScratch(path, renumbered);
    // Names that are not ASCII may match in one reader's case folding and not the other's.
    if (isAscii(QString::fromLatin1(text)))
        check(ini.read(network, cardCount) == QString::number(*count - 1),
              "renumbering lowers the count the accessors read");
}

// ---------------------------------------------------------------------------------------------
// dBase tables.
// First line: a value to filter on and to write into every field; the rest is the table file.

// The rows a walk visits; the walk must end within limit rows.
int walk(TableHandle& table, qsizetype limit)
{
    int rows = 0;
    for (table.first(); !table.eof(); table.next()) {
        check(++rows <= limit, "a walk ends");
        check(table.recordNumber() >= 1, "a visited row has a record number");
        for (const TableField& field : table.fields())
            table.fieldValue(field.name);
    }
    return rows;
}

// What a field reads after value was written to it: cut to the width without splitting a
// character, trailing spaces gone.
QString storedField(const QString& value, int width)
{
    QByteArray bytes = value.toUtf8();
    if (bytes.size() > width) {
        qsizetype cut = width;
        while (cut > 0 && (static_cast<uchar>(bytes[cut]) & 0xC0) == 0x80)
            --cut;
        bytes.truncate(cut);
    }
    while (bytes.endsWith(' '))
        bytes.chop(1);
    return QString::fromUtf8(bytes);
}

void runTable(QByteArrayView data, const QString& scratch)
{
    const Split split = splitFirstLine(data);
    const QString value = QString::fromUtf8(split.head);
    const QString name = QStringLiteral("fuzz.dat");
    writeScratch(scratch + QLatin1Char('/') + name, split.rest);
    // Every record takes at least two bytes; a few rows are appended below.
    const qsizetype limit = split.rest.size() / 2 + 8;

    TableHandle walker;
    walker.setFolder(scratch);
    walker.setTableName(name);
    QString error;
    if (!walker.open(&error)) {
        check(!error.isEmpty() && !walker.isOpen(), "a refused table says why and stays closed");
        return;
    }
    const QList<TableField> fields = walker.fields();
    check(!fields.isEmpty(), "an open table has fields");
    walk(walker, limit);

    // A second handle appends while the first walks on, as the process table's two handles do.
    TableHandle writer;
    writer.setFolder(scratch);
    writer.setTableName(name);
    check(writer.open(&error), "a table that opened once opens again");
    writer.insert();
    for (const TableField& field : fields)
        writer.setFieldValue(field.name, value);
    const bool appended = writer.post(&error);
    const TableField& first = fields.constFirst();
    if (appended)
        check(writer.fieldValue(first.name) == storedField(value, first.width),
              "an appended field reads back");
    walker.next();
    const int rows = walk(walker, limit);
    if (appended)
        check(rows >= 1, "an appended row is visited");

    // A field name from the file may hold what a filter cannot name ("=", blanks); the filter's
    // rules are checked on names it can.
    const bool plainName = !first.name.contains(QLatin1Char('=')) &&
                           !first.name.contains(QLatin1Char(' ')) &&
                           first.name.trimmed() == first.name;
    walker.close();
    walker.setFilter(TableHandle::equalsFilter(first.name, value));
    walker.setFiltered(true);
    if (plainName && walker.open(&error)) {
        const bool mustFind = appended && storedField(value, first.width) == value;
        int matches = 0;
        for (walker.first(); !walker.eof(); walker.next()) {
            check(++matches <= limit, "a filtered walk ends");
            check(walker.fieldValue(first.name) == value, "a filtered row holds the value");
        }
        if (mustFind)
            check(matches >= 1, "the filter finds the appended row");
    }
    walker.close();
    walker.setFilter({});
    walker.setFiltered(false);
    check(walker.open(&error), "an unfiltered table opens again");

    walker.first();
    if (!walker.isEmpty()) {
        walker.edit();
        walker.setFieldValue(first.name, value);
        walker.post();
        walker.deleteRow();
    }
    walk(walker, limit);
    walker.close();
    writer.close();

    // Whatever the layer wrote leaves a table that opens.
    TableHandle again;
    again.setFolder(scratch);
    again.setTableName(name);
    check(again.open(&error), "a table stays sound through appends, edits and deletes");
    walk(again, limit);
}

// ---------------------------------------------------------------------------------------------
// The image tool's snapshot listing: the output lines as the snapshot chooser collects them.

void runSnapshots(QByteArrayView data, const QString&)
{
    const QStringList lines = QString::fromUtf8(data).split(QLatin1Char('\n'));
    const QList<SnapshotRow> rows = ParseSnapshotListing(lines);
    check(!rows.isEmpty() && rows.constFirst().id == QLatin1String("-"),
          "the listing starts with the \"-\" row");
    check(rows.size() <= qMax<qsizetype>(lines.size() - 2, 0) + 1,
          "no more rows than lines after the two headings");
}

// ---------------------------------------------------------------------------------------------
// The package list "/vers.inf".

void runPackages(QByteArrayView data, const QString& scratch)
{
    ProgramFolder::setPath(scratch);
    const std::optional<QList<Package>> packages = ParsePackageList(data.toByteArray());
    if (!packages)
        return;
    check(!packages->isEmpty() && packages->size() <= MaxListedPackages,
          "a list announces 1 to MaxListedPackages packages");
    const QString base = QStringLiteral("http://127.0.0.1:8080/packages");
    for (const Package& package : *packages) {
        const QString folder = PackageInstallFolder(package.fileName);
        check(folder.isEmpty() == !IsSafePackageFileName(package.fileName),
              "only a safe name has an install folder");
        if (folder.isEmpty())
            continue;
        const QString below = QDir::cleanPath(folder).mid(scratch.size());
        check(QDir::cleanPath(folder).startsWith(scratch) && below.size() > 1 &&
                  below.startsWith(QLatin1Char('/')) && below.count(QLatin1Char('/')) == 1,
              "a package installs into a folder of its own right below the program folder");
        const QUrl url = PackageArchiveUrl(base, package.fileName);
        check(url.isValid() && url.host() == QLatin1String("127.0.0.1") &&
                  url.path(QUrl::FullyDecoded) == QStringLiteral("/packages/") + package.fileName,
              "the archive's address lies below the server's base address");
    }
}

// ---------------------------------------------------------------------------------------------
// The update file.

void runUpdate(QByteArrayView data, const QString&)
{
    const UpdateFile file = UpdateFile::parse(data.toByteArray());
    file.value(QStringLiteral("URL"));
    const std::optional<double> version = file.version();
    if (version)
        check(std::isfinite(*version), "a version is a finite number");
    check(!file.versionLine().isEmpty(), "the dialog always has a version line");
    if (file.isNewerThan(7.0))
        check(version && *version > 7.0, "only a greater number is newer");
}

// ---------------------------------------------------------------------------------------------
// The TAP adapter list "tap.dat".

void runTap(QByteArrayView data, const QString&)
{
    for (const TapAdapter& adapter : ParseTapList(data.toByteArray())) {
        for (const QString* field : {&adapter.connection, &adapter.adapter, &adapter.bridge}) {
            check(!field->isEmpty() && !field->contains(QLatin1Char('|')) &&
                      !field->contains(QLatin1Char('\n')),
                  "an adapter has three non-empty fields of one line");
        }
    }
}

// ---------------------------------------------------------------------------------------------
// "panels.dat" and "VRPorts.dat".
// The input up to its first NUL byte is "panels.dat", the rest "VRPorts.dat"; without a NUL byte
// there is no "VRPorts.dat".

// The lines as the program reads them: split at LF, one CR before it dropped.
QStringList fileLines(QByteArrayView bytes)
{
    QStringList lines = QString::fromLatin1(bytes).split(QLatin1Char('\n'));
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

QStringList linesOfFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? fileLines(file.readAll()) : QStringList();
}

void runPanels(QByteArrayView data, const QString& scratch)
{
    ProgramFolder::setPath(scratch);
    const QString panelsPath = scratch + QStringLiteral("/panels.dat");
    const QString portsPath = scratch + QStringLiteral("/VRPorts.dat");
    const qsizetype nul = data.indexOf('\0');
    const QByteArrayView panels = nul < 0 ? data : data.first(nul);
    writeScratch(panelsPath, panels);
    if (nul < 0)
        QFile::remove(portsPath);
    else
        writeScratch(portsPath, data.sliced(nul + 1));

    const QStringList taken = fileLines(panels);
    const QString panel = Panels::AllocatePanel();
    if (panel == QLatin1String("ERR")) {
        for (int number = 1; number <= Panels::PanelCount; ++number)
            check(taken.contains(QString::number(number)), "\"ERR\" only when all are taken");
    } else {
        bool ok = false;
        const int number = panel.toInt(&ok);
        check(ok && number >= 1 && number <= Panels::PanelCount && !taken.contains(panel),
              "a free panel is handed out");
        check(Panels::PanelsInUse(), "a handed-out panel is in use");
        Panels::RemovePanel(panel);
        check(linesOfFile(panelsPath) == taken, "freeing the panel restores the list");
    }

    const QStringList ports = linesOfFile(portsPath);
    const int port = Panels::AllocateMonitorPort();
    if (port != 0) {
        check(port >= Panels::FirstMonitorPort && port <= Panels::LastMonitorPort &&
                  !ports.contains(QString::number(port)),
              "a port not handed out before is handed out");
        check(linesOfFile(portsPath).contains(QString::number(port)), "the port is recorded");
    }
}

// ---------------------------------------------------------------------------------------------
// Command lines as the launcher splits them.

void runCommandLine(QByteArrayView data, const QString&)
{
    static const QRegularExpression blanks(QStringLiteral("[ \t]"));
    const QString text = QString::fromUtf8(data);
    const QStringList arguments = CommandLine::SplitCommandLine(text);
    for (const QString& argument : arguments)
        check(!argument.contains(QLatin1Char('"')), "quotes are dropped");
    if (!text.contains(QLatin1Char('"')))
        check(arguments == text.split(blanks, Qt::SkipEmptyParts),
              "without quotes the line splits at blanks");
}

// ---------------------------------------------------------------------------------------------
// /proc/PID/stat and /proc/PID/cmdline.
// The whole input is a stat text; its first line is an argument and the rest a cmdline text.

void runProc(QByteArrayView data, const QString&)
{
    const char state = Processes::stateFromStat(data);
    check(state == 0 || data.contains(state), "the state letter comes from the text");
    const Split split = splitFirstLine(data);
    const QString argument = QString::fromUtf8(split.head);
    const QByteArray cmdline = split.rest.toByteArray();
    if (ProcessStart::cmdlineHasArgument(cmdline, argument))
        check(cmdline.contains(argument.toLocal8Bit()), "a found argument is in the text");
}

// ---------------------------------------------------------------------------------------------
// The program's own bitmaps: the image library's pictures and the window icon.

void runBitmap(QByteArrayView data, const QString&)
{
    const std::optional<BitmapPixels> pixels = ParseBitmap(data);
    if (!pixels)
        return;
    check(pixels->width > 0 && pixels->height > 0, "a bitmap read has pixels");
    const auto* begin = reinterpret_cast<const uchar*>(data.data());
    const auto* end = begin + data.size();
    // Every byte of every row is read, so that the sanitizer sees a row reaching outside.
    quint64 sum = 0;
    for (int y = 0; y < pixels->height; ++y) {
        const uchar* row = pixels->row(y);
        check(row >= begin && row + qptrdiff(pixels->width) * 4 <= end, "rows lie in the data");
        for (qptrdiff x = 0; x < qptrdiff(pixels->width) * 4; ++x)
            sum += row[x];
    }
    check(sum <= 1020u * quint64(pixels->width) * quint64(pixels->height), "four bytes a pixel");
}

// ---------------------------------------------------------------------------------------------
// Package archives as the package window unpacks them.

// The names in a folder, hidden ones too.
QStringList namesIn(const QString& folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Folders an archive made read-only opened again, so that the run folder can be removed.
void makeRemovable(const std::filesystem::path& path)
{
    std::error_code failed;
    if (!std::filesystem::is_directory(std::filesystem::symlink_status(path, failed)))
        return;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, failed);
    for (const auto& entry : std::filesystem::directory_iterator(path, failed))
        makeRemovable(entry.path());
}

void runExtract(QByteArrayView data, const QString& scratch)
{
    // A fresh folder for every archive, removed after it: what one left cannot shape the next.
    QTemporaryDir run(scratch + QStringLiteral("/extract-XXXXXX"));
    check(run.isValid(), "the run folder can be made");
    const QString archive = run.filePath(QStringLiteral("package.zip"));
    const QString folder = run.filePath(QStringLiteral("qemu"));
    writeScratch(archive, data);
    check(QDir().mkdir(folder), "the install folder can be made");
    const QStringList around = namesIn(scratch);

    // Small limits, so that an archive that inflates far is refused quickly.
    ExtractLimits limits;
    limits.maxTotalBytes = 1024 * 1024;
    limits.maxEntries = 256;
    qint64 lastDone = 0;
    const auto progress = [&lastDone](qint64 done, qint64 total) {
        check(done >= lastDone && done <= total, "progress grows up to the archive's size");
        lastDone = done;
    };
    QString error;
    if (!ExtractPackage(archive, folder, progress, &error, limits))
        check(!error.isEmpty(), "a refused archive says why");

    check(namesIn(scratch) == around, "nothing is written beside the run folder");
    check(namesIn(run.path()) ==
              QStringList({QStringLiteral("package.zip"), QStringLiteral("qemu")}),
          "nothing is written beside the install folder");
    QFile kept(archive);
    check(kept.open(QIODevice::ReadOnly) && kept.readAll() == data, "the archive is left alone");

    const QString below = folder + QLatin1Char('/');
    qint64 total = 0;
    QDirIterator walk(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                      QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString path = walk.next();
        struct stat info = {};
        check(::lstat(QFile::encodeName(path).constData(), &info) == 0, "an entry can be read");
        check(S_ISREG(info.st_mode) || S_ISDIR(info.st_mode) || S_ISLNK(info.st_mode),
              "only files, folders and links are made");
        check((info.st_mode & (S_ISUID | S_ISGID)) == 0, "no set-user or set-group programs");
        if (S_ISREG(info.st_mode))
            total += qint64(info.st_size);
        if (S_ISLNK(info.st_mode)) {
            std::error_code failed;
            const std::filesystem::path target =
                std::filesystem::read_symlink(QFile::encodeName(path).constData(), failed);
            const QString text = QFile::decodeName(QByteArray::fromStdString(target.string()));
            const QString reached =
                QDir::cleanPath(QFileInfo(path).absolutePath() + QLatin1Char('/') + text);
            check(!failed && !target.is_absolute() && reached.startsWith(below),
                  "a link points below the install folder");
        }
    }
    check(total <= limits.maxTotalBytes, "the files stay within the size limit");
    makeRemovable(QFile::encodeName(folder).toStdString());
    check(run.remove(), "the run folder can be removed");
}

// ---------------------------------------------------------------------------------------------
// A chosen disk image's header.

void runImageFormat(QByteArrayView data, const QString& scratch)
{
    const QByteArray head = data.toByteArray();
    const QString format = ImageFormat::ofHeader(head);
    static const QStringList formats = {QStringLiteral("qcow"), QStringLiteral("qcow2"),
                                        QStringLiteral("vmdk"), QStringLiteral("vpc"),
                                        QStringLiteral("qed"),  QStringLiteral("vdi"),
                                        QStringLiteral("vhdx"), QStringLiteral("raw")};
    check(formats.contains(format), "the format is one of those named");

    // The magics as QEMU's probes read them, with their full length; one at the start comes first.
    const auto starts = [&data](const char* magic, qsizetype size) {
        return data.startsWith(QByteArrayView(magic, size));
    };
    const bool qcowMagic = starts("QFI\xfb", 4) && data.size() >= 8;
    const quint32 version = qcowMagic ? qFromBigEndian<quint32>(data.data() + 4) : 0;
    const bool vmdk = starts("KDMV", 4) || starts("COWD", 4) ||
                      data.startsWith(QByteArrayView("# Disk DescriptorFile"));
    const bool vpc = starts("conectix", 8);
    const bool qed = starts("QED\0", 4);
    const bool vhdx = starts("vhdxfile", 8);
    const bool vdi =
        data.size() >= 68 && qFromLittleEndian<quint32>(data.data() + 64) == 0xbeda107f;
    const QString expected = qcowMagic ? (version == 1   ? QStringLiteral("qcow")
                                          : version >= 2 ? QStringLiteral("qcow2")
                                                         : QStringLiteral("raw"))
                             : vmdk    ? QStringLiteral("vmdk")
                             : vpc     ? QStringLiteral("vpc")
                             : qed     ? QStringLiteral("qed")
                             : vhdx    ? QStringLiteral("vhdx")
                             : vdi     ? QStringLiteral("vdi")
                                       : QStringLiteral("raw");
    check(format == expected, "the format is the one the header's magic names");

    // The file as chosen: the header QEMU reads decides where the name says nothing or says raw.
    const QString header = ImageFormat::ofHeader(head.left(512));
    const QString unnamed = scratch + QStringLiteral("/disk.dsk");
    writeScratch(unnamed, data);
    check(ImageFormat::ofFile(unnamed) == header, "the file's format is its header's");
    check(ImageFormat::whenChosen(unnamed) == header, "a name that says nothing: the header");
    const QString raw = scratch + QStringLiteral("/disk.img");
    QFile::remove(raw);
    check(QFile::rename(unnamed, raw), "the scratch file can be renamed");
    const bool container = header != QLatin1String("raw");
    check(ImageFormat::containerNamedRaw(raw) == container, "a container named raw is told");
    check(ImageFormat::whenChosen(raw) == header, "a container named raw is offered as such");
}

// ---------------------------------------------------------------------------------------------
// What the emulator prints for "-display help".

void runDisplayHelp(QByteArrayView data, const QString&)
{
    const QByteArray output = data.toByteArray();
    const bool window = ModernOptions::listsWindowDisplay(output);
    if (window)
        check(output.contains("gtk") || output.contains("sdl"), "a window display is named");
    check(ModernOptions::listsWindowDisplay(output + "\ngtk\n"), "a listed GTK display is found");
    check(ModernOptions::listsWindowDisplay(output + "\nnone\n") == window,
          "another type changes nothing");
    QByteArray crlf = output;
    crlf.replace("\n", "\r\n");
    check(ModernOptions::listsWindowDisplay(crlf) == window, "CR LF lines read as LF lines");
}

// ---------------------------------------------------------------------------------------------
// What a QEMU monitor sends: telnet, then the terminal screen.

// The terminal is a widget: one application for the process, on the offscreen platform, with
// Qt's warnings (a telnet answer written to no socket) kept out of the fuzzer's output.
void ensureWidgets()
{
    if (qApp)
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    // Never deleted: it must outlive every widget, up to the process's end.
    static QApplication* const application = new QApplication(argc, argv);
    Q_UNUSED(application);
}

void checkScreen(const MonitorTerminal& terminal)
{
    check(terminal.screenText().count(QLatin1Char('\n')) == terminal.rows() - 1,
          "the screen has a line per row");
    QImage image(terminal.size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    // Painting reads every cell.
    const_cast<MonitorTerminal&>(terminal).render(&image);
}

void runMonitor(QByteArrayView data, const QString&)
{
    ensureWidgets();
    MonitorClient client;
    MonitorTerminal terminal;
    QByteArray decoded;
    QObject::connect(&client, &MonitorClient::dataReceived, &terminal,
                     [&decoded, &terminal](const QByteArray& bytes) {
                         decoded += bytes;
                         terminal.feed(bytes);
                     });
    QObject::connect(&terminal, &MonitorTerminal::dataToSend, &client, [](const QByteArray& bytes) {
        check(!bytes.isEmpty(), "the terminal sends no empty answer");
    });

    // In two reads, so that a sequence may be cut between them as a socket cuts it.
    const QByteArray bytes = data.toByteArray();
    const qsizetype half = bytes.size() / 2;
    client.receiveTelnet(bytes.left(half));
    client.receiveTelnet(bytes.mid(half));
    if (!bytes.contains('\xff'))
        check(decoded == bytes, "text without telnet commands passes unchanged");
    check(terminal.rows() == MonitorTerminal::DefaultRows &&
              terminal.columns() == MonitorTerminal::DefaultColumns,
          "a terminal never shown keeps 80 by 24");
    terminal.resize(terminal.sizeHint());
    checkScreen(terminal);

    // Shown at another size: the screen is resized with its text, and the text comes again.
    const QSize cell(terminal.sizeHint().width() / MonitorTerminal::DefaultColumns,
                     terminal.sizeHint().height() / MonitorTerminal::DefaultRows);
    const int columns = 1 + int(bytes.size() % 132);
    const int rows = 1 + int(bytes.size() % 50);
    terminal.resize(cell.width() * columns, cell.height() * rows);
    terminal.show();
    check(terminal.rows() >= 1 && terminal.columns() >= 2,
          "a shown terminal has room for a wide character");
    terminal.feed(decoded);
    checkScreen(terminal);
}

constexpr FuzzEntry Entries[] = {
    {"ini", runIni},
    {"table", runTable},
    {"snapshots", runSnapshots},
    {"packages", runPackages},
    {"update", runUpdate},
    {"tap", runTap},
    {"panels", runPanels},
    {"commandline", runCommandLine},
    {"proc", runProc},
    {"bitmap", runBitmap},
    {"extract", runExtract},
    {"imageformat", runImageFormat},
    {"displayhelp", runDisplayHelp},
    {"monitor", runMonitor},
};

} // namespace

std::span<const FuzzEntry> FuzzEntries()
{
    return Entries;
}

const FuzzEntry* FindFuzzEntry(QByteArrayView name)
{
    for (const FuzzEntry& entry : Entries) {
        if (name == QByteArrayView(entry.name))
            return &entry;
    }
    return nullptr;
}
