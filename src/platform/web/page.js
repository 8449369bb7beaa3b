// The page around the game: the console panel for what it prints, the name field for the
// winner, the command line from the query string, and the keys the browser must not take.
'use strict';

(function() {
  var panel = document.getElementById('console');
  var status = document.getElementById('status');
  var canvas = document.getElementById('canvas');
  var nameEntry = document.getElementById('name-entry');
  var nameField = document.getElementById('name');
  var shown = '';

  function setState(state, text) {
    document.body.dataset.state = state;
    status.textContent = text;
  }

  function show(text) {
    shown += text;
    panel.textContent += text;
    panel.scrollTop = panel.scrollHeight;
    // The game has asked for a name and waits, still drawing, until the field hands it over.
    if (/Your Name: $/.test(shown) && nameEntry.hidden) {
      nameEntry.hidden = false;
      nameField.focus();
    }
  }

  // "?w=1280&h=720&b=0.8" becomes "-w 1280 -h 720 -b 0.8"; an option written with its
  // dashes ("?--width=1280") is passed as it is.
  function commandLine(query) {
    var words = [];
    new URLSearchParams(query).forEach(function(value, key) {
      words.push(key.charAt(0) === '-' ? key : '-' + key);
      if (value !== '') words.push(value);
    });
    return words;
  }

  function typeName() {
    var word = nameField.value.trim();
    if (word === '') return; // as on a console, an empty line is no name yet
    nameEntry.hidden = true;
    Module.ccall('orbeluneTypeName', null, ['string'], [word]);
    canvas.focus();
  }

  // Registered before the game's GLFW, which listens on the window in the capture phase too:
  // typing in the name field never reaches the game, and the function keys and Esc never
  // reach the browser's own shortcuts (find, reload, …) while the game has them.
  var functionKey = /^(F[1-9]|F1[0-2]|Escape)$/;
  ['keydown', 'keypress', 'keyup'].forEach(function(type) {
    window.addEventListener(type, function(event) {
      if (event.target === nameField) {
        event.stopImmediatePropagation();
        if (type === 'keydown' && event.key === 'Enter') typeName();
        return;
      }
      if (functionKey.test(event.key)) event.preventDefault();
    }, true);
  });

  // Browsers start audio only after a gesture; Emscripten's OpenAL resumes it on the first key,
  // click or touch, and the hint goes with it.
  var soundHint = document.getElementById('sound-hint');
  ['keydown', 'mousedown', 'touchstart'].forEach(function(type) {
    window.addEventListener(type, function() { soundHint.hidden = true; }, { capture: true, once: true });
  });

  window.Module = {
    canvas: canvas,
    arguments: commandLine(window.location.search),
    orbeluneShow: show,
    print: function(line) { show(line + '\n'); },
    printErr: function(line) { console.warn(line); show(line + '\n'); },
    setStatus: function(text) { if (text) status.textContent = text; },
    onRuntimeInitialized: function() { setState('running', 'Playing: W S A D Q E fly, F2 to F8 switch, Esc ends.'); canvas.focus(); },
    orbeluneEnded: function() { setState('ended', 'The game has ended. Reload the page to play again.'); },
    onExit: function(code) { setState('ended', 'The game stopped (status ' + code + '). Reload the page to play again.'); },
    onAbort: function(what) { setState('ended', 'The game failed: ' + what + '. Reload the page to try again.'); },
  };
  setState('loading', 'Loading…');

  var game = document.createElement('script');
  game.src = 'orbelune.js';
  document.body.appendChild(game);
})();
