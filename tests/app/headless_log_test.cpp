// The headless log: clean lines, and a writer that never holds up the
// threads that log, whatever the reader does.
#include "app/headless_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "../platforms/golden.h"

TEST(HeadlessLog, ControlCharactersNeverReachTheReader) {
    const auto cases = testing_support::goldenCases("app/headless_lines.golden");
    ASSERT_EQ(cases.size(), 4u);
    for (const auto& c : cases) {
        EXPECT_EQ(app::headlessLine("speak", c.in), c.out) << c.in;
    }
}

TEST(HeadlessLog, AReaderThatStopsReadingNeverHoldsUpTheLogger) {
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    std::FILE* diagnostics = std::tmpfile();
    ASSERT_NE(diagnostics, nullptr);
    const auto begin = std::chrono::steady_clock::now();
    std::uint64_t dropped = 0;
    {
        app::LogWriter writer(fds[1], 16, diagnostics);
        // Far more than the pipe holds: nobody reads.
        const std::string text(1000, 'x');
        for (int i = 0; i < 2000; ++i) {
            writer.write("speak", text);
        }
        writer.close(std::chrono::milliseconds(100));
        dropped = writer.dropped();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_LT(seconds, 3.0);  // the point: bounded, not the figure

    // The lines that got through are whole, and every other one is counted.
    std::string got(1 << 20, '\0');
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    const ssize_t n = ::read(fds[0], got.data(), got.size());
    ASSERT_GT(n, 0);
    got.resize(static_cast<std::size_t>(n));
    const std::string line = "speak " + std::string(1000, 'x') + "\n";
    const std::size_t whole = got.size() / line.size();
    EXPECT_EQ(got.substr(0, whole * line.size()).find_first_not_of(line), std::string::npos);
    EXPECT_GE(dropped + whole, 2000u - 1);  // at most one line was cut by the close
    EXPECT_GT(dropped, 0u);

    std::rewind(diagnostics);
    char said[256] = {};
    ASSERT_NE(std::fgets(said, sizeof said, diagnostics), nullptr);
    EXPECT_NE(std::string(said).find("dropped"), std::string::npos) << said;
    std::fclose(diagnostics);
    ::close(fds[0]);
    ::close(fds[1]);
}
