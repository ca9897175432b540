// Renders this edition's excerpt store: clip 0 is silence, clip n is data/excerpts/NN.txt.
// Usage: store-render [-v] <excerpt folder> <store file> [<folder for the decoded clips, for
// listening>]; -v prints each clip's loudness.
#include "data/clip_table.h"
#include "loudness.h"
#include "mp3.h"
#include "render.h"
#include "score.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>

namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool verbose = false;

std::vector<std::uint8_t> clip(store::Orchestra& orchestra, int k,
                               const std::filesystem::path& sources,
                               const std::filesystem::path& pcmDir) {
    const auto bytes = edition::clipLength(k);
    const int frames = store::framesFor(bytes);
    const int samples = frames * store::kFrameSamples;
    std::vector<std::uint8_t> audio;
    if (k == 0) {
        audio = store::encodeFrames(std::vector<float>(samples, 0.0f), frames);
    } else {
        const std::string number = (k < 10 ? "0" : "") + std::to_string(k);
        const auto path = sources / (number + ".txt");
        try {
            const auto pcm = orchestra.render(store::parseScore(readFile(path)), samples, 1.5,
                                              store::kEncoderTail);
            auto encoded = store::encodeAtLoudness(pcm, frames);
            audio = std::move(encoded.frames);
            if (verbose)
                std::printf("clip %02d: %.2f LUFS, true peak %.2f dBTP, limited by up to %.1f dB\n",
                            k, encoded.loudness.integrated, encoded.loudness.truePeak,
                            encoded.limitedDb);
        } catch (const std::exception& e) {
            throw std::runtime_error(path.string() + ": " + e.what());
        }
        if (!pcmDir.empty()) {
            const auto pcm = store::decodeMp3(audio);
            std::ofstream(pcmDir / (number + ".f32"), std::ios::binary)
                .write(reinterpret_cast<const char*>(pcm.data()),
                       static_cast<std::streamsize>(pcm.size() * sizeof(float)));
        }
    }
    auto out = store::paddingTag(static_cast<int>(bytes - frames * store::kFrameBytes));
    out.insert(out.end(), audio.begin(), audio.end());
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "-v") {
        verbose = true;
        --argc;
        ++argv;
    }
    if (argc < 3 || argc > 4) {
        std::cerr << "usage: store-render [-v] <excerpt folder> <store file> [<pcm folder>]\n";
        return 2;
    }
    const std::filesystem::path sources = argv[1], target = argv[2];
    const std::filesystem::path pcmDir = argc == 4 ? argv[3] : "";
    // Written beside the target and renamed, so a failed run never leaves a short store.
    auto partial = target;
    partial += ".part";
    try {
        store::Orchestra orchestra(DORLO_SOUNDFONT);
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        for (int k = 0; k <= 30; ++k) {
            const auto bytes = clip(orchestra, k, sources, pcmDir);
            if (static_cast<std::int64_t>(bytes.size()) != edition::clipLength(k))
                throw std::runtime_error("clip " + std::to_string(k) + " has the wrong length");
            out.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
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
