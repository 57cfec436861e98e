// What Zirvak says to its user: every wording of the table in plain words, and the messages real
// failures make from them, file by file.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>

#include "messages.h"
#include "playable_file.h"
#include "player_fixtures.h"

namespace zirvak::test {
namespace {

// Jargon that means nothing to a person who does not know how audio files are made.
const char* const kJargon[] = {"frame sync", "sync", "header",  "chunk",
                               "MPEG file",  "riff", "decoder", "SDL"};

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : text + " ") {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            word += char(std::tolower(static_cast<unsigned char>(c)));
        } else if (!word.empty()) {
            words.push_back(word);
            word.clear();
        }
    }
    return words;
}

// The problems of a message: jargon, or a phrase of two words said twice ("the sound output
// was lost (the sound output went away)").
std::string Faults(const std::string& message) {
    std::string lower = message;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    for (const char* jargon : kJargon) {
        std::string word = jargon;
        std::transform(word.begin(), word.end(), word.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        if (lower.find(word) != std::string::npos) return "says '" + word + "'";
    }
    const std::vector<std::string> words = Words(message);
    std::map<std::string, int> pairs;
    for (size_t i = 0; i + 1 < words.size(); ++i)
        if (++pairs[words[i] + " " + words[i + 1]] == 2)
            return "says '" + words[i] + " " + words[i + 1] + "' twice";
    return {};
}

TEST(Messages, EveryWordingIsPlainAndInItsPlace) {
    const std::span<const Wording> table = AllWordings();
    ASSERT_EQ(table.size(), size_t(Say::kNotOnSessionBus) + 1);
    for (size_t i = 0; i < table.size(); ++i) {
        SCOPED_TRACE(table[i].text);
        EXPECT_EQ(size_t(table[i].id), i);  // Words looks a wording up by its place
        // As said of a file, with the system's own words where there is room for them.
        const std::string said =
            zirvak::Words(table[i].id, "/music/song.mp3", "the system says no");
        EXPECT_EQ(Faults(said), "") << said;
        EXPECT_EQ(said.find('{'), std::string::npos) << said;
        EXPECT_NE(said.back(), '.') << "the front ends end the sentence";
    }
    // No words of the system's: their parentheses go too.
    EXPECT_EQ(zirvak::Words(Say::kCannotRead, "a.mp3"), "a.mp3 cannot be read");
    EXPECT_EQ(zirvak::Words(Say::kCannotRead, "a.mp3", "Permission denied"),
              "a.mp3 cannot be read (Permission denied)");
}

// Files that cannot be played, each as the player finds it: the message names the file and
// says why in plain words, including the details that come from reading the file.
TEST(Messages, RealFailuresAreToldPlainly) {
    TempDir dir;
    WavParams six, rate, compressed;
    six.channels = 6;
    rate.sampleRate = 4294967295u;
    compressed.formatTag = 85;
    Bytes cutWav = MakeWav({}, Pcm16Pattern(100, 2));
    cutWav.resize(30);
    std::filesystem::create_directory(dir.Path("folder"));
    const struct {
        std::string path;
        const char* says;
    } cases[] = {
        {dir.Path("missing.mp3"), "no such file"},
        {dir.Path("folder"), "is a folder, not a file"},
        {WriteBytes(dir.Path("empty.mp3"), Bytes()), "is empty"},
        {WriteBytes(dir.Path("notes.mp3"), Bytes(4000, 'n')),
         "is not an audio file Zirvak can play"},
        {WriteBytes(dir.Path("six.wav"), MakeWav(six, Pcm16Pattern(100, 6))), "6 channels"},
        {WriteBytes(dir.Path("rate.wav"), MakeWav(rate, Pcm16Pattern(100, 2))), "4294967295 Hz"},
        {WriteBytes(dir.Path("compressed.wav"), MakeWav(compressed, Pcm16Pattern(100, 2))),
         "samples stored as format 85 with 16 bits"},
        {WriteBytes(dir.Path("cut.wav"), cutWav), "is damaged"},
        {WriteBytes(dir.Path("silent.wav"), MakeWav({}, Bytes())), "holds no audio"},
    };
    for (const auto& c : cases) {
        std::string detail;
        const FileProblem problem = CheckPlayable(c.path, &detail);
        const std::string message = DescribeFileProblem(c.path, problem, detail);
        SCOPED_TRACE(message);
        EXPECT_EQ(message.rfind(c.path, 0), 0u);
        EXPECT_NE(message.find(c.says), std::string::npos);
        EXPECT_EQ(Faults(message.substr(c.path.size())), "");
    }
}

}  // namespace
}  // namespace zirvak::test
