// What of a tag's text is shown, how a track number is read, and what a cover is taken for.
#include <gtest/gtest.h>

#include <climits>

#include "song_tags.h"
#include "tag_builder.h"
#include "tag_text.h"

namespace zirvak::test {
namespace {

TEST(TagText, ShownTrimmedOrNotAtAll) {
    using namespace std::string_literals;
    const struct {
        std::string in, out;
    } cases[] = {
        {"  Title \0\0"s, "Title"},
        {"\xEF\xBB\xBF\xC2\xA0Marked\r\n", "Marked"},  // a stray BOM, a no-break space
        {"Zo\xC3\xAB \xF0\x9F\x98\x80 \xE9\xA1\x8C", "Zo\xC3\xAB \xF0\x9F\x98\x80 \xE9\xA1\x8C"},
        {"\xF4\x8F\xBF\xBD", "\xF4\x8F\xBF\xBD"},  // U+10FFFD, the last code point there is
        {" \t\0"s, ""},
        {"", ""},
        // Control characters within, and the noncharacters of a wrong byte order.
        {"a\x01z", ""},
        {"a\tz", ""},
        {"a\0z"s, ""},
        {"del\x7F", ""},
        {"\xC2\x85next line", ""},  // U+0085, a C1 control
        {"\xEF\xBF\xBE", ""},       // U+FFFE
        // Not UTF-8: overlong forms, surrogates, past U+10FFFF, cut short, a stray continuation.
        {"\xC0\xAF", ""},
        {"\xE0\x80\xAF", ""},
        {"\xF0\x80\x80\xAF", ""},
        {"\xED\xA0\x80", ""},
        {"\xF4\x90\x80\x80", ""},
        {"ok \xE2\x82", ""},
        {"\x80ok", ""},
        {"Latin-1 caf\xE9", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(CleanTagText(c.in), c.out) << c.in;
}

TEST(TagText, LongTextIsCutAtACharacterBoundary) {
    const std::string a1023(1023, 'a'), a1024(1024, 'a');
    std::string emoji;
    for (int i = 0; i < 300; ++i) emoji += "\xF0\x9F\x98\x80";  // 4 bytes each
    const struct {
        std::string in, out;
    } cases[] = {
        {a1024, a1024},
        {a1024 + "b", a1024},
        {a1023 + "\xC3\xA9", a1023},                                    // é would end at byte 1025
        {a1023 + "\xE9\xA1\x8C", a1023},                                // so would 題
        {emoji, emoji.substr(0, 1024)},                                 // 256 whole characters
        {std::string(1020, 'a') + "    bbbb", std::string(1020, 'a')},  // no trailing blank
        {"   " + a1024 + "   ", a1024},  // trimmed before it is measured
        {a1024 + "b\x01", ""},           // checked whole, not only what is kept
    };
    for (const auto& c : cases) {
        const std::string out = CleanTagText(c.in);
        EXPECT_EQ(out, c.out) << c.in.size();
        EXPECT_LE(out.size(), kMaxTagTextBytes);
    }
}

TEST(TagText, TrackNumberIsTheNumberBeforeTheSlash) {
    const struct {
        const char* in;
        int out;
    } cases[] = {
        {"3/12", 3},
        {"07", 7},
        {" 5 ", 5},
        {"4 / 10", 4},
        {"2147483647", INT_MAX},
        {"0", 0},
        {"0/12", 0},
        {"-5/12", 0},
        {"+3", 0},
        {"12abc", 0},
        {"", 0},
        {"/12", 0},
        {"3.5", 0},
        {"99999999999/12", 0},
        {"\xEF\xBC\x93", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseTrackNumber(c.in), c.out) << c.in;
}

// A track's or a disc's place: the total only beside a number it does not fall short of.
TEST(TagText, SetPositionIsANumberAndItsTotal) {
    const struct {
        const char* in;
        int number, total;
    } cases[] = {
        {"3/12", 3, 12}, {" 4 / 10 ", 4, 10}, {"7", 7, 0},     {"7/", 7, 0},   {"7/7", 7, 7},
        {"5/3", 5, 0},   {"3/x", 3, 0},       {"3/-12", 3, 0}, {"0/12", 0, 0}, {"/12", 0, 0},
        {"x/12", 0, 0},  {"3/12/13", 3, 0},   {"", 0, 0},
    };
    for (const auto& c : cases) {
        const SetPosition position = ParseSetPosition(c.in);
        EXPECT_EQ(position.number, c.number) << c.in;
        EXPECT_EQ(position.total, c.total) << c.in;
    }
}

TEST(TagText, YearIsFourDigitsStartingTheDate) {
    const struct {
        const char* in;
        int out;
    } cases[] = {
        {"1999", 1999},
        {" 2004-05-06 ", 2004},
        {"2004-05-06T12:00", 2004},
        {"0999", 999},
        {"0000", 0},
        {"19990", 0},
        {"199", 0},
        {"19x9", 0},
        {"-1999", 0},
        {"c 1999", 0},
        {"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseYear(c.in), c.out) << c.in;
}

TEST(TagText, GenreFieldIsTextANumberOrBoth) {
    const struct {
        const char* in;
        int number;
        const char* text;
    } cases[] = {
        {"Rock", -1, "Rock"},
        {"17", 17, ""},
        {"0", 0, ""},
        {"(17)", 17, ""},
        {"(4)Eurodisco", 4, "Eurodisco"},
        {"(RX)", -1, "Remix"},
        {"CR", -1, "Cover"},
        {"(RX)Dub", -1, "Dub"},
        {"((Parenthesised)", -1, "(Parenthesised)"},
        {"(Unclosed", -1, "(Unclosed"},
        {"(Foo)", -1, ""},
        {"(1234)", -1, ""},
        {"12345", -1, ""},
        {" ", -1, ""},
    };
    for (const auto& c : cases) {
        const GenreField genre = ParseGenreField(c.in);
        EXPECT_EQ(genre.number, c.number) << c.in;
        EXPECT_EQ(genre.text, c.text) << c.in;
    }
}

TEST(TagText, CoverTypeFromItsBytesThenItsTag) {
    const Bytes jpeg = FakeJpeg(64, 1), png = FakePng(64, 2);
    const Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 0, 0};
    const struct {
        const Bytes& data;
        const char* declared;
        const char* out;
    } cases[] = {
        {jpeg, "image/png", "image/jpeg"},  // the bytes are what is shown
        {png, "", "image/png"},
        {png, "-->", "image/png"},
        {gif, "image/gif", "image/gif"},
        {gif, "IMAGE/JPG", "image/jpeg"},
        {gif, "JPG", "image/jpeg"},  // ID3v2.2's image format
        {gif, "PNG", "image/png"},
        {gif, "", "application/octet-stream"},
        {gif, "image/", "application/octet-stream"},
        {gif, "image/jpeg\x01", "application/octet-stream"},
        {gif, "text/plain; charset=x", "application/octet-stream"},
        {gif, "a/b/c", "application/octet-stream"},
    };
    for (const auto& c : cases) EXPECT_EQ(CoverMimeType(c.data, c.declared), c.out) << c.declared;
}

// ReplayGain values as taggers write them; damage, jokes and what only looks like a number
// are left out, never applied.
TEST(TagText, ReplayGainValuesAsWrittenOrNotAtAll) {
    const struct {
        const char* text;
        std::optional<double> gain, peak, r128;
    } cases[] = {
        {"-6.54 dB", -6.54, std::nullopt, std::nullopt},
        {" +2.10 DB ", 2.1, std::nullopt, std::nullopt},
        {"3.5", 3.5, 3.5, std::nullopt},
        {"-24", -24, std::nullopt, -24 / 256.0 + 5},
        {"24.01 dB", std::nullopt, std::nullopt, std::nullopt},
        {"-512", std::nullopt, std::nullopt, 3.0},
        {"7680", std::nullopt, std::nullopt, std::nullopt},  // 30 dB + 5
        {"0.988547", 0.988547, 0.988547, std::nullopt},
        {"0", 0.0, std::nullopt, 5.0},
        {"100.5", std::nullopt, std::nullopt, std::nullopt},
        {"nan", std::nullopt, std::nullopt, std::nullopt},
        {"inf dB", std::nullopt, std::nullopt, std::nullopt},
        {"1e1", std::nullopt, std::nullopt, std::nullopt},
        {"-6,54 dB", std::nullopt, std::nullopt, std::nullopt},
        {"- 6 dB", std::nullopt, std::nullopt, std::nullopt},
        {"dB", std::nullopt, std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt, std::nullopt},
        {"-.5 dB", -0.5, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseReplayGainDb(c.text), c.gain);
        EXPECT_EQ(ParseReplayGainPeak(c.text), c.peak);
        EXPECT_EQ(ParseR128GainDb(c.text), c.r128);
    }
}

}  // namespace
}  // namespace zirvak::test
