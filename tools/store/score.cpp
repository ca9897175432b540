#include "score.h"

#include <algorithm>
#include <cctype>
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

void addNoteToken(Voice& v, std::string tok, int& at, int& lastLength, int& barStart,
                  bool& tiePending, const Score& score, int line) {
    if (tok == "|") {
        if (score.barTicks > 0 && barStart >= 0 && at - barStart != score.barTicks)
            fail(line, "bar of " + std::to_string(at - barStart) + " ticks in voice " + v.name +
                           ", expected " + std::to_string(score.barTicks));
        barStart = at;
        return;
    }
    bool staccato = false;
    bool tie = false;
    while (!tok.empty() && (tok.back() == '\'' || tok.back() == '~')) {
        (tok.back() == '~' ? tie : staccato) = true;
        tok.pop_back();
    }
    std::string pitchText = tok;
    if (const auto colon = tok.find(':'); colon != std::string::npos) {
        pitchText = tok.substr(0, colon);
        lastLength = parseDuration(tok.substr(colon + 1), line);
    }
    if (lastLength <= 0)
        fail(line, "first note of voice " + v.name + " has no duration");
    std::vector<int> midi;
    if (pitchText != "r") {
        std::stringstream parts(pitchText);
        std::string p;
        while (std::getline(parts, p, '+')) {
            const int m = parsePitch(p);
            if (m < 0)
                fail(line, "bad pitch '" + p + "'");
            midi.push_back(m);
        }
    }
    if (tiePending && !v.notes.empty() && v.notes.back().midi == midi && !midi.empty()) {
        v.notes.back().length += lastLength;
        v.notes.back().staccato = staccato;
    } else if (!midi.empty()) {
        v.notes.push_back({at, lastLength, midi, staccato});
    } else if (tiePending) {
        fail(line, "tie into a rest or another pitch");
    }
    tiePending = tie;
    at += lastLength;
}

} // namespace

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
    int at = 0, lastLength = 0, barStart = -1;
    bool tiePending = false;
    auto closeVoice = [&] {
        if (voice)
            voice->end = at;
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
        } else if (first == "voice") {
            closeVoice();
            Voice v;
            if (!(words >> v.name >> v.instrument))
                fail(line, "voice needs a name and an instrument");
            std::string opt;
            while (words >> opt) {
                const auto eq = opt.find('=');
                const std::string key = opt.substr(0, eq);
                const double value = eq == std::string::npos ? 0 : std::stod(opt.substr(eq + 1));
                if (key == "gain")
                    v.gain = value;
                else if (key == "gate")
                    v.gate = value;
                else
                    fail(line, "unknown voice option '" + key + "'");
            }
            score.voices.push_back(v);
            voice = &score.voices.back();
            at = 0;
            lastLength = 0;
            barStart = -1;
            tiePending = false;
        } else {
            if (!voice)
                fail(line, "notes before the first voice line");
            std::string tok = first;
            do {
                addNoteToken(*voice, tok, at, lastLength, barStart, tiePending, score, line);
            } while (words >> tok);
        }
    }
    closeVoice();
    if (score.voices.empty())
        throw std::runtime_error("no voice");
    return score;
}

} // namespace store
