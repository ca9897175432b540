// The built excerpt store: its layout against the clip table, and every clip as a decoder hears it.
#include "balance.h"
#include "data/clip_table.h"
#include "loudness.h"
#include "mp3.h"
#include "render.h"
#include "score.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr int kFrameBytes = 72;
constexpr int kFrameSamples = 576;
// How far the decoded audio lags the encoder's input: LAME's delay and the decoder's.
constexpr int kCodecDelay = 576 + 529;

QByteArray readStore(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QByteArray& storeBytes() {
    static const QByteArray bytes =
        readStore(QStringLiteral(DORLO_BUILD_DIR "/Dorlo Zidoduder 04.dat"));
    return bytes;
}

QByteArray clip(int k) {
    return storeBytes().mid(edition::clipStart(k), edition::clipLength(k));
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

// As the store's own tools hear a clip: 24 kHz mono, or the decoder's refusal. The samples at
// 16 bits, clipped as a player's output would be.
Decoded decode(const QByteArray& bytes) {
    Decoded d;
    try {
        const std::vector<float> pcm =
            store::decodeMp3(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
        d.rate = store::kSampleRate;
        d.channels = 1;
        d.samples.reserve(pcm.size());
        for (float x : pcm)
            d.samples.push_back(
                static_cast<short>(std::clamp(std::lround(x * 32768.0f), -32768L, 32767L)));
    } catch (const std::exception& e) {
        d.error = QString::fromUtf8(e.what());
    }
    return d;
}

std::vector<float> toFloat(const std::vector<short>& s) {
    std::vector<float> f(s.size());
    std::transform(s.begin(), s.end(), f.begin(), [](short x) { return x / 32768.0f; });
    return f;
}

QString sourcePath(int k) {
    return QStringLiteral(EXCERPT_SOURCES "/%1.txt").arg(k, 2, 10, QLatin1Char('0'));
}

// One SoundFont load for every test that renders.
store::Orchestra& orchestra() {
    static store::Orchestra o(DORLO_SOUNDFONT);
    return o;
}

store::Score score(int k) {
    QFile f(sourcePath(k));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return store::parseScore(f.readAll().toStdString());
}

// The fundamental of `x` around sample `at` (YIN), in Hz; 0 when nothing periodic is there.
double pitchAt(const std::vector<short>& x, long at) {
    constexpr int kSpan = 480, kMaxLag = 400, kMinLag = 8;
    if (at < 0 || at + kSpan + kMaxLag > static_cast<long>(x.size()))
        return 0;
    std::vector<double> d(kMaxLag + 1, 0.0);
    for (int lag = 1; lag <= kMaxLag; ++lag)
        for (int j = 0; j < kSpan; ++j) {
            const double diff = double(x[at + j]) - x[at + j + lag];
            d[lag] += diff * diff;
        }
    double running = 0;
    std::vector<double> norm(kMaxLag + 1, 1.0);
    for (int lag = 1; lag <= kMaxLag; ++lag) {
        running += d[lag];
        norm[lag] = running > 0 ? d[lag] * lag / running : 1.0;
    }
    int best = -1;
    for (int lag = kMinLag; lag < kMaxLag; ++lag) {
        if (norm[lag] < 0.2) {
            while (lag + 1 < kMaxLag && norm[lag + 1] < norm[lag])
                ++lag;
            best = lag;
            break;
        }
    }
    if (best < 0)
        best = static_cast<int>(std::min_element(norm.begin() + kMinLag, norm.end() - 1) -
                                norm.begin());
    if (norm[best] > 0.5)
        return 0;
    const double a = norm[best - 1], b = norm[best], c = norm[best + 1];
    const double shift = (a - 2 * b + c) != 0 ? 0.5 * (a - c) / (a - 2 * b + c) : 0;
    return store::kSampleRate / (best + shift);
}

} // namespace

class TestStore : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        mpg123_init();
        QCOMPARE(storeBytes().size(), edition::storeLength());
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

    // One loudness for all thirty, none clipped, and no gap a player could take for the end.
    void excerptsSoundEvenAndUnbroken() {
        QStringList faults;
        for (int k = 1; k <= 30; ++k) {
            const auto samples = decode(clip(k)).samples;
            const auto l = store::measure(toFloat(samples), 24000);
            if (std::fabs(l.integrated - store::kTargetLufs) > 0.5 || l.truePeak >= -1.0)
                faults << QStringLiteral("clip %1: %2 LUFS, true peak %3 dBTP")
                              .arg(k)
                              .arg(l.integrated)
                              .arg(l.truePeak);
            if (std::any_of(samples.begin(), samples.end(),
                            [](short x) { return x >= 32767 || x <= -32768; }))
                faults << QStringLiteral("clip %1 clips").arg(k);
            // Silence: 50 ms blocks under -50 dBFS, in a run of more than 1 s.
            int quiet = 0;
            for (long at = 0; at + 1200 <= 8 * 24000; at += 1200) {
                double sum = 0;
                for (long i = at; i < at + 1200; ++i)
                    sum += double(samples[i]) * samples[i];
                quiet = std::sqrt(sum / 1200) / 32768.0 < 0.00316 ? quiet + 1 : 0;
                if (quiet > 20) {
                    faults << QStringLiteral("clip %1 silent for over 1 s before %2 s")
                                  .arg(k)
                                  .arg((at + 1200) / 24000.0);
                    break;
                }
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
    }

    // The first voice, rendered alone and decoded, sounds at the pitches its source writes: a
    // program an octave off, or a transposing SoundFont preset, shows up here.
    void melodySoundsAsWritten() {
        QStringList faults;
        for (int k = 1; k <= 30; ++k) {
            const store::Score sc = score(k);
            QVERIFY2(!sc.voices.empty(), qPrintable(sourcePath(k)));
            const int frames = store::framesFor(edition::clipLength(k));
            const int samples = frames * store::kFrameSamples;
            auto pcm = orchestra().render(sc, samples, 1.5, store::kEncoderTail, 1);
            const float peak = std::max(1e-6f, *std::max_element(pcm.begin(), pcm.end()));
            for (float& x : pcm)
                x *= 0.5f / peak;
            const auto encoded = store::encodeFrames(pcm, frames);
            const auto heard = decode(QByteArray(reinterpret_cast<const char*>(encoded.data()),
                                                 static_cast<qsizetype>(encoded.size())))
                                   .samples;
            const store::Voice& melody = sc.voices.front();
            // The theme is heard at once; 26 opens with its fanfare first.
            if (melody.notes.empty() || sc.seconds(melody.notes.front().start) > (k == 26 ? 12 : 5))
                faults << QStringLiteral("clip %1: the melody starts late").arg(k);
            int checked = 0, right = 0;
            QStringList wrong;
            for (const store::Note& n : melody.notes) {
                const double start = sc.seconds(n.start);
                const double sounding = (sc.seconds(n.start + n.length) - start) * melody.gateOf(n);
                if (n.midi.size() != 1 || sounding < 0.08 ||
                    start + sounding > samples / 24000.0 - 2)
                    continue;
                // The note's later part, where a slow attack has settled and the note before
                // has died away: the median of three looks.
                std::vector<double> cents;
                for (double share : {0.45, 0.6, 0.75}) {
                    const double f = pitchAt(
                        heard, std::lround((start + share * sounding) * 24000) - 440 + kCodecDelay);
                    cents.push_back(f > 0 ? 1200 * std::log2(f / 440) - 100 * (n.midi[0] - 69)
                                          : 9999);
                }
                std::sort(cents.begin(), cents.end());
                ++checked;
                // Organ presets add 16- and 32-foot ranks, heard as the lowest pitch.
                const bool organ = melody.program >= 16 && melody.program <= 20;
                const double off = organ && cents[1] < -1150 && cents[1] > -2450
                                       ? std::remainder(cents[1], 1200)
                                       : cents[1];
                if (std::fabs(off) < 50)
                    ++right;
                else if (wrong.size() < 4)
                    wrong << QStringLiteral("%1 s: MIDI %2 off by %3 cents")
                                 .arg(start, 0, 'f', 2)
                                 .arg(n.midi[0])
                                 .arg(cents[1], 0, 'f', 0);
            }
            if (checked < 4 || right < 0.8 * checked)
                faults << QStringLiteral("clip %1: %2 of %3 notes right (%4)")
                              .arg(k)
                              .arg(right)
                              .arg(checked)
                              .arg(wrong.join(QStringLiteral(", ")));
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
    }

    // The voices that carry the tune stand out: a drone or an accompaniment that covers them
    // leaves a listener guessing.
    void tuneLeads_data() {
        QTest::addColumn<int>("k");
        for (int k = 1; k <= 30; ++k)
            QTest::addRow("clip %d", k) << k;
    }
    void tuneLeads() {
        QFETCH(int, k);
        const store::TuneBalance b = store::tuneBalance(orchestra(), score(k));
        QVERIFY2(b.leads(), store::describe(b).c_str());
    }

    // The measure itself: a drowned tune is caught, a doubled one counted whole, an exemption
    // needs its reason.
    void tuneBalanceOfSources_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QString tune = QStringLiteral("c5:4 d5 e5 f5 g5 a5 b5 c6\n");
        const QString loudBass =
            QStringLiteral("voice bass strings gain=1.0 vel=120\nc3+g3:1 g2+d3:1\n");
        QTest::newRow("tune over a quiet bass")
            << "tempo 120\nvoice m flute\n" + tune + "voice bass strings gain=0.2 vel=50\nc3:1"
            << "leads";
        QTest::newRow("tune under a loud bass")
            << "tempo 120\nvoice m flute gain=0.5 vel=50\n" + tune + loudBass << "falls short";
        QTest::newRow("doubled tune")
            << "tempo 120\ntune m double\nvoice m flute gain=0.5 vel=50\n" + tune +
                   "voice double strings vel=120\n" + tune + "voice bass strings gain=0.3\nc3:1"
            << "leads";
        QTest::newRow("exempt")
            << "tempo 120\ntune exempt its own chords\nvoice m flute gain=0.5 vel=50\n" + tune +
                   loudBass
            << "exempt: its own chords";
        QTest::newRow("single voice")
            << "tempo 120\nvoice m flute\n" + tune << "exempt: single voice";
        QTest::newRow("tune after 8 s") << "tempo 60\nvoice m flute\nr:1 r:1 c5:4\n" + loudBass
                                        << "the tune does not play in the first seconds";
    }
    void tuneBalanceOfSources() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QString got;
        try {
            const auto b = store::tuneBalance(orchestra(), store::parseScore(text.toStdString()));
            got = !b.exempt.empty() ? QStringLiteral("exempt: %1").arg(b.exempt.c_str())
                  : b.leads()       ? QStringLiteral("leads")
                                    : QStringLiteral("falls short");
        } catch (const std::exception& e) {
            got = QString::fromStdString(e.what());
        }
        QCOMPARE(got, expected);
    }

    void renderingIsDeterministic() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString again = dir.filePath(QStringLiteral("again.dat"));
        QProcess p;
        p.start(QStringLiteral(STORE_RENDER), {QStringLiteral(EXCERPT_SOURCES), again});
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(readStore(again) == storeBytes());
    }

    // The format's words as the renderer receives them; a mistake names its line.
    void noteSourcesParse_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // what the notes read as, or the error
        const QString head = QStringLiteral("tempo 60\nmeter 2/4\n");
        QTest::newRow("program by name") << head + "voice a english_horn\nc4:4 d4"
                                         << "p69 60@0v80 62@1v80";
        QTest::newRow("program by number") << head + "voice a 71 vel=30\nc4:4"
                                           << "p71 60@0v30";
        QTest::newRow("drums by name") << head + "voice d drums\ncrash+bass_drum:4 c#3"
                                       << "drums 49,36@0v80 49@1v80";
        QTest::newRow("dynamics, accent") << head + "voice a piano\nc4:4 ff d4 e4> p f4>"
                                          << "p0 60@0v80 62@1v112 64@2v127 65@3v66";
        QTest::newRow("tempo change") << head + "voice a piano\nc4:4 tempo=120 d4 e4"
                                      << "p0 60@0v80 62@1v80 64@1.5v80";
        QTest::newRow("unknown program") << head + "voice a kazoo\nc4:4"
                                         << "line 3: unknown instrument 'kazoo'";
        QTest::newRow("no such drum") << head + "voice a drums\nanvil:4"
                                      << "line 4: bad drum 'anvil'";
        QTest::newRow("bad option") << head + "voice a piano vel=200\nc4:4"
                                    << "line 3: bad voice option 'vel=200'";
        QTest::newRow("short bar") << head + "voice a piano\nc4:4 | d4 |"
                                   << "line 4: bar of 960 ticks in voice a, expected 1920";
        QTest::newRow("tune of no voice") << head + "tune a b\nvoice a piano\nc4:4"
                                          << "line 3: tune names no voice 'b'";
        QTest::newRow("exempt without why") << head + "tune exempt\nvoice a piano\nc4:4"
                                            << "line 3: tune exempt needs the reason why the "
                                               "tune cannot lead";
        QTest::newRow("two drum voices") << head + "voice a drums\nsnare:4\nvoice b drums\nsnare:4"
                                         << "more voices than MIDI channels";
    }
    void noteSourcesParse() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QString got;
        try {
            const store::Score sc = store::parseScore(text.toStdString());
            const store::Voice& v = sc.voices.front();
            got = v.drums ? QStringLiteral("drums") : QStringLiteral("p%1").arg(v.program);
            for (const store::Note& n : v.notes) {
                QStringList keys;
                for (int m : n.midi)
                    keys << QString::number(m);
                got += QStringLiteral(" %1@%2v%3")
                           .arg(keys.join(QLatin1Char(',')))
                           .arg(sc.seconds(n.start))
                           .arg(n.velocity);
            }
        } catch (const std::exception& e) {
            got = QString::fromStdString(e.what());
        }
        QCOMPARE(got, expected);
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
        bad.write("\nh4:8\n"); // no such pitch
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
