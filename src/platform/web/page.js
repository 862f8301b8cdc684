// The page around the game: the canvas, sound through Web Audio, the buttons,
// and window.tankbattle for scripts and tests.
//   index.html?replay=FILE&frames=N&dumpEvery=K&fast&pictures=P,P&nopixels
// watches the replay FILE (from this site), stops after N passes, keeps a
// state dump every K passes, runs passes back to back instead of 60 a second,
// draws only the pictures after passes P (keeping their digests), or none.
'use strict';
const $ = (id) => document.getElementById(id);
const params = new URLSearchParams(location.search);
const canvas = $('canvas'), screen2d = canvas.getContext('2d');
const status = (text) => { $('status').textContent = text; };
let audio = null, voice = null, played = 0, shots = 0, ended = false;
const sounds = {};

const game = {
  present(image) { screen2d.putImageData(image, 0, 0); },
  // One voice: a new sound replaces the one playing.
  playSound(name) {
    if (!sounds[name]) return;
    if (voice) voice.stop();
    voice = audio.createBufferSource();
    voice.buffer = sounds[name];
    voice.connect(audio.destination);
    voice.start();
    played++;
  },
  gameEnded() {
    ended = true;
    status('game over: New game or Watch a replay');
  },
};

// Browsers allow sound only after the player has done something: it starts with the first key.
function startAudio() {
  if (audio) return;
  audio = new AudioContext();
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
for (const button of document.querySelectorAll('button')) {
  button.addEventListener('click', () => button.blur());  // Space and Enter belong to the game
}
$('new').onclick = () => begin();
$('record').onclick = () => {
  download(new Blob([game.ccall('tb_recording', 'string')], { type: 'text/plain' }), 'tankbattle.replay');
};
$('load').onchange = async (e) => {
  const file = e.target.files[0];
  e.target.value = '';
  e.target.blur();
  if (file) begin(await file.text());
};
$('shot').onclick = () => {
  canvas.toBlob((png) => download(png, `tankbattle-${String(++shots).padStart(3, '0')}.png`));
};
$('sharp').onclick = () => {
  $('sharp').textContent = canvas.classList.toggle('sharp') ? 'Smooth' : 'Sharp';
};
$('full').onclick = () => document.documentElement.requestFullscreen();

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
    sound: () => ({ state: audio ? audio.state : 'none', played, decoded: Object.keys(sounds) }),
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
