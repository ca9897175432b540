#include "score.h"

#include "gm.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <sstream>
#include <stdexcept>

namespace store {

namespace {

[[noreturn]] void fail(int line, const std::string& what) {
    throw std::runtime_error("line " + std::to_string(line) + ": " + what);
}

int parseInt(const std::string& s, int line) {
    if (s.empty() || !std::all_of(s.begin(), s.end(), [](char c) { return std::isdigit(c); }))
        fail(line, "expected a number, got '" + s + "'");
    return std::stoi(s);
}

// "8" is an eighth, "8." a dotted eighth, "3/8" three eighths of a whole note.
int parseDuration(const std::string& s, int line) {
    const auto dots = s.find('.');
    const std::string core = s.substr(0, dots);
    const std::string dotPart = dots == std::string::npos ? "" : s.substr(dots);
    if (!std::all_of(dotPart.begin(), dotPart.end(), [](char c) { return c == '.'; }))
        fail(line, "bad duration '" + s + "'");
    int num = 1;
    int den = 0;
    if (const auto slash = core.find('/'); slash != std::string::npos) {
        num = parseInt(core.substr(0, slash), line);
        den = parseInt(core.substr(slash + 1), line);
    } else {
        den = parseInt(core, line);
    }
    if (den == 0 || (kWhole * num) % den != 0)
        fail(line, "duration '" + s + "' is finer than the tick");
    int ticks = kWhole * num / den;
    int add = ticks;
    for (std::size_t i = 0; i < dotPart.size(); ++i) {
        if (add % 2 != 0)
            fail(line, "duration '" + s + "' is finer than the tick");
        add /= 2;
        ticks += add;
    }
    return ticks;
}

constexpr std::array<std::pair<const char*, int>, 8> kDynamics = {{{"ppp", 20},
                                                                   {"pp", 35},
                                                                   {"p", 50},
                                                                   {"mp", 64},
                                                                   {"mf", 80},
                                                                   {"f", 96},
                                                                   {"ff", 112},
                                                                   {"fff", 127}}};

int key(const Voice& v, const std::string& text, int line) {
    const int k = v.drums ? drumKey(text) : -1;
    const int m = k >= 0 ? k : parsePitch(text);
    if (m < 0 || m > 127)
        fail(line, "bad " + std::string(v.drums ? "drum" : "pitch") + " '" + text + "'");
    return m;
}

// Where one voice's reading stands while its notes are read.
struct Cursor {
    int at = 0;
    int lastLength = 0;
    int barStart = -1;
    bool tiePending = false;
    int velocity = kDefaultVelocity;
};

void addNoteToken(Voice& v, std::string tok, Cursor& c, const Score& score,
                  std::map<int, double>& tempi, int line) {
    for (const auto& [word, velocity] : kDynamics) {
        if (tok == word) {
            c.velocity = velocity;
            return;
        }
    }
    if (tok.rfind("tempo=", 0) == 0) {
        double t = 0;
        try {
            t = std::stod(tok.substr(6));
        } catch (const std::exception&) {
        }
        if (!(t > 0))
            fail(line, "tempo= needs quarter notes per minute");
        tempi[c.at] = t;
        return;
    }
    if (tok == "|") {
        if (score.barTicks > 0 && c.barStart >= 0 && c.at - c.barStart != score.barTicks)
            fail(line, "bar of " + std::to_string(c.at - c.barStart) + " ticks in voice " + v.name +
                           ", expected " + std::to_string(score.barTicks));
        c.barStart = c.at;
        return;
    }
    bool staccato = false;
    bool tie = false;
    bool accent = false;
    for (; !tok.empty(); tok.pop_back()) {
        if (tok.back() == '~')
            tie = true;
        else if (tok.back() == '\'')
            staccato = true;
        else if (tok.back() == '>')
            accent = true;
        else
            break;
    }
    std::string pitchText = tok;
    if (const auto colon = tok.find(':'); colon != std::string::npos) {
        pitchText = tok.substr(0, colon);
        c.lastLength = parseDuration(tok.substr(colon + 1), line);
    }
    if (c.lastLength <= 0)
        fail(line, "first note of voice " + v.name + " has no duration");
    std::vector<int> midi;
    if (pitchText != "r") {
        std::stringstream parts(pitchText);
        std::string p;
        while (std::getline(parts, p, '+'))
            midi.push_back(key(v, p, line));
    }
    if (c.tiePending && !v.notes.empty() && v.notes.back().midi == midi && !midi.empty()) {
        v.notes.back().length += c.lastLength;
        v.notes.back().staccato = staccato;
    } else if (!midi.empty()) {
        v.notes.push_back(
            {c.at, c.lastLength, midi, staccato, std::min(127, c.velocity + (accent ? 16 : 0))});
    } else if (c.tiePending) {
        fail(line, "tie into a rest or another pitch");
    }
    c.tiePending = tie;
    c.at += c.lastLength;
}

} // namespace

double Score::seconds(int ticks) const {
    double s = 0;
    double t = tempo;
    int from = 0;
    for (const auto& [tick, next] : tempoChanges) {
        if (tick >= ticks)
            break;
        s += (tick - from) * 240.0 / (kWhole * t);
        from = tick;
        t = next;
    }
    return s + (ticks - from) * 240.0 / (kWhole * t);
}

int Score::length() const {
    int end = 0;
    for (const auto& v : voices)
        end = std::max(end, v.end);
    return end;
}

int parsePitch(const std::string& text) {
    static const int base[] = {9, 11, 0, 2, 4, 5, 7}; // a b c d e f g
    if (text.size() < 2 || text[0] < 'a' || text[0] > 'g')
        return -1;
    int semis = base[text[0] - 'a'];
    std::size_t i = 1;
    for (; i < text.size() && (text[i] == '#' || text[i] == 'b'); ++i)
        semis += text[i] == '#' ? 1 : -1;
    if (i + 1 != text.size() || !std::isdigit(static_cast<unsigned char>(text[i])))
        return -1;
    return 12 * (text[i] - '0' + 1) + semis;
}

Score parseScore(const std::string& text) {
    Score score;
    std::istringstream in(text);
    std::string raw;
    int line = 0;
    Voice* voice = nullptr;
    Cursor cursor;
    std::map<int, double> tempi;
    std::vector<std::string> tuneNames;
    int tuneLine = 0;
    auto closeVoice = [&] {
        if (voice)
            voice->end = cursor.at;
    };
    while (std::getline(in, raw)) {
        ++line;
        if (const auto hash = raw.find('#'); hash != std::string::npos) {
            // '#' starts a comment only at a word's start; inside a pitch it is a sharp.
            std::size_t pos = hash;
            while (pos != std::string::npos && pos > 0 && !std::isspace(raw[pos - 1]))
                pos = raw.find('#', pos + 1);
            if (pos != std::string::npos)
                raw.resize(pos);
        }
        std::istringstream words(raw);
        std::string first;
        if (!(words >> first))
            continue;
        if (first == "tempo") {
            if (!(words >> score.tempo) || score.tempo <= 0)
                fail(line, "tempo needs quarter notes per minute");
        } else if (first == "meter") {
            std::string m;
            words >> m;
            const auto slash = m.find('/');
            if (slash == std::string::npos)
                fail(line, "meter needs the form 3/4");
            score.barTicks =
                parseInt(m.substr(0, slash), line) * kWhole / parseInt(m.substr(slash + 1), line);
        } else if (first == "tune") {
            // The voices that carry the tune, or `exempt` and why it cannot lead.
            tuneLine = line;
            tuneNames.clear();
            score.tuneExempt.clear();
            for (std::string word; words >> word;)
                tuneNames.push_back(word);
            if (tuneNames.empty())
                fail(line, "tune needs the voices that carry it, or exempt and why");
            if (tuneNames.front() == "exempt") {
                for (std::size_t i = 1; i < tuneNames.size(); ++i)
                    score.tuneExempt += (i > 1 ? " " : "") + tuneNames[i];
                if (score.tuneExempt.empty())
                    fail(line, "tune exempt needs the reason why the tune cannot lead");
                tuneNames.clear();
            }
        } else if (first == "voice") {
            closeVoice();
            Voice v;
            if (!(words >> v.name >> v.instrument))
                fail(line, "voice needs a name and an instrument");
            v.drums = v.instrument == "drums";
            v.program = v.drums ? 0 : gmProgram(v.instrument);
            if (v.program < 0)
                fail(line, "unknown instrument '" + v.instrument + "'");
            int velocity = kDefaultVelocity;
            std::string opt;
            while (words >> opt) {
                const auto eq = opt.find('=');
                const std::string key = opt.substr(0, eq);
                double value = -1;
                try {
                    value = eq == std::string::npos ? -1 : std::stod(opt.substr(eq + 1));
                } catch (const std::exception&) {
                }
                if (key == "gain" && value >= 0 && value <= 1.6)
                    v.gain = value;
                else if (key == "gate" && value > 0 && value <= 1)
                    v.gate = value;
                else if (key == "vel" && value >= 1 && value <= 127)
                    velocity = static_cast<int>(value);
                else
                    fail(line, "bad voice option '" + opt + "'");
            }
            score.voices.push_back(v);
            voice = &score.voices.back();
            cursor = Cursor{};
            cursor.velocity = velocity;
        } else {
            if (!voice)
                fail(line, "notes before the first voice line");
            std::string tok = first;
            do {
                addNoteToken(*voice, tok, cursor, score, tempi, line);
            } while (words >> tok);
        }
    }
    closeVoice();
    if (score.voices.empty())
        throw std::runtime_error("no voice");
    // Fifteen melodic channels and the percussion channel.
    const auto drums = std::count_if(score.voices.begin(), score.voices.end(),
                                     [](const Voice& v) { return v.drums; });
    if (drums > 1 || score.voices.size() - drums > 15)
        throw std::runtime_error("more voices than MIDI channels");
    score.tempoChanges.assign(tempi.begin(), tempi.end());
    if (!tuneNames.empty()) {
        score.tune.clear();
        for (const std::string& name : tuneNames) {
            const auto v = std::find_if(score.voices.begin(), score.voices.end(),
                                        [&](const Voice& x) { return x.name == name; });
            if (v == score.voices.end())
                fail(tuneLine, "tune names no voice '" + name + "'");
            score.tune.push_back(static_cast<std::size_t>(v - score.voices.begin()));
        }
    }
    return score;
}

} // namespace store
