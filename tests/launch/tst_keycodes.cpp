#include "launch/KeyCodes.h"

#include <QStringList>
#include <QTest>

class TestKeyCodes final : public QObject
{
    Q_OBJECT

private slots:
    void scancodes_data();
    void scancodes();
    void typedText();
};

// Codes as QEMU's table has them (keycodemapdb, Linux code to QEMU's number).
void TestKeyCodes::scancodes_data()
{
    QTest::addColumn<quint32>("input");
    QTest::addColumn<quint32>("scancode");
    QTest::newRow("Hangeul") << 122u << 0x72u;
    QTest::newRow("play/pause") << 164u << 0xa2u;
    QTest::newRow("macro, which QEMU does not name") << 112u << 0u;
}

void TestKeyCodes::scancodes()
{
    QFETCH(quint32, input);
    QFETCH(quint32, scancode);
    QCOMPARE(KeyCodes::scancodeFromXkb(input + 8), scancode);
}

// Shift goes down once for a run of characters that need it; a Windows line break is one Return;
// a character without a US key goes by its keysym, a control character not at all.
void TestKeyCodes::typedText()
{
    QStringList typed;
    for (const KeyCodes::Keystroke& each :
         KeyCodes::keystrokesForText(QString::fromUtf8("aB?\t\r\n\x07"
                                                       "é€")))
        typed << QStringLiteral("%1:%2%3")
                     .arg(each.keysym, 0, 16)
                     .arg(each.scancode, 0, 16)
                     .arg(each.down ? QLatin1Char('+') : QLatin1Char('-'));
    QCOMPARE(typed.join(QLatin1Char(' ')),
             QStringLiteral("61:1e+ 61:1e- ffe1:2a+ 42:30+ 42:30- 3f:35+ 3f:35- ffe1:2a- ff09:f+ "
                            "ff09:f- ff0d:1c+ ff0d:1c- e9:0+ e9:0- 10020ac:0+ 10020ac:0-"));
}

QTEST_MAIN(TestKeyCodes)
#include "tst_keycodes.moc"
