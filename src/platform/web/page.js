// The page around the game: the canvas, sound through Web Audio (with its volume),
// the buttons, the page's own keys (pause, volume, screenshot, full screen),
// and window.tankbattle for scripts and tests.
//   index.html?replay=FILE&frames=N&dumpEvery=K&fast&pictures=P,P&nopixels
// watches the replay FILE (from this site), stops after N passes, keeps a
// state dump every K passes, runs passes back to back instead of 60 a second,
// draws only the pictures after passes P (keeping their digests), or none.
'use strict';
const $ = (id) => document.getElementById(id);
const params = new URLSearchParams(location.search);
const canvas = $('canvas'), screen2d = canvas.getContext('2d');
let statusText = '';
const status = (text) => {
  statusText = text;
  $('status').textContent = canvas.classList.contains('paused') ? 'paused: Pause goes on' : text;
};
let audio = null, gain = null, voice = null, played = 0, shots = 0, ended = false, volumeShown = 0;
const sounds = {};

// The volume, 0 to 100 in steps of ten, and the mute switch, kept for the next visit.
let volume = 100, muted = false;
try {
  const kept = JSON.parse(localStorage.getItem('tankbattle.volume'));
  if (Number.isInteger(kept?.volume) && kept.volume >= 0 && kept.volume <= 100) volume = kept.volume;
  muted = kept?.muted === true;
} catch {
  // storage refused or spoilt: the usual volume
}
function changeVolume(step, toggleMute) {
  volume = Math.min(100, Math.max(0, volume + step));
  if (toggleMute) muted = !muted;
  if (gain) gain.gain.value = muted ? 0 : volume / 100;
  try {
    localStorage.setItem('tankbattle.volume', JSON.stringify({ volume, muted }));
  } catch {
    // kept for this visit only
  }
  $('volume').textContent = muted ? 'muted' : `volume ${volume}`;
  clearTimeout(volumeShown);
  volumeShown = setTimeout(() => { $('volume').textContent = ''; }, 1000);
}

function screenshot() {
  canvas.toBlob((png) => download(png, `tankbattle-${String(++shots).padStart(3, '0')}.png`));
}

function toggleFullscreen() {
  if (document.fullscreenElement) document.exitFullscreen();
  else document.documentElement.requestFullscreen();
}

const game = {
  present(image) { screen2d.putImageData(image, 0, 0); },
  // One voice: a new sound replaces the one playing.
  playSound(name) {
    if (!sounds[name]) return;
    if (voice) voice.stop();
    voice = audio.createBufferSource();
    voice.buffer = sounds[name];
    voice.connect(gain);
    voice.start();
    played++;
  },
  gameEnded() {
    ended = true;
    status('game over: New game or Watch a replay');
  },
  // The page's own keys (Pause, F12, - and =, F9), as the game's module tells of them.
  command(name) {
    switch (name) {
      case 'pause':
      case 'resume':
        canvas.classList.toggle('paused', name === 'pause');
        status(statusText);
        break;
      case 'screenshot': screenshot(); break;
      case 'volumeDown': changeVolume(-10, false); break;
      case 'volumeUp': changeVolume(10, false); break;
      case 'mute': changeVolume(0, true); break;
    }
  },
};

// Browsers allow sound only after the player has done something: it starts with the first key.
function startAudio() {
  if (audio) return;
  audio = new AudioContext();
  gain = audio.createGain();
  gain.gain.value = muted ? 0 : volume / 100;
  gain.connect(audio.destination);
  for (const name of ['bumm.wav', 'expl.wav']) {
    audio.decodeAudioData(game.FS.readFile('/data/' + name).slice().buffer).then(
      (buffer) => { sounds[name] = buffer; },
      (e) => console.warn(`tankbattle: ${name} cannot be played: ${e.message}`));
  }
}

function begin(replayText = '', frames = -1, dumpEvery = 0, fast = false, pictures = '') {
  const error = game.ccall('tb_start', 'string', ['string', 'number', 'number', 'number', 'string'],
                           [replayText, frames, dumpEvery, fast ? 1 : 0, pictures]);
  ended = false;
  status(error ? 'cannot watch this replay: ' + error : replayText ? 'watching a replay' : 'playing');
}

function download(blob, name) {
  const a = document.createElement('a');
  a.href = URL.createObjectURL(blob);
  a.download = name;
  a.click();
  setTimeout(() => URL.revokeObjectURL(a.href), 1000);
}

async function replayFromUrl() {
  const url = new URL(params.get('replay'), location.href);
  if (url.origin !== location.origin) throw new Error('a replay must come from this site');
  const response = await fetch(url);
  if (!response.ok) throw new Error(`${url.pathname}: ${response.status} ${response.statusText}`);
  return response.text();
}

window.addEventListener('keydown', startAudio, true);
// Alt+Enter, as on the desktop; the game never sees keys pressed with Alt.
window.addEventListener('keydown', (e) => {
  if (e.altKey && !e.repeat && (e.code === 'Enter' || e.code === 'NumpadEnter')) {
    e.preventDefault();
    toggleFullscreen();
  }
});
for (const button of document.querySelectorAll('button')) {
  button.addEventListener('click', () => button.blur());  // Space and Enter belong to the game
}
$('new').onclick = () => begin();
$('saveReplay').onclick = () => {
  download(new Blob([game.ccall('tb_recording', 'string')], { type: 'text/plain' }), 'tankbattle.replay');
};
$('load').onchange = async (e) => {
  const file = e.target.files[0];
  e.target.value = '';
  e.target.blur();
  if (file) begin(await file.text());
};
$('shot').onclick = screenshot;
$('sharp').onclick = () => {
  $('sharp').textContent = canvas.classList.toggle('sharp') ? 'Smooth' : 'Sharp';
};
$('full').onclick = toggleFullscreen;
document.addEventListener('fullscreenchange', () => {
  $('full').textContent = document.fullscreenElement ? 'Window' : 'Full screen';
});
$('help').onclick = () => { $('keys').hidden = !$('keys').hidden; };

// The build that draws on worker threads where the page may share memory
// with them (served cross-origin isolated), else the one-thread build.
const build = document.createElement('script');
build.src = window.crossOriginIsolated ? 'tankbattle-threads.js' : 'tankbattle.js';
build.onload = () => createTankbattle(game).then(async () => {
  window.tankbattle = {
    dumpState: () => game.ccall('tb_dump_state', 'string'),
    dumps: () => game.ccall('tb_dumps', 'string'),
    pictures: () => game.ccall('tb_pictures', 'string'),
    recording: () => game.ccall('tb_recording', 'string'),
    timing: () => JSON.parse(game.ccall('tb_timing', 'string')),
    sound: () => ({ state: audio ? audio.state : 'none', played, decoded: Object.keys(sounds), volume, muted,
                    gain: gain ? gain.gain.value : null }),
    paused: () => canvas.classList.contains('paused'),
    ended: () => ended,
    begin,
  };
  try {
    const replay = params.has('replay') ? await replayFromUrl() : '';
    begin(replay, Number(params.get('frames') ?? -1), Number(params.get('dumpEvery') ?? 0), params.has('fast'),
          params.has('nopixels') ? '0' : params.get('pictures') ?? '');  // the picture before pass 1 is never drawn
  } catch (e) {
    status(e.message);
  }
});
document.head.append(build);
