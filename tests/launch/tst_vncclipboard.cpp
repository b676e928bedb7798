#include "launch/VncClipboard.h"

#include <QTest>

class TestVncClipboard final : public QObject
{
    Q_OBJECT

private slots:
    void providedText_data();
    void providedText();
};

void TestVncClipboard::providedText_data()
{
    QTest::addColumn<quint32>("flags");
    QTest::addColumn<QByteArray>("records");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");
    const quint32 text = VncClipboard::Provide | VncClipboard::Text;
    // qCompress gives a zlib stream after a length of its own.
    const auto zlib = [](const QByteArray& data) { return qCompress(data).mid(4); };
    QTest::newRow("text with its NUL, then more")
        << text << zlib(QByteArray("\0\0\0\3ab\0\0\0\0\0", 11)) << QStringLiteral("ab")
        << QString();
    QTest::newRow("no text") << quint32(VncClipboard::Provide) << zlib({}) << QString()
                             << QString();
    QTest::newRow("cut short") << text << zlib(QByteArray("\0\0\0\11ab", 6)) << QString()
                               << QStringLiteral("not valid");
    QTest::newRow("inflates too far")
        << text << zlib(QByteArray("\0\x90\0\0", 4) + QByteArray(9 << 20, 'a')) << QString()
        << QStringLiteral("larger than 8 MiB");
}

// What a server provides, good or not.
void TestVncClipboard::providedText()
{
    QFETCH(quint32, flags);
    QFETCH(QByteArray, records);
    QFETCH(QString, text);
    QFETCH(QString, error);
    QString why = QStringLiteral("set before");
    const std::optional<QString> got = VncClipboard::providedText(flags, records, &why);
    QCOMPARE(got, text.isNull() ? std::optional<QString>() : text);
    QVERIFY2(error.isEmpty() ? why.isEmpty() : why.contains(error), qPrintable(why));
}

QTEST_MAIN(TestVncClipboard)
#include "tst_vncclipboard.moc"
