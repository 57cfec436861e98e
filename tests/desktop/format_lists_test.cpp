// The lists of formats written outside the code (the desktop entry, the AppStream entry, the
// manual pages, the package's description) and the one MPRIS hands the desktop say what the
// table of formats says: every MIME type, extension and name of the table, and nothing it does
// not have. Playlists are no format: their extensions and MIME types are a list of their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "format_table.h"
#include "playlist_files.h"
#include "support/fixtures.h"
#include "supported_types.h"

namespace zirvak::test {
namespace {

std::string ReadText(const std::string& relative) {
    const std::vector<uint8_t> bytes = ReadFileBytes(RepoPath(relative));
    return std::string(bytes.begin(), bytes.end());
}

std::set<std::string> Set(const auto& words) {
    return std::set<std::string>(words.begin(), words.end());
}

// The fields of a desktop entry's list ("a;b;c;").
std::vector<std::string> DesktopList(const std::string& entry, const std::string& key) {
    std::vector<std::string> fields;
    std::istringstream lines(entry);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(key + "=", 0) != 0) continue;
        std::istringstream list(line.substr(key.size() + 1));
        for (std::string field; std::getline(list, field, ';');)
            if (!field.empty()) fields.push_back(field);
    }
    return fields;
}

std::vector<std::string> TableMimeTypes() {
    std::vector<std::string> types;
    for (const std::string_view type : PlayableMimeTypes()) types.emplace_back(type);
    return types;
}

// The text a manual page shows, roughly: the requests' words, the font changes and escapes left
// out, all on one line with single spaces.
std::string ManText(const std::string& page) {
    std::string text;
    std::istringstream lines(page);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(".\\\"", 0) == 0) continue;  // a comment
        if (!line.empty() && line[0] == '.') {
            const size_t space = line.find(' ');
            const std::string request = line.substr(1, space == std::string::npos ? 0 : space - 1);
            line = space == std::string::npos ? "" : line.substr(space + 1);
            // .IR a b and the like set their words side by side in turn.
            if (request.size() == 2 && std::string("BIR").find(request[0]) != std::string::npos)
                line = std::regex_replace(line, std::regex("\" *\"| +"), "");
            line.erase(std::remove(line.begin(), line.end(), '"'), line.end());
        }
        text += line + " ";
    }
    text = std::regex_replace(text, std::regex(R"(\\f[BIRP])"), "");
    text = std::regex_replace(text, std::regex(R"(\\\((lq|rq))"), "\"");
    text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
    text = std::regex_replace(text, std::regex(R"(\\&)"), "");
    return std::regex_replace(text, std::regex(R"(\s+)"), " ");
}

// The extensions a text names: ".flac" on its own, not the end of a name ("song.mp3").
std::set<std::string> ExtensionsNamed(const std::string& text) {
    std::set<std::string> named;
    const std::regex extension(R"((^|[\s(`])\.([a-z0-9]{2,5})\b)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), extension);
         it != std::sregex_iterator(); ++it)
        named.insert((*it)[2]);
    return named;
}

// Formats that people look for in a player, which Zirvak does not play while the table has no
// entry of that name: a list that names one promises what is not there.
const char* const kFormatsOfOthers[] = {"AAC",  "ALAC",     "WavPack", "WMA",
                                        "AIFF", "Musepack", "M4A",     "Speex"};

void ExpectNoOtherFormat(const std::string& text, const std::string& where) {
    const std::string names = FormatNamesInWords("and");
    for (const char* other : kFormatsOfOthers)
        if (names.find(other) == std::string::npos) {
            EXPECT_EQ(text.find(other), std::string::npos) << where << " names " << other;
        }
}

// Every format's names, in a list as people read it: the list the table makes.
void ExpectTheFormatNames(const std::string& text, const std::string& where) {
    EXPECT_NE(text.find(FormatNamesInWords("and")), std::string::npos)
        << where << " does not say \"" << FormatNamesInWords("and") << "\"";
    ExpectNoOtherFormat(text, where);
}

