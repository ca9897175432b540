#include "synth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <stdexcept>

namespace store {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTargetRms = 0.125; // about -18 dBFS
constexpr double kKnee = 0.6;

struct Partial {
    double ratio; // of the fundamental
    double amp;
    double decay; // extra decay of this partial, per second
};

struct Instrument {
    std::vector<Partial> partials;
    double attack;        // seconds
    double decay;         // overall decay per second while held (0: sustained)
    double release;       // seconds
    double vibratoRate;   // Hz
    double vibratoDepth;  // share of the frequency
    double pitchDrop = 0; // share of the frequency lost over the attack (drums)
};

const std::map<std::string, Instrument>& instruments() {
    static const std::map<std::string, Instrument> table = {
        {"piano",
         {{{1, 1, 0}, {2, .55, 1.5}, {3, .3, 2.5}, {4, .18, 3.5}, {5, .12, 4.5}, {6, .08, 6}},
          .004,
          1.1,
          .09,
          0,
          0}},
        {"strings",
         {{{1, 1, 0}, {2, .5, 0}, {3, .33, 0}, {4, .25, 0}, {5, .2, 0}, {6, .15, 0}, {7, .1, 0}},
          .06,
          0,
          .14,
          5.5,
          .004}},
        {"brass",
         {{{1, 1, 0}, {2, .8, 0}, {3, .6, 0}, {4, .45, 0}, {5, .3, 0}, {6, .2, 0}, {7, .12, 0}},
          .03,
          0.1,
          .08,
          5,
          .002}},
        {"flute", {{{1, 1, 0}, {2, .25, 0}, {3, .1, 0}, {4, .04, 0}}, .04, 0, .08, 5, .005}},
        {"reed",
         {{{1, 1, 0}, {2, .12, 0}, {3, .55, 0}, {4, .1, 0}, {5, .3, 0}, {7, .15, 0}},
          .03,
          0,
          .07,
          5,
          .003}},
        {"voice",
         {{{1, 1, 0}, {2, .45, 0}, {3, .25, 0}, {4, .12, 0}, {5, .06, 0}}, .07, 0, .15, 5.5, .008}},
        {"organ",
         {{{1, 1, 0}, {2, .7, 0}, {3, .3, 0}, {4, .45, 0}, {6, .2, 0}, {8, .25, 0}},
          .012,
          0,
          .06,
          0,
          0}},
        {"harpsichord",
         {{{1, 1, 0}, {2, .7, 2}, {3, .55, 3}, {4, .45, 4}, {5, .35, 5}, {6, .25, 6}, {8, .15, 8}},
          .002,
          1.8,
          .05,
          0,
          0}},
        {"pluck", {{{1, 1, 0}, {2, .6, 3}, {3, .3, 5}, {4, .15, 7}}, .003, 2.2, .06, 0, 0}},
        {"bell", {{{1, 1, 0}, {2, .15, 2}, {3.01, .4, 4}, {4.2, .2, 6}}, .002, 2.4, .15, 0, 0}},
        {"timpani",
         {{{1, 1, 0}, {1.5, .5, 3}, {1.99, .35, 4}, {2.44, .2, 6}}, .003, 3.0, .25, 0, 0, .03}},
    };
    return table;
}

struct SineTable {
    static constexpr int kSize = 4096;
    std::array<float, kSize + 1> v{};
    SineTable() {
        for (int i = 0; i <= kSize; ++i)
            v[i] = static_cast<float>(std::sin(2 * kPi * i / kSize));
    }
    float operator()(double cycles) const {
        const double x = (cycles - std::floor(cycles)) * kSize;
        const int i = static_cast<int>(x);
        const float f = static_cast<float>(x - i);
        return v[i] + (v[i + 1] - v[i]) * f;
    }
};

const SineTable& sine() {
    static const SineTable table;
    return table;
}

void renderNote(std::vector<float>& out, const Instrument& ins, double freq, long start,
                long heldSamples, double gain) {
    const double sr = kSampleRate;
    const long releaseSamples = static_cast<long>(ins.release * sr);
    const long total =
        std::min(heldSamples + releaseSamples, static_cast<long>(out.size()) - start);
    double norm = 0;
    for (const auto& p : ins.partials)
        norm += p.amp;
    // Partials past Nyquist would fold back as noise.
    std::vector<Partial> parts;
    std::vector<double> level, fall;
    for (const auto& p : ins.partials) {
        if (p.ratio * freq < 0.45 * sr) {
            parts.push_back(p);
            level.push_back(p.amp / norm);
            fall.push_back(std::exp(-p.decay / sr));
        }
    }
    const double attackSamples = std::max(1.0, ins.attack * sr);
    const double bodyFall = std::exp(-ins.decay / sr);
    double body = 1;
    double phase = 0;
    double levelAtRelease = 1;
    const SineTable& sin = sine();
    for (long n = 0; n < total; ++n) {
        const double t = n / sr;
        double env = (n < attackSamples ? n / attackSamples : 1.0) * body;
        body *= bodyFall;
        if (n == heldSamples)
            levelAtRelease = env;
        if (n >= heldSamples) {
            const double r = static_cast<double>(n - heldSamples) / releaseSamples;
            env = levelAtRelease * (1 - r) * (1 - r);
        }
        double f = freq;
        if (ins.vibratoDepth > 0 && t > 0.15)
            f *= 1 + ins.vibratoDepth * std::min(1.0, (t - 0.15) * 4) * sin(ins.vibratoRate * t);
        if (ins.pitchDrop > 0 && n < 4000)
            f *= 1 + ins.pitchDrop * std::exp(-t * 30);
        phase += f / sr;
        double s = 0;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            s += level[i] * sin(phase * parts[i].ratio);
            level[i] *= fall[i];
        }
        out[start + n] += static_cast<float>(gain * env * s);
    }
}

} // namespace

