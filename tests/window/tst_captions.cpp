// Every caption a fixed box can show is drawn whole inside it, with a pixel of background to
// spare all round (below the ranking code's tails, none). Run once as it is and once with
// QT_SCALE_FACTOR=2.
#include "window_fixture.h"

#include "data/edition.h"
#include "engine/check.h"

#include <QLabel>
#include <QtTest>

using window::FrmDorlo;

namespace {

// The smallest rectangle, in device pixels, holding every pixel of `area` that is not the
// background.
QRect ink(const QImage& image, const QRect& area, QRgb background) {
    QRect r;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) != background)
                r |= QRect(x, y, 1, 1);
    return r;
}

// The label as drawn, with `frame` logical pixels of border, must keep its caption at least
// one logical pixel away from the border, or from its own edge when it has none; below the
// caption, `below` logical pixels.
void verifyDrawnWhole(QLabel* label, int frame, int below = 1) {
    const QImage image = label->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int d = int(image.devicePixelRatio());
    QVERIFY(d >= 1);
    const QRgb background = label->palette().color(label->backgroundRole()).rgb();
    const QRect inner = image.rect().adjusted(frame * d, frame * d, -frame * d, -frame * d);
    const QRect caption = ink(image, inner, background);
    QVERIFY2(!caption.isEmpty(), "no caption drawn");
    const QRect spare = inner.adjusted(d, d, -d, -below * d);
    QVERIFY2(spare.contains(caption),
             qPrintable(QStringLiteral("caption at (%1, %2) %3 x %4, room at (%5, %6) %7 x %8")
                            .arg(caption.x())
                            .arg(caption.y())
                            .arg(caption.width())
                            .arg(caption.height())
                            .arg(spare.x())
                            .arg(spare.y())
                            .arg(spare.width())
                            .arg(spare.height())));
}

QByteArray rowName(const char* what) {
    return QByteArray(what) + " at scale " + QByteArray::number(qApp->devicePixelRatio());
}

} // namespace

class TestCaptions : public QObject {
    Q_OBJECT
private slots:
    void resultCaptions_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("found");
        for (const char* c : {"?", "Faux", "à peu près", "Presque", "Quasiment"})
            QTest::newRow(rowName(c).constData()) << QString::fromUtf8(c) << false;
        QTest::newRow(rowName("Correct").constData()) << QStringLiteral("Correct") << true;
    }
    void resultCaptions() {
        QFETCH(QString, caption);
        QFETCH(bool, found);
        WindowFixture fx;
        auto f = fx.open();
        QLabel* label = f->Retour[1];
        label->setText(caption);
        FrmDorlo::setBackColor(label, found ? engine::kGreen : engine::kRed);
        QFont font = label->font();
        font.setBold(found);
        label->setFont(font);
        verifyDrawnWhole(label, 1);
    }

    void headerCaptions_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("below");
        QTest::newRow(rowName("count").constData()) << 0 << QStringLiteral("30") << 1;
        QTest::newRow(rowName("code").constData()) << 1 << QStringLiteral("MMMMMM") << 1;
        // The code's label is one line of its designed font high: the tails of J and Q reach
        // its lower edge, at scale 2 into its last logical pixel. Drawn whole, but with no room
        // below.
        QTest::newRow(rowName("code with tails").constData()) << 1 << QStringLiteral("QJ0Q9J") << 0;
        QTest::newRow(rowName("title").constData()) << 2 << QString() << 1;
        QTest::newRow(rowName("instruction").constData()) << 3 << QString() << 1;
        QTest::newRow(rowName("site").constData()) << 4 << QString() << 1;
    }
    void headerCaptions() {
        QFETCH(int, which);
        QFETCH(QString, caption);
        QFETCH(int, below);
        static constexpr QLabel* FrmDorlo::*labels[] = {&FrmDorlo::LblNbR1, &FrmDorlo::LblCode1,
                                                        &FrmDorlo::LblTitre, &FrmDorlo::LblIndics,
                                                        &FrmDorlo::LblSite};
        WindowFixture fx;
        auto f = fx.open();
        QLabel* label = f.get()->*labels[which];
        if (!caption.isEmpty())
            label->setText(caption);
        verifyDrawnWhole(label, 0, below);
    }
};

QTEST_MAIN(TestCaptions)
#include "tst_captions.moc"
