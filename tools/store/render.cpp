#include "render.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <tuple>

namespace store {

namespace {

// Rendered at twice the store's rate and filtered down, so the samples' highs above 12 kHz
// cannot fold back into the audible band.
constexpr int kOversample = 2;
constexpr int kSynthRate = kSampleRate * kOversample;
constexpr int kDrumChannel = 9;

struct Event {
    long sample;
    int kind; // at one instant: note-offs first, so a repeated key is struck again
    int channel;
    int key;
    int velocity;
    bool operator<(const Event& o) const {
        return std::tie(sample, kind, channel, key) < std::tie(o.sample, o.kind, o.channel, o.key);
    }
};
enum Kind { kNoteOff = 0, kNoteOn = 1 };

int channelOf(const Score& score, std::size_t voice) {
    if (score.voices[voice].drums)
        return kDrumChannel;
    int melodic = 0;
    for (std::size_t i = 0; i < voice; ++i)
        melodic += score.voices[i].drums ? 0 : 1;
    return melodic < kDrumChannel ? melodic : melodic + 1;
}

std::vector<Event> events(const Score& score, long samples, VoiceSet voices) {
    std::vector<Event> out;
    if (score.seconds(score.length()) <= 0)
        throw std::runtime_error("the piece is empty");
    for (std::size_t v = 0; v < score.voices.size(); ++v) {
        if (v >= 32 || !(voices >> v & 1))
            continue;
        const Voice& voice = score.voices[v];
        const int channel = channelOf(score, v);
        forEachPlayed(score, voice, double(samples) / kSynthRate,
                      [&](const Note& note, double start, double end) {
                          const long on = std::lround(start * kSynthRate);
                          const long off = std::lround(
                              (start + (end - start) * voice.gateOf(note)) * kSynthRate);
                          for (int key : note.midi) {
                              out.push_back({on, kNoteOn, channel, key, note.velocity});
                              out.push_back({std::max(off, on + 1), kNoteOff, channel, key, 0});
                          }
                      });
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Windowed-sinc low-pass at 10.5 kHz, then every second sample.
std::vector<float> decimate(const std::vector<float>& in) {
    constexpr int kTaps = 95;
    constexpr double kCutoff = 10500.0 / kSynthRate;
    std::vector<double> h(kTaps);
    double sum = 0;
    for (int i = 0; i < kTaps; ++i) {
        const double x = i - (kTaps - 1) / 2.0;
        const double sinc =
            x == 0 ? 2 * kCutoff
                   : std::sin(2 * std::numbers::pi * kCutoff * x) / (std::numbers::pi * x);
        const double w = 0.42 - 0.5 * std::cos(2 * std::numbers::pi * i / (kTaps - 1)) +
                         0.08 * std::cos(4 * std::numbers::pi * i / (kTaps - 1));
        h[i] = sinc * w;
        sum += h[i];
    }
    std::vector<float> out(in.size() / kOversample);
    for (std::size_t n = 0; n < out.size(); ++n) {
        const long centre = static_cast<long>(n) * kOversample;
        double acc = 0;
        for (int i = 0; i < kTaps; ++i) {
            const long at = centre + i - (kTaps - 1) / 2;
            if (at >= 0 && at < static_cast<long>(in.size()))
                acc += h[i] * in[at];
        }
        out[n] = static_cast<float>(acc / sum);
    }
    return out;
}

void fadeOut(std::vector<float>& out, double fadeSeconds, int tailSamples) {
    const long samples = static_cast<long>(out.size());
    const long fadeEnd = std::max(0L, samples - tailSamples);
    const long fadeStart = std::max(0L, fadeEnd - std::lround(fadeSeconds * kSampleRate));
    for (long i = fadeStart; i < samples; ++i) {
        const double r = i >= fadeEnd
                             ? 0.0
                             : 0.5 + 0.5 * std::cos(std::numbers::pi * (i - fadeStart) /
                                                    static_cast<double>(fadeEnd - fadeStart));
        out[i] = static_cast<float>(out[i] * r);
    }
}

} // namespace

// One synthesiser holds the loaded SoundFont; each clip is played on a fresh one that borrows
// it, so no state of an earlier clip (reverb, voices, filters) can reach the next.
struct Orchestra::Synth {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* library = nullptr;
    fluid_sfont_t* sfont = nullptr;
    ~Synth() {
        if (library)
            delete_fluid_synth(library);
        if (settings)
            delete_fluid_settings(settings);
    }
};

namespace {

struct Borrowed {
    fluid_synth_t* synth;
    fluid_sfont_t* sfont;
    Borrowed(fluid_settings_t* settings, fluid_sfont_t* font)
        : synth(new_fluid_synth(settings)), sfont(font) {
        if (!synth || fluid_synth_add_sfont(synth, sfont) == FLUID_FAILED) {
            if (synth)
                delete_fluid_synth(synth);
            throw std::runtime_error("cannot create the FluidSynth synthesiser");
        }
        fluid_synth_set_interp_method(synth, -1, FLUID_INTERP_7THORDER);
    }
    ~Borrowed() {
        // Handed back before the synthesiser goes, which would otherwise free it.
        fluid_synth_remove_sfont(synth, sfont);
        delete_fluid_synth(synth);
    }
    Borrowed(const Borrowed&) = delete;
    Borrowed& operator=(const Borrowed&) = delete;
};

} // namespace

Orchestra::Orchestra(const std::string& soundFont) : synth_(std::make_unique<Synth>()) {
    // Its warnings (unused generators and the like) say nothing about our sources.
    fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
    fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
    synth_->settings = new_fluid_settings();
    if (!synth_->settings)
        throw std::runtime_error("cannot create FluidSynth settings");
    fluid_settings_t* s = synth_->settings;
    fluid_settings_setnum(s, "synth.sample-rate", kSynthRate);
    fluid_settings_setint(s, "synth.cpu-cores", 1);
    fluid_settings_setint(s, "synth.threadsafe-api", 0);
    fluid_settings_setint(s, "synth.polyphony", 512);
    fluid_settings_setnum(s, "synth.gain", 0.5);
    // A modest room, the same for every clip; chorus would only blur the pitches.
    fluid_settings_setint(s, "synth.chorus.active", 0);
    fluid_settings_setint(s, "synth.reverb.active", 1);
    fluid_settings_setnum(s, "synth.reverb.room-size", 0.45);
    fluid_settings_setnum(s, "synth.reverb.damp", 0.4);
    fluid_settings_setnum(s, "synth.reverb.width", 0.8);
    fluid_settings_setnum(s, "synth.reverb.level", 0.35);
    synth_->library = new_fluid_synth(s);
    if (!synth_->library)
        throw std::runtime_error("cannot create the FluidSynth synthesiser");
    const int id = fluid_synth_sfload(synth_->library, soundFont.c_str(), 1);
    synth_->sfont = id == FLUID_FAILED ? nullptr : fluid_synth_get_sfont_by_id(synth_->library, id);
    if (!synth_->sfont)
        throw std::runtime_error("cannot load the SoundFont " + soundFont);
}

Orchestra::~Orchestra() = default;

std::vector<float> Orchestra::render(const Score& score, int samples, double fadeSeconds,
                                     int tailSamples, VoiceSet voices) {
    Borrowed borrowed(synth_->settings, synth_->sfont);
    fluid_synth_t* fs = borrowed.synth;
    for (std::size_t v = 0; v < score.voices.size(); ++v) {
        const Voice& voice = score.voices[v];
        const int channel = channelOf(score, v);
        if (!voice.drums)
            fluid_synth_program_change(fs, channel, voice.program);
        // Channel volume attenuates as the square of its value, so this keeps `gain` linear.
        const int volume = std::clamp<int>(std::lround(100 * std::sqrt(voice.gain)), 0, 127);
        fluid_synth_cc(fs, channel, 7, volume);
    }

    const long total = static_cast<long>(samples) * kOversample;
    std::vector<float> left(total, 0.0f), right(total, 0.0f);
    long at = 0;
    auto renderTo = [&](long until) {
        until = std::min(until, total);
        if (until > at)
            fluid_synth_write_float(fs, static_cast<int>(until - at), left.data(),
                                    static_cast<int>(at), 1, right.data(), static_cast<int>(at), 1);
        at = std::max(at, until);
    };
    for (const Event& e : events(score, total, voices)) {
        renderTo(e.sample);
        if (e.kind == kNoteOn)
            fluid_synth_noteon(fs, e.channel, e.key, e.velocity);
        else
            fluid_synth_noteoff(fs, e.channel, e.key);
    }
    renderTo(total);

    std::vector<float> mono(total);
    for (long i = 0; i < total; ++i)
        mono[i] = 0.5f * (left[i] + right[i]);
    auto out = decimate(mono);
    fadeOut(out, fadeSeconds, tailSamples);
    return out;
}

} // namespace store