std::vector<float> render(const Score& score, int samples, double fadeSeconds, int tailSamples) {
    std::vector<float> out(samples, 0.0f);
    const int period = score.length();
    if (period <= 0)
        throw std::runtime_error("the piece is empty");
    const double sr = kSampleRate;
    for (const auto& voice : score.voices) {
        const auto found = instruments().find(voice.instrument);
        if (found == instruments().end())
            throw std::runtime_error("unknown instrument '" + voice.instrument + "'");
        for (int offset = 0; score.seconds(offset) * sr < samples; offset += period) {
            for (const auto& note : voice.notes) {
                const long start = std::lround(score.seconds(offset + note.start) * sr);
                if (start >= samples)
                    break;
                const double gate = note.staccato ? 0.45 : voice.gate;
                const long held = std::lround(score.seconds(note.length) * gate * sr);
                // Chord tones share the voice's level so a chord is no louder than a note.
                const double g = voice.gain / std::sqrt(static_cast<double>(note.midi.size()));
                for (int m : note.midi)
                    renderNote(out, found->second, 440.0 * std::pow(2.0, (m - 69) / 12.0), start,
                               held, g);
            }
        }
    }
    // Fade to silence, then nothing for the tail the encoder's delay would cut anyway.
    const long fadeEnd = samples - tailSamples;
    const long fadeStart = std::max(0L, fadeEnd - std::lround(fadeSeconds * sr));
    for (long i = fadeStart; i < samples; ++i) {
        const double r = i >= fadeEnd
                             ? 0.0
                             : 0.5 + 0.5 * std::cos(kPi * (i - fadeStart) /
                                                    static_cast<double>(fadeEnd - fadeStart));
        out[i] = static_cast<float>(out[i] * r);
    }
    double sum = 0;
    for (float x : out)
        sum += static_cast<double>(x) * x;
    const double rms = std::sqrt(sum / samples);
    if (rms <= 0)
        return out;
    const double scale = kTargetRms / rms;
    for (float& x : out) {
        double y = x * scale;
        const double a = std::fabs(y);
        if (a > kKnee)
            y = std::copysign(kKnee + (1 - kKnee) * std::tanh((a - kKnee) / (1 - kKnee)), y);
        x = static_cast<float>(y);
    }
    return out;
}

} // namespace store
