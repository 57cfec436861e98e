// The Open dialog and dropped files: the filters, the folder it starts in, names of any bytes,
// and the settings that a next window finds again.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>

#include "open_dialog.h"
#include "window_fixture.h"

namespace zirvak::test {
namespace {

// The Open dialog: the two filters of old first, then every playable name and every file; it
// starts in the folder chosen from last, several files can be chosen, and the choice, the
// volume and the zoom are there again in the next window.
TEST_F(MainDialogTest, OpenDialogAndSettingsAreRememberedAcrossWindows) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const std::string a = MinuteSong(dir, "a.wav"), b = MinuteSong(dir, "b.wav");
    QStringList filters;
    QTimer::singleShot(300, &window, [&] {
        auto* dialog = window.findChild<OpenDialog*>();
        ASSERT_NE(dialog, nullptr);
        auto* filterBox = dialog->findChild<QComboBox*>(QStringLiteral("filters"));
        for (int i = 0; i < filterBox->count(); ++i) filters << filterBox->itemText(i);
        // Typed into the dialog's fields, as a user may: the folder, then two files at once.
        auto* folder = dialog->findChild<QLineEdit*>(QStringLiteral("folder"));
        folder->setText(QString::fromStdString(dir.dir));
        QTest::keyClick(folder, Qt::Key_Return);
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(QStringLiteral("\"a.wav\" \"b.wav\""));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    // A dialog still open when it should have gone is closed, and the test fails.
    QTimer::singleShot(8000, &window, [&] {
        if (auto* dialog = window.findChild<OpenDialog*>(); dialog && dialog->isVisible()) {
            ADD_FAILURE() << "the Open dialog did not take the files";
            QMetaObject::invokeMethod(dialog, "reject");
        }
    });
    window.commandAction(CommandId::Open)->trigger();
    EXPECT_EQ(filters, (QStringList{"MP3 File (*.mp3)", "WAV File (*.wav)",
                                    "All playable files (*.[mM][pP]1 *.[mM][pP]2 *.[mM][pP]3 "
                                    "*.[wW][aA][vV] *.[fF][lL][aA][cC] *.[oO][gG][gG] "
                                    "*.[oO][gG][aA] *.[oO][pP][uU][sS] *.[wW][vV] *.[mM]4[aA] "
                                    "*.[mM][pP]4 *.[mM]4[bB] *.[mM]3[uU] *.[mM]3[uU]8 "
                                    "*.[pP][lL][sS])",
                                    "All files (*)"}));
    EXPECT_EQ(window.commands().session().queue().files(), (std::vector<std::string>{a, b}));
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_Down);
    QTest::keyClick(&window, Qt::Key_Plus, Qt::ControlModifier);
    window.close();

    TestAudioDevice otherDevice;
    PlayerEngine otherEngine(otherDevice);
    MainDialog next(otherEngine);
    next.show();
    EXPECT_EQ(next.zoom(), 2);
    EXPECT_EQ(next.commands().status().volumePercent, 95u);
    EXPECT_EQ(otherDevice.volume(), 95u);
    std::string startedIn;
    QTimer::singleShot(300, &next, [&] {
        for (auto* dialog : next.findChildren<OpenDialog*>()) {
            startedIn = dialog->folder();
            QMetaObject::invokeMethod(dialog, "reject");
        }
    });
    next.commandAction(CommandId::Open)->trigger();
    EXPECT_EQ(startedIn, dir.dir);
}

// Dropped names arrive percent-encoded: a name of any bytes, with a line break even, is the file
// that plays; comments and what is not a local file are passed over.
TEST_F(MainDialogTest, ADroppedNameOfAnyBytesPlaysAsItIs) {
    const std::string odd = MinuteSong(dir, "caf\xe9\n-2.wav");
    const std::string folder = dir.dir;
    DropUriList(window, "# a comment\r\nhttps://example.org/x.mp3\r\nfile://" +
                            QByteArray::fromStdString(folder) + "/caf%E9%0A-2.wav\r\n");
    EXPECT_EQ(window.commands().session().queue().files(), std::vector<std::string>{odd});
    EXPECT_EQ(engine.state(), Playing);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("caf\u00e9\\x0a-2.wav"));  // shown, not obeyed
}

// A name that is not UTF-8 (Latin-1 "café") is listed, shown readably, and chosen as the bytes
// it is; a folder opened from the list shows what is in it, filtered.
TEST_F(MainDialogTest, TheOpenDialogListsAndOpensNamesOfAnyBytes) {
    const std::string latin1 = MinuteSong(dir, "caf\xe9.wav");
    std::filesystem::create_directory(dir.Path("inner"));
    MinuteSong(dir, "inner/track 10.wav");
    MinuteSong(dir, "inner/track 2.wav");
    WriteBytes(dir.Path("inner/notes.txt"), Bytes(10, 'n'));
    QStringList listed, innerListed;
    QTimer::singleShot(300, &window, [&] {
        auto* dialog = window.findChild<OpenDialog*>();
        ASSERT_NE(dialog, nullptr);
        auto* filterBox = dialog->findChild<QComboBox*>(QStringLiteral("filters"));
        filterBox->setCurrentIndex(2);  // all playable files
        auto* folder = dialog->findChild<QLineEdit*>(QStringLiteral("folder"));
        folder->setText(QString::fromStdString(dir.dir));
        QTest::keyClick(folder, Qt::Key_Return);
        auto* files = dialog->findChild<QListWidget*>(QStringLiteral("files"));
        for (int i = 0; i < files->count(); ++i) listed << files->item(i)->text();
        // Into the folder and out again by the list and the Up button.
        emit files->itemActivated(files->item(0));
        for (int i = 0; i < files->count(); ++i) innerListed << files->item(i)->text();
        dialog->findChild<QToolButton*>(QStringLiteral("up"))->click();
        const QList<QListWidgetItem*> cafe =
            files->findItems(QStringLiteral("caf\u00e9.wav"), Qt::MatchExactly);
        ASSERT_EQ(cafe.size(), 1);
        cafe.front()->setSelected(true);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    window.commandAction(CommandId::Open)->trigger();
    EXPECT_EQ(listed, (QStringList{"inner", "caf\u00e9.wav", "song.wav"}));
    EXPECT_EQ(innerListed, (QStringList{"track 2.wav", "track 10.wav"}));
    EXPECT_EQ(window.commands().session().queue().files(), std::vector<std::string>{latin1});
    EXPECT_EQ(engine.state(), Playing);
}

}  // namespace
}  // namespace zirvak::test
