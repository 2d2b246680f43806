#include "RarivOredu/cli/Program.h"

#include <filesystem>
#include <iostream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "RarivOredu/cli/ExitCode.h"
#include "RarivOredu/cli/RttmWriter.h"
#include "RarivOredu/cli/SubtitleWriter.h"
#include "rarivoredu/Audio.h"
#include "rarivoredu/Diarizer.h"
#include "rarivoredu/Error.h"
#include "rarivoredu/Synthesizer.h"
#include "rarivoredu/Transcriber.h"
#include "rarivoredu/Version.h"
#include "rarivoredu/VoiceActivityDetector.h"

namespace rarivoredu::cli {
namespace {

using api::Error;
using Id = Messages::Id;
using json = nlohmann::ordered_json;

// The models the program knows, as "models" names them.
struct ModelSet {
    std::string name;
    std::filesystem::path folder;
    bool installed = false;
};

std::vector<ModelSet> modelSets() {
    using api::ModelVersion;
    return {
        {"parakeet-v3", api::Transcriber::modelsFolder(ModelVersion::v3), api::Transcriber::modelsInstalled(ModelVersion::v3)},
        {"parakeet-v2", api::Transcriber::modelsFolder(ModelVersion::v2), api::Transcriber::modelsInstalled(ModelVersion::v2)},
        {"vad", api::VoiceActivityDetector::modelsFolder(), api::VoiceActivityDetector::modelsInstalled()},
        {"diarization", api::Diarizer::modelsFolder(), api::Diarizer::modelsInstalled()},
        {"tts", api::Synthesizer::modelsFolder(), api::Synthesizer::modelsInstalled()},
    };
}

double rounded(double seconds) { return std::round(seconds * 1000) / 1000; }

json transcriptJson(const std::string& file, const api::Transcript& transcript) {
    json tokens = json::array();
    for (const api::Token& token : transcript.tokens) {
        tokens.push_back({{"text", token.text},
                          {"start", rounded(token.start)},
                          {"end", rounded(token.end)},
                          {"confidence", token.confidence}});
    }
    return {{"file", file},
            {"text", transcript.text},
            {"confidence", transcript.confidence},
            {"duration", rounded(transcript.duration)},
            {"tokens", std::move(tokens)}};
}

}  // namespace

Program::Program(std::ostream& out, std::ostream& err, std::istream& in, Messages messages, bool showProgress)
    : out_(out), err_(err), in_(in), messages_(messages), progress_(err, showProgress) {}

int Program::run(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        err_ << messages_.text(Id::help);
        return usage;
    }
    const std::string& command = arguments.front();
    const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
    if (command == "-h" || command == "--help" || command == "help") {
        out_ << messages_.text(Id::help);
        return success;
    }
    if (command == "--version") {
        out_ << "rarivoredu " << api::version << "\n";
        return success;
    }
    for (const std::string& word : rest) {
        if (word == "-h" || word == "--help") {
            out_ << messages_.text(Id::help);
            return success;
        }
    }
    try {
        if (command == "transcribe") return transcribe(rest);
        if (command == "vad") return vad(rest);
        if (command == "diarize") return diarize(rest);
        if (command == "speak") return speak(rest);
        if (command == "models") return models(rest);
    } catch (const CommandLine::Misuse& error) {
        return misuse(error);
    } catch (const std::exception& error) {
        return failure(error);
    }
    err_ << "rarivoredu: " << messages_.text(Id::unknownCommand, command) << "\n";
    err_ << "rarivoredu --help\n";
    return usage;
}

int Program::misuse(const CommandLine::Misuse& error) {
    using Kind = CommandLine::Misuse::Kind;
    Id id = Id::badValue;
    switch (error.kind) {
        case Kind::unknownOption: id = Id::unknownOption; break;
        case Kind::missingValue: id = Id::missingValue; break;
        case Kind::badValue: id = Id::badValue; break;
        case Kind::missingArgument: id = Id::missingArgument; break;
        case Kind::tooManyArguments: id = Id::tooManyArguments; break;
    }
    progress_.finish();
    err_ << "rarivoredu: " << messages_.text(id, error.what()) << "\n";
    return usage;
}

int Program::failure(const std::exception& error) {
    progress_.finish();
    const auto* known = dynamic_cast<const Error*>(&error);
    if (known != nullptr && known->kind() == Error::Kind::modelsMissing) {
        err_ << "rarivoredu: " << messages_.text(Id::noModels, error.what()) << "\n";
        err_ << messages_.text(Id::fetchHint) << "\n";
        return modelsMissing;
    }
    err_ << "rarivoredu: " << error.what() << "\n";
    if (known == nullptr) return failed;
    switch (known->kind()) {
        case Error::Kind::fileNotFound:
        case Error::Kind::unreadableAudio: return inputMissing;
        case Error::Kind::invalidArgument: return usage;
        default: return failed;
    }
}

