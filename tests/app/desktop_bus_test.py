#!/usr/bin/env python3
"""The window on a private session bus, driven as the desktop drives it.

Run inside `dbus-run-session`: playerctl reads and drives the player over MPRIS, dbus-monitor
records the signals it sends, and a second `zirvak FILE` hands its file to the first window.
Usage: desktop_bus_test.py ZIRVAK_BINARY REPO_DIR
"""
import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse

ZIRVAK = sys.argv[1] if len(sys.argv) > 1 else "zirvak"
REPO = sys.argv[2] if len(sys.argv) > 2 else "."
PLAYER = "zirvak"


def id3v24(frames):
    """An ID3v2.4 tag of UTF-8 text frames."""
    body = b""
    for frame_id, text in frames:
        data = b"\x03" + text.encode("utf-8")
        size = len(data)
        syncsafe = bytes([(size >> 21) & 0x7F, (size >> 14) & 0x7F, (size >> 7) & 0x7F, size & 0x7F])
        body += frame_id.encode() + syncsafe + b"\x00\x00" + data
    size = len(body)
    syncsafe = bytes([(size >> 21) & 0x7F, (size >> 14) & 0x7F, (size >> 7) & 0x7F, size & 0x7F])
    return b"ID3\x04\x00\x00" + syncsafe + body


def untagged_audio(path):
    """The file's bytes after its ID3v2 tag, if it has one."""
    data = open(path, "rb").read()
    if data[:3] != b"ID3":
        return data
    size = (data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9]
    return data[10 + size:]


def run(*args, timeout=10):
    return subprocess.run(args, capture_output=True, text=True, timeout=timeout)


def playerctl(*args, player=PLAYER):
    return run("playerctl", "-p", player, *args).stdout.strip()


def mpris_call(method, *args):
    """A method of the window's MPRIS object, called with gdbus."""
    return run("gdbus", "call", "--session", "--dest", "org.mpris.MediaPlayer2.zirvak",
               "--object-path", "/org/mpris/MediaPlayer2", "--method", method, *args)


def wait_for(condition, seconds=10.0, what="condition"):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