TEST(FormatLists, TheTableHasEveryKindOnceAndNamesEachOneItPlays) {
    std::set<std::string> extensions, types;
    int takenWhenNoneIs = 0;
    for (const FileFormat* format : AllFormats()) {
        takenWhenNoneIs += format->recognises == nullptr;
        EXPECT_NE(format->makeSource, nullptr);
        // A kind that is only refused is offered to nobody; one that plays has names.
        EXPECT_EQ(format->names.size() == 0, format->describe == nullptr);
        EXPECT_EQ(format->names.size() == 0, format->extensions.size() == 0);
        EXPECT_EQ(format->names.size() == 0, format->mimeTypes.size() == 0);
        for (const std::string_view extension : format->extensions) {
            EXPECT_TRUE(extensions.emplace(extension).second) << extension << " twice";
            EXPECT_TRUE(std::ranges::all_of(extension, [](char c) { return !std::isupper(c); }));
        }
        for (const std::string_view type : format->mimeTypes)
            EXPECT_TRUE(types.emplace(type).second) << type << " twice";
    }
    EXPECT_EQ(takenWhenNoneIs, 1);
    for (const std::string_view extension : kPlaylistExtensions)
        EXPECT_FALSE(extensions.contains(std::string(extension))) << extension;
    for (const std::string_view type : kPlaylistMimeTypes)
        EXPECT_FALSE(types.contains(std::string(type))) << type;
}

TEST(FormatLists, MprisAndTheDesktopEntryOfferEveryMimeTypeAndNoOther) {
    std::vector<std::string> expected = TableMimeTypes();
    expected.insert(expected.end(), kPlaylistMimeTypes.begin(), kPlaylistMimeTypes.end());
    EXPECT_EQ(SupportedMimeTypes(), expected);
    const std::vector<std::string> desktop =
        DesktopList(ReadText("res/zirvak.desktop"), "MimeType");
    EXPECT_EQ(desktop.size(), Set(desktop).size()) << "a MIME type listed twice";
    EXPECT_EQ(Set(desktop), Set(expected));
}

// The keywords that name formats are words of the table's names, and each format has one.
TEST(FormatLists, TheDesktopEntrysKeywordsNameTheFormats) {
    const std::set<std::string> other = {"music",    "audio",     "player",
                                         "playlist", "butterfly", "visualization"};
    std::set<std::string> words;
    for (const FileFormat* format : AllFormats())
        for (const std::string_view name : format->names) {
            std::istringstream split{std::string(name)};
            for (std::string word; split >> word;) words.insert(word);
        }
    const std::vector<std::string> keywords =
        DesktopList(ReadText("res/zirvak.desktop"), "Keywords");
    for (const std::string& keyword : keywords)
        if (!other.contains(keyword)) {
            EXPECT_TRUE(words.contains(keyword)) << keyword;
        }
    for (const FileFormat* format : AllFormats()) {
        bool named = format->names.size() == 0;
        for (const std::string_view name : format->names)
            for (const std::string& keyword : keywords)
                named = named || std::string(name).find(keyword) != std::string::npos;
        EXPECT_TRUE(named) << "no keyword names " << *format->names.begin();
    }
}

TEST(FormatLists, TheAppStreamEntryProvidesEveryMimeTypeAndNamesEveryFormat) {
    const std::string entry = ReadText("res/zirvak.metainfo.xml.in");
    std::vector<std::string> provided;
    const std::regex mediatype(R"(<mediatype>([^<]*)</mediatype>)");
    for (auto it = std::sregex_iterator(entry.begin(), entry.end(), mediatype);
         it != std::sregex_iterator(); ++it)
        provided.push_back((*it)[1]);
    std::vector<std::string> expected = TableMimeTypes();
    expected.insert(expected.end(), kPlaylistMimeTypes.begin(), kPlaylistMimeTypes.end());
    EXPECT_EQ(Set(provided), Set(expected));
    EXPECT_EQ(provided.size(), expected.size());
    ExpectTheFormatNames(std::regex_replace(entry, std::regex(R"(\s+)"), " "),
                         "the AppStream entry");
}

TEST(FormatLists, TheManualPagesNameEveryFormatAndExtension) {
    std::set<std::string> expected;
    for (const std::string_view extension : PlayableExtensions()) expected.emplace(extension);
    const std::set<std::string> playable = expected;
    expected.insert(kPlaylistExtensions.begin(), kPlaylistExtensions.end());
    for (const char* page : {"res/man/zirvak.1", "res/man/zirvak-cli.1"}) {
        SCOPED_TRACE(page);
        const std::string text = ManText(ReadText(page));
        // Every extension named is a format's or a playlist's; every format's is named.
        const std::set<std::string> named = ExtensionsNamed(text);
        for (const std::string& extension : named)
            EXPECT_TRUE(expected.contains(extension)) << extension;
        for (const std::string& extension : playable)
            EXPECT_TRUE(named.contains(extension)) << extension;
        ExpectTheFormatNames(text, page);
    }
}

TEST(FormatLists, ThePackageDescriptionNamesEveryFormat) {
    const std::string packaging = ReadText("cmake/Packaging.cmake");
    ExpectTheFormatNames(std::regex_replace(packaging, std::regex(R"(\s+)"), " "),
                         "the package's description");
}

}  // namespace
}  // namespace zirvak::test
