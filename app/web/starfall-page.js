// The page around the program: start screen, test parameters, Web Audio, error page.
// Address parameters (for tests): fps=F seed=N frames=N mode=WxH start=T autostart=1,
// and sync=1 (production time against music position every tenth frame while the music
// plays), capture=I,J,... (frames read from the canvas), keys=CODE@I,... (a key pressed after
// frame I), report=1 (events sent to the server), pak=URL (an archive to play instead).
'use strict';

(function () {
  const params = new URLSearchParams(window.location.search);
  const $ = (id) => document.getElementById(id);
  const kErrorCaption = 'Starfall Trailer, By Vireo! - Error';
  const kExceptionCaption = 'Starfall Trailer, By Vireo! - Exception';
  const captures = new Set((params.get('capture') || '').split(',').filter((s) => s !== '').map(Number));
  const keys = (params.get('keys') || '').split(',').filter((s) => /^\d+@\d+$/.test(s))
    .map((s) => ({ code: Number(s.split('@')[0]), after: Number(s.split('@')[1]) }));
  let framesShown = 0;
  let runtimeReady = false;
  let startRequested = false;
  let started = false;

  // Test runs send what happens to the server that served the page.
  function report(event, data) {
    if (params.get('report') !== '1') return Promise.resolve();
    const body = JSON.stringify(Object.assign({ event: event }, data || {}));
    return fetch('report', { method: 'POST', body: body, headers: { 'Content-Type': 'application/json' } })
      .catch(() => {});
  }

  // The program's options from the address, as the desktop's command line takes them.
  function programArguments() {
    const args = [];
    const fps = params.get('fps');
    if (fps) args.push('--fps', fps);
    const seed = params.get('seed');
    if (seed) args.push('--seed', seed);
    const frames = params.get('frames');
    if (frames) args.push('--frames', frames);
    const mode = params.get('mode');
    args.push('--mode', (mode && /^\d+x\d+$/.test(mode) ? mode : '640x480') + 'x32');
    if (!$('start-fullscreen').checked) args.push('--windowed');
    const start = params.get('start');
    if (start) args.push('--start', start);
    return args;
  }

  // Wasm traps have no C++ exception behind them; they are named as processor faults are.
  function trapText(error) {
    const message = String(error && error.message ? error.message : error);
    if (/divide by zero/i.test(message)) return 'Integer divided by Zero.';
    if (/integer overflow/i.test(message)) return 'Integer Overflow.';
    if (/out of bounds/i.test(message)) return 'Access Violation.';
    if (/call stack|too much recursion/i.test(message)) return 'Stack Overflow.';
    return 'Unhandled Exception.';
  }

  const page = {
    stopped: false,
    fatal(caption, text) {
      if (page.stopped) return;
      page.stopped = true;
      sound.stop();
      $('canvas').hidden = true;
      $('start').hidden = true;
      $('error-caption').textContent = caption;
      $('error-text').textContent = text;
      $('error').hidden = false;
      if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
      report('error', { caption: caption, text: text });
    },
    ended() {
      $('ended').hidden = false;
      if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
      report('ended', { frames: framesShown });
    },
    framePresented(index, elapsed) {
      framesShown = index + 1;
      if (sound.clock.mode === 'audio' && params.get('sync') === '1' && index % 10 === 0) {
        report('sync', { index: index, elapsed: elapsed,
                         music: sound.context.currentTime - sound.clock.audioStart });
      }
      for (const key of keys) {
        if (key.after !== index) continue;
        const event = new KeyboardEvent('keydown', { bubbles: true, cancelable: true });
        Object.defineProperty(event, 'keyCode', { value: key.code });
        window.dispatchEvent(event);
      }
      if (!captures.has(index)) return;
      // Read before the browser composites the frame: the drawing buffer is still whole.
      report('frame', { index: index, png: $('canvas').toDataURL('image/png') });
    },
  };

  // Music: decoded by the browser; the demo clock (clockMicros) stands still while the
  // music is being decoded and then follows the audio clock, so picture and music stay
  // together. Without a running audio output (no user gesture) it follows the page's time.
  const sound = {
    context: null,
    streams: new Map(),
    nextHandle: 1,
    source: null,
    playing: false,
    clock: { mode: 'page', base: 0, since: performance.now(), audioStart: 0 },
    init() {
      if (sound.context) return true;
      const AudioContextClass = window.AudioContext || window.webkitAudioContext;
      if (!AudioContextClass) return false;
      try {
        sound.context = new AudioContextClass({ sampleRate: 44100 });
      } catch (e) {
        try { sound.context = new AudioContextClass(); } catch (e2) { return false; }
      }
      return true;
    },
    start() {
      if (sound.context && sound.context.state === 'suspended') sound.context.resume().catch(() => {});
    },
    create(bytes) {
      const handle = sound.nextHandle++;
      const stream = { buffer: null, playRequested: false };
      sound.streams.set(handle, stream);
      sound.context.decodeAudioData(bytes.buffer).then((buffer) => {
        stream.buffer = buffer;
        report('music', { duration: buffer.duration, sampleRate: buffer.sampleRate });
        if (stream.playRequested) sound.begin(stream);
      }, () => {
        sound.streams.delete(handle);
        page.fatal(kErrorCaption, 'Unknown SoundSystem error.');
      });
      return handle;
    },
    play(handle, offset) {
      const stream = sound.streams.get(handle);
      if (!stream) return;
      stream.playRequested = true;
      stream.offset = offset || 0;
      if (stream.buffer) sound.begin(stream);
      else sound.setClock('hold');
    },
    begin(stream) {
      if (page.stopped) return;
      const source = sound.context.createBufferSource();
      source.buffer = stream.buffer;
      source.connect(sound.context.destination);
      source.onended = () => { if (sound.source === source) sound.playing = false; };
      if (sound.context.state === 'running') {
        const at = sound.context.currentTime;
        source.start(at, stream.offset || 0);
        sound.setClock('audio', at);
      } else {
        source.start(0, stream.offset || 0);
        sound.setClock('page');
      }
      sound.source = source;
      sound.playing = true;
    },
    stop() {
      for (const stream of sound.streams.values()) stream.playRequested = false;
      if (sound.source) {
        try { sound.source.stop(); } catch (e) { /* never started */ }
        sound.source = null;
      }
      sound.playing = false;
      if (sound.clock.mode !== 'page') sound.setClock('page');
    },
    pause(paused) {
      if (!sound.context) return;
      (paused ? sound.context.suspend() : sound.context.resume()).catch(() => {});
    },
    free(handle) { sound.streams.delete(handle); },
    isPlaying() { return sound.playing; },
    clockMicros() {
      const c = sound.clock;
      if (c.mode === 'hold') return c.base;
      if (c.mode === 'audio') return c.base + Math.floor(Math.max(0, sound.context.currentTime - c.audioStart) * 1e6);
      return c.base + Math.floor((performance.now() - c.since) * 1000);
    },
    // Switches the clock's source without a jump in the time it reports.
    setClock(mode, audioStart) {
      const now = sound.clockMicros();
      sound.clock = { mode: mode, base: now, since: performance.now(), audioStart: audioStart || 0 };
    },
  };

  async function startProgram() {
    if (started) return;
    started = true;
    $('start').hidden = true;
    $('canvas').hidden = false;
    $('canvas').focus();
    const args = programArguments();
    const pak = params.get('pak');
    if (pak) {
      try {
        const response = await fetch(pak);
        if (!response.ok) throw new Error(response.status + ' ' + response.statusText);
        Module.FS.writeFile('/page.pak', new Uint8Array(await response.arrayBuffer()));
        args.push('--pak', '/page.pak');
      } catch (e) {
        page.fatal(kExceptionCaption, 'Cannot fetch the archive [' + pak + '] (' + e.message + ')');
        return;
      }
    }
    try {
      Module.callMain(args);
    } catch (e) {
      if (!(e && e.name === 'ExitStatus')) page.fatal(kExceptionCaption, trapText(e));
    }
  }

  // The click or the Enter key is the gesture that lets the page play sound.
  function requestStart() {
    if (started || !$('error').hidden) return;
    sound.init();
    sound.start();
    if ($('start-fullscreen').checked && $('stage').requestFullscreen)
      $('stage').requestFullscreen().catch(() => {});
    startRequested = true;
    if (runtimeReady) startProgram();
  }

  $('start-button').addEventListener('click', requestStart);
  document.addEventListener('keydown', (event) => {
    if (event.key === 'Enter' && !started) {
      event.preventDefault();
      requestStart();
    }
  });
  window.addEventListener('error', (event) => {
    if (started) page.fatal(kExceptionCaption, trapText(event.error || event.message));
  });
  window.addEventListener('unhandledrejection', (event) => {
    if (started) page.fatal(kExceptionCaption, trapText(event.reason));
  });

  $('start').hidden = false;
  function startScreenShown() {
    report('start-screen', {
      title: $('start-title').textContent,
      link: $('start-link').getAttribute('href'),
      button: $('start-button').textContent,
      fullscreenChoice: $('start-fullscreen').type,
      pictureWidth: $('start-picture').naturalWidth,
      pictureHeight: $('start-picture').naturalHeight,
    });
  }
  // The picture may have arrived before this script ran.
  if ($('start-picture').complete) startScreenShown();
  else $('start-picture').addEventListener('load', startScreenShown);

  window.Module = {
    canvas: $('canvas'),
    starfallPage: page,
    starfallSound: sound,
    print: (text) => console.log(text),
    printErr: (text) => console.error(text),
    onAbort: (what) => page.fatal(kExceptionCaption, trapText(what)),
    onRuntimeInitialized() {
      runtimeReady = true;
      $('start-button').disabled = false;
      $('start-button').textContent = 'Start';
      if (params.get('autostart') === '1') requestStart();
      else if (startRequested) startProgram();
    },
  };
})();
