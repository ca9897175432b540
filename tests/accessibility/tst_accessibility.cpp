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
#include "window/design.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QToolButton>
#include <QtTest>
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

using window::FrmDorlo;

namespace {

// As when a screen reader starts or stops listening.
void setScreenReader(bool on) {
    QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(on);
}

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
    // A screen reader starting or stopping while the game runs, as Qt's bridge reports it.
    static void screenReader(bool on) { QAccessible::setActive(on); }
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
        screenReader(false);
    }

    // Without a screen reader the tooltips are the design's; the count's names the score
    // key only while one runs.
    void tooltips_data() {
        QTest::addColumn<bool>("assistive");
        QTest::newRow("no screen reader") << false;
        QTest::newRow("screen reader") << true;
    }
    void tooltips() {
        QFETCH(bool, assistive);
        screenReader(assistive);
        const QString codeTip = QString::fromUtf8(window::design::kCodeTip) + edition::siteName();
        std::map<QWidget*, QString> expected = {
            {f_->LblCode0, codeTip},
            {f_->LblCode1, codeTip},
            {f_->Son, QString::fromUtf8(window::design::kSonTip)},
            {f_->LblSite, QString::fromUtf8(window::design::kSiteTip) + edition::siteAddress()}};
        if (assistive)
            expected[f_->LblNbR1] = u"Nombre de bonnes réponses ; la touche F2 le dit, avec le "
                                    u"code de classement"_qs;
        int tips = 0;
        for (QWidget* w : f_->findChildren<QWidget*>()) {
            if (w->toolTip().isEmpty())
                continue;
            ++tips;
            QVERIFY2(expected.count(w), qPrintable(w->toolTip()));
            QCOMPARE(w->toolTip(), expected.at(w));
        }
        QCOMPARE(tips, int(expected.size()));
        QVERIFY(text(f_->LblNbR1, QAccessible::Description).contains(u"F2"_qs));
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
            << "Txt7" << int(QAccessible::EditableText)
            << u"Question 7, votre réponse, Pas de réponse"_qs << u"Entrée pour vérifier"_qs;
        QTest::newRow("play") << "Cmd7" << int(QAccessible::Button)
                              << u"Question 7, Pas de réponse, écouter l'extrait"_qs
                              << u"Joue l'extrait"_qs;
        QTest::newRow("stop of panel 7")
            << "Cmd37" << int(QAccessible::Button) << u"Question 7, arrêter l'écoute"_qs
            << u"Arrête l'extrait en cours"_qs;
        QTest::newRow("result") << "Retour7" << int(QAccessible::StaticText)
                                << u"Question 7, résultat : Pas de réponse"_qs
                                << u"Résultat de la vérification"_qs;
        QTest::newRow("panel") << "Shape30" << int(QAccessible::Section) << u"Question 30"_qs
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
        QTest::newRow("volume")
            << "Volume" << int(QAccessible::Slider) << u"Volume"_qs
            << u"Pour cent ; flèches ou Page précédente et suivante pour régler"_qs;
        QTest::newRow("site") << "LblSite" << int(QAccessible::Link)
                              << u"Site "_qs + edition::siteName()
                              << u"Lien : ouvre "_qs + edition::siteAddress() +
                                     u" dans le navigateur"_qs;
        QTest::newRow("header block") << "ZoneT1" << int(QAccessible::Section) << u"Score"_qs
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
        QCOMPARE(text(f_->Txt[5], QAccessible::Name), u"Question 5, votre réponse, Presque"_qs);
        // One attribute run over the whole answer: a screen reader reads the text by runs.
        int start = -1, end = -1;
        QAccessible::queryAccessibleInterface(f_->Txt[5])
            ->textInterface()
            ->attributes(3, &start, &end);
        QCOMPARE(std::pair(start, end), std::pair(0, 8));
        QCOMPARE(text(f_->LblNbR1, QAccessible::Name), u"Bonnes réponses : 0 sur 30"_qs);
        QVERIFY(text(f_.get(), QAccessible::Description)
                    .contains(u"Touche "_qs + window::accessibility::scoreKeyName()));
    }

    // The knob and the site link are Tab stops only while a screen reader runs.
    void tabWalksEveryPanelThenTheHeader_data() {
        QTest::addColumn<bool>("assistive");
        QTest::addColumn<bool>("gone"); // started, then stopped again
        QTest::newRow("no screen reader") << false << false;
        QTest::newRow("screen reader") << true << false;
        QTest::newRow("screen reader gone") << true << true;
    }
    void tabWalksEveryPanelThenTheHeader() {
        QFETCH(bool, assistive);
        QFETCH(bool, gone);
        activate();
        screenReader(assistive);
        if (gone) {
            f_->Volume->setFocus();
            screenReader(false);
            assistive = false;
            QCOMPARE(QApplication::focusWidget(), f_->ZoneT1);
        }
        f_->Txt[1]->setFocus();
        QCOMPARE(QApplication::focusWidget(), f_->Txt[1]);
        QList<QWidget*> header{f_->Son};
        if (assistive)
            header << f_->Volume << f_->LblSite;
        QList<QWidget*> expected;
        for (int n = 2; n <= 30; ++n)
            expected << f_->Cmd[n] << f_->Cmd[n + 30] << f_->Txt[n];
        expected << header << f_->Cmd[1] << f_->Cmd[31] << f_->Txt[1];
        for (QWidget* w : expected) {
            press(Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), w);
        }
        // And back.
        QList<QWidget*> back{f_->Cmd[31], f_->Cmd[1]};
        for (auto it = header.rbegin(); it != header.rend(); ++it)
            back << *it;
        back << f_->Txt[30];
        for (QWidget* w : back) {
            press(Qt::Key_Backtab, Qt::ShiftModifier);
            QCOMPARE(QApplication::focusWidget(), w);
        }
        QCOMPARE(f_->Volume->focusPolicy(), assistive ? Qt::TabFocus : Qt::NoFocus);
        QCOMPARE(f_->LblSite->focusPolicy(), assistive ? Qt::TabFocus : Qt::NoFocus);
        for (int n = 1; n <= 30; ++n) {
            QCOMPARE(f_->No[n]->focusPolicy(), Qt::NoFocus);
            QCOMPARE(f_->Retour[n]->focusPolicy(), Qt::NoFocus);
        }
    }

    // A click into a box leaves the caret where it fell, screen reader or not; reached from
    // the keyboard, the box's whole text is selected.
    void focusIntoABox_data() {
        QTest::addColumn<bool>("assistive");
        QTest::addColumn<bool>("byMouse");
        QTest::newRow("click, no screen reader") << false << true;
        QTest::newRow("click, screen reader") << true << true;
        QTest::newRow("tab, no screen reader") << false << false;
        QTest::newRow("tab, screen reader") << true << false;
    }
    void focusIntoABox() {
        QFETCH(bool, assistive);
        QFETCH(bool, byMouse);
        activate();
        screenReader(assistive);
        setAnswer(f_->Txt[2], QStringLiteral("Casse-Noisette"));
        f_->Cmd[32]->setFocus();
        if (byMouse)
            QTest::mouseClick(f_->Txt[2], Qt::LeftButton, {}, QPoint(8, f_->Txt[2]->height() / 2));
        else
            press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f_->Txt[2]);
        QTest::qWait(50); // what is posted after the focus
        QCOMPARE(f_->Txt[2]->selectedText(),
                 byMouse ? QString() : QStringLiteral("Casse-Noisette"));
        if (byMouse)
            QVERIFY(f_->Txt[2]->cursorPosition() < 3);
    }

    void keysPressTheSwitchPlayAndStop_data() {
        QTest::addColumn<bool>("assistive");
        QTest::newRow("no screen reader") << false;
        QTest::newRow("screen reader") << true;
    }
    void keysPressTheSwitchPlayAndStop() {
        QFETCH(bool, assistive);
        activate();
        screenReader(assistive);
        QStringList handed;
        f_->playback()->openWithSystem = [&](const QString& path) {
            handed << QString::fromLatin1(testing::readFile(path).toHex().left(16));
        };
        const QByteArray store = testing::patternStore(edition::storeLength());
        const auto clipHead = [&](int k) {
            return QString::fromLatin1(store.mid(edition::clipStart(k), 8).toHex());
        };

        // From the keyboard the switch toggles; the focus goes to the header block as after a
        // click, or stays under a screen reader, which then says the new state.
        QWidget* after = assistive ? static_cast<QWidget*>(f_->Son) : f_->ZoneT1;
        f_->Son->setFocus();
        press(Qt::Key_Space);
        QVERIFY(!f_->playback()->LecteurInterne);
        QVERIFY(!QAccessible::queryAccessibleInterface(f_->Son)->state().checked);
        QCOMPARE(QApplication::focusWidget(), after);
        f_->Son->setFocus();
        press(Qt::Key_Return);
        QVERIFY(f_->playback()->LecteurInterne);
        QVERIFY(QAccessible::queryAccessibleInterface(f_->Son)->state().checked);
        QCOMPARE(QApplication::focusWidget(), after);
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
        screenReader(true);
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
        screenReader(true);
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

    // The keys between questions exist only while a screen reader listens; without one the
    // boxes and the knob see every key as before.
    void questionKeysOnlyUnderAScreenReader_data() {
        QTest::addColumn<bool>("reader");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QList<int>>("keys"); // key codes, Ctrl+ when negative
        QTest::addColumn<QString>("to");
        const QList<int> pageDown{Qt::Key_PageDown}, ctrlEnd{-Qt::Key_End};
        const QList<int> goTo12{-Qt::Key_G, Qt::Key_1, Qt::Key_2};
        QTest::newRow("page down") << true << "Txt7" << pageDown << "Txt8";
        QTest::newRow("page down, no reader") << false << "Txt7" << pageDown << "Txt7";
        QTest::newRow("page up") << true << "Cmd7" << QList<int>{Qt::Key_PageUp} << "Txt6";
        QTest::newRow("page down past 30") << true << "Txt30" << pageDown << "Txt30";
        QTest::newRow("ctrl+end") << true << "Txt7" << ctrlEnd << "Txt30";
        QTest::newRow("ctrl+end, no reader") << false << "Txt7" << ctrlEnd << "Txt7";
        QTest::newRow("ctrl+home") << true << "Txt7" << QList<int>{-Qt::Key_Home} << "Txt1";
        QTest::newRow("go to 12") << true << "Txt7" << goTo12 << "Txt12";
        QTest::newRow("go to 5 at once")
            << true << "Txt7" << QList<int>{-Qt::Key_G, Qt::Key_5} << "Txt5";
        QTest::newRow("go to 3, Enter")
            << true << "Txt7" << QList<int>{-Qt::Key_G, Qt::Key_3, Qt::Key_Return} << "Txt3";
        QTest::newRow("knob keeps its paging") << true << "Volume" << pageDown << "Volume";
    }
    void questionKeysOnlyUnderAScreenReader() {
        QFETCH(bool, reader);
        QFETCH(QString, from);
        QFETCH(QList<int>, keys);
        QFETCH(QString, to);
        const auto widget = [&](const QString& name) -> QWidget* {
            if (name == u"Volume"_qs)
                return f_->Volume;
            const int n = name.mid(3).toInt();
            return name.startsWith(u"Txt"_qs) ? static_cast<QWidget*>(f_->Txt[n]) : f_->Cmd[n];
        };
        activate();
        // First the reader: without one the knob takes no focus.
        setScreenReader(reader);
        widget(from)->setFocus();
        const int left = f_->Volume->leftTwips();
        for (int key : keys) {
            press(std::abs(key), key < 0 ? Qt::ControlModifier : Qt::NoModifier);
            fx_.now += 250;
        }
        QCoreApplication::processEvents();
        // Read before the reader stops: the knob then gives its focus away.
        QWidget* const reached = QApplication::focusWidget();
        setScreenReader(false);
        QCOMPARE(reached, widget(to));
        QCOMPARE(f_->Volume->leftTwips() != left, from == u"Volume"_qs);
        QVERIFY(f_->Txt[7]->text().isEmpty()); // no digit typed into the box
    }

    // Under a screen reader every action is heard, once.
    void actionsAreHeard_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("said");
        QTest::newRow("enter, empty box") << "Txt7" << int(Qt::Key_Return) << "Tapez un titre";
        QTest::newRow("enter, found box") << "Txt5" << int(Qt::Key_Return) << "Déjà trouvé";
        QTest::newRow("enter, unchanged check") << "Txt6" << int(Qt::Key_Return) << "Faux.";
        QTest::newRow("stop") << "Cmd37" << int(Qt::Key_Return) << "Arrêt";
        QTest::newRow("help") << "Txt7" << int(Qt::Key_F1) << "Aide. F3 écoute l'extrait";
        QTest::newRow("page down at 30") << "Txt30" << int(Qt::Key_PageDown) << "Dernière question";
    }
    void actionsAreHeard() {
        QFETCH(QString, from);
        QFETCH(int, key);
        QFETCH(QString, said);
        setAnswer(f_->Txt[5], QStringLiteral("la truite"));
        f_->Verifie(5);
        setAnswer(f_->Txt[6], QStringLiteral("xyz"));
        f_->Verifie(6);
        activate();
        const int n = from.mid(3).toInt();
        (from.startsWith(u"Txt"_qs) ? static_cast<QWidget*>(f_->Txt[n]) : f_->Cmd[n])->setFocus();
        setScreenReader(true);
        const int before = window::accessibility::spokenCount(*f_);
        press(key);
        QCoreApplication::processEvents();
        const int spoken = window::accessibility::spokenCount(*f_) - before;
        QString last;
        for (QLabel* l : f_->findChildren<QLabel*>())
            if (QAccessible::queryAccessibleInterface(l)->role() == QAccessible::Notification)
                last = l->text();
        setScreenReader(false);
        QCOMPARE(spoken, 1);
        QVERIFY2(last.startsWith(said), qPrintable(last));
    }

    // A returning player hears the count and the code right after the title.
    void startUpSaysWhereTheGameStands() {
        QVERIFY(!text(f_.get(), QAccessible::Description).contains(u"sur 30"_qs));
        setAnswer(f_->Txt[5], QStringLiteral("la truite"));
        f_.reset(); // saves the answer
        f_ = fx_.open();
        const QString hint = text(f_.get(), QAccessible::Description);
        QFile::remove(fx_.path(window::answersFileName(QStringLiteral("game"))));
        QVERIFY2(hint.contains(u". 1 sur 30. Code de classement : "_qs), qPrintable(hint));
        QVERIFY2(hint.contains(u"Touche "_qs + window::accessibility::scoreKeyName()),
                 qPrintable(hint));
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
