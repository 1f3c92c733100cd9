#include <QApplication>
#include <QDir>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

// The environment the build wrote next to the executable (NAME=VALUE lines); what the caller's environment already
// sets is kept.
void takeEnvironmentFile()
{
    char exe[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length <= 0) {
        return;
    }
    std::ifstream file(std::string(exe, static_cast<size_t>(length)) + ".env");
    for (std::string line; std::getline(file, line);) {
        const auto equals = line.find('=');
        if (equals != std::string::npos && equals > 0) {
            setenv(line.substr(0, equals).c_str(), line.substr(equals + 1).c_str(), 0);
        }
    }
    tzset();
}

} // namespace

// Widget tests need a QApplication; offscreen unless the environment asks for a real display.
int main(int argc, char** argv)
{
    takeEnvironmentFile();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        qputenv("XDG_RUNTIME_DIR", (QDir::tempPath() + QStringLiteral("/reminder-tests-runtime")).toLocal8Bit());
    }
    // Qt refuses a runtime folder others may enter.
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QDir().mkpath(runtimeDir);
    QFile::setPermissions(runtimeDir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
