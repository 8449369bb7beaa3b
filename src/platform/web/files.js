// The score file on the browser's IndexedDB storage: the table is one record of the game's
// own database, read into /persist/scores.txt before the game starts and merged back after
// each save. The game keeps its usual name for it, ./assets/scores.txt, a link into /persist:
// over ./assets, the file would hide those the bundle puts there.
Module.preRun = Module.preRun || [];
Module.preRun.push(function() {
  var persist = '/persist';
  var file = persist + '/scores.txt';
  var databaseName = 'orbelune-scores', storeName = 'files', key = 'scores.txt';
  // A database that never answers (blocked by another tab, a broken profile) must not hold
  // the game at "Downloading data…", nor a save for ever.
  var patience = 10000;
  FS.mkdir(persist);
  FS.mkdirTree('/assets');
  FS.symlink(file, '/assets/scores.txt');

  var toldUnreadable = false;
  function unreadable(why) {
    if (toldUnreadable) return;
    toldUnreadable = true;
    err('The scores kept in this browser could not be read: ' + why);
  }

  // `work(done)` with `done(error, value)` called once: by the work, or by the clock.
  function within(work, what, done) {
    var finished = false;
    var timer = setTimeout(function() { finish(what + ' did not answer'); }, patience);
    function finish(error, value) {
      if (finished) return;
      finished = true;
      clearTimeout(timer);
      done(error, value);
    }
    try { work(finish); } catch (e) { finish(String(e)); }
  }

  function openDatabase(done) {
    within(function(finish) {
      var request = indexedDB.open(databaseName, 1);
      request.onupgradeneeded = function() { request.result.createObjectStore(storeName); };
      request.onsuccess = function() { finish(null, request.result); };
      request.onerror = function() { finish(String(request.error)); };
      request.onblocked = function() { finish('the storage is held by another page'); };
    }, 'the storage', done);
  }

  // The stored table as text: '' when there is none; a record that is no text is unreadable.
  function readStored(database, done) {
    within(function(finish) {
      var request = database.transaction(storeName, 'readonly').objectStore(storeName).get(key);
      request.onsuccess = function() {
        var value = request.result;
        if (value === undefined) return finish(null, null);
        if (typeof value !== 'string') {
          unreadable('its record is not a table');
          return finish(null, '');
        }
        finish(null, value);
      };
      request.onerror = function() { finish(String(request.error)); };
    }, 'the storage', done);
  }

  function writeStored(database, table, done) {
    within(function(finish) {
      var transaction = database.transaction(storeName, 'readwrite');
      transaction.objectStore(storeName).put(table, key);
      transaction.oncomplete = function() { finish(null); };
      transaction.onerror = transaction.onabort = function() { finish(String(transaction.error)); };
    }, 'the storage', done);
  }

  // Tables an earlier version of the page kept through IDBFS, in its database "/persist".
  function readEarlierTable(done) {
    if (!indexedDB.databases) return done('');
    within(function(finish) {
      indexedDB.databases().then(function(list) {
        if (!list.some(function(entry) { return entry.name === persist; })) return finish(null, '');
        var request = indexedDB.open(persist);
        request.onerror = function() { finish(null, ''); };
        request.onsuccess = function() {
          var database = request.result;
          if (!database.objectStoreNames.contains('FILE_DATA')) return finish(null, '');
          var get = database.transaction('FILE_DATA', 'readonly').objectStore('FILE_DATA').get(file);
          get.onerror = function() { finish(null, ''); };
          get.onsuccess = function() {
            var contents = get.result && get.result.contents;
            finish(null, contents instanceof Uint8Array ? new TextDecoder().decode(contents) : '');
          };
        };
      }, function() { finish(null, ''); });
    }, 'the earlier storage', function(error, table) { done(error ? '' : table); });
  }

  var writingOurselves = false;
  function readFile() {
    try { return FS.readFile(file, { encoding: 'utf8' }); } catch (e) { return ''; }
  }
  function writeFile(table) {
    writingOurselves = true;
    try { FS.writeFile(file, table); } finally { writingOurselves = false; }
  }

  // The table as this page last had it in storage: what the game added since is what the
  // page writes back.
  var base = '';
  // An earlier table this page read at start, while the game's own storage had none. It goes
  // in with the first save only where storage has no table then either: a page that stored
  // one first imported it already, and a second import would list its entries twice.
  var imported = '';

  addRunDependency('orbelune-scores');
  openDatabase(function(error, database) {
    function started(table) {
      writeFile(table);
      base = table;
      removeRunDependency('orbelune-scores');
      installWriteBack();
    }
    if (error) {
      unreadable(error);
      return started('');
    }
    readStored(database, function(readError, table) {
      database.close();
      if (readError) {
        unreadable(readError);
        return started('');
      }
      if (table !== null) return started(table);
      readEarlierTable(function(earlier) {
        imported = earlier;
        started(earlier);
      });
    });
  });

  // The stored table and the lines this page added, one after the other.
  function joined(stored, added) {
    if (stored === '' || added === '' || /[\r\n]$/.test(stored)) return stored + added;
    return stored + '\n' + added;
  }

  // Every page of the site takes its turn (Web Locks), reloads the stored table inside its
  // turn and writes it back with its own new lines in one transaction: no page's save
  // writes over another's.
  function mergeIntoStorage(done) {
    var current = readFile();
    var added = current.indexOf(base) === 0 ? current.slice(base.length) : current;
    function turn() {
      return new Promise(function(release) {
        openDatabase(function(error, database) {
          if (error) return finish(error);
          readStored(database, function(readError, stored) {
            if (readError) { database.close(); return finish(readError); }
            if (stored !== null) imported = '';
            var table = joined(stored === null ? imported : stored, added);
            if (added === '') { database.close(); return finish(null, table); }
            writeStored(database, table, function(writeError) {
              database.close();
              if (!writeError) imported = '';
              finish(writeError, table);
            });
          });
        });
        function finish(error, table) {
          if (!error) {
            // A save the game made meanwhile stays; it goes back with the next turn.
            var now = readFile();
            var since = now.indexOf(current) === 0 ? now.slice(current.length) : '';
            base = table;
            if (now !== table + since) writeFile(table + since);
          }
          release();
          done(error);
        }
      });
    }
    if (navigator.locks) {
      var options = typeof AbortSignal.timeout === 'function' ? { signal: AbortSignal.timeout(patience) } : {};
      navigator.locks.request(databaseName, options, turn)
        .catch(function(error) { done(String(error)); });
    } else {
      turn(); // no Web Locks outside a secure context: the reload still narrows the race
    }
  }

  // Installed only once the start-up read has filled /persist, so that it never writes back
  // a table the page has not read yet.
  function installWriteBack() {
    var writing = false, again = false;
    function writeBack() {
      if (writing) { again = true; return; }
      writing = true;
      mergeIntoStorage(function(error) {
        writing = false;
        if (error) err('The scores could not be kept in this browser: ' + error);
        if (again) { again = false; writeBack(); }
        if (Module.orbeluneSaved) Module.orbeluneSaved(error);
      });
    }
    var scheduled = false;
    function writeBackSoon() {
      if (scheduled || writingOurselves) return;
      scheduled = true;
      setTimeout(function() { scheduled = false; writeBack(); }, 0);
    }
    function underPersist(path) {
      return typeof path === 'string' && path.indexOf(persist + '/') === 0;
    }
    var close = FS.close, rename = FS.rename;
    FS.close = function(stream) {
      var result = close.apply(this, arguments);
      if (underPersist(stream.path) && (stream.flags & 3 /* O_WRONLY | O_RDWR */)) writeBackSoon();
      return result;
    };
    FS.rename = function(oldPath, newPath) {
      var result = rename.apply(this, arguments);
      if (underPersist(newPath)) writeBackSoon();
      return result;
    };
  }
});