class DesktopBus(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="zirvak-bus-")
        audio = untagged_audio(os.path.join(REPO, "res/demo.mp3"))
        cls.first = cls.write("first.mp3", id3v24([("TIT2", "Gece Bahçesi"), ("TPE1", "Kelebek"),
                                                  ("TALB", "Zirvak Demo"), ("TRCK", "1/2")]) + audio)
        cls.second = cls.write("second.mp3", id3v24([("TIT2", "Second Song"),
                                                    ("TPE1", "Another Artist")]) + audio)
        cls.third = cls.write("third song.mp2", open(os.path.join(REPO, "res/sample.mp2"), "rb").read())
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", SDL_AUDIODRIVER="dummy",
                   XDG_CONFIG_HOME=os.path.join(cls.dir, "config"),
                   XDG_CACHE_HOME=os.path.join(cls.dir, "cache"))
        cls.env = env
        cls.monitor_log = open(os.path.join(cls.dir, "monitor.log"), "w")
        cls.monitor = subprocess.Popen(
            ["dbus-monitor", "--session",
             "type='signal',interface='org.freedesktop.DBus.Properties',member='PropertiesChanged'",
             "type='signal',interface='org.mpris.MediaPlayer2.Player',member='Seeked'"],
            stdout=cls.monitor_log, stderr=subprocess.STDOUT)
        cls.err = open(os.path.join(cls.dir, "zirvak.err"), "w+")
        cls.app = subprocess.Popen([ZIRVAK, cls.first, cls.second], env=env, stderr=cls.err)
        wait_for(lambda: playerctl("status") == "Playing", what="the window on the bus, playing")

    @classmethod
    def write(cls, name, data):
        path = os.path.join(cls.dir, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    @classmethod
    def tearDownClass(cls):
        if cls.app.poll() is None:
            cls.app.send_signal(signal.SIGTERM)
            cls.app.wait(10)
        cls.monitor.terminate()
        cls.monitor.wait(5)
        cls.monitor_log.close()
        cls.err.close()
        shutil.rmtree(cls.dir, ignore_errors=True)

    def monitored(self):
        self.monitor_log.flush()
        time.sleep(0.3)  # the monitor writes what it saw
        return open(self.monitor_log.name).read()

    def position(self):
        return float(playerctl("position"))

    def test_1_status_and_tags(self):
        self.assertEqual(playerctl("metadata", "xesam:title"), "Gece Bahçesi")
        self.assertEqual(playerctl("metadata", "xesam:artist"), "Kelebek")
        self.assertEqual(playerctl("metadata", "xesam:album"), "Zirvak Demo")
        self.assertEqual(playerctl("metadata", "xesam:trackNumber"), "1")
        self.assertEqual(playerctl("metadata", "xesam:url"), "file://" + self.first)
        self.assertAlmostEqual(int(playerctl("metadata", "mpris:length")) / 1e6, 32.0, delta=0.5)
        props = mpris_call("org.freedesktop.DBus.Properties.GetAll",
                           "org.mpris.MediaPlayer2").stdout
        for expected in ("'Identity': <'Zirvak'>", "'DesktopEntry': <'zirvak'>",
                         "'SupportedUriSchemes': <['file']>"):
            self.assertIn(expected, props)
        # The bus offers the same kinds of file as the desktop entry opens.
        offered = re.search(r"'SupportedMimeTypes': <\[([^]]*)\]>", props).group(1)
        entry = open(os.path.join(REPO, "res/zirvak.desktop")).read()
        opened = re.search(r"^MimeType=(.*);$", entry, re.M).group(1).split(";")
        self.assertEqual(sorted(t.strip(" '") for t in offered.split(",")), sorted(opened))

    def test_2_play_pause(self):
        playerctl("play-pause")
        wait_for(lambda: playerctl("status") == "Paused", 3, "Paused")
        paused_at = self.position()
        time.sleep(0.5)
        self.assertAlmostEqual(self.position(), paused_at, delta=0.01)  # time stands still
        playerctl("play-pause")
        wait_for(lambda: playerctl("status") == "Playing", 3, "Playing again")
        wait_for(lambda: self.position() > paused_at + 0.2, 3, "time to move on")
        self.assertIn('string "PlaybackStatus"\n         variant             string "Paused"',
                      self.monitored())

    def test_3_position_and_seek(self):
        track = playerctl("metadata", "mpris:trackid")
        playerctl("position", "20")  # SetPosition on the current track
        wait_for(lambda: 20.0 <= self.position() < 21.5, 3, "the position at 20 s")
        playerctl("position", "5+")  # Seek forwards
        wait_for(lambda: 25.0 <= self.position() < 26.5, 3, "the position at 25 s")
        # The engine really moved: the time keeps running from there, past what the first
        # seconds of the song could have reached.
        wait_for(lambda: self.position() > 25.5, 3, "playing on from 25 s")
        playerctl("position", "10-")
        wait_for(lambda: 15.0 <= self.position() < 16.5, 3, "the position back at 15 s")
        self.assertEqual(playerctl("metadata", "mpris:trackid"), track)
        self.assertIn('member=Seeked', self.monitored())
        # A position for another track than the one playing comes too late and is ignored.
        mpris_call("org.mpris.MediaPlayer2.Player.SetPosition", "/org/zirvak/Zirvak/Track/99",
                   "2000000")
        time.sleep(0.5)
        self.assertGreater(self.position(), 15.0)

    def test_4_volume(self):
        self.assertEqual(float(playerctl("volume")), 1.0)
        playerctl("volume", "0.35")
        wait_for(lambda: float(playerctl("volume")) == 0.35, 3, "volume 0.35")
        settings = open(os.path.join(self.dir, "config/zirvak/settings")).read()
        self.assertIn("35", settings)
        self.assertIn('string "Volume"\n         variant             double 0.35', self.monitored())
        playerctl("volume", "1.0")

    def test_5_next_and_previous(self):
        playerctl("next")
        wait_for(lambda: playerctl("metadata", "xesam:title") == "Second Song", 3, "the next song")
        self.assertEqual(playerctl("metadata", "xesam:artist"), "Another Artist")
        log = self.monitored()
        self.assertIn('string "Metadata"', log)
        self.assertIn('string "Second Song"', log)
        self.assertIn('string "CanGoNext"\n         variant             boolean false', log)
        playerctl("previous")  # within the first seconds: the song before
        wait_for(lambda: playerctl("metadata", "xesam:title") == "Gece Bahçesi", 3, "the first song")

    def test_6_open_uri_replaces_the_queue(self):
        uri = "file://" + self.third.replace(" ", "%20")
        mpris_call("org.mpris.MediaPlayer2.Player.OpenUri", uri)
        wait_for(lambda: playerctl("metadata", "xesam:title") == "third song.mp2", 3,
                 "the opened file, named by its file name")
        self.assertEqual(playerctl("metadata", "xesam:url"), uri)
        self.assertEqual(mpris_call("org.freedesktop.DBus.Properties.Get",
                                    "org.mpris.MediaPlayer2.Player", "CanGoNext").stdout.strip(),
                         "(<false>,)")
        refused = mpris_call("org.mpris.MediaPlayer2.Player.OpenUri", "https://example.org/x.mp3")
        self.assertNotEqual(refused.returncode, 0)
        self.assertIn("file: URIs only", refused.stderr)
        refused = mpris_call("org.mpris.MediaPlayer2.Player.OpenUri", "file://elsewhere/x.mp3")
        self.assertIn("org.freedesktop.DBus.Error.InvalidArgs", refused.stderr)
        self.assertEqual(playerctl("metadata", "xesam:title"), "third song.mp2")

    def test_7_a_second_start_hands_over(self):
        started = time.monotonic()
        second = subprocess.run([ZIRVAK, os.path.relpath(self.second)], env=self.env,
                                capture_output=True, text=True, timeout=10)
        self.assertEqual(second.returncode, 0, second.stderr)
        self.assertLess(time.monotonic() - started, 1.0)
        wait_for(lambda: playerctl("metadata", "xesam:title") == "Second Song", 3,
                 "the first window playing the handed file")
        self.assertEqual(playerctl("status"), "Playing")
        self.assertEqual(run("playerctl", "-l").stdout.split(), ["zirvak"])

    def test_8_new_instance_runs_beside(self):
        other = subprocess.Popen([ZIRVAK, "--new-instance", self.first], env=self.env,
                                 stderr=subprocess.DEVNULL)
        try:
            name = "zirvak.instance%d" % other.pid
            wait_for(lambda: name in run("playerctl", "-l").stdout.split(), 10, name)
            self.assertEqual(playerctl("metadata", "xesam:title", player=name), "Gece Bahçesi")
            self.assertEqual(playerctl("metadata", "xesam:title"), "Second Song")
        finally:
            other.terminate()
            other.wait(10)

    def test_9_stop_and_quit(self):
        playerctl("stop")
        wait_for(lambda: playerctl("status") == "Stopped", 3, "Stopped")
        mpris_call("org.mpris.MediaPlayer2.Quit")
        self.assertEqual(self.app.wait(10), 0)


def file_url(path):
    """The percent-encoded URL of a path of bytes, as the window reports it."""
    return "file://" + urllib.parse.quote(path, safe="/-._~!$&'()*+,;=:@")


class NamesOfAnyBytes(unittest.TestCase):
    """Names that are not UTF-8, with line breaks and leading dashes, in every way in."""

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="zirvak-names-").encode()
        audio = untagged_audio(os.path.join(REPO, "res/demo.mp3"))
        self.latin1 = self.write(b"caf\xe9.mp3", audio)
        self.dashed = self.write(b"-x\nnew.mp3", audio)
        os.mkdir(os.path.join(self.dir, b"fold\xe9r"))
        self.inside = self.write(b"fold\xe9r/track \xe9 2.mp3", audio)
        self.notes = self.write(b"notes.mp3", b"These are notes, not audio.\n" * 40)
        self.env = dict(os.environ, QT_QPA_PLATFORM="offscreen", SDL_AUDIODRIVER="dummy",
                        XDG_CONFIG_HOME=os.path.join(self.dir, b"config").decode("latin-1"),
                        XDG_CACHE_HOME=os.path.join(self.dir, b"cache").decode("latin-1"))
        self.err = open(os.path.join(self.dir, b"zirvak.err"), "w+b")
        self.app = subprocess.Popen([ZIRVAK.encode(), self.latin1], env=self.env,
                                    stderr=self.err)
        wait_for(lambda: playerctl("status") == "Playing", what="the window playing")

    def tearDown(self):
        if self.app.poll() is None:
            self.app.send_signal(signal.SIGTERM)
            self.app.wait(10)
        self.err.close()
        shutil.rmtree(self.dir, ignore_errors=True)

    def write(self, name, data):
        path = os.path.join(self.dir, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def url(self):
        return playerctl("metadata", "xesam:url")

    def hand_over(self, *names):
        second = subprocess.run([ZIRVAK.encode(), b"--", *names], env=self.env, cwd=self.dir,
                                capture_output=True, timeout=10)
        self.assertEqual(second.returncode, 0, second.stderr)

    def test_every_way_in_plays_the_file_itself(self):
        # The command line of the first window: the URL holds the name's own bytes.
        wait_for(lambda: self.url() == file_url(self.latin1), 3, "the Latin-1 name's URL")
        self.assertIn("caf%E9.mp3", self.url())
        # The hand-over, a relative name with a line break and a leading dash.
        self.hand_over(b"-x\nnew.mp3")
        wait_for(lambda: self.url() == file_url(self.dashed), 3, "the handed-over file")
        self.assertIn("-x%0Anew.mp3", self.url())
        # OpenUri of the URL the window gave: the same file again.
        mpris_call("org.mpris.MediaPlayer2.Player.OpenUri", file_url(self.latin1))
        wait_for(lambda: self.url() == file_url(self.latin1), 3, "OpenUri's round trip")
        # A folder of such names, handed over.
        self.hand_over(b"fold\xe9r")
        wait_for(lambda: self.url() == file_url(self.inside), 3, "the file in the folder")
        self.assertEqual(playerctl("status"), "Playing")

    def test_files_that_all_fail_leave_the_song_playing(self):
        playing = self.url()
        self.hand_over(b"missing.mp3", b"notes.mp3", b"fold\xe9r/none.mp3")
        refused = mpris_call("org.mpris.MediaPlayer2.Player.OpenUri",
                             file_url(os.path.join(self.dir, b"missing.mp3")))
        self.assertEqual(refused.returncode, 0, refused.stderr)
        time.sleep(1.0)  # time for the window to have tried them all
        self.assertEqual(playerctl("status"), "Playing")
        self.assertEqual(self.url(), playing)
        self.err.seek(0)
        said = self.err.read().decode("ascii")  # a byte outside UTF-8 is escaped
        for name in ("missing.mp3: no such file", "notes.mp3 is not an audio file",
                     "fold\\xe9r/none.mp3: no such file"):
            self.assertIn(name, said)


def set_property(interface, name, value):
    """Properties.Set of `value`, a GVariant in gdbus's text form."""
    return mpris_call("org.freedesktop.DBus.Properties.Set", interface, name, value)


def byte_paths(*paths):
    """A list of byte strings (aay) in gdbus's text form: any byte, NUL too."""
    return "@aay [%s]" % ", ".join(
        "[%s]" % ", ".join("byte 0x%02x" % b for b in path) for path in paths)


class WhatTheBusPromises(unittest.TestCase):
    """Calls a client should not make get the answers the bus interfaces name for them, and a
    URI or path plays exactly one file: the one the window then reports."""

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="zirvak-strict-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        audio = untagged_audio(os.path.join(REPO, "res/demo.mp3"))
        os.makedirs(os.path.join(self.dir, "music/album"))
        self.song = os.path.join(self.dir, "music/song.mp3")
        self.other = os.path.join(self.dir, "music/other.mp3")
        for path in (self.song, self.other):
            with open(path, "wb") as f:
                f.write(audio)
        self.app, self.err = start_window(self, [self.song])
        wait_for(lambda: playerctl("status") == "Playing", what="the window playing")

    def url(self):
        return playerctl("metadata", "xesam:url")

    def test_rate_zero_pauses_and_wrong_types_are_invalid_args(self):
        player = "org.mpris.MediaPlayer2.Player"
        for name, value in (("Rate", "<'fast'>"), ("Rate", "<int32 0>"), ("Rate", "<<0.0>>"),
                            ("Volume", "<true>"), ("Volume", "<int64 0>"),
                            ("Volume", "<@ad [0.0]>"), ("Volume", "<@(d) (0.0,)>")):
            answer = set_property(player, name, value)
            self.assertIn("org.freedesktop.DBus.Error.InvalidArgs", answer.stderr, (name, value))
        self.assertEqual(playerctl("status"), "Playing")
        self.assertEqual(float(playerctl("volume")), 1.0)
        for name, value, error in (("PlaybackStatus", "<'Paused'>", "PropertyReadOnly"),
                                   ("Shuffle", "<true>", "UnknownProperty")):
            self.assertIn("org.freedesktop.DBus.Error." + error,
                          set_property(player, name, value).stderr)
        # Another speed is not to be had; zero means Pause.
        self.assertEqual(set_property(player, "Rate", "<2.0>").returncode, 0)
        time.sleep(0.3)
        self.assertEqual(playerctl("status"), "Playing")
        self.assertEqual(set_property(player, "Rate", "<0.0>").returncode, 0)
        wait_for(lambda: playerctl("status") == "Paused", 3, "Paused by a rate of zero")
        self.assertEqual(mpris_call("org.freedesktop.DBus.Properties.Get", player,
                                    "Rate").stdout.strip(), "(<1.0>,)")

    def test_a_uri_names_one_file_and_the_url_is_that_file(self):
        base = file_url(os.path.join(self.dir, "music"))
        for uri in (file_url(self.other) + "%00/../../../etc/passwd",
                    base + "/album%2F..%2Fother.mp3",
                    file_url(self.dir) + "%2Fmusic/other.mp3"):
            refused = mpris_call("org.mpris.MediaPlayer2.Player.OpenUri", uri)
            self.assertIn("org.freedesktop.DBus.Error.InvalidArgs", refused.stderr, uri)
        # A path holding a NUL, handed over as bytes: it names no file either.
        handed = mpris_call("org.zirvak.Zirvak.Open",
                            byte_paths(self.other.encode() + b"\0/../../../etc/passwd"))
        self.assertEqual(handed.returncode, 0, handed.stderr)
        time.sleep(0.5)
        self.assertEqual(self.url(), file_url(self.song))
        # Dot segments are resolved on the URI: the URL is that of the file that plays.
        for uri in (base + "/album/../other.mp3", base + "/./album/%2E%2E/song.mp3"):
            played = os.path.join(self.dir, "music", uri.rsplit("/", 1)[1])
            mpris_call("org.mpris.MediaPlayer2.Player.OpenUri", uri)
            wait_for(lambda: self.url() == file_url(played), 3, uri)
            self.assertEqual(playerctl("status"), "Playing")


def start_window(test, files, **env_extra):
    """The window on the test's bus, playing `files`; stopped at the test's end."""
    folder = tempfile.mkdtemp(prefix="zirvak-window-")
    test.addCleanup(shutil.rmtree, folder, True)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", SDL_AUDIODRIVER="dummy",
               XDG_CONFIG_HOME=os.path.join(folder, "config"),
               XDG_CACHE_HOME=os.path.join(folder, "cache"))
    env.update(env_extra)
    err = open(os.path.join(folder, "err"), "w+")
    test.addCleanup(err.close)
    app = subprocess.Popen([ZIRVAK, *files], env=env, stderr=err)

    def stop():
        if app.poll() is None:
            app.send_signal(signal.SIGTERM)
            app.wait(10)
    test.addCleanup(stop)
    return app, err


