// Renders this edition's excerpt store: clip 0 is silence, clip n is data/excerpts/NN.txt.
// Usage: store-render [-v] <excerpt folder> <store file> [<folder for the decoded clips, for
// listening>]; -v prints each clip's loudness and how far its tune leads the other voices.
#include "balance.h"
#include "data/clip_table.h"
#include "loudness.h"
#include "mp3.h"
#include "render.h"
#include "score.h"

#include <array>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace {

constexpr int kClips = 31;
// Each worker loads the SoundFont once and takes a fixed share of the clips, so the bytes never
// depend on scheduling.
constexpr int kWorkers = 2;

struct Clip {
    std::filesystem::path source;
    store::Score score;
    std::vector<std::uint8_t> bytes;
    std::string report;
    std::exception_ptr error;
};

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string number(int k) {
    return (k < 10 ? "0" : "") + std::to_string(k);
}

struct Options {
    std::filesystem::path pcmDir; // empty: no decoded clips written
    bool verbose = false;
};

void render(store::Orchestra* orchestra, int k, Clip& c, const Options& options) {
    const auto length = edition::clipLength(k);
    const int frames = store::framesFor(length);
    const int samples = frames * store::kFrameSamples;
    std::vector<std::uint8_t> audio;
    if (k == 0) {
        audio = store::encodeFrames(std::vector<float>(samples, 0.0f), frames);
    } else {
        auto encoded = store::encodeAtLoudness(
            orchestra->render(c.score, samples, 1.5, store::kEncoderTail), frames);
        audio = std::move(encoded.frames);
        if (options.verbose) {
            char line[120];
            std::snprintf(line, sizeof line,
                          "clip %02d: %.2f LUFS, true peak %.2f dBTP, limited by up to %.1f dB, "
                          "tune ",
                          k, encoded.loudness.integrated, encoded.loudness.truePeak,
                          encoded.limitedDb);
            c.report = line + describe(store::tuneBalance(*orchestra, c.score)) + '\n';
        }
        if (!options.pcmDir.empty()) {
            const auto pcm = store::decodeMp3(audio);
            std::ofstream(options.pcmDir / (number(k) + ".f32"), std::ios::binary)
                .write(reinterpret_cast<const char*>(pcm.data()),
                       static_cast<std::streamsize>(pcm.size() * sizeof(float)));
        }
    }
    c.bytes = store::paddingTag(static_cast<int>(length - frames * store::kFrameBytes));
    c.bytes.insert(c.bytes.end(), audio.begin(), audio.end());
    if (static_cast<std::int64_t>(c.bytes.size()) != length)
        throw std::runtime_error("clip " + std::to_string(k) + " has the wrong length");
}

void work(int worker, std::array<Clip, kClips>& clips, const Options& options) {
    try {
        store::Orchestra orchestra(DORLO_SOUNDFONT);
        for (int k = worker; k < kClips; k += kWorkers) {
            try {
                render(&orchestra, k, clips[k], options);
            } catch (...) {
                clips[k].error = std::current_exception();
            }
        }
    } catch (...) {
        for (int k = worker; k < kClips; k += kWorkers)
            clips[k].error = std::current_exception();
    }
}

} // namespace

int main(int argc, char** argv) {
    const bool verbose = argc > 1 && std::string(argv[1]) == "-v";
    if (verbose) {
        --argc;
        ++argv;
    }
    if (argc < 3 || argc > 4) {
        std::cerr << "usage: store-render [-v] <excerpt folder> <store file> [<pcm folder>]\n";
        return 2;
    }
    const std::filesystem::path sources = argv[1], target = argv[2];
    const Options options{argc == 4 ? argv[3] : "", verbose};
    // Written beside the target and renamed, so a failed run never leaves a short store.
    auto partial = target;
    partial += ".part";
    try {
        // Every source is read before any is rendered, so a mistake is reported at once.
        std::array<Clip, kClips> clips;
        for (int k = 1; k < kClips; ++k) {
            clips[k].source = sources / (number(k) + ".txt");
            try {
                clips[k].score = store::parseScore(readFile(clips[k].source));
            } catch (const std::exception& e) {
                throw std::runtime_error(clips[k].source.string() + ": " + e.what());
            }
        }
        std::array<std::thread, kWorkers> workers;
        for (int w = 0; w < kWorkers; ++w)
            workers[w] = std::thread(work, w, std::ref(clips), std::cref(options));
        for (auto& w : workers)
            w.join();

        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        for (int k = 0; k < kClips; ++k) {
            try {
                if (clips[k].error)
                    std::rethrow_exception(clips[k].error);
            } catch (const std::exception& e) {
                throw std::runtime_error((k == 0 ? "clip 0" : clips[k].source.string()) + ": " +
                                         e.what());
            }
            if (verbose)
                std::cout << clips[k].report;
            out.write(reinterpret_cast<const char*>(clips[k].bytes.data()),
                      static_cast<std::streamsize>(clips[k].bytes.size()));
        }
        out.close();
        if (!out)
            throw std::runtime_error("cannot write " + partial.string());
        std::filesystem::rename(partial, target);
    } catch (const std::exception& e) {
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        std::cerr << "store-render: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
