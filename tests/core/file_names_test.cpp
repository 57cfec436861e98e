// file: URIs and the paths they name, byte for byte, and names shown readably.
#include <gtest/gtest.h>

#include "file_uri.h"
#include "readable_text.h"

namespace zirvak::test {
namespace {

TEST(FileUri, NamesOneLocalFileOrNone) {
    const struct {
        const char* uri;
        std::optional<std::string> path;
    } cases[] = {
        {"file:///music/a%20b.mp3", "/music/a b.mp3"},
        {"FILE://localhost/music/x.mp3", "/music/x.mp3"},
        {"file://LocalHost/x.mp3", "/x.mp3"},
        {"file:/music/x.mp3", "/music/x.mp3"},
        {"file:///caf%E9.mp3", "/caf\xe9.mp3"},         // Latin-1 bytes, as they are on disk
        {"file:///caf%c3%a9.mp3", "/caf\xc3\xa9.mp3"},  // lower-case escapes
        {"file:///a%0Ab.mp3", "/a\nb.mp3"},
        {"file:///x.mp3?query#part", "/x.mp3"},
        // Dot segments are resolved on the URI, wherever symlinks would lead; "%2E" is a dot.
        {"file:///music/album/../song.mp3", "/music/song.mp3"},
        {"file:///music/./a/%2E%2e/song.mp3", "/music/song.mp3"},
        {"file:///../../etc/x.mp3", "/etc/x.mp3"},
        {"file:///music/a/..", "/music/"},
        {"file:///music/..a/.b.mp3", "/music/..a/.b.mp3"},
        {"file:///b%20c/", "/b c/"},
        {"file:///", "/"},
        // No name holds a NUL or a slash: such a URI names no file, not the name before it.
        {"file:///song.mp3%00/../../etc/passwd", std::nullopt},
        {"file:///song.mp3%00", std::nullopt},
        {"file:///a%2Fb", std::nullopt},
        {"file:///a/..%2F..%2Fetc%2Fpasswd", std::nullopt},
        {"file:///x%4", std::nullopt},
        {"file:///x%zz", std::nullopt},
        {"file://example.org/x.mp3", std::nullopt},
        {"file://localhostx/x.mp3", std::nullopt},
        {"file:relative.mp3", std::nullopt},
        {"file://", std::nullopt},
        {"https://example.org/x.mp3", std::nullopt},
        {"/music/x.mp3", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(PathFromFileUri(c.uri), c.path) << c.uri;
}

TEST(FileUri, EveryPathMakesTheRoundTrip) {
    EXPECT_EQ(FileUriFromPath("/music/Gece Bahçesi (live) #2.mp3"),
              "file:///music/Gece%20Bah%C3%A7esi%20(live)%20%232.mp3");
    EXPECT_EQ(FileUriFromPath("/a%b?c"), "file:///a%25b%3Fc");
    // Every byte but NUL, in every position.
    std::string all = "/";
    for (int b = 1; b < 256; ++b) all += char(b);
    for (const std::string& path : {all, std::string("/caf\xe9.mp3"), std::string("/-x\n\r.mp3")}) {
        const std::string uri = FileUriFromPath(path);
        for (const char c : uri) EXPECT_TRUE(c > ' ' && c < 127) << uri;
        EXPECT_EQ(PathFromFileUri(uri), path);
    }
}

// A drop's URI list: CRLF lines, comments, blank lines and other schemes give no path.
TEST(FileUri, AUriListGivesItsLocalFiles) {
    EXPECT_EQ(
        PathsOfUriList("# from a file manager\r\nfile:///a/caf%E9.mp3\r\n\r\n"
                       "https://example.org/x.mp3\r\n  file:///b%20c/\n#file:///d\nfile:///e"),
        (std::vector<std::string>{"/a/caf\xe9.mp3", "/b c/", "/e"}));
    EXPECT_TRUE(PathsOfUriList("").empty());
}

TEST(FileUri, RelativePathsAreMadeAbsoluteAsBytes) {
    EXPECT_EQ(AbsolutePath("/already/there"), "/already/there");
    const std::string made = AbsolutePath("caf\xe9.mp3");
    EXPECT_EQ(made.front(), '/');
    EXPECT_EQ(made.substr(made.size() - 9), "/caf\xe9.mp3");
}

}  // namespace
}  // namespace zirvak::test

namespace zirvak::test {
namespace {

TEST(ReadableText, ShowsEveryByteOfANameThatIsNotUtf8) {
    const struct {
        std::string bytes, readable, printable;
    } cases[] = {
        {"song.mp3", "song.mp3", "song.mp3"},
        {"Bah\xc3\xa7"
         "e",
         "Bah\xc3\xa7"
         "e",
         "Bah\xc3\xa7"
         "e"},                                                         // UTF-8 stays
        {"caf\xe9.mp3", "caf\xc3\xa9.mp3", "caf\\xe9.mp3"},            // Latin-1 é, or escaped
        {"\xf0\x9f\xa6\x8b", "\xf0\x9f\xa6\x8b", "\xf0\x9f\xa6\x8b"},  // a butterfly, four bytes
        {"\xc0\xaf", "\xc3\x80\xc2\xaf", "\\xc0\\xaf"},                // an overlong '/'
        {"\xe0\x80\xaf", "\xc3\xa0\\x80\xc2\xaf", "\\xe0\\x80\\xaf"},  // 0x80 is a C1 control
        {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\\x80", "\\xed\\xa0\\x80"},  // a surrogate
        {"\xe2\x82", "\xc3\xa2\\x82", "\\xe2\\x82"},                   // cut short
        // Control characters never reach a terminal or a text box as themselves.
        {"x\nINJECTED: y", "x\\x0aINJECTED: y", "x\\x0aINJECTED: y"},
        {"a\x1b[31mred\r\x7f", "a\\x1b[31mred\\x0d\\x7f", "a\\x1b[31mred\\x0d\\x7f"},
        {"c1 \xc2\x85", "c1 \\xc2\\x85", "c1 \\xc2\\x85"},
        // A backslash that reads as an escape is doubled; others stay.
        {"AC\\DC \\x0a \\\\", "AC\\DC \\\\x0a \\\\\\", "AC\\DC \\\\x0a \\\\\\"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadableText(c.bytes), c.readable) << c.bytes;
        EXPECT_EQ(PrintableText(c.bytes), c.printable) << c.bytes;
    }
}

}  // namespace
}  // namespace zirvak::test
