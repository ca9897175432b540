// Answer entry: the key-rate filter, Enter, focus loss and the one-character growth rule.
#include "window_fixture.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QtTest>

class TestEntry : public QObject {
    Q_OBJECT
private slots:
    void pastes_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("selStart");
        QTest::addColumn<int>("selLength");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("after");
        QTest::newRow("abc into empty") << "" << 0 << 0 << "abc"
                                        << "a";
        QTest::newRow("art at the end") << "Moz" << 3 << 0 << "art"
                                        << "Moza";
        QTest::newRow("art at the start") << "Moz" << 0 << 0 << "art"
                                          << "MozM";
        QTest::newRow("two over one") << "Mozart" << 2 << 1 << "zz"
                                      << "Mozzart";
        QTest::newRow("whole text replaced, longer") << "ab" << 0 << 2 << "wxyz"
                                                     << "aby";
        QTest::newRow("one character") << "Mo" << 2 << 0 << "z"
                                       << "Moz";
        QTest::newRow("shorter than before") << "Mozart" << 0 << 6 << "Bach"
                                             << "Bach";
        QTest::newRow("outside 16 bits kept whole") << "" << 0 << 0 << "😀😀"
                                                    << "😀";
    }
    void pastes() {
        QFETCH(QString, before);
        QFETCH(int, selStart);
        QFETCH(int, selLength);
        QFETCH(QString, pasted);
        QFETCH(QString, after);
        WindowFixture fx;
        auto f = fx.open();
        window::AnswerBox* box = f->Txt[4];
        box->Tag = before;
        box->setText(before);
        box->setSelection(selStart, selLength);
        if (selLength == 0)
            box->setCursorPosition(selStart);
        QApplication::clipboard()->setText(pasted);
        box->paste();
        QCOMPARE(box->text(), after);
        QCOMPARE(box->Tag, after);
        QCOMPARE(f->Retour[4]->text(), QStringLiteral("?")); // a change alone checks nothing
    }

    void pasteByShortcutIsAFilteredKey() {
        WindowFixture fx;
        auto f = fx.open();
        QApplication::clipboard()->setText(QStringLiteral("abc"));
        fx.now = 5000;
        QTest::keyClick(f->Txt[1], 'x');
        fx.now = 5005; // well inside the filter's 30 ms
        QTest::keyClick(f->Txt[1], Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(f->Txt[1]->text(), QStringLiteral("x"));
        QCOMPARE(f->DerniereTouche, 5005);
        fx.now = 5036;
        QTest::keyClick(f->Txt[1], Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(f->Txt[1]->text(), QStringLiteral("xa"));
        QCOMPARE(f->DerniereTouche, 5036);
        QTest::keyClick(f->Txt[1], Qt::Key_Home); // moving the caret is no key
        QCOMPARE(f->Txt[1]->cursorPosition(), 0);
        QCOMPARE(f->DerniereTouche, 5036);
    }

    void keyRate_data() {
        QTest::addColumn<int>("gap");
        QTest::addColumn<int>("secondBox");
        QTest::addColumn<bool>("kept");
        QTest::newRow("20 ms, other box") << 20 << 2 << false;
        QTest::newRow("30 ms, same box") << 30 << 1 << false;
        QTest::newRow("31 ms, other box") << 31 << 2 << true;
        QTest::newRow("200 ms, same box") << 200 << 1 << true;
    }
    void keyRate() {
        QFETCH(int, gap);
        QFETCH(int, secondBox);
        QFETCH(bool, kept);
        WindowFixture fx;
        auto f = fx.open();
        fx.now = 10'000;
        QTest::keyClick(f->Txt[1], 'a');
        QCOMPARE(f->Txt[1]->text(), QStringLiteral("a"));
        fx.now += gap;
        QTest::keyClick(f->Txt[secondBox], 'b');
        QCOMPARE(f->Txt[secondBox]->text().endsWith('b'), kept);
        QCOMPARE(f->DerniereTouche, fx.now);
    }

    // Keys handed over late and together (as a screen reader does) are timed by when they
    // were pressed, as the window system reports it.
    void keyRateByPressTime_data() {
        QTest::addColumn<int>("pressedGap");
        QTest::addColumn<bool>("kept");
        QTest::newRow("pressed 80 ms apart, handled together") << 80 << true;
        QTest::newRow("pressed 31 ms apart") << 31 << true;
        QTest::newRow("pressed 30 ms apart") << 30 << false;
        QTest::newRow("pressed 20 ms apart, handled 200 ms apart") << 20 << false;
    }
    void keyRateByPressTime() {
        QFETCH(int, pressedGap);
        QFETCH(bool, kept);
        WindowFixture fx;
        auto f = fx.open();
        const auto press = [&](char c, quint64 pressedAt) {
            QKeyEvent e(QEvent::KeyPress, Qt::Key_A + (c - 'a'), Qt::NoModifier, QString(c));
            e.setTimestamp(pressedAt);
            QApplication::sendEvent(f->Txt[1], &e);
        };
        fx.now = 10'000;
        press('a', 4'294'967'290u); // the window system's 32-bit clock wraps between the two
        fx.now += kept ? 0 : 200;
        press('b', 4'294'967'290u + pressedGap);
        QCOMPARE(f->Txt[1]->text(), kept ? QStringLiteral("ab") : QStringLiteral("a"));
        QCOMPARE(f->DerniereTouche, fx.now);
    }

    void heldKeyDropsEveryFastRepeat() {
        WindowFixture fx;
        auto f = fx.open();
        fx.now = 10'000;
        QTest::keyClick(f->Txt[1], 'a');
        for (int i = 0; i < 10; ++i) {
            fx.now += 25;
            QTest::keyClick(f->Txt[1], 'a');
        }
        QCOMPARE(f->Txt[1]->text(), QStringLiteral("a"));
        fx.now += 31;
        QTest::keyClick(f->Txt[1], Qt::Key_Backspace);
        QCOMPARE(f->Txt[1]->text(), QString());
    }

    // The found answer shows its first form, whole even when longer than what was typed.
    void enterChecksEvenWhenDropped_data() {
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("la truite") << 5 << "la truite"
                                   << "La Truite";
        QTest::newRow("french cancan") << 22 << "french cancan"
                                       << "Orphée aux Enfers";
    }
    void enterChecksEvenWhenDropped() {
        QFETCH(int, n);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        WindowFixture fx;
        auto f = fx.open();
        f->Txt[n]->Tag = typed;
        f->Txt[n]->setText(f->Txt[n]->Tag);
        fx.now = 20'000;
        QTest::keyClick(f->Txt[n], ' ');
        QCOMPARE(f->Txt[n]->text(), typed + ' ');
        fx.now += 10;
        QTest::keyClick(f->Txt[n], Qt::Key_Return);
        QCOMPARE(f->Retour[n]->text(), QStringLiteral("Correct"));
        QCOMPARE(f->Txt[n]->text(), shown);
        QCOMPARE(f->Txt[n]->Tag, shown);
        QCOMPARE(f->LblNbR1->text(), QStringLiteral("1"));
        QCOMPARE(f->DerniereTouche, fx.now);
        fx.now += 1000;
        f->Txt[n]->setText(QStringLiteral("x"));
        QTest::keyClick(f->Txt[n], Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(f->Retour[n]->text(), QStringLiteral("Faux"));
        QCOMPARE(f->Txt[n]->text(), QStringLiteral("x"));
    }

    void focusLossChecks_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("checked");
        QTest::newRow("tab") << "tab" << true;
        QTest::newRow("click on the vertical bar") << "vertical bar" << true;
        QTest::newRow("click on the horizontal bar") << "horizontal bar" << true;
        QTest::newRow("context menu, no departure") << "popup" << false;
    }
    void focusLossChecks() {
        QFETCH(QString, how);
        QFETCH(bool, checked);
        WindowFixture fx;
        auto f = fx.open();
        f->show();
        QApplication::setActiveWindow(f.get());
        QVERIFY(QTest::qWaitForWindowActive(f.get()));
        setAnswer(f->Txt[7], QStringLiteral("Casse-Noisette"));
        f->Txt[7]->setFocus();
        if (how == QStringLiteral("tab")) {
            QTest::keyClick(f->Txt[7], Qt::Key_Tab);
        } else if (how == QStringLiteral("popup")) {
            QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
            QApplication::sendEvent(f->Txt[7], &popup);
        } else {
            QTest::mouseClick(how == QStringLiteral("vertical bar") ? f->VScroll : f->HScroll,
                              Qt::LeftButton);
        }
        QCOMPARE(f->Retour[7]->text(), checked ? QStringLiteral("Correct") : QStringLiteral("?"));
    }

    void focusSelectsTheWholeText() {
        WindowFixture fx;
        auto f = fx.open();
        setAnswer(f->Txt[2], QStringLiteral("Moz"));
        f->Txt[2]->setCursorPosition(1);
        f->Txt_GotFocus(2);
        QCOMPARE(f->Txt[2]->selectedText(), QStringLiteral("Moz"));
        fx.now = 50'000;
        QTest::keyClick(f->Txt[2], 'B');
        QCOMPARE(f->Txt[2]->text(), QStringLiteral("B"));
    }

    void deletingAllIsAccepted() {
        WindowFixture fx;
        auto f = fx.open();
        f->Txt[3]->Tag = QStringLiteral("abcdef");
        f->Txt[3]->setText(f->Txt[3]->Tag);
        f->Txt[3]->selectAll();
        f->Txt[3]->del();
        QCOMPARE(f->Txt[3]->text(), QString());
        QCOMPARE(f->Txt[3]->Tag, QString());
    }

    void keyAsciiOfKeys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("ascii");
        QTest::newRow("letter") << int(Qt::Key_A) << 0 << "a" << int('a');
        QTest::newRow("accented") << int(Qt::Key_Eacute) << 0 << "é" << 0xE9;
        QTest::newRow("backspace") << int(Qt::Key_Backspace) << 0 << "\b" << 8;
        QTest::newRow("return") << int(Qt::Key_Return) << 0 << "\r" << 13;
        QTest::newRow("tab") << int(Qt::Key_Tab) << 0 << "\t" << 0;
        QTest::newRow("left") << int(Qt::Key_Left) << 0 << "" << 0;
        QTest::newRow("delete") << int(Qt::Key_Delete) << 0 << "\x7f" << 0;
        QTest::newRow("ctrl+v") << int(Qt::Key_V) << int(Qt::ControlModifier) << "\x16" << 22;
        QTest::newRow("ctrl+x") << int(Qt::Key_X) << int(Qt::ControlModifier) << "\x18" << 24;
        QTest::newRow("ctrl+z") << int(Qt::Key_Z) << int(Qt::ControlModifier) << "\x1a" << 26;
        QTest::newRow("ctrl+a") << int(Qt::Key_A) << int(Qt::ControlModifier) << "\x01" << 0;
        QTest::newRow("escape") << int(Qt::Key_Escape) << 0 << "\x1b" << 27;
    }
    void keyAsciiOfKeys() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, text);
        QFETCH(int, ascii);
        const QKeyEvent e(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), text);
        QCOMPARE(window::keyAsciiOf(e), ascii);
    }
};

QTEST_MAIN(TestEntry)
#include "tst_entry.moc"