class SongChanges(unittest.TestCase):
    """From one song of the queue to the next the status stays "Playing": a panel that shows it
    does not flicker. After the last song, "Stopped"."""

    def test_no_stopped_between_two_queued_songs(self):
        folder = tempfile.mkdtemp(prefix="zirvak-songs-")
        self.addCleanup(shutil.rmtree, folder, True)
        songs = []
        for name in ("one.mp2", "two.mp2"):
            songs.append(os.path.join(folder, name))
            shutil.copyfile(os.path.join(REPO, "res/sample.mp2"), songs[-1])
        log = open(os.path.join(folder, "monitor.log"), "w")
        monitor = subprocess.Popen(
            ["dbus-monitor", "--session",
             "type='signal',interface='org.freedesktop.DBus.Properties',"
             "member='PropertiesChanged'"], stdout=log, stderr=subprocess.STDOUT)
        self.addCleanup(monitor.wait, 5)
        self.addCleanup(monitor.terminate)
        start_window(self, songs)
        wait_for(lambda: playerctl("status") == "Playing", what="the first song playing")
        seen = []  # (status, title) as polled, in order
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            seen.append((playerctl("status"), playerctl("metadata", "xesam:title")))
            if seen[-1][0] == "Stopped":
                break
            time.sleep(0.05)
        titles = [title for _, title in seen]
        self.assertIn("two.mp2", titles, "the second song never came")
        last_playing = max(i for i, (status, _) in enumerate(seen) if status == "Playing")
        self.assertEqual(seen[last_playing][1], "two.mp2")
        self.assertEqual([status for status, _ in seen[:last_playing + 1]],
                         ["Playing"] * (last_playing + 1))
        self.assertEqual(seen[-1][0], "Stopped", "the queue's end")
        # What was announced: never "Stopped" until the second song had begun.
        time.sleep(0.3)
        log.flush()
        announced = open(log.name).read()
        second = announced.find('"two.mp2"')
        self.assertGreater(second, 0)
        self.assertNotIn('string "Stopped"', announced[:second])


