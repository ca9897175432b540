#include "gm.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>
#include <utility>

namespace store {

namespace {

// The 128 General MIDI level 1 programs, lower case, every run of other characters one '_'.
constexpr std::array<std::string_view, 128> kPrograms = {
    "acoustic_grand_piano",
    "bright_acoustic_piano",
    "electric_grand_piano",
    "honky_tonk_piano",
    "electric_piano_1",
    "electric_piano_2",
    "harpsichord",
    "clavi",
    "celesta",
    "glockenspiel",
    "music_box",
    "vibraphone",
    "marimba",
    "xylophone",
    "tubular_bells",
    "dulcimer",
    "drawbar_organ",
    "percussive_organ",
    "rock_organ",
    "church_organ",
    "reed_organ",
    "accordion",
    "harmonica",
    "tango_accordion",
    "acoustic_guitar_nylon",
    "acoustic_guitar_steel",
    "electric_guitar_jazz",
    "electric_guitar_clean",
    "electric_guitar_muted",
    "overdriven_guitar",
    "distortion_guitar",
    "guitar_harmonics",
    "acoustic_bass",
    "electric_bass_finger",
    "electric_bass_pick",
    "fretless_bass",
    "slap_bass_1",
    "slap_bass_2",
    "synth_bass_1",
    "synth_bass_2",
    "violin",
    "viola",
    "cello",
    "contrabass",
    "tremolo_strings",
    "pizzicato_strings",
    "orchestral_harp",
    "timpani",
    "string_ensemble_1",
    "string_ensemble_2",
    "synthstrings_1",
    "synthstrings_2",
    "choir_aahs",
    "voice_oohs",
    "synth_voice",
    "orchestra_hit",
    "trumpet",
    "trombone",
    "tuba",
    "muted_trumpet",
    "french_horn",
    "brass_section",
    "synthbrass_1",
    "synthbrass_2",
    "soprano_sax",
    "alto_sax",
    "tenor_sax",
    "baritone_sax",
    "oboe",
    "english_horn",
    "bassoon",
    "clarinet",
    "piccolo",
    "flute",
    "recorder",
    "pan_flute",
    "blown_bottle",
    "shakuhachi",
    "whistle",
    "ocarina",
    "lead_1_square",
    "lead_2_sawtooth",
    "lead_3_calliope",
    "lead_4_chiff",
    "lead_5_charang",
    "lead_6_voice",
    "lead_7_fifths",
    "lead_8_bass_lead",
    "pad_1_new_age",
    "pad_2_warm",
    "pad_3_polysynth",
    "pad_4_choir",
    "pad_5_bowed",
    "pad_6_metallic",
    "pad_7_halo",
    "pad_8_sweep",
    "fx_1_rain",
    "fx_2_soundtrack",
    "fx_3_crystal",
    "fx_4_atmosphere",
    "fx_5_brightness",
    "fx_6_goblins",
    "fx_7_echoes",
    "fx_8_sci_fi",
    "sitar",
    "banjo",
    "shamisen",
    "koto",
    "kalimba",
    "bag_pipe",
    "fiddle",
    "shanai",
    "tinkle_bell",
    "agogo",
    "steel_drums",
    "woodblock",
    "taiko_drum",
    "melodic_tom",
    "synth_drum",
    "reverse_cymbal",
    "guitar_fret_noise",
    "breath_noise",
    "seashore",
    "bird_tweet",
    "telephone_ring",
    "helicopter",
    "applause",
    "gunshot",
};

// The short names the first note sources used.
constexpr std::array<std::pair<std::string_view, int>, 11> kAliases = {{
    {"piano", 0},
    {"strings", 48},
    {"brass", 61},
    {"flute", 73},
    {"reed", 68},
    {"voice", 53},
    {"organ", 19},
    {"harpsichord", 6},
    {"pluck", 45},
    {"bell", 8},
    {"timpani", 47},
}};

constexpr std::array<std::pair<std::string_view, int>, 20> kDrums = {{
    {"bass_drum", 36},      {"bass_drum_2", 35}, {"snare", 38},        {"hand_clap", 39},
    {"crash", 49},          {"crash_2", 57},     {"ride", 51},         {"splash", 55},
    {"chinese_cymbal", 52}, {"tambourine", 54},  {"cowbell", 56},      {"triangle", 81},
    {"mute_triangle", 80},  {"claves", 75},      {"wood_block", 76},   {"low_wood_block", 77},
    {"high_agogo", 67},     {"low_agogo", 68},   {"high_timbale", 65}, {"low_timbale", 66},
}};

template <typename Table> int lookUp(const Table& table, std::string_view name) {
    const auto it = std::find_if(table.begin(), table.end(),
                                 [&](const auto& entry) { return entry.first == name; });
    return it == table.end() ? -1 : it->second;
}

} // namespace

int gmProgram(const std::string& name) {
    int number = -1;
    const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), number);
    if (ec == std::errc() && end == name.data() + name.size() && !name.empty())
        return number >= 0 && number < 128 ? number : -1;
    if (const int alias = lookUp(kAliases, name); alias >= 0)
        return alias;
    const auto it = std::find(kPrograms.begin(), kPrograms.end(), name);
    return it == kPrograms.end() ? -1 : static_cast<int>(it - kPrograms.begin());
}

int drumKey(const std::string& name) {
    return lookUp(kDrums, name);
}

} // namespace store