void Program::checkInputs(const std::vector<std::string>& files) const {
    for (const std::string& file : files) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(file, error)) {
            throw Error(Error::Kind::fileNotFound, messages_.text(Id::noSuchFile, file));
        }
    }
}

int Program::transcribe(const std::vector<std::string>& arguments) {
    const auto line = CommandLine::parse(arguments, {"--format", "--model"});
    line.expectArguments(1, SIZE_MAX, "FILE");
    const std::string format = line.choice("--format", {"txt", "srt", "json"}, "txt");
    const auto version = line.choice("--model", {"v2", "v3"}, "v3") == "v2" ? api::ModelVersion::v2 : api::ModelVersion::v3;
    checkInputs(line.arguments());

    api::Transcriber transcriber(version);
    const auto& files = line.arguments();
    json results = json::array();
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string& file = files[i];
        const double share = 1.0 / static_cast<double>(files.size());
        progress_.update(static_cast<double>(i) * share, file);
        const api::Transcript transcript = transcriber.transcribeFile(file, [&](const api::Progress& progress) {
            progress_.update((static_cast<double>(i) + progress.fraction) * share, file);
        });
        progress_.clear();
        if (format == "json") {
            results.push_back(transcriptJson(file, transcript));
        } else if (format == "srt") {
            if (i > 0) out_ << "\n";
            out_ << SubtitleWriter::srt(transcript) << std::flush;
        } else {
            if (files.size() > 1) out_ << "# " << file << "\n";
            out_ << transcript.text << "\n" << std::flush;
        }
    }
    progress_.finish();
    if (format == "json") out_ << (files.size() == 1 ? results.front() : results).dump(2) << "\n";
    return success;
}

int Program::vad(const std::vector<std::string>& arguments) {
    const auto line = CommandLine::parse(arguments, {"--format"});
    line.expectArguments(1, 1, "FILE");
    const std::string format = line.choice("--format", {"txt", "json"}, "txt");
    checkInputs(line.arguments());
    const std::vector<float> samples = api::Audio::load(line.arguments().front());
    api::VoiceActivityDetector detector;
    const auto segments = detector.segments(samples, [this, &line](const api::Progress& progress) {
        progress_.update(progress.fraction, line.arguments().front());
    });
    progress_.finish();
    if (format == "json") {
        json list = json::array();
        for (const auto& segment : segments) list.push_back({{"start", rounded(segment.start)}, {"end", rounded(segment.end)}});
        out_ << json{{"file", line.arguments().front()}, {"segments", std::move(list)}}.dump(2) << "\n";
    } else {
        for (const auto& segment : segments) {
            char text[64];
            std::snprintf(text, sizeof text, "%.3f\t%.3f\n", segment.start, segment.end);
            out_ << text;
        }
    }
    return success;
}

int Program::diarize(const std::vector<std::string>& arguments) {
    const auto line = CommandLine::parse(arguments, {"--format", "--speakers"});
    line.expectArguments(1, 1, "FILE");
    const std::string format = line.choice("--format", {"rttm", "json"}, "rttm");
    const auto speakers = line.integer("--speakers", 1);
    checkInputs(line.arguments());
    const std::string& file = line.arguments().front();
    const std::vector<float> samples = api::Audio::load(file);
    api::Diarizer diarizer(speakers);
    const auto turns = diarizer.diarize(samples, [this, &file](const api::Progress& progress) {
        progress_.update(progress.fraction, file);
    });
    progress_.finish();
    if (format == "json") {
        json list = json::array();
        std::set<std::string> names;
        for (const auto& turn : turns) {
            names.insert(turn.speaker);
            list.push_back({{"speaker", turn.speaker},
                            {"start", rounded(turn.start)},
                            {"end", rounded(turn.end)},
                            {"quality", turn.quality}});
        }
        out_ << json{{"file", file}, {"speakers", names.size()}, {"segments", std::move(list)}}.dump(2) << "\n";
    } else {
        out_ << RttmWriter::rttm(RttmWriter::recordingId(file), turns);
    }
    return success;
}