class SoundServerComesBack(unittest.TestCase):
    """A private PulseAudio server killed and started again: once the sound is back the
    position runs on as smoothly as before, never standing still and then jumping."""

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="zirvak-pulse-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        runtime = os.path.join(self.dir, "runtime")
        os.mkdir(runtime, 0o700)
        self.socket = os.path.join(runtime, "native")
        with open(os.path.join(self.dir, "server.pa"), "w") as f:
            f.write("load-module module-native-protocol-unix auth-anonymous=1 socket=%s\n"
                    "load-module module-null-sink sink_name=zirvak rate=44100 channels=2\n"
                    "set-default-sink zirvak\n" % self.socket)
        self.env = dict(os.environ, PULSE_SERVER="unix:" + self.socket, XDG_RUNTIME_DIR=runtime,
                        HOME=self.dir)
        self.server = None
        self.addCleanup(self.kill_server)

    def start_server(self):
        if os.path.exists(self.socket):
            os.unlink(self.socket)
        self.server = subprocess.Popen(
            ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
             "-F", os.path.join(self.dir, "server.pa"), "--log-target=stderr"],
            env=self.env, stderr=subprocess.DEVNULL)
        wait_for(lambda: subprocess.run(["pactl", "info"], env=self.env,
                                        capture_output=True).returncode == 0,
                 10, "the sound server")

    def kill_server(self):
        if self.server and self.server.poll() is None:
            self.server.kill()
            self.server.wait(10)

    def test_the_position_runs_on_smoothly_after_the_server_is_back(self):
        self.start_server()
        start_window(self, [os.path.join(REPO, "res/demo.mp3")], SDL_AUDIODRIVER="pulseaudio",
                     PULSE_SERVER=self.env["PULSE_SERVER"],
                     XDG_RUNTIME_DIR=self.env["XDG_RUNTIME_DIR"])
        wait_for(lambda: playerctl("status") == "Playing", what="playing")
        wait_for(lambda: float(playerctl("position") or 0) > 2.0, 10, "two seconds played")
        self.kill_server()
        time.sleep(2.0)  # the window finds the sound gone
        self.start_server()
        # Once the position moves again, it moves with the time that passes, read by read.
        held = float(playerctl("position"))
        wait_for(lambda: float(playerctl("position")) > held + 0.05, 10, "the position moving")
        reads = []  # (time before asking, time after, position)
        while len(reads) < 60:
            before = time.monotonic()
            position = float(playerctl("position"))
            reads.append((before, time.monotonic(), position))
            time.sleep(0.075)
        # Between two reads no more time can have passed than from the start of the first to
        # the end of the second: a position that moves further jumped.
        for (earlier_before, _, earlier), (_, later_after, later) in zip(reads, reads[1:]):
            self.assertLessEqual(later - earlier, later_after - earlier_before + 0.1,
                                 "the position jumped: %s" % reads)
            self.assertGreaterEqual(later, earlier - 0.001)
        moved = reads[-1][2] - reads[0][2]
        print("positions after the server came back:", " ".join("%.3f" % r[2] for r in reads))
        self.assertGreater(moved, (reads[-1][0] - reads[0][1]) - 0.5, "the position stood still")


