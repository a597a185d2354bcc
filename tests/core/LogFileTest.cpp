#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <regex>
#include <thread>
#include <vector>

#include "diagnostics/Log.h"
#include "support/TempDir.h"

namespace {

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t pos; (pos = text.find("\r\n", start)) != std::string::npos; start = pos + 2)
        lines.push_back(text.substr(start, pos - start));
    EXPECT_EQ(start, text.size()) << "file must end with CR LF";
    return lines;
}

}  // namespace

TEST(LogFile, NameCarriesProductAndStartTime) {
    std::tm tm{};
    tm.tm_year = 2024 - 1900, tm.tm_mon = 4, tm.tm_mday = 6, tm.tm_hour = 14, tm.tm_min = 3, tm.tm_sec = 59;
    tm.tm_isdst = -1;
    auto t = std::chrono::system_clock::from_time_t(mktime(&tm));
    EXPECT_EQ(TLogFile::FileNameFor(t), "OrlaDesk 06-05-2024_14-03-59.log");
}

TEST(LogFile, EntriesHaveTimeTextAndCrLfWithContinuationLines) {
    TempDir dir;
    TLogFile log;
    ASSERT_TRUE(log.OpenPath(dir / "a.log"));
    log.Append("first");
    log.Append("");
    log.AppendLines({"Nome: x", "Versão: ç ã é"});
    log.Close();
    std::string text = ReadFileText(dir / "a.log");
    ASSERT_FALSE(text.starts_with("\xEF\xBB\xBF"));
    auto lines = SplitCrLf(text);
    ASSERT_EQ(lines.size(), 4u);
    std::regex stamp(R"(^\d{2}:\d{2}:\d{2}\.\d{3}: )");
    EXPECT_TRUE(std::regex_search(lines[0], stamp));
    EXPECT_TRUE(lines[0].ends_with(": first"));
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"(\d{2}:\d{2}:\d{2}\.\d{3}: )")));
    EXPECT_TRUE(lines[2].ends_with(": Nome: x"));
    EXPECT_EQ(lines[3], "Versão: ç ã é");
    EXPECT_EQ(lines[3], "Vers\xC3\xA3o: \xC3\xA7 \xC3\xA3 \xC3\xA9");
}

// Texts carry outside data: a line break in a release's md5 field must not
// start a line that looks like an entry of its own.
TEST(LogFile, ControlCharactersInATextAreEscapedAndCannotForgeALine) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"md5=ab\r\n12:00:00.000: TInstallerThread.Forged", "md5=ab\\r\\n12:00:00.000: TInstallerThread.Forged"},
        {"lone\rcr and lone\nlf", "lone\\rcr and lone\\nlf"},
        {"tab\tbell\a esc\x1B del\x7F", "tab\\tbell\\x07 esc\\x1B del\\x7F"},
        {std::string("nul\0end", 7), "nul\\x00end"},
        {"back\\slash ç", "back\\slash ç"},
    };
    TempDir dir;
    TLogFile log;
    ASSERT_TRUE(log.OpenPath(dir / "e.log"));
    for (const auto& [text, written] : cases) log.Append(text);
    log.AppendLines({"Nome: a\r\nforged", "Monitor: b"});
    log.Close();
    auto lines = SplitCrLf(ReadFileText(dir / "e.log"));
    ASSERT_EQ(lines.size(), cases.size() + 2);
    for (size_t i = 0; i < cases.size(); ++i) EXPECT_TRUE(lines[i].ends_with(": " + cases[i].second)) << lines[i];
    EXPECT_TRUE(lines[cases.size()].ends_with(": Nome: a\\r\\nforged"));
    EXPECT_EQ(lines[cases.size() + 1], "Monitor: b");
}

