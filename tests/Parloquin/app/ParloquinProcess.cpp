#include "tests/Parloquin/app/ParloquinProcess.h"

namespace parloquin_test {

ParloquinProcess::ParloquinProcess(const std::filesystem::path& home)
    : environment(QProcessEnvironment::systemEnvironment()), command{QStringLiteral(PARLOQUIN_EXECUTABLE)} {
    for (const char* folder : {"config", "data", "cache"}) {
        std::filesystem::create_directories(home / folder);
        environment.insert(QStringLiteral("XDG_%1_HOME").arg(QString::fromLatin1(folder).toUpper()),
                           QString::fromStdString((home / folder).string()));
    }
    environment.insert("RARIVOREDU_HUB_URL", "http://127.0.0.1:1");
    environment.remove("QT_QPA_PLATFORM");
}

ParloquinProcess::~ParloquinProcess() { stop(); }

bool ParloquinProcess::start() {
    process_.setProcessEnvironment(environment);
    process_.setProgram(command.front());
    process_.setArguments(command.mid(1));
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    if (!keepStandardOutput) process_.setStandardOutputFile(QProcess::nullDevice());
    process_.start();
    return process_.waitForStarted(10000);
}

bool ParloquinProcess::waitForExit(std::chrono::milliseconds limit) {
    const bool ended = process_.waitForFinished(static_cast<int>(limit.count()));
    standardError();
    return ended;
}

std::string ParloquinProcess::standardError() {
    standardError_ += process_.readAllStandardError().toStdString();
    return standardError_;
}

void ParloquinProcess::stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(10000)) {
        process_.kill();
        process_.waitForFinished(10000);
    }
    standardError();
}

}  // namespace parloquin_test
