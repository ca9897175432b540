#pragma once
// A readable note source: a tempo, an optional metre and voices of notes, rests and chords.
#include <string>
#include <utility>
#include <vector>

namespace store {

// Ticks per whole note: divisible by every duration the sources use (down to dotted 1/64 and
// triplets).
inline constexpr int kWhole = 3840;

inline constexpr int kDefaultVelocity = 80;

struct Note {
    int start = 0;         // ticks from the piece's start
    int length = 0;        // written length in ticks
    std::vector<int> midi; // one pitch, or several for a chord; drum keys on the drums
    bool staccato = false;
    int velocity = kDefaultVelocity;
};

struct Voice {
    std::string name;
    std::string instrument;
    int program = 0;    // General MIDI program
    bool drums = false; // on the percussion channel; `program` is then unused
    double gain = 1.0;
    double gate = 0.92; // share of the written length that sounds
    std::vector<Note> notes;
    double gateOf(const Note& n) const { return n.staccato ? 0.45 : gate; }
    int end = 0; // ticks
};

struct Score {
    double tempo = 120;                               // quarter notes per minute, at the start
    int barTicks = 0;                                 // 0 without a metre
    std::vector<std::pair<int, double>> tempoChanges; // (tick, tempo), in tick order
    std::vector<Voice> voices;
    // The voices that carry the tune, by index: the first alone unless the source names others.
    std::vector<std::size_t> tune{0};
    // Why the tune cannot lead the other voices, when the source says so; empty otherwise.
    std::string tuneExempt;
    int length() const;
    // Seconds from the start to `ticks`, through the tempo changes.
    double seconds(int ticks) const;
};

// Calls `play(note, start, end)`, in seconds, for each note of `voice` that starts before
// `until` seconds: the piece starts again from the top while time remains.
template <typename Play>
void forEachPlayed(const Score& score, const Voice& voice, double until, Play&& play) {
    const double period = score.seconds(score.length());
    if (!(period > 0))
        return;
    for (double offset = 0; offset < until; offset += period) {
        for (const Note& note : voice.notes) {
            const double start = offset + score.seconds(note.start);
            if (start >= until)
                break;
            play(note, start, offset + score.seconds(note.start + note.length));
        }
    }
}

// Throws std::runtime_error naming the line on any mistake, bar checks included.
Score parseScore(const std::string& text);

// "c4" is 60, "a4" 69; sharps '#', flats 'b'. Returns -1 when the text is no pitch.
int parsePitch(const std::string& text);

} // namespace store