TEST(LogFile, ConcurrentWritersNeverInterleave) {
    TempDir dir;
    TLogFile log;
    ASSERT_TRUE(log.OpenPath(dir / "c.log"));
    const int kThreads = 8, kLines = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            std::string payload(200, static_cast<char>('a' + t));
            for (int i = 0; i < kLines; ++i) log.Append("T" + std::to_string(t) + " " + payload);
        });
    for (auto& th : threads) th.join();
    log.Close();
    auto lines = SplitCrLf(ReadFileText(dir / "c.log"));
    ASSERT_EQ(lines.size(), size_t(kThreads * kLines));
    std::regex whole(R"(^\d{2}:\d{2}:\d{2}\.\d{3}: T(\d) ([a-h])\2{199}$)");
    std::string previous;
    for (const auto& line : lines) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, whole)) << line.substr(0, 40);
        EXPECT_EQ(m[2].str()[0], 'a' + std::stoi(m[1].str()));
        std::string time = line.substr(0, 12);
        EXPECT_GE(time, previous) << "times never go backwards";
        previous = time;
    }
}

TEST(LogFile, PlantedLinkIsReplacedNotFollowed) {
    TempDir dir;
    auto victim = dir / "victim.txt";
    WriteFileText(victim, "precious");
    auto logPath = dir / "planted.log";
    ASSERT_EQ(symlink(victim.c_str(), logPath.c_str()), 0);
    TLogFile log;
    ASSERT_TRUE(log.OpenPath(logPath));
    log.Append("entry");
    log.Close();
    EXPECT_EQ(ReadFileText(victim), "precious");
    struct stat st {};
    ASSERT_EQ(lstat(logPath.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_TRUE(ReadFileText(logPath).find(": entry\r\n") != std::string::npos);
}

// Two copies started in the same second get the same name; the second must not
// take the first one's record away. A log whose writer has ended is replaced.
TEST(LogFile, LogOfARunningWriterIsNeverReplaced) {
    TempDir dir;
    const auto path = dir / "OrlaDesk 06-05-2024_14-03-59.log";
    TLogFile first;
    ASSERT_TRUE(first.OpenPath(path));
    first.Append("first run");

    TLogFile second;
    EXPECT_FALSE(second.OpenPath(path));
    second.Append("second run");
    first.Append("first run goes on");
    EXPECT_NE(ReadFileText(path).find(": first run goes on\r\n"), std::string::npos);
    EXPECT_EQ(ReadFileText(path).find("second run"), std::string::npos);

    first.Close();
    TLogFile third;
    ASSERT_TRUE(third.OpenPath(path));
    third.Append("third run");
    third.Close();
    auto lines = SplitCrLf(ReadFileText(path));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].ends_with(": third run"));
}

// The copy that loses the race for the log name may be the one that wins the
// single-instance guard and installs: it keeps a record under a name of its own.
TEST(LogFile, ACopyStartedInTheSameSecondWritesALogOfItsOwn) {
    TempDir dir;
    const auto start = std::chrono::system_clock::now();
    const std::string name = TLogFile::FileNameFor(start);
    const std::string second = name.substr(0, name.size() - 4) + " (2).log";
    TLogFile first, other;
    ASSERT_TRUE(first.Open(dir.path(), start));
    ASSERT_TRUE(other.Open(dir.path(), start));
    EXPECT_EQ(first.Path(), dir / name);
    EXPECT_EQ(other.Path(), dir / second);
    first.Append("first copy");
    other.Append("installing copy");
    EXPECT_NE(ReadFileText(dir / name).find(": first copy\r\n"), std::string::npos);
    EXPECT_EQ(ReadFileText(dir / name).find("installing copy"), std::string::npos);
    EXPECT_NE(ReadFileText(dir / second).find(": installing copy\r\n"), std::string::npos);

    std::vector<std::unique_ptr<TLogFile>> more;
    for (int copy = 3; copy <= TLogFile::kMaxCopiesPerSecond; ++copy) {
        more.push_back(std::make_unique<TLogFile>());
        ASSERT_TRUE(more.back()->Open(dir.path(), start)) << copy;
    }
    TLogFile tooMany;
    EXPECT_FALSE(tooMany.Open(dir.path(), start)) << "a bounded number of names, then no file";
}

TEST(LogFile, WithoutFileAppendWritesNothingAndDoesNotThrow) {
    TempDir dir;
    TLogFile log;
    EXPECT_FALSE(log.OpenPath(dir / "missing-folder" / "x.log"));
    EXPECT_NO_THROW(log.Append("lost"));
    EXPECT_FALSE(log.IsOpen());
}
