// zirvak-cli loudness on signals made here: a 1 kHz sine at a known level reads that loudness,
// as the EBU's test signals do; three tracks make an album whose loudness weighs each by its
// power; a file that cannot be read gets its line and the others are still measured.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "cli_runner.h"
#include "player_fixtures.h"

namespace zirvak::test {
namespace {

// A stereo 1 kHz sine at `dbfs` in both channels, 48 kHz, `seconds` long.
Bytes Sine(double dbfs, int seconds) {
    WavParams params;
    params.sampleRate = 48000;
    Bytes pcm;
    const double amplitude = 32767 * std::pow(10, dbfs / 20);
    for (int i = 0; i < 48000 * seconds; ++i) {
        const auto v = int16_t(std::lround(amplitude * std::sin(2 * M_PI * 1000 * i / 48000)));
        for (int c = 0; c < 2; ++c) {
            pcm.push_back(uint8_t(v));
            pcm.push_back(uint8_t(uint16_t(v) >> 8));
        }
    }
    return MakeWav(params, pcm);
}

struct Row {
    double lufs = NAN, gain = NAN, peakDb = NAN;
    std::string file;
};

// The table's rows after its heading: loudness, range, peak, gain and the file.
std::vector<Row> Rows(const std::string& out) {
    std::vector<Row> rows;
    std::istringstream lines(out);
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        Row row;
        std::string unit;
        double range = 0;
        fields >> row.lufs >> unit >> range >> unit >> row.peakDb >> unit >> row.gain >> unit >>
            row.file;
        rows.push_back(row);
    }
    return rows;
}

TEST(CliLoudness, KnownLevelsAndAnAlbumOfThem) {
    TempDir dir;
    const std::string a = WriteBytes(dir.Path("a.wav"), Sine(-23, 20));
    const std::string b = WriteBytes(dir.Path("b.wav"), Sine(-20, 20));
    const std::string c = EncodeFlac(dir, "c", Sine(-30, 20));
    const CliResult r = Cli("loudness " + Quote(a) + " " + Quote(dir.Path("gone.wav")) + " " +
                            Quote(b) + " " + Quote(c));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zirvak-cli: " + dir.Path("gone.wav") + ": no such file\n");
    const std::vector<Row> rows = Rows(r.out);
    ASSERT_EQ(rows.size(), 4u) << r.out;
    const struct {
        double lufs, peakDb;
        std::string file;
    } want[] = {{-23, -23, a}, {-20, -20, b}, {-30, -30, c}};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(want[i].file);
        EXPECT_NEAR(rows[i].lufs, want[i].lufs, 0.1);
        EXPECT_NEAR(rows[i].gain, -18 - want[i].lufs, 0.1);
        EXPECT_NEAR(rows[i].peakDb, want[i].peakDb, 0.05);
        EXPECT_EQ(rows[i].file, want[i].file);
    }
    // The three as one: their mean power, every block above the gates.
    const double album = 10 * std::log10((std::pow(10, -2.3) + 0.01 + 0.001) / 3);
    EXPECT_NEAR(rows[3].lufs, album, 0.1);
    EXPECT_NEAR(rows[3].gain, -18 - album, 0.1);
    EXPECT_NEAR(rows[3].peakDb, -20, 0.05);
    EXPECT_EQ(rows[3].file, "(album)");
}

}  // namespace
}  // namespace zirvak::test
