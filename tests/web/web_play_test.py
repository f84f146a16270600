#!/usr/bin/python3
"""The web build in a real browser: headless Chromium (WebGL 2 on SwiftShader) plays the
page served from 127.0.0.1; its frames are compared with the native player's headless
capture of the same fixed steps (also from start=T, and with F1-F9 pressed during the
run), and the start screen, the error page for a broken archive, the decoded music, its
sync and Escape are checked.

    web_play_test.py --web-dir build-web --native build/starfall [--fps F] [--capture I,J,...] [--only PARTS]

The page reports to the server that served it (the page's report=1 parameter): every
event is a JSON POST to /report. Exit status 0 when every check passes."""

import argparse
import base64
import http.server
import io
import json
import os
import queue
import re
import shutil
import socketserver
import subprocess
import sys
import tempfile
import threading
import time

import numpy
from PIL import Image

SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


class ReportServer(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # a browser closed in the middle of a transfer


def make_handler(web_dir, extra_dir, events):
    class Handler(http.server.SimpleHTTPRequestHandler):
        extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map,
                              **{'.wasm': 'application/wasm', '.js': 'text/javascript'})

        def __init__(self, *args, **kwargs):
            super().__init__(*args, directory=web_dir, **kwargs)

        def translate_path(self, path):
            if path.startswith('/test-files/'):
                return os.path.join(extra_dir, os.path.basename(path.split('?')[0]))
            return super().translate_path(path)

        def do_POST(self):
            length = int(self.headers.get('Content-Length', '0'))
            body = self.rfile.read(length)
            self.send_response(204)
            self.end_headers()
            if self.path.rstrip('/').endswith('report'):
                events.put(json.loads(body.decode('utf-8')))

        def log_message(self, *args):
            pass
    return Handler


