#include "BrokerPassword.h"
#include "CertificateFile.h"
#include "MqttText.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// What publishing checks before anything starts: the password's file and the CA file.

using namespace adc;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

struct Folder {
    fs::path path = fs::temp_directory_path() / ("adc-publish-" + std::to_string(::getpid()));
    Folder() { fs::create_directories(path); }
    ~Folder() { fs::remove_all(path); }
    std::string file(const std::string &name, const std::string &bytes) const
    {
        std::ofstream(path / name, std::ios::binary) << bytes;
        return path / name;
    }
    std::string fifo(const std::string &name) const
    {
        ::mkfifo((path / name).c_str(), 0600);
        return path / name;
    }
};

std::atomic<bool> g_terminated{false};

/// The password of `path`, or "error: " and why.
std::string passwordOf(const std::string &path, std::chrono::milliseconds wait = 300ms)
{
    std::string error;
    const std::optional<std::string> password = BrokerPassword::readFile(path, error, wait);
    return password ? *password : "error: " + error;
}

TEST(BrokerPassword, TheFirstLineOfAFileOrPipeInTimeAndNothingElse)
{
    const Folder folder;
    const std::string longest(MqttText::kLongest, 'p');
    EXPECT_EQ(passwordOf(folder.file("crlf", "right\r\nsecond\n")), "right");
    EXPECT_EQ(passwordOf(folder.file("longest", longest)), longest);
    EXPECT_EQ(passwordOf(folder.file("long", longest + "p\n")),
              "error: The password in the password file " + folder.path.string() +
                  "/long is longer than 65535 bytes, the most MQTT takes.");
    EXPECT_NE(passwordOf(folder.path).find("it is a folder"), std::string::npos);
    EXPECT_NE(passwordOf("/dev/zero").find("neither a regular file nor a pipe"), std::string::npos);
    EXPECT_NE(passwordOf(folder.path / "none").find("No such file"), std::string::npos);

    // A FIFO that no one writes is waited for, no longer; one written in time is read, as is a
    // pipe given by process substitution (/dev/fd/N).
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(passwordOf(folder.fifo("silent")), "error: No password came from the password file " +
                                                     folder.path.string() +
                                                     "/silent within 1 seconds.");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
    const std::string fifo = folder.fifo("fifo");
    auto writer = std::async([&fifo] { std::ofstream(fifo) << "late\nnext"; });
    EXPECT_EQ(passwordOf(fifo, 5s), "late");
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ASSERT_EQ(::write(ends[1], "piped", 5), 5);
    ::close(ends[1]);
    EXPECT_EQ(passwordOf("/dev/fd/" + std::to_string(ends[0])), "piped");
    ::close(ends[0]);

    // SIGTERM ends the wait at once and is then handled as it would have been.
    std::signal(SIGTERM, [](int) { g_terminated = true; });
    auto terminate = std::async([] {
        sigset_t term;
        sigemptyset(&term);
        sigaddset(&term, SIGTERM);
        ::pthread_sigmask(SIG_BLOCK, &term, nullptr); // for the whole process, as at start-up
        std::this_thread::sleep_for(100ms);
        ::kill(::getpid(), SIGTERM);
    });
    const auto waited = std::chrono::steady_clock::now();
    EXPECT_NE(passwordOf(folder.fifo("interrupted"), 10s).find("Stopped waiting"),
              std::string::npos);
    EXPECT_LT(std::chrono::steady_clock::now() - waited, 2s);
    EXPECT_TRUE(g_terminated);
    std::signal(SIGTERM, SIG_DFL);
}

TEST(BrokerPassword, TheFileComesFirstAndTheEnvironmentsIsBoundToo)
{
    const Folder folder;
    PublishSettings settings{{}, {}, folder.file("pw", "from-file\n"), {}};
    settings.target.user = "ann";
    std::string error;
    ::setenv(BrokerPassword::kVariable, std::string(MqttText::kLongest + 1, 'p').c_str(), 1);
    EXPECT_EQ(BrokerPassword::find(settings, error), "from-file");
    settings.passwordFile.clear();
    EXPECT_FALSE(BrokerPassword::find(settings, error));
    EXPECT_EQ(error, "The password in ADC_PUBLISH_PASSWORD is longer than 65535 bytes, the most "
                     "MQTT takes.");
    ::unsetenv(BrokerPassword::kVariable);
}

TEST(CertificateFile, AFileWithoutACertificateIsRefusedByName)
{
    const Folder folder;
    const std::string noCertificate =
        "holds no certificate that can be read (PEM: \"-----BEGIN CERTIFICATE-----\").";
    for (const std::string &path :
         {folder.file("empty.crt", ""),
          folder.file("broken.crt", "-----BEGIN CERTIFICATE-----\n"
                                    "AAAA\n-----END CERTIFICATE-----\n")}) {
        EXPECT_EQ(CertificateFile::problem(path),
                  "The certificate authorities' file " + path + " " + noCertificate);
    }
    EXPECT_NE(CertificateFile::problem(folder.path).find("it is a folder"), std::string::npos);
    EXPECT_NE(CertificateFile::problem(folder.fifo("ca")).find("not a regular file"),
              std::string::npos);
    EXPECT_NE(CertificateFile::problem(folder.path / "none").find("No such file"),
              std::string::npos);
}

} // namespace