int Program::speak(const std::vector<std::string>& arguments) {
    const auto line = CommandLine::parse(arguments, {"--output", "--voice", "--speed"});
    line.expectArguments(1, 1, "TEXT");
    const auto output = line.option("--output");
    if (!output || output->empty()) throw CommandLine::Misuse(CommandLine::Misuse::Kind::missingArgument, "-o FILE");
    const std::string voice = line.option("--voice").value_or("af_heart");
    const auto& voices = api::Synthesizer::voices();
    if (std::find(voices.begin(), voices.end(), voice) == voices.end()) {
        throw CommandLine::Misuse(CommandLine::Misuse::Kind::badValue, "--voice " + voice);
    }
    const float speed = line.positiveNumber("--speed", 1.0f);
    std::string text = line.arguments().front();
    if (text == "-") text.assign(std::istreambuf_iterator<char>(in_), std::istreambuf_iterator<char>());
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) {
        throw CommandLine::Misuse(CommandLine::Misuse::Kind::missingArgument, "TEXT");
    }
    api::Synthesizer synthesizer;
    synthesizer.speakToFile(text, *output, voice, speed);
    err_ << messages_.text(Id::wrote, *output) << "\n";
    return success;
}

int Program::models(const std::vector<std::string>& arguments) {
    const std::string action = arguments.empty() ? "list" : arguments.front();
    const std::vector<std::string> rest(arguments.begin() + (arguments.empty() ? 0 : 1), arguments.end());
    const auto line = CommandLine::parse(rest, {});
    if (action == "list") {
        line.expectArguments(0, 0, "");
        return listModels();
    }
    if (action == "fetch") return fetchModels(line.arguments());
    if (action == "import") {
        line.expectArguments(1, 2, "FILE");
        return importModels(line.arguments());
    }
    throw CommandLine::Misuse(CommandLine::Misuse::Kind::badValue, "models " + action);
}

int Program::listModels() {
    for (const ModelSet& set : modelSets()) {
        const std::string status = messages_.text(set.installed ? Id::installed : Id::missing);
        char name[32];
        std::snprintf(name, sizeof name, "%-12s", set.name.c_str());
        out_ << name << " " << status << std::string(status.size() < 12 ? 12 - status.size() : 1, ' ')
             << set.folder.string() << "\n";
    }
    return success;
}

int Program::fetchModels(const std::vector<std::string>& names) {
    std::vector<std::string> wanted = names;
    if (wanted.empty()) wanted = {"parakeet-v3", "vad", "diarization", "tts"};
    const std::set<std::string> known{"parakeet-v3", "parakeet-v2", "vad", "diarization", "tts"};
    for (const std::string& name : wanted) {
        if (!known.contains(name)) throw CommandLine::Misuse(CommandLine::Misuse::Kind::badValue, name);
    }
    for (const std::string& name : wanted) {
        err_ << messages_.text(Id::fetching, name) << "\n";
        const api::ProgressHandler show = [this, &name](const api::Progress& progress) {
            progress_.update(progress.fraction, name + " " + progress.step +
                                                    (progress.detail.empty() ? "" : " " + progress.detail));
        };
        if (name == "parakeet-v3") api::Transcriber::fetchModels(api::ModelVersion::v3, show);
        if (name == "parakeet-v2") api::Transcriber::fetchModels(api::ModelVersion::v2, show);
        if (name == "vad") api::VoiceActivityDetector::fetchModels(show);
        if (name == "diarization") api::Diarizer::fetchModels(show);
        if (name == "tts") api::Synthesizer::fetchModels(show);
        progress_.finish();
        err_ << messages_.text(Id::fetched, name) << "\n";
    }
    return success;
}

int Program::importModels(const std::vector<std::string>& files) {
    checkInputs(files);
    const auto extension = [](const std::string& file) { return std::filesystem::path(file).extension().string(); };
    const api::ProgressHandler show = [this](const api::Progress& progress) {
        progress_.update(progress.fraction, progress.step + (progress.detail.empty() ? "" : " " + progress.detail));
    };
    if (files.size() == 2) {
        api::Diarizer::importModels(files[0], files[1]);
        err_ << messages_.text(Id::imported, "diarization") << "\n";
        return success;
    }
    if (extension(files[0]) == ".nemo") {
        const auto version = api::Transcriber::importModels(files[0], show);
        progress_.finish();
        err_ << messages_.text(Id::imported, version == api::ModelVersion::v2 ? "parakeet-v2" : "parakeet-v3") << "\n";
        return success;
    }
    if (extension(files[0]) == ".onnx") {
        api::VoiceActivityDetector::importModels(files[0]);
        err_ << messages_.text(Id::imported, "vad") << "\n";
        return success;
    }
    err_ << "rarivoredu: " << messages_.text(Id::importKinds, files[0]) << "\n";
    return usage;
}

}  // namespace rarivoredu::cli
