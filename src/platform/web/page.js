// The page around the game: the console panel for what it prints, the status line, the name
// field for the winner, the command line from the query string, the keys the browser must
// not take, full screen from a click, touch controls for a phone, and a plain sentence for
// each way the game can fail to load or lose its picture.
'use strict';

(function() {
  var panel = document.getElementById('console');
  var status = document.getElementById('status');
  var canvas = document.getElementById('canvas');
  var stage = document.getElementById('stage');
  var nameEntry = document.getElementById('name-entry');
  var nameField = document.getElementById('name');
  var fullScreenButton = document.getElementById('full-screen');
  var touchControls = document.getElementById('touch');
  var startAgainButton = document.getElementById('start-again');
  var soundHint = document.getElementById('sound-hint');
  var touchScreen = navigator.maxTouchPoints > 0 || window.matchMedia('(any-pointer: coarse)').matches;

  function setState(state, text) {
    document.body.dataset.state = state;
    status.textContent = text;
    if (state !== 'running') soundHint.hidden = true;
  }

  function show(text) {
    panel.textContent += text;
    panel.scrollTop = panel.scrollHeight;
  }

  // The game has asked for a name and waits, still drawing, until the field hands it over.
  function askName() {
    if (!nameEntry.hidden) return;
    nameEntry.hidden = false;
    nameField.focus();
  }

  // "?w=1280&h=720&b=0.8" becomes "-w 1280 -h 720 -b 0.8"; an option written with its
  // dashes ("?--width=1280") is passed as it is. The game reads its words in pairs, so a
  // parameter without a value must not go alone: a bare "fs" asks for full screen, any
  // other is left out.
  function commandLine(query) {
    var words = [];
    new URLSearchParams(query).forEach(function(value, key) {
      var name = key.charAt(0) === '-' ? key : '-' + key;
      if (value === '' && (name === '-fs' || name === '--fullscreen')) value = 'on';
      if (value === '') {
        show('The address gives "' + key + '" no value; it is left out.\n');
        return;
      }
      words.push(name, value);
    });
    return words;
  }

  // What this browser lacks to draw the game, in a sentence with what to try; '' if nothing.
  function missingGraphics() {
    var probe = document.createElement('canvas');
    var refusal = '';
    probe.addEventListener('webglcontextcreationerror', function(event) { refusal = event.statusMessage; });
    var gl = probe.getContext('webgl2');
    var failed = lastFailedStart();
    if (!gl && failed) {
      return 'The browser refuses this page WebGL for now: the last start here, at ' + failed.width +
        ' × ' + failed.height + ' pixels, asked more of the graphics than they could give, and the ' +
        'browser holds WebGL back for a while after that. Wait a minute or two and reload the page, ' +
        'or ask for a smaller picture (w and h in the address).';
    }
    if (!gl) {
      return 'This browser gives the page no WebGL 2, which the game draws with' +
        (refusal ? ' (it says: ' + refusal + ')' : '') + '. Turn on WebGL or hardware ' +
        'acceleration in the browser\'s settings, update the browser, or try another one.';
    }
    var floats = gl.getExtension('EXT_color_buffer_float');
    var lose = gl.getExtension('WEBGL_lose_context');
    if (lose) lose.loseContext();
    if (!floats) {
      return 'This browser\'s WebGL 2 cannot draw into float colour buffers ' +
        '(EXT_color_buffer_float), which the game\'s lighting needs. Turn on hardware ' +
        'acceleration in the browser\'s settings, or try another browser.';
    }
    return '';
  }

  // A start that lost its picture (refused at its size, or its WebGL taken away) can leave the
  // browser refusing the page any WebGL for a few minutes, which would otherwise read as a
  // browser without WebGL 2. Kept across loads for ten minutes; a start that runs forgets it
  // (a null width). Where storage is switched off, such a refusal reads as no WebGL 2.
  var failedStartKey = 'orbelune-failed-start';
  function keepFailedStart(width, height) {
    try {
      if (width === null) localStorage.removeItem(failedStartKey);
      else localStorage.setItem(failedStartKey, JSON.stringify({ width: width, height: height, at: Date.now() }));
    } catch (error) { /* nothing kept */ }
  }
  function lastFailedStart() {
    try {
      var failed = JSON.parse(localStorage.getItem(failedStartKey));
      return failed && Date.now() - failed.at < 10 * 60000 ? failed : null;
    } catch (error) {
      return null;
    }
  }

  // A sentence for a start the game gave up: `why` as the game tells it (a size it never asks
  // for, up to `largest` a side; a window it was not given; anything else, named by `what`).
  function failedStart(why, what, width, height, largest) {
    if (why === 'windowSize') {
      return 'The game cannot open a picture of ' + width + ' × ' + height + ' pixels: the ' +
        'width and height (w and h in the address) must be whole numbers from 1 to ' + largest +
        '. Try the address without them.';
    }
    if (why === 'window') {
      keepFailedStart(width, height);
      return 'The browser did not give the game a WebGL 2 picture of ' + width + ' × ' + height +
        ' pixels. Try a smaller w and h in the address, or another browser.';
    }
    return 'The game could not start: ' + what + '. Reload the page to try again.';
  }

  function typeName(event) {
    event.preventDefault();
    var word = nameField.value.trim();
    if (word === '') return; // as on a console, an empty line is no name yet
    nameEntry.hidden = true;
    nameField.blur();
    Module.ccall('orbeluneTypeName', null, ['string'], [word]);
    canvas.focus();
  }
  // A form, so that a phone's keyboard hands the name over with its own Enter ("Done", "Go").
  nameEntry.addEventListener('submit', typeName);

  // Registered before the game's GLFW, which listens on the window in the capture phase too:
  // typing in the name field never reaches the game; the function keys and Esc never reach
  // the browser's own shortcuts (reload, find, …), in the name field either, where F5 would
  // lose a win before it is saved; and Tab and Backspace, which GLFW keeps from the browser
  // wherever they are typed, are the game's only while the canvas has the keyboard.
  var functionKey = /^(F[1-9]|F1[0-2]|Escape)$/;
  ['keydown', 'keypress', 'keyup'].forEach(function(type) {
    window.addEventListener(type, function(event) {
      if (functionKey.test(event.key)) event.preventDefault();
      if (event.target === nameField ||
          ((event.key === 'Tab' || event.key === 'Backspace') && event.target !== canvas)) {
        event.stopImmediatePropagation();
      }
    }, true);
  });

  // Browsers start audio only after a gesture; Emscripten's OpenAL resumes it on the first key,
  // click or touch. The hint shows once the game runs with its sound on, until that gesture.
  var gestured = false;
  ['keydown', 'mousedown', 'touchstart', 'pointerdown'].forEach(function(type) {
    window.addEventListener(type, function() {
      gestured = true;
      soundHint.hidden = true;
    }, { capture: true, once: true });
  });

  // Full screen: a page may take the screen only in answer to a gesture, so the game asking
  // for it ("fs=on") waits for the player's. A touch counts only as the finger lifts
  // (pointerup), a mouse as it presses, a key as it goes down; a gesture the browser does not
  // count leaves the next one to try. The picture keeps its size and is scaled to the screen,
  // and leaving full screen gives the page back as it was.
  function enterFullScreen(refused) {
    if (document.fullscreenElement || !stage.requestFullscreen) return;
    stage.requestFullscreen().catch(function(error) {
      show('Full screen was refused: ' + error.message + '\n');
      if (refused) refused();
    });
    canvas.focus();
  }
  function fullScreenOnFirstGesture() {
    var types = ['pointerdown', 'pointerup', 'keydown', 'fullscreenchange'];
    var stop = function() {
      types.forEach(function(type) { window.removeEventListener(type, gesture, true); });
    };
    var gesture = function(event) {
      if (event.type === 'fullscreenchange') return stop();
      if (event.type === 'keydown' && (event.key === 'Escape' || event.target === nameField)) return;
      if (event.type === 'pointerdown' && event.pointerType !== 'mouse') return;
      if (event.type === 'pointerup' && event.pointerType === 'mouse') return;
      // Where the browser tells whether this was a gesture: without one, asking is refused
      // anyway; with one, a refusal has another reason and would come again.
      var told = !!navigator.userActivation;
      if (told && !navigator.userActivation.isActive) return;
      enterFullScreen(told ? stop : null);
    };
    types.forEach(function(type) { window.addEventListener(type, gesture, true); });
    // A click or key while the game was loading still counts for as long as the browser lets it.
    if (gestured && navigator.userActivation && navigator.userActivation.isActive) enterFullScreen(null);
  }
  fullScreenButton.hidden = !stage.requestFullscreen;
  fullScreenButton.addEventListener('click', function() { enterFullScreen(null); });

  // Touch controls hold the game's own keys (GLFW key codes) for as long as a finger stays;
  // Pause, and a tap on the picture once the game is over, press one as a keyboard would.
  function holdKey(key, held) {
    if (Module._orbeluneHoldKey) Module._orbeluneHoldKey(key, held ? 1 : 0);
  }
  function pressKey(key) {
    if (Module._orbelunePressKey) Module._orbelunePressKey(key);
  }
  var keyP = 80;
  var keyR = 82;
  touchControls.hidden = !touchScreen;
  document.body.classList.toggle('touch', touchScreen);
  Array.prototype.forEach.call(touchControls.querySelectorAll('button[data-press]'), function(button) {
    button.addEventListener('pointerdown', function(event) {
      event.preventDefault(); // no focus, no text selection, no emulated mouse
      pressKey(Number(button.dataset.press));
    });
    button.addEventListener('contextmenu', function(event) { event.preventDefault(); });
  });
  // A mouse's click is no way to fly again: on the desktop only R is, as in the game's window.
  canvas.addEventListener('pointerup', function(event) {
    if (event.pointerType !== 'mouse' && document.body.dataset.state === 'over') pressKey(keyR);
  });
  Array.prototype.forEach.call(touchControls.querySelectorAll('button[data-key]'), function(button) {
    var key = Number(button.dataset.key);
    var release = function() {
      button.classList.remove('held');
      holdKey(key, false);
    };
    button.addEventListener('pointerdown', function(event) {
      event.preventDefault(); // no focus, no text selection, no emulated mouse
      button.setPointerCapture(event.pointerId);
      button.classList.add('held');
      holdKey(key, true);
    });
    ['pointerup', 'pointercancel', 'lostpointercapture'].forEach(function(type) {
      button.addEventListener(type, release);
    });
    button.addEventListener('contextmenu', function(event) { event.preventDefault(); });
  });

  var playing = touchScreen ?
    'Playing: hold the arrows to fly, Up and Down to go up and down, Pause to pause.' :
    'Playing: W S A D fly, E up, Q down, P pauses, F2 to F8 switch, Esc ends.';
  var pausedText = touchScreen ? 'Paused: tap Pause (or press P) to go on.' :
    'Paused: press P (or Start on a controller) to go on.';
  var overText = touchScreen ? 'The game is over. Tap the picture (or press R) to fly again.' :
    'The game is over. Press R (or Start on a controller) to fly again.';
  var playStates = { flying: ['running', playing], paused: ['paused', pausedText], over: ['over', overText] };

  // The game's files are asked for again only once loading has failed, to say which one did
  // not come and why; `suspect` is named when all answer now (the failure passed).
  var gameFiles = ['orbelune.js', 'orbelune.wasm', 'orbelune.data'];
  var loadFailed = false;
  function filesNotLoaded(suspect, otherwise) {
    if (loadFailed || document.body.dataset.state !== 'loading') return;
    loadFailed = true;
    var offline = false;
    Promise.all(gameFiles.map(function(file) {
      return fetch(file, { method: 'HEAD', cache: 'no-store' }).then(function(response) {
        return response.ok ? '' : file + ' (the server answered ' + response.status +
          (response.statusText ? ' ' + response.statusText : '') + ')';
      }, function() {
        offline = true;
        return file + ' (no answer)';
      });
    })).then(function(answers) {
      var absent = answers.filter(Boolean);
      if (absent.length === 0 && suspect) absent = [suspect];
      if (absent.length > 0) {
        setState('failed', 'The game\'s files could not be loaded: ' + absent.join(', ') + '. ' + (offline ?
          'Check the connection and reload the page.' :
          'Reload the page to try again; if that does not help, the site is missing files: tell whoever runs it.'));
      } else if (otherwise) {
        setState('failed', otherwise);
      }
    });
  }
  // The data file's download throws where nothing catches it, and the game waits for it for ever.
  window.addEventListener('error', function() { filesNotLoaded(null, null); });

  // Its WebGL taken away (a graphics driver reset, too many pages drawing), the game cannot draw
  // again: the flight is held, so that no life is lost unseen and its sound stops, and the
  // page offers a new start.
  canvas.addEventListener('webglcontextlost', function() {
    if (document.body.dataset.state === 'running') pressKey(keyP);
    keepFailedStart(canvas.width, canvas.height);
    setState('lost', 'The game\'s picture was lost: the browser took its WebGL away (a graphics ' +
      'driver reset, or too many pages drawing at once). Start again to play on.');
    startAgainButton.hidden = false;
  });
  startAgainButton.addEventListener('click', function() { window.location.reload(); });
  var words = commandLine(window.location.search);
  window.Module = {
    canvas: canvas,
    arguments: words,
    orbeluneShow: show,
    print: function(line) { show(line + '\n'); },
    printErr: function(line) { console.warn(line); show(line + '\n'); },
    setStatus: function(text) {
      var progress = /\((\d+)\/(\d+)\)/.exec(text || '');
      if (document.body.dataset.state === 'loading' && progress && Number(progress[2]) > 0)
        status.textContent = 'Loading… ' + Math.floor(100 * progress[1] / progress[2]) + ' %';
    },
    onRuntimeInitialized: function() { canvas.focus(); },
    // After "Initialization DONE.", as the loop takes over.
    orbeluneStarted: function(soundOn, picturesComplete) {
      if (document.body.dataset.state !== 'loading') return; // its picture was lost meanwhile
      if (!picturesComplete) {
        keepFailedStart(canvas.width, canvas.height);
        setState('failed', 'This browser cannot make the game\'s picture buffers at this size ' +
          '("Framebuffer not complete!"). Try a smaller w and h in the address, or none.');
      } else {
        keepFailedStart(null);
        setState('running', playing);
        soundHint.hidden = !soundOn || gestured;
      }
    },
    orbeluneStartFailed: function(why, what, width, height, largest) {
      setState('failed', failedStart(why, what, width, height, largest));
    },
    orbeluneAskName: askName,
    orbeluneFullScreenAsked: fullScreenOnFirstGesture,
    // A failure or a lost picture stays said: the loop may still run behind it.
    orbelunePlay: function(phase) {
      if (playStates[phase] && /^(running|paused|over)$/.test(document.body.dataset.state))
        setState(playStates[phase][0], playStates[phase][1]);
    },
    orbeluneEnded: function() { setState('ended', 'The game has ended. Reload the page to play again.'); },
    onExit: function(code) { setState('ended', 'The game stopped (status ' + code + '). Reload the page to play again.'); },
    onAbort: function(what) {
      var failed = 'The game failed: ' + what + '. Reload the page to try again.';
      if (document.body.dataset.state === 'loading') filesNotLoaded(null, failed);
      else setState('failed', failed);
    },
  };

  var missing = missingGraphics();
  if (missing) {
    setState('failed', missing);
    return;
  }
  setState('loading', 'Loading…');
  var game = document.createElement('script');
  game.src = 'orbelune.js';
  game.onerror = function() { filesNotLoaded('orbelune.js', null); };
  document.body.appendChild(game);
})();
