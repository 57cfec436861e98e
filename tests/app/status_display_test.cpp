// The lines over the bottom of the picture: the song from its tags or its file's name, while
// paused and after, and the song line fitted to its width.
#include <gtest/gtest.h>

#include <QFont>
#include <QFontMetrics>
#include <QTest>

#include "window_fixture.h"

namespace zirvak::test {
namespace {

// The display names the song as its tags do, or by its file's name; the caption stays the
// file's name.
TEST_F(MainDialogTest, TheDisplayNamesTheSongFromItsTagsOrItsFileName) {
    WavParams mono8k;
    mono8k.channels = 1;
    mono8k.sampleRate = 8000;
    const Bytes wav = MakeWav(mono8k, Pcm16Pattern(10 * 8000, 1));
    const struct {
        std::vector<std::pair<std::string, std::string>> tags;
        std::string firstLine;
    } cases[] = {
        {{{"INAM", "Gece"}, {"IART", "Kelebek"}}, "Kelebek \u2013 Gece\n"},
        {{{"INAM", "Gece"}}, "Gece\n"},
        {{{"IART", "Kelebek"}}, "Kelebek \u2013 song.wav\n"},
        {{}, "song.wav\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.firstLine);
        const std::string path = WriteBytes(dir.Path("song.wav"), WithRiffInfo(wav, c.tags));
        window.commands().OpenFiles({path});
        const std::string shown = window.view()->status().toStdString();
        EXPECT_EQ(shown.rfind(c.firstLine + "0:00 / 0:10", 0), 0u) << shown;
        EXPECT_EQ(window.windowTitle().toStdString(), "song.wav");
    }
}

// Paused, the display stays, saying so and where the song stands; it goes after resuming. Songs
// that cannot play leave the count.
TEST_F(MainDialogTest, PausedTheDisplayStaysAndTheCountIsOfWhatPlays) {
    window.show();
    window.commands().OpenFiles(
        {MinuteSong(dir, "a.wav"), dir.Path("missing.mp3"), MinuteSong(dir, "b.wav")});
    EXPECT_NE(window.view()->status().indexOf(QStringLiteral("Song 1/3")), -1);
    window.commands().Next();
    TakeMessages(window);
    EXPECT_NE(window.view()->status().indexOf(QStringLiteral("Song 2/2")), -1)
        << window.view()->status().toStdString();
    window.commands().SeekTo(12000);
    window.commandAction(CommandId::Pause)->trigger();
    const QString paused = window.view()->status();
    EXPECT_NE(paused.indexOf(QStringLiteral("Paused   0:12 / 1:00")), -1) << paused.toStdString();
    QTest::qWait(MainDialog::kStatusShownMs + 500);
    EXPECT_EQ(window.view()->status(), paused);
    window.commandAction(CommandId::Pause)->trigger();
    EXPECT_EQ(window.view()->status().indexOf(QStringLiteral("Paused")), -1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.view()->status().isEmpty(); }, 5000));
}

// A long artist (an orchestra, a conductor and a choir) is cut short before the title is.
TEST(SongLine, TheTitleIsNeverCutBeforeTheArtist) {
    App();
    const QFontMetrics metrics{QFont()};
    const QString artist =
        QStringLiteral("Berliner Philharmoniker, Herbert von Karajan & Wiener Singverein Chorus");
    const QString title = QStringLiteral("Ein deutsches Requiem");
    const int width = metrics.horizontalAdvance(artist + title) / 2;
    const QString fitted = SceneView::FitSongLine(artist, title, metrics, width);
    EXPECT_TRUE(fitted.endsWith(QStringLiteral(" \u2013 ") + title)) << fitted.toStdString();
    EXPECT_TRUE(fitted.startsWith(QStringLiteral("Berliner"))) << fitted.toStdString();
    EXPECT_LE(metrics.horizontalAdvance(fitted), width);
    // Room enough: both whole. Too little for the title: the title alone, cut.
    const int wide = metrics.horizontalAdvance(artist + QStringLiteral(" \u2013 ") + title);
    EXPECT_EQ(SceneView::FitSongLine(artist, title, metrics, wide),
              artist + QStringLiteral(" \u2013 ") + title);
    const QString narrow =
        SceneView::FitSongLine(artist, title, metrics, metrics.horizontalAdvance(title) / 2);
    EXPECT_TRUE(narrow.startsWith(QStringLiteral("Ein"))) << narrow.toStdString();
}

}  // namespace
}  // namespace zirvak::test
