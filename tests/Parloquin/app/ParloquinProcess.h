#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <chrono>
#include <filesystem>
#include <string>

namespace parloquin_test {

// The application as a process of its own, started as a user would, with settings, data and
// caches below a folder of the test's ("config", "data", "cache"; made here) and no reachable
// model hub. Its standard error is kept; whatever still runs is ended with this object.
class ParloquinProcess {
public:
    explicit ParloquinProcess(const std::filesystem::path& home);
    ~ParloquinProcess();
    ParloquinProcess(const ParloquinProcess&) = delete;
    ParloquinProcess& operator=(const ParloquinProcess&) = delete;

    // Changed before start; starts from the test's own, without QT_QPA_PLATFORM.
    QProcessEnvironment environment;
    // The program to start: the application itself unless changed.
    QStringList command;
    // Keep what it writes to standard output (dropped unless asked for).
    bool keepStandardOutput = false;

    bool start();
    bool isRunning() const { return process_.state() != QProcess::NotRunning; }
    // False when it still runs after the limit.
    bool waitForExit(std::chrono::milliseconds limit = std::chrono::milliseconds(30000));
    int exitCode() const { return process_.exitCode(); }
    bool crashed() const { return process_.exitStatus() == QProcess::CrashExit; }
    // All it has written to standard error so far.
    std::string standardError();
    // All it has written to standard output, when kept.
    std::string standardOutput() { return process_.readAllStandardOutput().toStdString(); }
    void stop();

private:
    QProcess process_;
    std::string standardError_;
};

}  // namespace parloquin_test
