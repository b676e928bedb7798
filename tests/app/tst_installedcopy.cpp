// The Debian package as a user gets it: built with cpack from this build, unpacked with dpkg-deb
// into a temporary root and started from there with a temporary home. The first start lays out the
// per-user program folder and shows the main window; a later start keeps the user's settings.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QString run(const QString& program, const QStringList& args, const QString& folder = {})
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return u"%1 failed: %2"_s.arg(program, QString::fromLocal8Bit(process.readAll()));
    return {};
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestInstalledCopy final : public QObject
{
    Q_OBJECT

private slots:
    void packageStartsWithAFolderPerUser()
    {
        QTemporaryDir temp;
        const QString deb = temp.filePath(u"vimor_7.0_amd64.deb"_s);
        const QString root = temp.filePath(u"root"_s);
        const std::pair<QString, QStringList> steps[] = {
            {QStringLiteral(VIMOR_CPACK), {u"-G"_s, u"DEB"_s, u"-B"_s, temp.path()}},
            {u"lintian"_s, {u"--fail-on"_s, u"error"_s, deb}},
            {u"dpkg-deb"_s, {u"-x"_s, deb, root}}};
        for (const auto& [program, args] : steps) {
            const QString failure = run(program, args, QStringLiteral(VIMOR_BUILD_DIR));
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
        }

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"HOME"_s, temp.filePath(u"home"_s));
        env.remove(u"XDG_DATA_HOME"_s);
        QVERIFY(QDir().mkpath(temp.filePath(u"run"_s)));
        QFile::setPermissions(temp.filePath(u"run"_s),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert(u"XDG_RUNTIME_DIR"_s, temp.filePath(u"run"_s));
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        QProcess first;
        first.setProcessEnvironment(env);
        first.start(root + u"/usr/bin/vimor"_s, {u"--unattended"_s});
        QVERIFY(first.waitForStarted());

        // The first-run wizard answers for itself once the main window is shown.
        const QString folder = temp.filePath(u"home/.local/share/vimor"_s);
        const QString ini = folder + u"/vimor.ini"_s;
        QTRY_VERIFY_WITH_TIMEOUT(contents(ini).contains("Wizard7Complete=1"), 30000);
        for (const char* name : {"vmstore.dat", "vrvers.dat", "opsys.dat", "process.dat", "VMs",
                                 "Media", "resource/144mb.img", "vimordll.dll", "tapdiscover"})
            QVERIFY2(QFileInfo::exists(folder + u'/' + QString::fromUtf8(name)), name);
        QCOMPARE(QFileInfo(folder + u"/vimordll.dll"_s).symLinkTarget(),
                 root + u"/usr/lib/vimor/vimordll.dll"_s);
        QCOMPARE(QFileInfo(folder + u"/qemu/qemu-img.exe"_s).canonicalFilePath(),
                 QFileInfo(QStandardPaths::findExecutable(u"qemu-img"_s)).canonicalFilePath());
        first.kill();
        QVERIFY(first.waitForFinished(5000));

        // A later start fills in what is missing and leaves the user's settings as they are.
        QByteArray edited = contents(ini);
        edited.replace("Dock=No", "Dock=Yes");
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(edited) == edited.size());
        file.close();
        QVERIFY(QFile::remove(folder + u"/opsys.dat"_s));
        QProcess second;
        second.setProcessEnvironment(env);
        second.start(root + u"/usr/bin/vimor"_s, {u"--unattended"_s});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder + u"/opsys.dat"_s), 30000);
        QCOMPARE(contents(ini), edited);
        second.kill();
        QVERIFY(second.waitForFinished(5000));
    }
};

QTEST_GUILESS_MAIN(TestInstalledCopy)
#include "tst_installedcopy.moc"
