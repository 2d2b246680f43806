// Uses every engine of the installed library: transcribes a recording with the models the test
// put in place (they hear "hello" in every recording), and checks what the other engines say
// without their models.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <rarivoredu/RarivOredu.h>

namespace {

int fail(const std::string& what) {
    std::cerr << "consumer: " << what << "\n";
    return 1;
}

template <typename Make>
bool failsWith(rarivoredu::api::Error::Kind kind, Make make) {
    try {
        make();
    } catch (const rarivoredu::api::Error& error) {
        return error.kind() == kind;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace rarivoredu::api;
    if (argc != 2) return fail("usage: consumer SPEECH.wav");
    std::cout << "RarivOredu " << version << "\n";
    try {
        if (!failsWith(Error::Kind::modelsMissing, [] { Transcriber transcriber(ModelVersion::v2); })) {
            return fail("a transcriber without models");
        }
        Transcriber transcriber;
        const std::vector<float> samples = Audio::load(argv[1]);
        const Transcript transcript = transcriber.transcribe(samples);
        if (transcript.text != "hello") return fail("heard \"" + transcript.text + "\"");
        if (std::abs(transcript.duration - static_cast<double>(samples.size()) / Audio::sampleRate) > 1e-9) {
            return fail("duration");
        }
        double previous = 0;
        for (const Token& token : transcript.tokens) {
            if (token.start < previous || token.end < token.start || token.end > transcript.duration) {
                return fail("token times");
            }
            previous = token.start;
        }
        std::cout << "tokens " << transcript.tokens.size() << "\n";

        // The same recording streamed in 100 ms pieces.
        StreamingTranscriber streaming;
        for (std::size_t at = 0; at < samples.size(); at += 1600) {
            streaming.feed(std::span<const float>(samples).subspan(at, std::min<std::size_t>(1600, samples.size() - at)));
        }
        const std::string streamed = streaming.finish();
        if (streamed.find("hello") == std::string::npos) return fail("streamed \"" + streamed + "\"");

        if (!failsWith(Error::Kind::modelsMissing, [] { VoiceActivityDetector detector; })) return fail("vad");
        if (!failsWith(Error::Kind::invalidArgument, [] { Diarizer diarizer(0); })) return fail("diarizer");
        if (!failsWith(Error::Kind::modelsMissing, [] { Synthesizer synthesizer; })) return fail("synthesizer");
        if (!failsWith(Error::Kind::fileNotFound, [] { Audio::load("/nonexistent/speech.wav"); })) return fail("audio");
        if (Synthesizer::voices().empty()) return fail("voices");
    } catch (const Error& error) {
        return fail(error.what());
    }
    std::cout << "consumer: all engines answered\n";
    return EXIT_SUCCESS;
}
