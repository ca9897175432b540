// What assistive technologies are told about the window, and the keyboard's way through it.
#include "tests/window/window_fixture.h"

#include "data/clip_table.h"
#include "data/edition.h"
#include "fixtures/test_stores.h"
#include "playback/excerpt_files.h"
#include "playback/media_player.h"
#include "playback/playback_control.h"
#include "playback/sound_switch.h"
#include "playback/volume.h"
#include "window/accessibility.h"

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

// Whether its parent lists it to assistive technologies.
bool exposed(QWidget* w) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    QAccessibleInterface* parent = a ? a->parent() : nullptr;
    return parent && parent->indexOfChild(a) >= 0;
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
        QSet<QString> names;
        for (QWidget* w : all) {
            if (w != f_.get() && !w->isVisibleTo(f_.get()))
                continue; // the hidden records and the wheel control
            if (!exposed(w))
                continue; // the separators and the gauge
            const QString n = text(w, QAccessible::Name);
            const QByteArray what = w->metaObject()->className() + QByteArray(" ") + n.toUtf8();
            QVERIFY2(!n.isEmpty(), what);
            QVERIFY2(!text(w, QAccessible::Description).isEmpty(), what);
            // Unique, but for a label and the panel it names.
            QVERIFY2(!names.contains(n) ||
                         (qobject_cast<QLabel*>(w) && static_cast<QLabel*>(w)->buddy() &&
                          text(static_cast<QLabel*>(w)->buddy(), QAccessible::Name) == n),
                     what);
            names << n;
            ++checked;
        }
        QVERIFY(checked > 30 * 6);
    }

    // The tree a screen reader walks: containers are no top-level frames, decoration and
    // the hidden records are left out, and no widget claims to control the window.
    void treeIsClean() {
        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(f_.get());
        QCOMPARE(window->role(), QAccessible::Window);
        int frames = 0, relations = 0, visited = 0;
        QList<QAccessibleInterface*> todo{window};
        while (!todo.isEmpty()) {
            QAccessibleInterface* a = todo.takeLast();
            ++visited;
            QVERIFY2(a->object() == f_.get() || a->role() != QAccessible::Client,
                     qPrintable(a->text(QAccessible::Name)));
            frames += a->role() == QAccessible::Window;
            for (const auto& r : a->relations())
                relations += r.second & (QAccessible::Controller | QAccessible::Controlled) ? 1 : 0;
            for (int i = 0; i < a->childCount(); ++i)
                todo << a->child(i);
        }
        QCOMPARE(frames, 1);
        QCOMPARE(relations, 0);
        for (QWidget* w : {static_cast<QWidget*>(f_->LineT1), static_cast<QWidget*>(f_->LineT3),
                           static_cast<QWidget*>(f_->fr[0]), static_cast<QWidget*>(f_->fr[33])})
            QVERIFY(!exposed(w));
        QVERIFY(visited < 250);
        // The number names its panel; the code's caption names the code.
        const auto labelOf = [](QWidget* w) {
            const auto rels =
                QAccessible::queryAccessibleInterface(w)->relations(QAccessible::Label);
            return rels.isEmpty() ? nullptr : rels.first().first->object();
        };
        QCOMPARE(labelOf(f_->Shape[7]), f_->No[7]);
        QCOMPARE(labelOf(f_->LblCode1), f_->LblCode0);
        QVERIFY(!labelOf(f_->Txt[7])); // its own name is what is said
    }

    void namesAndRoles_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("description");
        QTest::newRow("answer box")
            << "Txt7" << int(QAccessible::EditableText) << u"Question 7, votre réponse"_qs
            << u"Titre de l'œuvre ; Entrée pour vérifier"_qs;
        QTest::newRow("play") << "Cmd7" << int(QAccessible::Button)
                              << u"Question 7, écouter l'extrait"_qs
                              << u"Joue l'extrait de la question 7"_qs;
        QTest::newRow("stop of panel 7")
            << "Cmd37" << int(QAccessible::Button) << u"Question 7, arrêter l'écoute"_qs
            << u"Arrête l'extrait en cours"_qs;
        QTest::newRow("result") << "Retour7" << int(QAccessible::StaticText)
                                << u"Question 7, résultat : Pas de réponse"_qs
                                << u"Résultat de la vérification"_qs;
        QTest::newRow("panel") << "Shape30" << int(QAccessible::Grouping) << u"Question 30"_qs
                               << u"Extrait, réponse et résultat"_qs;
        QTest::newRow("count") << "LblNbR1" << int(QAccessible::StaticText)
                               << u"Bonnes réponses : 0 sur 30"_qs
                               << u"Nombre de bonnes réponses ; touche F2"_qs;
        QTest::newRow("code") << "LblCode1" << int(QAccessible::StaticText)
                              << u"Code de classement : aucun code, aucune bonne réponse"_qs
                              << u"Ce code vous permet de valider votre nombre de réponses sur "
                                 u"le classement permanent de "_qs +
                                     edition::siteName();
        QTest::newRow("switch") << "Son" << int(QAccessible::CheckBox) << u"Lecteur intégré"_qs
                                << u"Activé. En position OFF, le programme utilisera votre "
                                   u"lecteur MP3 par défaut"_qs;
        QTest::newRow("volume") << "Volume" << int(QAccessible::Slider) << u"Volume"_qs
                                << u"Flèches ou Page précédente et suivante pour régler"_qs;
        QTest::newRow("site") << "LblSite" << int(QAccessible::Link)
                              << u"Site "_qs + edition::siteName()
                              << u"Lien : ouvre "_qs + edition::siteAddress() +
                                     u" dans le navigateur"_qs;
        QTest::newRow("header block") << "ZoneT1" << int(QAccessible::Grouping) << u"Score"_qs
                                      << u"Nombre de bonnes réponses et code de classement"_qs;
    }
    void namesAndRoles() {
        QFETCH(QString, control);
        QFETCH(int, role);
        QFETCH(QString, name);
        QFETCH(QString, description);
        const std::map<QString, QWidget*> controls = {
            {"Txt7", f_->Txt[7]},       {"Cmd7", f_->Cmd[7]},       {"Cmd37", f_->Cmd[37]},
            {"Retour7", f_->Retour[7]}, {"Shape30", f_->Shape[30]}, {"LblNbR1", f_->LblNbR1},
            {"LblCode1", f_->LblCode1}, {"Son", f_->Son},           {"Volume", f_->Volume},
            {"LblSite", f_->LblSite},   {"ZoneT1", f_->ZoneT1}};
        QWidget* w = controls.at(control);
        QCOMPARE(int(QAccessible::queryAccessibleInterface(w)->role()), role);
        QCOMPARE(text(w, QAccessible::Name), name);
        QCOMPARE(text(w, QAccessible::Description), description);
    }

    void resultCountAndCodeFollowTheCheck() {
        setAnswer(f_->Txt[5], QStringLiteral("la truite"));
        f_->Verifie(5);
        QCOMPARE(text(f_->Retour[5], QAccessible::Name), u"Question 5, résultat : Correct"_qs);
        QCOMPARE(text(f_->LblNbR1, QAccessible::Name), u"Bonnes réponses : 1 sur 30"_qs);
        const QString code = f_->LblCode1->text();
        QCOMPARE(code.size(), 6);
        const QString spelt = QStringList(code.split(QString(), Qt::SkipEmptyParts)).join(' ');
        QCOMPARE(text(f_->LblCode1, QAccessible::Name), u"Code de classement : "_qs + spelt);
        activate();
        f_->Txt[5]->setFocus();
        QCOMPARE(window::accessibility::scoreText(*f_),
                 u"1 sur 30. Code de classement : "_qs + spelt + u". Question 5 : Correct."_qs);

        setAnswer(f_->Txt[5], QStringLiteral("La Truit"));
        f_->Verifie(5);
        QCOMPARE(text(f_->Retour[5], QAccessible::Name), u"Question 5, résultat : Presque"_qs);
        QCOMPARE(text(f_->LblNbR1, QAccessible::Name), u"Bonnes réponses : 0 sur 30"_qs);
        QVERIFY(f_->LblNbR1->toolTip().contains(window::accessibility::scoreKeyName()));
        QVERIFY(text(f_.get(), QAccessible::Description)
                    .contains(u"Touche "_qs + window::accessibility::scoreKeyName()));
    }

    void tabWalksEveryPanelThenTheHeader() {
        activate();
        f_->Txt[1]->setFocus();
        QCOMPARE(QApplication::focusWidget(), f_->Txt[1]);
        QList<QWidget*> expected;
        for (int n = 2; n <= 30; ++n)
            expected << f_->Cmd[n] << f_->Cmd[n + 30] << f_->Txt[n];
        expected << f_->Son << f_->Volume << f_->LblSite << f_->Cmd[1] << f_->Cmd[31] << f_->Txt[1];
        for (QWidget* w : expected) {
            press(Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), w);
        }
        // And back.
        for (QWidget* w : std::initializer_list<QWidget*>{f_->Cmd[31], f_->Cmd[1], f_->LblSite,
                                                          f_->Volume, f_->Son, f_->Txt[30]}) {
            press(Qt::Key_Backtab, Qt::ShiftModifier);
            QCOMPARE(QApplication::focusWidget(), w);
        }
        for (int n = 1; n <= 30; ++n) {
            QCOMPARE(f_->No[n]->focusPolicy(), Qt::NoFocus);
            QCOMPARE(f_->Retour[n]->focusPolicy(), Qt::NoFocus);
        }
    }

    void keysPressTheSwitchPlayAndStop() {
        activate();
        QStringList handed;
        f_->playback()->openWithSystem = [&](const QString& path) {
            handed << QString::fromLatin1(testing::readFile(path).toHex().left(16));
        };
        const QByteArray store = testing::patternStore(edition::storeLength());
        const auto clipHead = [&](int k) {
            return QString::fromLatin1(store.mid(edition::clipStart(k), 8).toHex());
        };

        // From the keyboard the switch toggles and keeps the focus; its state is its own.
        f_->Son->setFocus();
        press(Qt::Key_Space);
        QVERIFY(!f_->playback()->LecteurInterne);
        QVERIFY(!QAccessible::queryAccessibleInterface(f_->Son)->state().checked);
        QCOMPARE(QApplication::focusWidget(), f_->Son);
        press(Qt::Key_Return);
        QVERIFY(f_->playback()->LecteurInterne);
        QVERIFY(QAccessible::queryAccessibleInterface(f_->Son)->state().checked);
        QCOMPARE(QApplication::focusWidget(), f_->Son);
        // A click moves the focus to the header block, from which the switch is one Tab away.
        QTest::mouseClick(f_->Son, Qt::LeftButton);
        QVERIFY(!f_->playback()->LecteurInterne);
        QCOMPARE(QApplication::focusWidget(), f_->ZoneT1);
        press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f_->Son);

        f_->Cmd[7]->setFocus();
        press(Qt::Key_Space);
        QCOMPARE(handed, QStringList{clipHead(7)});
        f_->playback()->Timer_Timer(); // the wait after a hand-over, cut short

        f_->Cmd[37]->setFocus();
        press(Qt::Key_Return); // the system player is stopped by the silent clip 0
        QCOMPARE(handed, (QStringList{clipHead(7), clipHead(0)}));
        f_->playback()->Timer_Timer();
    }

    // The play button of the clip that plays shows as pressed until the player stops.
    void playingIsAState() {
        const auto pressed = [&](int k) {
            return bool(QAccessible::queryAccessibleInterface(f_->Cmd[k])->state().pressed);
        };
        emit f_->Cmd[7]->pressed();
        emit f_->MP->PlayStateChange(0, 2);
        QVERIFY(pressed(7));
        QVERIFY(!pressed(8));
        emit f_->MP->PlayStateChange(2, 0);
        QVERIFY(!pressed(7));
    }

    // Keys move the knob in its own steps and set the volume as a drag there would; its
    // level is its value.
    void knobFromTheKeyboard_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("left");
        QTest::newRow("right") << int(Qt::Key_Right) << 765;
        QTest::newRow("down") << int(Qt::Key_Down) << 675;
        QTest::newRow("page up") << int(Qt::Key_PageUp) << 837;
        QTest::newRow("page down") << int(Qt::Key_PageDown) << 603;
        QTest::newRow("end") << int(Qt::Key_End) << 960;
        QTest::newRow("home") << int(Qt::Key_Home) << 375;
    }
    void knobFromTheKeyboard() {
        QFETCH(int, key);
        QFETCH(int, left);
        activate();
        QList<int> volumes;
        connect(f_->Volume, &playback::VolumeKnob::volumeSet, this, [&](int v) { volumes << v; });
        f_->Volume->setFocus();
        QCOMPARE(QApplication::focusWidget(), f_->Volume);
        press(key);
        QCOMPARE(f_->Volume->leftTwips(), left);
        QCOMPARE(volumes, QList<int>{playback::volumeForPosition(left)});
        auto* value = QAccessible::queryAccessibleInterface(f_->Volume)->valueInterface();
        QVERIFY(value);
        QCOMPARE(value->currentValue().toInt(), std::lround(100.0 * (left - 375) / 585));
        // Reached by Tab only: a click on the knob leaves the focus where it was.
        QCOMPARE(f_->Volume->focusPolicy(), Qt::TabFocus);
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
        auto* actions = QAccessible::queryAccessibleInterface(f_->LblSite)->actionInterface();
        QVERIFY(actions &&
                actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
        actions->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(opened.size(), 3);
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