class WithoutABus(unittest.TestCase):
    """No bus at the address, or one that takes the connection and never answers: the window
    plays all the same, at once, and says so in one line."""

    def plays_and_says_so_once(self, folder, address):
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", SDL_AUDIODRIVER="dummy",
                   XDG_CONFIG_HOME=folder, XDG_CACHE_HOME=folder,
                   DBUS_SESSION_BUS_ADDRESS=address)
        err_path = os.path.join(folder, "err")
        with open(err_path, "w") as err_file:
            app = subprocess.Popen([ZIRVAK, os.path.join(REPO, "res/demo.mp3")], env=env,
                                   stderr=err_file)
        try:
            wait_for(lambda: "session bus" in open(err_path).read(), 10, "the notice")
            self.assertIsNone(app.poll())  # still playing
        finally:
            app.send_signal(signal.SIGTERM)
            app.wait(10)
        self.assertEqual(app.returncode, 0)
        err = open(err_path).read()
        lines = [line for line in err.splitlines() if "session bus" in line]
        self.assertEqual(len(lines), 1, err)
        self.assertTrue(lines[0].startswith("zirvak: no session bus ("), lines[0])
        self.assertIn("media keys and desktop controls are off", lines[0])

    def test_an_address_that_leads_nowhere(self):
        with tempfile.TemporaryDirectory() as folder:
            self.plays_and_says_so_once(folder, "unix:path=" + os.path.join(folder, "no-bus"))

    def test_a_bus_that_never_answers(self):
        with tempfile.TemporaryDirectory() as folder:
            silent = socket.socket(socket.AF_UNIX)
            silent.bind(os.path.join(folder, "silent-bus"))
            silent.listen(8)
            try:
                started = time.monotonic()
                self.plays_and_says_so_once(folder,
                                            "unix:path=" + os.path.join(folder, "silent-bus"))
                self.assertLess(time.monotonic() - started, 8)
            finally:
                silent.close()


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
