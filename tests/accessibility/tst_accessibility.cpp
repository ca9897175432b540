// What assistive technologies are told about the window, and the keyboard's way through it.
#include "tests/window/window_fixture.h"

#include "data/clip_table.h"
#include "data/edition.h"
#include "playback/excerpt_files.h"
#include "playback/playback_control.h"
#include "playback/sound_switch.h"
#include "playback/volume.h"
#include "tests/playback/test_stores.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QToolButton>
#include <QtTest>

using window::FrmDorlo;

namespace {

QString text(QWidget* w, QAccessible::Text t) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(t) : QStringLiteral("<no interface>");
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT

    WindowFixture fx_;
    std::unique_ptr<FrmDorlo> f_;

    // A shown, active window, so that keys travel as the player's do.
    void activate() {
        f_->show();
        QApplication::setActiveWindow(f_.get());
        QVERIFY(QTest::qWaitForWindowActive(f_.get()));
    }
    void press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus);
        QTest::keyClick(focus, Qt::Key(key), mods);
    }

private slots:
    void init() {
        QVERIFY(testing::writeFile(playback::storePath(fx_.dir.path()),
                                   testing::patternStore(edition::storeLength())));
        f_ = fx_.open();
    }
    void cleanup() {
        for (int n = 1; n <= 30; ++n) // nothing saved between tests
            f_->Txt[n]->clear();
        f_.reset();
    }

    void everyVisibleControlIsNamedAndDescribed() {
        QList<QWidget*> all = f_->findChildren<QWidget*>();
        all.prepend(f_.get());
        int checked = 0;
        for (QWidget* w : all) {
            if (w != f_.get() && !w->isVisibleTo(f_.get()))
                continue; // the hidden records and the wheel control
            const QByteArray what = w->metaObject()->className() + QByteArray(" ") +
                                    text(w, QAccessible::Name).toUtf8();
            QVERIFY2(!text(w, QAccessible::Name).isEmpty(), what);
            QVERIFY2(!text(w, QAccessible::Description).isEmpty(), what);
            ++checked;
        }
        QVERIFY(checked > 30 * 6);
    }

    void namesInFrench_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("description");
        QTest::newRow("answer box") << "Txt7" << u"Question 7 : réponse"_qs
                                    << u"Titre de l'œuvre ; Entrée pour vérifier"_qs;
        QTest::newRow("play") << "Cmd7" << u"Question 7 : écouter l'extrait"_qs
                              << u"Joue l'extrait de la question 7"_qs;
        QTest::newRow("stop of panel 7")
            << "Cmd37" << u"Question 7 : arrêter l'écoute"_qs << u"Arrête l'extrait en cours"_qs;
        QTest::newRow("result") << "Retour7" << u"Question 7 : résultat"_qs << u"Pas de réponse"_qs;
        QTest::newRow("number") << "No30" << u"Question 30"_qs << u"Numéro de la question"_qs;
        QTest::newRow("count") << "LblNbR1" << u"Nombre de bonnes réponses"_qs << u"0 sur 30"_qs;
        QTest::newRow("code") << "LblCode1" << u"Code de classement"_qs
                              << u"Aucun code : aucune bonne réponse"_qs;
        QTest::newRow("switch") << "Son" << u"Lecteur intégré : activé"_qs
                                << u"En position OFF, le programme utilisera votre lecteur MP3 "
                                   u"par défaut"_qs;
        QTest::newRow("volume") << "Volume" << u"Volume"_qs << u"Niveau : 59 %"_qs;
        QTest::newRow("site") << "LblSite" << u"Site "_qs + edition::siteName()
                              << u"Lien : ouvre "_qs + edition::siteAddress() +
                                     u" dans le navigateur"_qs;
    }
    void namesInFrench() {
        QFETCH(QString, control);
        QFETCH(QString, name);
        QFETCH(QString, description);
        const std::map<QString, QWidget*> controls = {
            {"Txt7", f_->Txt[7]},       {"Cmd7", f_->Cmd[7]}, {"Cmd37", f_->Cmd[37]},
            {"Retour7", f_->Retour[7]}, {"No30", f_->No[30]}, {"LblNbR1", f_->LblNbR1},
            {"LblCode1", f_->LblCode1}, {"Son", f_->Son},     {"Volume", f_->Volume},
            {"LblSite", f_->LblSite}};
        QWidget* w = controls.at(control);
        QCOMPARE(text(w, QAccessible::Name), name);
        QCOMPARE(text(w, QAccessible::Description), description);
    }

    void resultCountAndCodeFollowTheCheck() {
        setAnswer(f_->Txt[5], QStringLiteral("la truite"));
        f_->Verifie(5);
        QCOMPARE(text(f_->Retour[5], QAccessible::Description), QStringLiteral("Correct"));
        QCOMPARE(text(f_->LblNbR1, QAccessible::Description), QStringLiteral("1 sur 30"));
        const QString code = text(f_->LblCode1, QAccessible::Description);
        QCOMPARE(code, f_->LblCode1->text());
        QCOMPARE(code.size(), 6);

        setAnswer(f_->Txt[5], QStringLiteral("La Truit"));
        f_->Verifie(5);
        QCOMPARE(text(f_->Retour[5], QAccessible::Description), QStringLiteral("Presque"));
        QCOMPARE(text(f_->Retour[5], QAccessible::Name), QStringLiteral("Question 5 : résultat"));
        QCOMPARE(text(f_->LblNbR1, QAccessible::Description), QStringLiteral("0 sur 30"));
    }

    void tabWalksEveryPanelThenTheHeader() {
        activate();
        f_->Txt[1]->setFocus();
        QCOMPARE(QApplication::focusWidget(), f_->Txt[1]);
        QList<QWidget*> expected;
        for (int n = 2; n <= 30; ++n)
            expected << f_->Cmd[n] << f_->Cmd[n + 30] << f_->Txt[n];
        expected << f_->Son << f_->LblSite << f_->Cmd[1] << f_->Cmd[31] << f_->Txt[1];
        for (QWidget* w : expected) {
            press(Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), w);
        }
        // And back.
        for (QWidget* w : std::initializer_list<QWidget*>{f_->Cmd[31], f_->Cmd[1], f_->LblSite,
                                                          f_->Son, f_->Txt[30]}) {
            press(Qt::Key_Backtab, Qt::ShiftModifier);
            QCOMPARE(QApplication::focusWidget(), w);
        }
        for (int n = 1; n <= 30; ++n) {
            QCOMPARE(f_->No[n]->focusPolicy(), Qt::NoFocus);
            QCOMPARE(f_->Retour[n]->focusPolicy(), Qt::NoFocus);
        }
    }

    void spacePressesTheSwitchPlayAndStop() {
        activate();
        QStringList handed;
        f_->playback()->openWithSystem = [&](const QString& path) {
            handed << QString::fromLatin1(testing::readFile(path).toHex().left(16));
        };
        const QByteArray store = testing::patternStore(edition::storeLength());
        const auto clipHead = [&](int k) {
            return QString::fromLatin1(store.mid(edition::clipStart(k), 8).toHex());
        };

        f_->Son->setFocus();
        press(Qt::Key_Space);
        QVERIFY(!f_->playback()->LecteurInterne);
        QCOMPARE(text(f_->Son, QAccessible::Name), QStringLiteral("Lecteur intégré : désactivé"));
        QCOMPARE(QApplication::focusWidget(), f_->ZoneT1);
        press(Qt::Key_Tab); // from the header block the switch is one step away
        QCOMPARE(QApplication::focusWidget(), f_->Son);

        f_->Cmd[7]->setFocus();
        press(Qt::Key_Space);
        QCOMPARE(handed, QStringList{clipHead(7)});
        f_->playback()->Timer_Timer(); // the wait after a hand-over, cut short

        f_->Cmd[37]->setFocus();
        press(Qt::Key_Space); // the system player is stopped by the silent clip 0
        QCOMPARE(handed, (QStringList{clipHead(7), clipHead(0)}));
        f_->playback()->Timer_Timer();
    }

    void siteLinkOpensFromTheKeyboard() {
        activate();
        QList<QUrl> opened;
        f_->openUrl = [&](const QUrl& u) {
            opened << u;
        };
        f_->LblSite->setFocus();
        QCOMPARE(QApplication::focusWidget(), f_->LblSite);
        press(Qt::Key_Space);
        press(Qt::Key_Return);
        QCOMPARE(opened, (QList<QUrl>{QUrl(edition::siteAddress()), QUrl(edition::siteAddress())}));
        press(Qt::Key_A);
        QCOMPARE(opened.size(), 2);
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