class Browser:
    """One headless Chromium on one address; ends with the object."""

    def __init__(self, url, profile_dir):
        self.process = subprocess.Popen(
            ['chromium', '--headless', '--no-sandbox', '--use-angle=swiftshader',
             '--enable-unsafe-swiftshader', '--ignore-gpu-blocklist', '--enable-webgl',
             '--autoplay-policy=no-user-gesture-required', '--no-first-run',
             '--disable-background-timer-throttling', '--disable-renderer-backgrounding',
             '--user-data-dir=' + profile_dir, '--remote-debugging-port=0', url],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def close(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


class WebTest:
    def __init__(self, args):
        self.args = args
        self.work = tempfile.mkdtemp(prefix='starfall-web-test-')
        self.extra = os.path.join(self.work, 'files')
        os.makedirs(self.extra)
        self.events = queue.Queue()
        self.server = ReportServer(('127.0.0.1', 0), make_handler(args.web_dir, self.extra, self.events))
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.base = 'http://127.0.0.1:%d/starfall.html' % self.server.server_address[1]
        self.failures = []
        self.checks = 0

    def close(self):
        self.server.shutdown()
        if not self.args.keep:
            shutil.rmtree(self.work, ignore_errors=True)

    def check(self, condition, text):
        self.checks += 1
        print(('ok   ' if condition else 'FAIL ') + text, flush=True)
        if not condition:
            self.failures.append(text)

    def run_page(self, query, until, timeout):
        """Opens the page with query; collects events until until(events) or timeout."""
        while not self.events.empty():
            self.events.get_nowait()
        profile = tempfile.mkdtemp(dir=self.work)
        browser = Browser(self.base + '?' + query, profile)
        collected = []
        deadline = time.time() + timeout
        try:
            while time.time() < deadline and not until(collected):
                try:
                    collected.append(self.events.get(timeout=0.5))
                except queue.Empty:
                    if browser.process.poll() is not None:
                        break
        finally:
            browser.close()
        return collected

    # ---- checks -------------------------------------------------------------------------

    def production_texts(self):
        text = open(os.path.join(SOURCE_DIR, 'app', 'Production.h')).read()
        title = re.search(r'kProductionTitle = "([^"]*)"', text).group(1)
        link = re.search(r'kGroupWebAddress = "([^"]*)"', text).group(1)
        return title, link

    def test_start_screen(self):
        events = self.run_page('report=1', lambda e: any(x['event'] == 'start-screen' for x in e), 60)
        screens = [e for e in events if e['event'] == 'start-screen']
        self.check(len(screens) == 1, 'start screen: shown')
        if not screens:
            return
        screen = screens[0]
        title, link = self.production_texts()
        self.check(screen['title'] == title, 'start screen: production name %r' % screen['title'])
        self.check(screen['link'] == link, 'start screen: link %r' % screen['link'])
        self.check(screen['fullscreenChoice'] == 'checkbox', 'start screen: full screen choice')
        self.check(screen['pictureWidth'] > 0 and screen['pictureHeight'] > 0,
                   'start screen: start picture %dx%d' % (screen['pictureWidth'], screen['pictureHeight']))
        self.check(not any(e['event'] in ('frame', 'ended', 'error') for e in events),
                   'start screen: nothing plays before Start')

    def native_frames(self, fps, seed, frames, mode='640x480', extra=()):
        folder = os.path.join(self.work, 'native-%s-%s%s' % (mode, fps, ''.join(extra)))
        os.makedirs(folder, exist_ok=True)
        env = dict(os.environ, SDL_AUDIODRIVER='dummy')
        started = time.time()
        subprocess.run([self.args.native, '--headless', '--fps', str(fps), '--seed', str(seed),
                        '--frames', str(frames), '--mode', mode + 'x32', '--capture', folder + '/'] + list(extra),
                       check=True, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        print('     native capture: %.1f s' % (time.time() - started), flush=True)
        return folder

    def mp3_duration(self, path):
        """Duration of an MPEG-1/2 layer III file from its frame headers."""
        data = open(path, 'rb').read()
        position = 0
        if data[:3] == b'ID3':
            size = (data[6] & 0x7F) << 21 | (data[7] & 0x7F) << 14 | (data[8] & 0x7F) << 7 | (data[9] & 0x7F)
            position = 10 + size
        rates = {3: [44100, 48000, 32000], 2: [22050, 24000, 16000], 0: [11025, 12000, 8000]}
        bitrates1 = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320]
        bitrates2 = [0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160]
        seconds = 0.0
        while position + 4 <= len(data):
            h = data[position:position + 4]
            if h[0] != 0xFF or (h[1] & 0xE0) != 0xE0:
                position += 1
                continue
            version = (h[1] >> 3) & 3
            bitrate_index = h[2] >> 4
            rate_index = (h[2] >> 2) & 3
            if version == 1 or bitrate_index in (0, 15) or rate_index == 3:
                position += 1
                continue
            rate = rates[version][rate_index]
            bitrate = (bitrates1 if version == 3 else bitrates2)[bitrate_index] * 1000
            samples = 1152 if version == 3 else 576
            length = samples // 8 * bitrate // rate + ((h[2] >> 1) & 1)
            seconds += samples / rate
            position += max(length, 1)
        return seconds

    def test_frames(self, fps=None, capture=None, mode='640x480', music=True, start=None, keys=None, bound=None):
        """Frames read from the canvas against the native player's. With start=T the page's
        frame k is the native run's frame first + k (a run from T numbers its files from T's
        frame). With keys=CODE@I,... (F1-F9 pressed after frame I) the native run plays at 1x
        and the page's frame k is its frame at the same production time."""
        fps, seed, bound = fps or self.args.fps, 1, bound or self.args.bound
        indices = [int(i) for i in (capture or self.args.capture).split(',')]
        frames = max(indices) + 1
        first = int(round(float(start) * float(fps))) if start else 0
        presses = [(int(code), int(after)) for code, after in (p.split('@') for p in keys.split(','))] if keys else []

        def native_index(k):
            # A key pressed after frame j is taken before frame j + 1 is drawn: the step to
            # j + 1 has already passed at the old rate, every later step goes at the new one.
            rate, steps = 1, 0
            for step in range(1, k + 1):
                rate = next((code - 111 for code, after in presses if after == step - 2), rate)
                steps += rate
            return first + steps
        extra = ['--start', start] if start else []
        label = mode + (' start=' + start if start else '') + (' keys=' + keys if keys else '')
        native = self.native_frames(fps, seed, max(map(native_index, indices)) + 1 - first, mode, extra)
        query = 'report=1&autostart=1&fps=%s&seed=%d&frames=%d&capture=%s&mode=%s' % (
            fps, seed, frames, ','.join(map(str, indices)), mode)
        if start:
            query += '&start=' + start
        if keys:
            query += '&keys=' + keys
        started = time.time()

        def done(events):
            kinds = set(e['event'] for e in events)
            shot = set(e['index'] for e in events if e['event'] == 'frame')
            return 'error' in kinds or ({'ended', 'music' if music else 'ended'} <= kinds and set(indices) <= shot)
        events = self.run_page(query, done, self.args.timeout)
        print('     browser run: %.1f s for %d frames' % (time.time() - started, frames), flush=True)
        errors = [e for e in events if e['event'] == 'error']
        self.check(not errors, 'play: no error page%s' % (' (%s)' % errors[0]['text'] if errors else ''))
        self.check(any(e['event'] == 'ended' for e in events), 'play: the loop ends after frames=%d' % frames)

        shots = {e['index']: e['png'] for e in events if e['event'] == 'frame'}
        for index in indices:
            if index not in shots:
                self.check(False, 'frame %d: read from the canvas' % index)
                continue
            png = base64.b64decode(shots[index].split(',', 1)[1])
            web = numpy.asarray(Image.open(io.BytesIO(png)).convert('RGB')).astype(numpy.int32)
            shown = native_index(index)
            path = os.path.join(native, 'frame_%06d.png' % shown)
            expected = numpy.asarray(Image.open(path).convert('RGB')).astype(numpy.int32)
            if web.shape != expected.shape:
                self.check(False, 'frame %d: size %s, native %s' % (index, web.shape, expected.shape))
                continue
            difference = numpy.abs(web - expected).mean(axis=(0, 1))
            worst = float(difference.max())
            ok = worst <= bound
            self.check(ok, '%s frame %d (%.2f s): mean difference per channel %s (bound %.1f), brightness %.1f' % (
                label, index, shown / float(fps), ' '.join('%.2f' % d for d in difference), bound,
                float(expected.mean())))
            if not ok or self.args.keep:
                out = os.path.join(self.args.output, 'web_frame_%06d.png' % shown)
                os.makedirs(self.args.output, exist_ok=True)
                open(out, 'wb').write(png)
                print('     written: ' + out)

        if not music:
            return
        music = [e for e in events if e['event'] == 'music']
        expected = self.mp3_duration(os.path.join(SOURCE_DIR, 'data', 'starfall.mp3'))
        if music:
            self.check(abs(music[0]['duration'] - expected) < 0.2,
                       'music: decoded by the browser, %.2f s (file holds %.2f s)' % (music[0]['duration'], expected))
        else:
            self.check(False, 'music: decoded by the browser')

    def test_broken_archives(self):
        """Broken archives: the page shows the native player's fatal text and caption, and stops."""
        whole = open(os.path.join(self.args.web_dir, 'Starfall.pak'), 'rb').read()
        bad_name = bytearray(whole)
        # The first entry's packed name (after the 9-byte header, three words and the
        # 2-byte zlib header) no longer inflates to its stated length.
        for offset in range(9 + 12 + 2, 9 + 12 + 6):
            bad_name[offset] ^= 0xFF
        cases = [('truncated', whole[:len(whole) // 2], 'Starfall Trailer, By Vireo! - Error'),
                 ('bad entry name', bytes(bad_name), 'Starfall Trailer, By Vireo! - Exception')]
        for name, data, caption in cases:
            path = os.path.join(self.extra, 'broken.pak')
            open(path, 'wb').write(data)
            # One seed for both: the text names a layer by its random default name.
            native = subprocess.run([self.args.native, '--headless', '--fps', '25', '--seed', '1', '--frames', '1',
                                     '--pak', path],
                                    env=dict(os.environ, SDL_AUDIODRIVER='dummy'),
                                    stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
            events = self.run_page('report=1&autostart=1&fps=25&seed=1&frames=5&pak=test-files/broken.pak',
                                   lambda e: any(x['event'] in ('error', 'ended') for x in e), 120)
            errors = [e for e in events if e['event'] == 'error']
            self.check(len(errors) == 1, '%s archive: error page shown' % name)
            if not errors:
                continue
            text = errors[0]['text']
            # stderr is read with universal newlines; a text of several lines keeps its CR LF on the page.
            self.check(native.returncode == 1 and bool(text) and text.replace('\r\n', '\n') in native.stderr,
                       '%s archive: page shows %r, as the native player does' % (name, text))
            self.check(errors[0]['caption'] == caption and caption in native.stderr,
                       '%s archive: caption %r' % (name, errors[0]['caption']))
            self.check(not any(e['event'] in ('frame', 'ended') for e in events), '%s archive: the loop stops' % name)

    def test_music_sync(self):
        """In real time with sound (the browser allows it without a gesture here), the
        production's time follows the music's position."""
        events = self.run_page('report=1&autostart=1&sync=1',
                               lambda e: any(x['event'] == 'sync' and x['music'] >= 6.0 for x in e) or
                               any(x['event'] == 'error' for x in e), 180)
        syncs = [e for e in events if e['event'] == 'sync']
        self.check(len(syncs) >= 8, 'sync: the demo clock follows the audio clock (%d reports)' % len(syncs))
        if syncs:
            # The music starts after its file was read, as on the desktop: the production is
            # ahead by that read, and the distance must not grow.
            distances = [e['elapsed'] - e['music'] for e in syncs]
            print('     production ahead of the music by: ' + ' '.join('%.3f' % d for d in distances[:12]) +
                  (' ...' if len(distances) > 12 else ''))
            self.check(0.0 <= min(distances) and max(distances) < 0.4,
                       'sync: production ahead of the music by %.3f..%.3f s (the file read)' % (
                           min(distances), max(distances)))
            self.check(max(distances) - min(distances) < 0.05 and syncs[-1]['music'] > 5.0,
                       'sync: no drift over %.1f s of music (spread %.3f s)' % (
                           syncs[-1]['music'], max(distances) - min(distances)))

    def test_escape_quits(self):
        """Escape pressed after frame 5 ends the run two frames later, as the loop takes one
        message per pass; F2 before it (time stretching) changes nothing of that."""
        events = self.run_page('report=1&autostart=1&fps=25&frames=100&keys=113@2,27@5',
                               lambda e: any(x['event'] in ('error', 'ended') for x in e), 120)
        ended = [e for e in events if e['event'] == 'ended']
        self.check(len(ended) == 1 and ended[0]['frames'] == 7,
                   'keys: Escape after frame 5 ends the run after 7 frames (%s)' % (ended[0]['frames'] if ended else 'no end'))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--web-dir', required=True)
    parser.add_argument('--native', required=True)
    parser.add_argument('--fps', default='2')
    parser.add_argument('--capture', default='3,30,60,90,120,150,180,210')
    parser.add_argument('--bound', type=float, default=2.0)
    parser.add_argument('--timeout', type=float, default=600)
    parser.add_argument('--output', default=os.path.join(os.getcwd(), 'web-test-output'))
    parser.add_argument('--keep', action='store_true')
    parser.add_argument('--only', default='start,frames,mode,section,speed,broken,sync,keys')
    args = parser.parse_args()
    for required in ('starfall.html', 'starfall.js', 'starfall.wasm', 'Starfall.pak'):
        if not os.path.exists(os.path.join(args.web_dir, required)):
            print('missing %s in %s' % (required, args.web_dir))
            return 1
    test = WebTest(args)
    started = time.time()
    try:
        only = args.only.split(',')
        if 'start' in only:
            test.test_start_screen()
        if 'frames' in only:
            test.test_frames()
        if 'mode' in only:
            # Another size: the canvas takes the mode, and the picture still matches.
            test.test_frames(fps='25', capture='40', mode='800x600', music=False)
        if 'section' in only:
            # start=T plays as the native --start T: the first frame and one well after it.
            test.test_frames(fps='25', capture='0,40', music=False, start='20')
        if 'speed' in only:
            # F3, F9 and F1 in turn: each frame shows the production time the rates add up to.
            # The last frames fall where the picture moves fast (4-5 s), and the bound is tight
            # enough there that a frame two steps off fails.
            test.test_frames(fps='25', capture='1,2,6,16,35', music=False, keys='114@0,120@5,112@15', bound=1.0)
        if 'broken' in only:
            test.test_broken_archives()
        if 'sync' in only:
            test.test_music_sync()
        if 'keys' in only:
            test.test_escape_quits()
    finally:
        test.close()
    print('%d checks, %d failed, %.1f s' % (test.checks, len(test.failures), time.time() - started))
    return 1 if test.failures else 0


if __name__ == '__main__':
    sys.exit(main())
