// The built excerpt store: its layout against the clip table, and every clip as a decoder hears it.
#include "data/clip_table.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <mpg123.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr int kFrameBytes = 72;
constexpr int kFrameSamples = 576;

QByteArray readStore(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QByteArray& store() {
    static const QByteArray bytes =
        readStore(QStringLiteral(DORLO_BUILD_DIR "/Dorlo Zidoduder 04.dat"));
    return bytes;
}

QByteArray clip(int k) {
    return store().mid(edition::clipStart(k), edition::clipLength(k));
}

int tagSize(const QByteArray& c) {
    auto b = [&](int i) {
        return static_cast<unsigned char>(c[i]);
    };
    return 10 + (b(6) << 21 | b(7) << 14 | b(8) << 7 | b(9));
}

struct Decoded {
    long rate = 0;
    int channels = 0;
    std::vector<short> samples;
    QString error;
};

Decoded decode(const QByteArray& bytes) {
    Decoded d;
    int err = MPG123_OK;
    std::unique_ptr<mpg123_handle, decltype(&mpg123_delete)> mh(mpg123_new(nullptr, &err),
                                                                &mpg123_delete);
    if (!mh)
        return {0, 0, {}, QStringLiteral("mpg123_new failed")};
    mpg123_param(mh.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_format_none(mh.get());
    mpg123_format(mh.get(), 24000, MPG123_MONO, MPG123_ENC_SIGNED_16);
    mpg123_open_feed(mh.get());
    mpg123_feed(mh.get(), reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
    std::vector<short> buf(4096);
    for (;;) {
        size_t done = 0;
        const int ret = mpg123_read(mh.get(), buf.data(), buf.size() * sizeof(short), &done);
        d.samples.insert(d.samples.end(), buf.begin(), buf.begin() + done / sizeof(short));
        if (ret == MPG123_NEW_FORMAT) {
            int enc = 0;
            mpg123_getformat(mh.get(), &d.rate, &d.channels, &enc);
        } else if (ret == MPG123_NEED_MORE || ret == MPG123_DONE) {
            break;
        } else if (ret != MPG123_OK) {
            d.error = QString::fromUtf8(mpg123_strerror(mh.get()));
            break;
        }
    }
    return d;
}

double rms(const std::vector<short>& s) {
    double sum = 0;
    for (short x : s)
        sum += double(x) * x;
    return s.empty() ? 0 : std::sqrt(sum / s.size()) / 32768.0;
}

} // namespace

class TestStore : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        mpg123_init();
        QCOMPARE(store().size(), edition::storeLength());
    }

    void clipIsTaggedFrames_data() { clips(); }
    void clipIsTaggedFrames() {
        QFETCH(int, k);
        const QByteArray c = clip(k);
        QCOMPARE(c.size(), edition::clipLength(k));
        QVERIFY(c.startsWith("ID3\x03\x00\x00"));
        const int tag = tagSize(c);
        QCOMPARE((c.size() - tag) % kFrameBytes, 0);
        // Only padding: nothing in the tag may name the work.
        QCOMPARE(c.mid(10, tag - 10).count('\0'), tag - 10);
        for (int at = tag; at < c.size(); at += kFrameBytes) {
            const auto h = reinterpret_cast<const unsigned char*>(c.constData() + at);
            // MPEG-2 layer III, 24 kbit/s, 24 kHz, unpadded, mono.
            QVERIFY2(h[0] == 0xFF && h[1] == 0xF3 && (h[2] & 0xFE) == 0x34 && (h[3] & 0xC0) == 0xC0,
                     qPrintable(QStringLiteral("frame header at %1").arg(at)));
        }
    }

    void clipDecodes_data() { clips(); }
    void clipDecodes() {
        QFETCH(int, k);
        const QByteArray c = clip(k);
        const Decoded d = decode(c);
        QVERIFY2(d.error.isEmpty(), qPrintable(d.error));
        QCOMPARE(d.rate, 24000L);
        QCOMPARE(d.channels, 1);
        const long frames = (c.size() - tagSize(c)) / kFrameBytes;
        QCOMPARE(long(d.samples.size()), frames * kFrameSamples);
        if (k == 0) {
            for (short s : d.samples)
                QVERIFY(std::abs(s) <= 4);
        } else {
            QVERIFY2(d.samples.size() >= 8 * 24000, "excerpt shorter than 8 s");
        }
    }

    void excerptsAreMatchedInLoudness() {
        double lo = 1, hi = 0;
        for (int k = 1; k <= 30; ++k) {
            const double r = rms(decode(clip(k)).samples);
            QVERIFY2(r > 0.03,
                     qPrintable(QStringLiteral("clip %1 nearly silent: %2").arg(k).arg(r)));
            lo = std::min(lo, r);
            hi = std::max(hi, r);
        }
        QVERIFY2(hi < 2 * lo, qPrintable(QStringLiteral("RMS from %1 to %2").arg(lo).arg(hi)));
    }

    void renderingIsDeterministic() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString again = dir.filePath(QStringLiteral("again.dat"));
        QProcess p;
        p.start(QStringLiteral(STORE_RENDER), {QStringLiteral(EXCERPT_SOURCES), again});
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(readStore(again) == store());
    }

    void brokenSourceLeavesNoStore() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        for (int n = 1; n <= 30; ++n) {
            const QString name = QStringLiteral("%1.txt").arg(n, 2, 10, QLatin1Char('0'));
            QVERIFY(QFile::copy(QStringLiteral(EXCERPT_SOURCES "/") + name, dir.filePath(name)));
        }
        QFile bad(dir.filePath(QStringLiteral("17.txt")));
        QVERIFY(bad.open(QIODevice::Append));
        bad.write("h4:8\n"); // no such pitch
        bad.close();
        const QString target = dir.filePath(QStringLiteral("store.dat"));
        QProcess p;
        p.start(QStringLiteral(STORE_RENDER), {dir.path(), target});
        QVERIFY(p.waitForFinished(120000));
        QVERIFY(p.exitCode() != 0);
        QVERIFY(p.readAllStandardError().contains("17.txt"));
        QVERIFY(!QFile::exists(target));
        QVERIFY(!QFile::exists(target + QStringLiteral(".part")));
    }

private:
    void clips() {
        QTest::addColumn<int>("k");
        for (int k = 0; k <= 30; ++k)
            QTest::addRow("clip %d", k) << k;
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
